// SPDX-License-Identifier: GPL-3.0-or-later
#include "Glowny.h"

#include "DBNavigator.h"
#include "DataSource.h"
#include "Desktop.h"
#include "EnginePath.h"
#include "GlownyStrings.h"
#include "Guard.h"
#include "Pictures.h"
#include "Program.h"
#include "Statbaru.h"
#include "TableModel.h"
#include "errors.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QScreen>
#include <QShortcut>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>

namespace welarik {

namespace {

namespace glowny = strings::glowny;

constexpr int kWindowWidth = 800;
constexpr int kWindowHeight = 604;
constexpr int kHeaderHeight = 22;
constexpr int kNavigatorStartLeft = 500;

} // namespace

TfmGlowny::TfmGlowny(QWidget *parent)
    : QMainWindow(parent)
    , dbfFilmy(catalogue.dbfFilmy)
    , dbfConfig(catalogue.dbfConfig)
    , dbfDaneF(catalogue.dbfDaneF)
    , dbfGatunekF(catalogue.dbfGatunekF)
    , dbfNrF(catalogue.dbfNrF)
    , dbfZnajomi(catalogue.dbfZnajomi)
{
    setObjectName(QStringLiteral("fmGlowny"));
    setWindowTitle(glowny::caption.toString());
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                   | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint
                   | Qt::WindowCloseButtonHint);
    setFont(QFont(QStringLiteral("MS Sans Serif"), 8));

    dsFilmy->setObjectName(QStringLiteral("dsFilmy"));
    dsConfig->setObjectName(QStringLiteral("dsConfig"));
    dsDaneF->setObjectName(QStringLiteral("dsDaneF"));
    dsGatunekF->setObjectName(QStringLiteral("dsGatunekF"));
    dsNrF->setObjectName(QStringLiteral("dsNrF"));
    dsZnajomi->setObjectName(QStringLiteral("dsZnajomi"));

    dbfFilmy.afterOpen = [this](Table &) {
        dbfFilmyAfterOpen();
    };
    dbfFilmy.afterClose = [this](Table &) {
        dbfFilmyAfterClose();
    };
    dbfFilmy.setBackgroundCountDone([this] {
        // On the counting thread: the count is taken over on the window's thread, and shown
        // at once rather than at the next tick.
        QMetaObject::invokeMethod(
            this,
            [this] {
                runGuarded([this] {
                    dbfFilmy.finishCount();
                    if (filmsPageActive() && dbfFilmy.isOpen())
                        showFilmCount();
                });
            },
            Qt::QueuedConnection);
    });
    dbfGatunekF.afterOpen = [this](Table &) {
        dbfGatunekFAfterOpen();
    };
    dbfGatunekF.afterDelete = [this](Table &) {
        dbfGatunekFAfterDelete();
    };

    buildActions();
    buildMenu();
    buildToolBar();
    buildPages();
    buildStatusBar();
    connectFilmCommands();
    connectExchangeCommands();
    buildQuickFind();
    buildLending();
    buildCatalogueTools();
    buildScan();
    buildSearchCommands();
    buildHelpCommands();
    buildSettingsCommands();

    auto *central = new QWidget(this);
    auto *column = new QVBoxLayout(central);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(pgGlowny, 1);
    column->addWidget(stbarGlowny);
    setCentralWidget(central);

    resize(kWindowWidth, kWindowHeight);
    if (const QScreen *screen = QGuiApplication::primaryScreen()) {
        QRect area = screen->availableGeometry();
        move(area.center() - QPoint(kWindowWidth / 2, kWindowHeight / 2));
    }
    m_defaultGeometry = geometry();
    restoreWindowSettings();
    setCatalogueCommandsEnabled(false);
    qApp->installEventFilter(this);
    FormCreate();
}

TfmGlowny::~TfmGlowny()
{
    // The tables' events call back into this window: silence them before members go.
    dbfFilmy.setBackgroundCountDone(nullptr);
    for (Table *t : {&dbfFilmy, &dbfConfig, &dbfDaneF, &dbfGatunekF, &dbfNrF, &dbfZnajomi}) {
        t->afterOpen = nullptr;
        t->afterClose = nullptr;
        t->afterDelete = nullptr;
    }
}

void TfmGlowny::FormCreate()
{
    setProgramDir(programFolder(QCoreApplication::applicationDirPath()));
}

void TfmGlowny::setProgramDir(const QString &dir)
{
    ProgramDir = dir;
    if (!ProgramDir.endsWith(QLatin1Char('/')))
        ProgramDir += QLatin1Char('/');
    DataDir = ProgramDir + QStringLiteral("BAZY/");
    applyDataFolderSetting();
}

QAction *TfmGlowny::addItem(
    QMenu *menu, const char *name, QStringView text, const QKeySequence &shortcut, bool enabled)
{
    auto *action = new QAction(text.toString(), this);
    action->setObjectName(QString::fromLatin1(name));
    action->setEnabled(enabled);
    if (!shortcut.isEmpty()) {
        // The menu shows the key; the window-wide shortcut below decides whether it runs.
        action->setShortcut(shortcut);
        action->setShortcutContext(Qt::WidgetShortcut);
        auto *key = new QShortcut(shortcut, this);
        connectGuarded(key, &QShortcut::activated, this, [this, action] { runShortcut(action); });
        m_shortcutItems.emplace_back(action, menu);
    }
    menu->addAction(action);
    return action;
}

void TfmGlowny::runShortcut(QAction *item)
{
    QMenu *top = nullptr;
    for (const auto &[action, menu] : m_shortcutItems) {
        if (action == item)
            top = menu;
    }
    // The top menu of a submenu item is the submenu's own top menu.
    QMenu *outer = top;
    while (outer && qobject_cast<QMenu *>(outer->parentWidget()))
        outer = qobject_cast<QMenu *>(outer->parentWidget());
    for (QMenu *m = top; m; m = qobject_cast<QMenu *>(m->parentWidget())) {
        if (!m->isEnabled() || !m->menuAction()->isEnabled())
            return;
    }
    if (outer == Szukaj1)
        runGuarded([this] { Szukaj1Click(); });
    if (item->isEnabled())
        item->trigger();
}

void TfmGlowny::buildActions()
{
    // The tool bar's image list: help, exit, open, add, correct, search.
    auto tool = [this](const char *name, QStringView picture, QStringView hint) {
        auto *a = new QAction(this);
        a->setObjectName(QString::fromLatin1(name));
        a->setIcon(pictureIcon(picture, 32));
        a->setToolTip(hint.toString());
        return a;
    };
    cmdTPomoc = tool("cmdTPomoc", u"help", glowny::hintPomoc);
    cmdTKoniec = tool("cmdTKoniec", u"exit", glowny::hintKoniec);
    cmdTOpen = tool("cmdTOpen", u"open", glowny::hintOpen);
    cmdTDodaj = tool("cmdTDodaj", u"add", glowny::hintDodaj);
    cmdTPopraw = tool("cmdTPopraw", u"correct", glowny::hintPopraw);
    cmdTSzukaj = tool("cmdTSzukaj", u"search", {});
    connectGuarded(cmdTKoniec, &QAction::triggered, this, [this] { Koniecprogramu1Click(); });
    connectGuarded(cmdTOpen, &QAction::triggered, this, [this] { cmdTOpenClick(); });
}

void TfmGlowny::buildMenu()
{
    menuBar()->setObjectName(QStringLiteral("mmGlowne"));
    buildFileMenu();
    buildEditMenu();
    buildSearchMenu();
    buildToolsMenu();
    buildGridMenu();
}

QMenu *TfmGlowny::addTopMenu(const char *name, QStringView title)
{
    QMenu *m = menuBar()->addMenu(title.toString());
    m->setObjectName(QString::fromLatin1(name));
    m->menuAction()->setObjectName(QString::fromLatin1(name) + QStringLiteral("Action"));
    return m;
}

void TfmGlowny::buildFileMenu()
{
    const QKeySequence none;
    Plik1 = addTopMenu("Plik1", glowny::menuPlik);
    Nowabaza1 = addItem(
        Plik1, "Nowabaza1", glowny::itemNowaBaza, QKeySequence(Qt::CTRL | Qt::Key_N), true);
    Otworzbaze1 = addItem(
        Plik1, "Otworzbaze1", glowny::itemOtworzBaze, QKeySequence(Qt::CTRL | Qt::Key_O), true);
    Plik1->addSeparator();
    Zapisz1
        = addItem(Plik1, "Zapisz1", glowny::itemZapisz, QKeySequence(Qt::CTRL | Qt::Key_S), false);
    Zapiszjako1 = addItem(Plik1, "Zapiszjako1", glowny::itemZapiszJako, none, false);
    Plik1->addSeparator();
    addItem(Plik1, "Drukuj1", glowny::itemDrukuj, QKeySequence(Qt::CTRL | Qt::Key_P), false);
    addItem(Plik1, "Drukujokladke1", glowny::itemDrukujOkladke, none, false);
    Plik1->addSeparator();
    Koniecprogramu1 = addItem(
        Plik1, "Koniecprogramu1", glowny::itemKoniec, QKeySequence(Qt::ALT | Qt::Key_F4), true);
    Koniecprogramu1->setIcon(pictureIcon(u"exit", 16));
    connectGuarded(Otworzbaze1, &QAction::triggered, this, [this] { cmdTOpenClick(); });
    connectGuarded(Koniecprogramu1, &QAction::triggered, this, [this] { Koniecprogramu1Click(); });
}

void TfmGlowny::buildEditMenu()
{
    const QKeySequence none;
    Edycja1 = addTopMenu("Edycja1", glowny::menuEdycja);
    Nowapozycja1 = addItem(Edycja1, "Nowapozycja1", glowny::itemNowaPozycja, none, true);
    Nowapozycja1->setIcon(pictureIcon(u"add", 16));
    Poprawpozycje1 = addItem(Edycja1, "Poprawpozycje1", glowny::itemPoprawPozycje, none, true);
    Poprawpozycje1->setIcon(pictureIcon(u"correct", 16));
    Pokaszczegy2 = addItem(Edycja1, "Pokaszczegy2", glowny::itemPokazSzczegoly, none, true);
    Pokaszczegy2->setIcon(pictureIcon(u"details", 16));
    Edycja1->addSeparator();
    Kasujfilm1 = addItem(Edycja1, "Kasujfilm1", glowny::itemKasujPozycje, none, true);
    Kasujfilm1->setIcon(pictureIcon(u"delete", 16));
    Kasujcalabaze1 = addItem(Edycja1, "Kasujcalabaze1", glowny::itemKasujBaze, none, true);
}

void TfmGlowny::buildSearchMenu()
{
    const QKeySequence none;
    Szukaj1 = addTopMenu("Szukaj1", glowny::menuSzukaj);
    connectGuarded(Szukaj1, &QMenu::aboutToShow, this, [this] { Szukaj1Click(); });
    Usufiltrowanie1 = addItem(
        Szukaj1, "Usufiltrowanie1", glowny::itemUsunFiltrowanie, QKeySequence(Qt::Key_F5), true);
    Szukaj1->addSeparator();
    PokaWszystkie1 = addItem(
        Szukaj1, "PokaWszystkie1", glowny::itemPokazWszystkie, QKeySequence(Qt::Key_F6), true);
    Pokanastanie1 = addItem(
        Szukaj1, "Pokanastanie1", glowny::itemPokazNaStanie, QKeySequence(Qt::Key_F7), true);
    Pokawypozyczone1 = addItem(
        Szukaj1, "Pokawypozyczone1", glowny::itemPokazWypozyczone, QKeySequence(Qt::Key_F8), true);
    for (QAction *view : {PokaWszystkie1, Pokanastanie1, Pokawypozyczone1}) {
        view->setCheckable(true);
        connectGuarded(
            view, &QAction::triggered, this, [this, view] { PokaWszystkie1Click(view); });
    }
    PokaWszystkie1->setChecked(true);
    connectGuarded(Usufiltrowanie1, &QAction::triggered, this, [this] { Usufiltrowanie1Click(); });
    Szukaj1->addSeparator();
    Zaawansowane1 = addItem(Szukaj1, "Zaawansowane1", glowny::itemZaawansowane, none, true);
    Szybkiewyszukiwanie1 = addItem(Szukaj1,
                                   "Szybkiewyszukiwanie1",
                                   glowny::itemSzybkie,
                                   QKeySequence(Qt::CTRL | Qt::Key_F),
                                   true);
}

void TfmGlowny::buildToolsMenu()
{
    const QKeySequence none;
    Narzedzia1 = addTopMenu("Narzedzia1", glowny::menuNarzedzia);
    addItem(Narzedzia1, "Import1", glowny::itemImport, none, false);
    addItem(Narzedzia1, "export1", glowny::itemExport, none, false);
    addItem(Narzedzia1, "Polaczbazy1", glowny::itemPolacz, none, false);
    Skanujhdd1 = addItem(Narzedzia1, "Skanujhdd1", glowny::itemSkanuj, none, false);
    Autouzupelnienie1 = addItem(Narzedzia1, "Autouzupelnienie1", glowny::itemAuto, none, true);
    Narzedzia1->addSeparator();
    Edytujgatunekfilmu1 = addItem(Narzedzia1,
                                  "Edytujgatunekfilmu1",
                                  glowny::itemEdytujGatunek,
                                  QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_G),
                                  true);
    Edytujznajomych1 = addItem(Narzedzia1,
                               "Edytujznajomych1",
                               glowny::itemEdytujZnajomych,
                               QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_Z),
                               true);
    Edytujdanedodatkowe1 = addItem(Narzedzia1,
                                   "Edytujdanedodatkowe1",
                                   glowny::itemEdytujDane,
                                   QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_D),
                                   true);
    connectPeopleCommands();
    connectGuarded(
        Edytujgatunekfilmu1, &QAction::triggered, this, [this] { Edytujgatunekfilmu1Click(); });
    connectGuarded(
        Edytujznajomych1, &QAction::triggered, this, [this] { Edytujznajomych1Click(); });
    Bazy1 = Narzedzia1->addMenu(glowny::menuBazy.toString());
    Bazy1->setObjectName(QStringLiteral("Bazy1"));
    Porzadkujbazy1 = addItem(Bazy1, "Porzadkujbazy1", glowny::itemPorzadkuj, none, true);
    Sprawdzspojnoscbaz1 = addItem(Bazy1, "Sprawdzspojnoscbaz1", glowny::itemSprawdz, none, true);

    Opcje1 = addTopMenu("Opcje1", glowny::menuOpcje);
    Ustawieniaprogramu1
        = addItem(Opcje1, "Ustawieniaprogramu1", glowny::itemUstawienia, none, true);

    Pomoc1 = addTopMenu("Pomoc1", glowny::menuPomoc);
}

void TfmGlowny::buildGridMenu()
{
    pmenuGrid = new QMenu(this);
    pmenuGrid->setObjectName(QStringLiteral("pmenuGrid"));
    auto popupItem = [this](const char *name, QStringView text, QStringView picture, bool enabled) {
        QAction *a = pmenuGrid->addAction(pictureIcon(picture, 16), text.toString());
        a->setObjectName(QString::fromLatin1(name));
        a->setEnabled(enabled);
        return a;
    };
    Poprawbiecacyfilm1 = popupItem("Poprawbiecacyfilm1", glowny::popupPopraw, u"correct", true);
    Dopisznowyfilm1 = popupItem("Dopisznowyfilm1", glowny::popupDopisz, u"add", true);
    Pokaszczegy1 = popupItem("Pokaszczegy1", glowny::popupSzczegoly, u"details", true);
    pmenuGrid->addSeparator();
    popupItem("Wypozycztenfilm1", glowny::popupWypozycz, u"open", false);
}

void TfmGlowny::buildToolBar()
{
    tbGlowny = addToolBar(QString());
    tbGlowny->setObjectName(QStringLiteral("tbGlowny"));
    tbGlowny->setMovable(false);
    tbGlowny->setFloatable(false);
    tbGlowny->setIconSize(QSize(32, 32));
    tbGlowny->setToolButtonStyle(Qt::ToolButtonIconOnly);
    tbGlowny->toggleViewAction()->setEnabled(false);
    tbGlowny->setContextMenuPolicy(Qt::PreventContextMenu);
    auto add = [this](QAction *a) {
        tbGlowny->addAction(a);
        if (QWidget *button = tbGlowny->widgetForAction(a)) {
            button->setObjectName(a->objectName());
            button->setFixedSize(39, 38);
            if (auto *tb = qobject_cast<QToolButton *>(button))
                tb->setAutoRaise(true);
        }
    };
    add(cmdTPomoc);
    add(cmdTKoniec);
    tbGlowny->addSeparator();
    add(cmdTOpen);
    add(cmdTDodaj);
    add(cmdTPopraw);
    tbGlowny->addSeparator();
    add(cmdTSzukaj);
    // A drop-down style button with no menu of its own.
    if (auto *tb = qobject_cast<QToolButton *>(tbGlowny->widgetForAction(cmdTSzukaj))) {
        tb->setPopupMode(QToolButton::MenuButtonPopup);
        tb->setFixedSize(39 + 13, 38);
    }
}

void TfmGlowny::buildPages()
{
    pgGlowny = new QTabWidget(this);
    pgGlowny->setObjectName(QStringLiteral("pgGlowny"));
    pgGlowny->setTabPosition(QTabWidget::South);

    strFilmy = new QWidget;
    strFilmy->setObjectName(QStringLiteral("strFilmy"));
    strMuzyka = new QWidget;
    strMuzyka->setObjectName(QStringLiteral("strMuzyka"));
    strGry = new QWidget;
    strGry->setObjectName(QStringLiteral("strGry"));
    pgGlowny->addTab(strFilmy, glowny::tabFilmy.toString());
    pgGlowny->addTab(strMuzyka, glowny::tabMuzyka.toString());
    pgGlowny->addTab(strGry, glowny::tabGry.toString());
    // The other pages are empty and disabled; their tabs stay clickable.
    strMuzyka->setEnabled(false);
    strGry->setEnabled(false);

    auto *page = new QVBoxLayout(strFilmy);
    page->setContentsMargins(0, 0, 0, 0);
    page->setSpacing(0);

    auto *header = new QWidget(strFilmy);
    header->setObjectName(QStringLiteral("pnlNaglowek"));
    header->setFixedHeight(kHeaderHeight);
    QFont bold = font();
    bold.setBold(true);
    auto headerButton = [header, &bold](const char *name, QStringView text, int left, int width) {
        auto *b = new QPushButton(text.toString(), header);
        b->setObjectName(QString::fromLatin1(name));
        b->setFlat(true);
        b->setFont(bold);
        b->setFocusPolicy(Qt::TabFocus);
        b->setGeometry(left, 0, width, kHeaderHeight);
        return b;
    };
    btnNr = headerButton("btnNr", glowny::btnNrCaption, 1, 37);
    btnPL = headerButton("btnPL", glowny::btnPLCaption, 38, 251);
    btnOrg = headerButton("btnOrg", glowny::btnOrgCaption, 289, 251);
    btnGat = headerButton("btnGat", glowny::btnGatCaption, 540, 220);
    connectGuarded(btnNr, &QPushButton::clicked, this, [this] { btnNrClick(); });
    connectGuarded(btnPL, &QPushButton::clicked, this, [this] { btnPLClick(); });
    connectGuarded(btnOrg, &QPushButton::clicked, this, [this] { btnOrgClick(); });
    connectGuarded(btnGat, &QPushButton::clicked, this, [this] { btnGatClick(); });
    buildGenrePicker(header);
    page->addWidget(header);

    gridFilmy = new TableGrid(strFilmy);
    gridFilmy->setObjectName(QStringLiteral("gridFilmy"));
    std::vector<ColumnSpec> columns;
    auto column = [&columns](const char *field, int pixels) {
        ColumnSpec c;
        c.field = QString::fromLatin1(field);
        c.width = pixels;
        c.unit = ColumnSpec::Unit::Pixels;
        c.readOnly = true;
        columns.push_back(c);
    };
    column("ID_CD", 35);
    column("T_PL", 250);
    column("T_ORG", 250);
    column("GATUNEK", 220);
    gridModel = new TableModel(dsFilmy, columns, this);
    gridFilmy->setTableModel(gridModel);
    gridFilmy->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(gridFilmy, &QWidget::customContextMenuRequested, this, [this](const QPoint &pos) {
        if (m_gridMenuAttached)
            pmenuGrid->popup(gridFilmy->viewport()->mapToGlobal(pos));
    });
    page->addWidget(gridFilmy, 1);
}

void TfmGlowny::buildStatusBar()
{
    stbarGlowny = new TEStatusBar(this);
    stbarGlowny->setObjectName(QStringLiteral("stbarGlowny"));
    stbarGlowny->setFixedHeight(25);
    stbarGlowny->setSectMainBevel(sbIsDownUp);
    stbarGlowny->setSectDateBevel(sbIsDownUp);
    stbarGlowny->setSectTimeBevel(sbIsDownUp);
    stbarGlowny->setSectOtherBevel(sbIsDownUp);
    stbarGlowny->setAlignTime(SectionAlign::Right);
    stbarGlowny->setAlignDate(SectionAlign::Right);
    stbarGlowny->setAlignOther(SectionAlign::Right);
    stbarGlowny->setAlign(SectionAlign::Bottom);
    stbarGlowny->setWidthTime(80);
    stbarGlowny->setWidthDate(80);

    lbLiczba = new QLabel(glowny::liczbaPozycji.toString(), stbarGlowny);
    lbLiczba->setObjectName(QStringLiteral("lbLiczba"));
    lbLiczba->move(8, 5);
    lbIlosc = new QLabel(QStringLiteral("0"), stbarGlowny);
    lbIlosc->setObjectName(QStringLiteral("lbIlosc"));
    QPalette navy = lbIlosc->palette();
    navy.setColor(QPalette::WindowText, QColor(0, 0, 128));
    lbIlosc->setPalette(navy);
    lbIlosc->setMinimumWidth(80);
    // At 80 pixels, unless this desktop's font makes the caption before it wider.
    lbLiczba->adjustSize();
    lbIlosc->move(std::max(80, lbLiczba->x() + lbLiczba->width() + 2), 5);
    dbNavi = new DBNavigator(stbarGlowny);
    dbNavi->setDataSource(dsFilmy);
    dbNavi->setHint(glowny::hintNavi.toString());
    dbNavi->setGeometry(kNavigatorStartLeft, 2, 84, 21);

    stbarGlowny->setTimerEnabled(true);
    connectGuarded(stbarGlowny, &TEStatusBar::OnTimer, this, [this] { stbarGlownyTimer(); });
    stbarGlowny->setUpdateInterval(0);
    // The tick sleeps between changes; what the handler shows changes only with the films
    // table, the active page and the bar's size (the bar watches that one itself).
    stbarGlowny->setSleepWhenQuiet(true);
    for (auto signal : {&DataSource::tableOpened,
                        &DataSource::tableClosed,
                        &DataSource::tableScrolled,
                        &DataSource::tableDataChanged,
                        &DataSource::tableStateChanged})
        connect(dsFilmy, signal, stbarGlowny, &TEStatusBar::wake);
    connect(pgGlowny, &QTabWidget::currentChanged, stbarGlowny, &TEStatusBar::wake);
}

bool TfmGlowny::filmsPageActive() const
{
    return pgGlowny->currentIndex() == 0;
}

void TfmGlowny::setCatalogueCommandsEnabled(bool enabled)
{
    cmdTDodaj->setEnabled(enabled);
    cmdTPopraw->setEnabled(enabled);
    setExchangeCommandsEnabled(enabled);
    Zapisz1->setEnabled(enabled);
    Zapiszjako1->setEnabled(enabled);
    for (QMenu *menu : {Edycja1, Narzedzia1, Szukaj1}) {
        menu->setEnabled(enabled);
        menu->menuAction()->setEnabled(enabled);
    }
}

void TfmGlowny::attachGridMenu(bool attach)
{
    m_gridMenuAttached = attach;
}

void TfmGlowny::cmdTOpenClick()
{
    Desktop &desktop = Desktop::instance();
    const QString file = desktop.openFileName(this, ProgramDir, glowny::openFilter.toString());
    if (file.isEmpty())
        return;
    openCatalogue(file);
}

void TfmGlowny::openCatalogue(const QString &file)
{
    Desktop &desktop = Desktop::instance();
    try { // block 1: the configuration table
        catalogue.bindConfig(toEnginePath(DataDir));
        dbfConfig.open();
    } catch (const StorageError &) {
        dbfConfig.close();
        desktop.error(this, glowny::configNotOpened.toString());
        return;
    }

    if (!filmsPageActive())
        return;

    dbfFilmy.close();
    dbfFilmy.setFileName(toEnginePath(QFileInfo(file).absoluteFilePath()));
    catalogue.bindSideTables(toEnginePath(DataDir));

    try { // block 2: the films table, then the side tables
        dbfFilmy.setIndexName("ID_CD");
        dbfFilmy.open();
        dbfDaneF.open();
        dbfGatunekF.setIndexName("GATUNEK");
        dbfGatunekF.open();
        dbfNrF.open();
        dbfZnajomi.open();
    } catch (const StorageError &) {
        dbfFilmy.close();
        desktop.error(this, glowny::filmsOpenError.toString());
        return;
    }
    reportOpenRepairs();
}

void TfmGlowny::dbfFilmyAfterOpen()
{
    showFilmCount();
    setCatalogueCommandsEnabled(true);
    attachGridMenu(true);
    lendingAfterOpen();
    rememberCatalogue();
}

void TfmGlowny::dbfFilmyAfterClose()
{
    setCatalogueCommandsEnabled(false);
    attachGridMenu(false);
    lendingAfterClose();
}

void TfmGlowny::dbfGatunekFAfterOpen()
{
    cmdTRozwin->setEnabled(!dbfGatunekF.isEmpty());
}

void TfmGlowny::Koniecprogramu1Click()
{
    if (confirmQuit())
        QCoreApplication::quit();
}

void TfmGlowny::closeEvent(QCloseEvent *event)
{
    if (!confirmQuit()) {
        event->ignore();
        return;
    }
    event->accept();
    QCoreApplication::quit();
}

void TfmGlowny::Edytujgatunekfilmu1Click()
{
    if (filmsPageActive() && genreListDialog)
        genreListDialog->exec();
}

void TfmGlowny::Edytujznajomych1Click()
{
    if (filmsPageActive() && friendsListDialog)
        friendsListDialog->exec();
}

void TfmGlowny::stbarGlownyTimer()
{
    if (filmsPageActive() && dbfFilmy.isOpen()) {
        showFilmCount();
    }
    const int left = stbarGlowny->width() - 2 * stbarGlowny->widthDate() - dbNavi->width() - 10;
    if (dbNavi->x() != left)
        dbNavi->move(left, dbNavi->y());
}

void TfmGlowny::showFilmCount()
{
    // The tick comes every 10 ms: format and repaint only when the number changed. While the
    // first count of a big catalogue runs, the label stays empty (never an old number); the
    // window shows the count when it takes it over.
    const bool known = !dbfFilmy.counting();
    const int count = known ? dbfFilmy.recordCount() : -1;
    if (count != m_shownCount || (known && lbIlosc->text().isEmpty())) {
        m_shownCount = count;
        lbIlosc->setText(known ? QString::number(count) : QString());
    }
}

void TfmGlowny::Szukaj1Click()
{
    if (filmsPageActive())
        showViewMarks();
}

void TfmGlowny::showViewMarks()
{
    PokaWszystkie1->setChecked(m_viewNumber == 1);
    Pokanastanie1->setChecked(m_viewNumber == 2);
    Pokawypozyczone1->setChecked(m_viewNumber == 3);
}

QObject *TfmGlowny::sharedAltKey(const QKeyEvent &key) const
{
    if (key.modifiers() != Qt::AltModifier)
        return nullptr;
    QPushButton *button = nullptr;
    QMenu *menu = nullptr;
    switch (key.key()) {
    case Qt::Key_N:
        button = btnNr;
        menu = Narzedzia1;
        break;
    case Qt::Key_P:
        button = btnPL;
        menu = Pomoc1;
        break;
    case Qt::Key_O:
        button = btnOrg;
        menu = Opcje1;
        break;
    default:
        return nullptr;
    }
    if (filmsPageActive() && button->isVisible() && button->isEnabled())
        return button;
    if (menu->isEnabled() && menu->menuAction()->isEnabled())
        return menu;
    return nullptr;
}

bool TfmGlowny::eventFilter(QObject *watched, QEvent *event)
{
    const auto type = event->type();
    if (type != QEvent::ShortcutOverride && type != QEvent::KeyPress)
        return QMainWindow::eventFilter(watched, event);
    auto *widget = qobject_cast<QWidget *>(watched);
    if (!widget || widget->window() != this)
        return QMainWindow::eventFilter(watched, event);
    const auto &key = *static_cast<QKeyEvent *>(event);
    QObject *target = sharedAltKey(key);
    if (!target)
        return QMainWindow::eventFilter(watched, event);
    if (type == QEvent::ShortcutOverride) {
        // Taken as a key press, so that neither shortcut sees it and none is ambiguous.
        event->accept();
        return true;
    }
    if (auto *button = qobject_cast<QPushButton *>(target))
        button->click();
    else
        menuBar()->setActiveAction(static_cast<QMenu *>(target)->menuAction());
    return true;
}

void TfmGlowny::PokaWszystkie1Click(QAction *sender)
{
    // Triggering a checkable item toggles its mark; the marks follow the view number only,
    // so they are set again from it once the handler is done.
    struct Marks
    {
        TfmGlowny *w;
        // On any page: a click on another page toggled a mark without changing the view.
        ~Marks() { w->showViewMarks(); }
    } marks{this};
    if (!filmsPageActive())
        return;
    if (sender == PokaWszystkie1) {
        dbfFilmy.setFilter({});
        m_viewNumber = 1;
    } else if (sender == Pokanastanie1) {
        dbfFilmy.setFilter("ID_OSOBY=0");
        m_viewNumber = 2;
    } else if (sender == Pokawypozyczone1) {
        dbfFilmy.setFilter("ID_OSOBY=1");
        m_viewNumber = 3;
    }
}

void TfmGlowny::Usufiltrowanie1Click()
{
    if (filmsPageActive())
        dbfFilmy.setFilter({});
}

void TfmGlowny::btnNrClick()
{
    dbfFilmy.setIndexName("ID_CD");
}

void TfmGlowny::btnPLClick()
{
    dbfFilmy.setIndexName("T_PL");
}

void TfmGlowny::btnOrgClick()
{
    dbfFilmy.setIndexName("T_ORG");
}

void TfmGlowny::btnGatClick()
{
    dbfFilmy.setIndexName("GATUNEK");
}

} // namespace welarik
