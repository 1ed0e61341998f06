// SPDX-License-Identifier: GPL-3.0-or-later
#include "DopiszF.h"

#include "Completion.h"
#include "DataSource.h"
#include "Desktop.h"
#include "DialogPicker.h"
#include "DropDownPicker.h"
#include "EditorStrings.h"
#include "EnginePath.h"
#include "FieldBinding.h"
#include "Guard.h"
#include "ModalResult.h"
#include "Pictures.h"
#include "Pytanie.h"
#include "Settings.h"
#include "completion.h"
#include "people.h"
#include "table.h"
#include "videoprobe.h"

#include <QApplication>
#include <QFile>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace welarik {

namespace {

constexpr int kClientWidth = 748;
constexpr int kClientHeight = 393;
constexpr int kToolPicture = 25;
constexpr int kYearChars = 4;
constexpr char16_t kEscChar = 27;
constexpr char16_t kEnterChar = 13;

QLabel *makeLabel(QWidget *parent, QStringView caption, const QString &field, bool above)
{
    auto *label = new QLabel(caption.toString(), parent);
    label->setObjectName(u"lb" + field);
    label->setAlignment(above ? Qt::AlignLeft | Qt::AlignBottom
                              : Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

DBEdit *makeEdit(QWidget *parent, DataSource *source, const QString &field)
{
    auto *edit = new DBEdit(parent);
    edit->setObjectName(u"Edit" + field);
    edit->bind(source, field);
    return edit;
}

QGroupBox *makeGroup(QWidget *parent, const QString &name)
{
    auto *group = new QGroupBox(parent);
    group->setObjectName(name);
    return group;
}

constexpr int kPickerWidth = 21;
// Films read per idle step for completion: a few milliseconds.
constexpr uint32_t kFilmValuesStep = 5000;
constexpr int kFilmValuesDelayMs = 300;
constexpr int kSideValuesDelayMs = 200;
constexpr int kPeopleGridHeight = 209;

// A people picker sets its role's filter also when its dialog opens, so a second choice made
// while it still holds the focus lists that role only.
class PeoplePicker final : public DialogPicker
{
public:
    using DialogPicker::DialogPicker;
    std::function<void()> beforeOpen;
    void openLookup() override
    {
        if (beforeOpen)
            beforeOpen();
        DialogPicker::openLookup();
    }
};

std::string joined(const std::string &list, const std::string &item)
{
    return list.empty() ? item : list + ", " + item;
}

void compact(QGridLayout *grid)
{
    grid->setContentsMargins(6, 3, 6, 3);
    grid->setHorizontalSpacing(4);
    grid->setVerticalSpacing(2);
}

} // namespace

TdlgDopiszFilm::TdlgDopiszFilm(DataSource *dsFilmy, QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                  | Qt::MSWindowsFixedSizeDialogHint)
{
    setObjectName(QStringLiteral("dlgDopiszFilm"));
    setFixedSize(kClientWidth, kClientHeight);
    QFont dialogFont = font();
    dialogFont.setPixelSize(11);
    setFont(dialogFont);

    dlgOpenFilm.Filter = strings::filmOpenFilter.toString();

    auto *layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildToolBar();
    layout->addWidget(tbDopisz);
    m_dsFilmy = dsFilmy;
    buildPickers(dsFilmy);
    buildPanel(dsFilmy);
    // The loan line stands under the fields, outside the panel, so it reads alike in every mode.
    auto *right = new QVBoxLayout;
    right->setContentsMargins(0, 0, 0, 0);
    right->setSpacing(0);
    right->addWidget(panelDopisz, 1);
    lbWypozyczenie = new QLabel(this);
    lbWypozyczenie->setObjectName(QStringLiteral("lbWypozyczenie"));
    lbWypozyczenie->setContentsMargins(8, 0, 4, 4);
    lbWypozyczenie->hide();
    right->addWidget(lbWypozyczenie);
    layout->addLayout(right, 1);
    arrangeTabOrder();
    buildCompletion();

    connect(EditT_PL, &QLineEdit::textChanged, this, &TdlgDopiszFilm::FormPaint);
    connect(EditT_ORG, &QLineEdit::textChanged, this, &TdlgDopiszFilm::FormPaint);
    FormPaint();
}

TdlgDopiszFilm::~TdlgDopiszFilm()
{
    qApp->removeEventFilter(this);
}

void TdlgDopiszFilm::buildToolBar()
{
    tbDopisz = new QToolBar(this);
    tbDopisz->setObjectName(QStringLiteral("tbDopisz"));
    tbDopisz->setOrientation(Qt::Vertical);
    tbDopisz->setMovable(false);
    tbDopisz->setFloatable(false);
    tbDopisz->setIconSize(QSize(kToolPicture, kToolPicture));

    const auto button = [this](const char *name, QStringView hint, QStringView picture) {
        auto *b = new QToolButton(tbDopisz);
        b->setObjectName(QString::fromLatin1(name));
        b->setToolTip(hint.toString());
        b->setIcon(pictureIcon(picture, kToolPicture));
        b->setIconSize(QSize(kToolPicture, kToolPicture));
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        tbDopisz->addWidget(b);
        return b;
    };
    btnDopiszOK = button("btnDopiszOK", strings::filmHintOk, u"tick");
    btnDopiszCANCEL = button("btnDopiszCANCEL", strings::filmHintCancel, u"cross");
    btnDopiszINFO = button("btnDopiszINFO", strings::filmHintInfo, u"film-info");
    btnDopiszWEB = button("btnDopiszWEB", strings::filmHintWeb, u"web");
    btnDopiszWEB->setEnabled(false);

    connectGuarded(btnDopiszOK, &QToolButton::clicked, this, [this] { btnDopiszOKClick(); });
    connectGuarded(
        btnDopiszCANCEL, &QToolButton::clicked, this, [this] { btnDopiszCANCELClick(); });
    connectGuarded(btnDopiszINFO, &QToolButton::clicked, this, [this] { btnDopiszINFOClick(); });
    connectGuarded(btnDopiszWEB, &QToolButton::clicked, this, [this] { btnDopiszWEBClick(); });
}

void TdlgDopiszFilm::buildPanel(DataSource *ds)
{
    panelDopisz = new QWidget(this);
    panelDopisz->setObjectName(QStringLiteral("panelDopisz"));
    auto *panel = new QVBoxLayout(panelDopisz);
    panel->setContentsMargins(4, 4, 4, 4);
    panel->setSpacing(4);
    buildTitleGroup(ds);
    panel->addWidget(GroupBox1);
    buildDescriptionGroup(ds);
    panel->addWidget(GroupBox2, 1);

    auto *bottom = new QHBoxLayout;
    bottom->setSpacing(4);
    buildRemarksGroup(ds);
    bottom->addWidget(GroupBox3, 2);
    buildTechnicalGroup(ds);
    bottom->addWidget(GroupBox4, 5);
    panel->addLayout(bottom);
}

// Group 1: the CD number and the two titles, labels above their edits.
void TdlgDopiszFilm::buildTitleGroup(DataSource *ds)
{
    GroupBox1 = makeGroup(panelDopisz, QStringLiteral("GroupBox1"));
    auto *g1 = new QGridLayout(GroupBox1);
    compact(g1);
    g1->setVerticalSpacing(1);
    EditID_CD = makeEdit(GroupBox1, ds, QStringLiteral("ID_CD"));
    EditID_CD->setEnabled(false);
    EditID_CD->setFixedWidth(70);
    EditT_PL = makeEdit(GroupBox1, ds, QStringLiteral("T_PL"));
    EditT_ORG = makeEdit(GroupBox1, ds, QStringLiteral("T_ORG"));
    g1->addWidget(
        makeLabel(GroupBox1, strings::filmLabelIdCd, QStringLiteral("ID_CD"), true), 0, 0);
    g1->addWidget(makeLabel(GroupBox1, strings::filmLabelTPl, QStringLiteral("T_PL"), true), 0, 2);
    g1->addWidget(
        makeLabel(GroupBox1, strings::filmLabelTOrg, QStringLiteral("T_ORG"), true), 0, 3);
    g1->addWidget(EditID_CD, 1, 0);
    g1->addWidget(dbeNr, 1, 1);
    g1->addWidget(EditT_PL, 1, 2);
    g1->addWidget(EditT_ORG, 1, 3);
    g1->setColumnStretch(2, 1);
    g1->setColumnStretch(3, 1);
}

// Group 2: genre, people, year and country on the left half, the description on the right.
// Column 5 holds the pickers beside their edits.
void TdlgDopiszFilm::buildDescriptionGroup(DataSource *ds)
{
    GroupBox2 = makeGroup(panelDopisz, QStringLiteral("GroupBox2"));
    auto *g2 = new QGridLayout(GroupBox2);
    compact(g2);
    int row = 0;
    const auto personRow = [&](QStringView caption, const QString &field, QWidget *picker) {
        DBEdit *edit = makeEdit(GroupBox2, ds, field);
        g2->addWidget(makeLabel(GroupBox2, caption, field, false), row, 0);
        g2->addWidget(edit, row, 1, 1, 4);
        g2->addWidget(picker, row, 5);
        ++row;
        return edit;
    };
    EditGATUNEK = personRow(strings::filmLabelGatunek, QStringLiteral("GATUNEK"), dbeGatunek);
    EditREZYSER = personRow(strings::filmLabelRezyser, QStringLiteral("REZYSER"), dbeRezyser);
    EditSCENARIU = personRow(strings::filmLabelScenariu, QStringLiteral("SCENARIU"), dbeScenariu);
    EditZDJECIA = personRow(strings::filmLabelZdjecia, QStringLiteral("ZDJECIA"), dbeZdjecia);
    EditAKTORZY = personRow(strings::filmLabelAktorzy, QStringLiteral("AKTORZY"), dbeAktorzy);
    EditD_PROD = makeEdit(GroupBox2, ds, QStringLiteral("D_PROD"));
    EditD_PROD->setMaxChars(kYearChars);
    EditD_PROD->setFixedWidth(48);
    EditKRAJ = makeEdit(GroupBox2, ds, QStringLiteral("KRAJ"));
    g2->addWidget(
        makeLabel(GroupBox2, strings::filmLabelDProd, QStringLiteral("D_PROD"), false), row, 0);
    g2->addWidget(EditD_PROD, row, 1);
    g2->addWidget(
        makeLabel(GroupBox2, strings::filmLabelKraj, QStringLiteral("KRAJ"), false), row, 3);
    g2->addWidget(EditKRAJ, row, 4);
    ++row;
    g2->setRowStretch(row, 1);
    g2->setColumnStretch(4, 1);
    MemoOPIS = new DBMemo(GroupBox2);
    MemoOPIS->setObjectName(QStringLiteral("MemoOPIS"));
    MemoOPIS->bind(ds, QStringLiteral("OPIS"));
    // Tab moves on to the next control, as in every other edit; Enter still breaks lines.
    MemoOPIS->setTabChangesFocus(true);
    g2->addWidget(MemoOPIS, 0, 6, row + 1, 1);
    g2->setColumnMinimumWidth(5, 4);
    // The description fills the right half of the group.
    g2->setColumnStretch(6, 0);
    MemoOPIS->setFixedWidth((kClientWidth - 40) / 2 - 8);
}

// Group 3: number of CDs, watched, remarks.
void TdlgDopiszFilm::buildRemarksGroup(DataSource *ds)
{
    GroupBox3 = makeGroup(panelDopisz, QStringLiteral("GroupBox3"));
    auto *g3 = new QGridLayout(GroupBox3);
    compact(g3);
    EditILOSC_CD = makeEdit(GroupBox3, ds, QStringLiteral("ILOSC_CD"));
    EditILOSC_CD->setFixedWidth(48);
    cbOBEJRZAN = new DBCheckBox(GroupBox3);
    cbOBEJRZAN->setObjectName(QStringLiteral("cbOBEJRZAN"));
    cbOBEJRZAN->setValueChecked(QStringLiteral("True"));
    cbOBEJRZAN->setValueUnchecked(QStringLiteral("False"));
    cbOBEJRZAN->bind(ds, QStringLiteral("OBEJRZAN"));
    EditUWAGI = makeEdit(GroupBox3, ds, QStringLiteral("UWAGI"));
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelIloscCd, QStringLiteral("ILOSC_CD"), false), 0, 0);
    g3->addWidget(EditILOSC_CD, 0, 1, Qt::AlignLeft);
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelObejrzan, QStringLiteral("OBEJRZAN"), false), 1, 0);
    g3->addWidget(cbOBEJRZAN, 1, 1, Qt::AlignLeft);
    g3->addWidget(
        makeLabel(GroupBox3, strings::filmLabelUwagi, QStringLiteral("UWAGI"), false), 2, 0);
    g3->addWidget(EditUWAGI, 2, 1);
    g3->setColumnStretch(1, 1);
    g3->setRowStretch(3, 1);
}

// Group 4: the technical data, video on the left, audio on the right (the probe fills them).
void TdlgDopiszFilm::buildTechnicalGroup(DataSource *ds)
{
    GroupBox4 = makeGroup(panelDopisz, QStringLiteral("GroupBox4"));
    auto *g4 = new QGridLayout(GroupBox4);
    compact(g4);
    const auto techRow = [&](int r, int c, QStringView caption, const QString &field) {
        DBEdit *edit = makeEdit(GroupBox4, ds, field);
        g4->addWidget(makeLabel(GroupBox4, caption, field, false), r, c);
        g4->addWidget(edit, r, c + 1);
        return edit;
    };
    EditCZAS = techRow(0, 0, strings::filmLabelCzas, QStringLiteral("CZAS"));
    EditROZMIAR = techRow(1, 0, strings::filmLabelRozmiar, QStringLiteral("ROZMIAR"));
    EditCVIDEO = techRow(2, 0, strings::filmLabelCVideo, QStringLiteral("CVIDEO"));
    EditROZDZIEL = techRow(3, 0, strings::filmLabelRozdziel, QStringLiteral("ROZDZIEL"));
    EditVBITRATE = techRow(4, 0, strings::filmLabelVBitrate, QStringLiteral("VBITRATE"));
    EditFPS = techRow(0, 2, strings::filmLabelFps, QStringLiteral("FPS"));
    EditKANALY = techRow(1, 2, strings::filmLabelKanaly, QStringLiteral("KANALY"));
    EditCAUDIO = techRow(2, 2, strings::filmLabelCAudio, QStringLiteral("CAUDIO"));
    EditSAMPLE_R = techRow(3, 2, strings::filmLabelSampleR, QStringLiteral("SAMPLE_R"));
    EditABITRATE = techRow(4, 2, strings::filmLabelABitrate, QStringLiteral("ABITRATE"));
    g4->setColumnStretch(1, 1);
    g4->setColumnStretch(3, 1);
}

void TdlgDopiszFilm::arrangeTabOrder()
{
    // The genre and people pickers are skipped by Tab; the number picker comes last.
    const QWidget *order[]
        = {EditT_PL,    EditT_ORG,  EditGATUNEK, EditREZYSER,  EditSCENARIU, EditZDJECIA,
           EditAKTORZY, EditD_PROD, EditKRAJ,    MemoOPIS,     EditILOSC_CD, cbOBEJRZAN,
           EditUWAGI,   EditCZAS,   EditROZMIAR, EditCVIDEO,   EditROZDZIEL, EditVBITRATE,
           EditFPS,     EditKANALY, EditCAUDIO,  EditSAMPLE_R, EditABITRATE, dbeNr};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(const_cast<QWidget *>(order[i - 1]), const_cast<QWidget *>(order[i]));
}

void TdlgDopiszFilm::buildPickers(DataSource *dsFilmy)
{
    dbeNr = new DropDownPicker;
    dbeNr->setObjectName(QStringLiteral("dbeNr"));
    dbeNr->setLookupField(QStringLiteral("ID_CD"));
    dbeNr->setSelected({QStringLiteral("ID_CD\t10\tID_CD\tF")});
    dbeNr->setOptions(LookupOptions());
    dbeNr->setToolTip(strings::filmHintNr.toString());
    // Supplies FillTable only: the close-up writes the number, not the picker.
    dbeNr->setDataSource(dsFilmy);

    dbeGatunek = new DropDownPicker;
    dbeGatunek->setObjectName(QStringLiteral("dbeGatunek"));
    dbeGatunek->setLookupField(QStringLiteral("GATUNEK"));
    dbeGatunek->setSelected({QStringLiteral("GATUNEK\t25\tGatunek\tF")});
    dbeGatunek->setOptions(LookupOptions(loColLines | loRowLines));

    for (DropDownPicker *p : {dbeNr, dbeGatunek}) {
        p->setDropDownAlignment(taLeftJustify);
        p->setDropDownCount(8);
        p->setDropDownWidth(0);
        p->setAutoDropDown(false);
        p->setUseTFields(true);
    }
    connectGuarded(
        dbeNr, &LookupPicker::OnCloseUp, this, [this](auto... args) { dbeNrCloseUp(args...); });
    connectGuarded(dbeGatunek, &LookupPicker::OnCloseUp, this, [this](auto... args) {
        dbeGatunekCloseUp(args...);
    });

    const auto person = [this](const char *name, QStringView caption) {
        auto *p = new PeoplePicker;
        p->setObjectName(QString::fromLatin1(name));
        p->setLookupField(QStringLiteral("NAZWISKO"));
        p->setSelected({QStringLiteral("NAZWISKO\t30\tNazwisko\tF")});
        p->setCaption(caption.toString());
        p->setOptions(SearchDialogOptions(opShowOKCancel));
        p->setGridOptions(GridOptions(dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection
                                      | dgConfirmDelete | dgNoLimitColSize));
        p->setGridColor(Qt::white);
        p->setGridTitleAlignment(taLeftJustify);
        p->setMaxWidth(0);
        p->setMaxHeight(kPeopleGridHeight);
        p->setStyle(csDropDownList);
        p->setUseTFields(false);
        p->setOrderByDisplay(false);
        p->beforeOpen = [this, p] {
            dbeRezyserEnter(p);
        };
        connectGuarded(p, &LookupPicker::OnEnter, this, [this, p] { dbeRezyserEnter(p); });
        connectGuarded(p, &LookupPicker::OnCloseUp, this, [this](auto... args) {
            dbeRezyserCloseUp(args...);
        });
        return p;
    };
    dbeRezyser = person("dbeRezyser", strings::filmCaptionRezyser);
    dbeScenariu = person("dbeScenariu", strings::filmCaptionScenariu);
    dbeZdjecia = person("dbeZdjecia", strings::filmCaptionZdjecia);
    dbeAktorzy = person("dbeAktorzy", strings::filmCaptionAktorzy);

    for (LookupPicker *p : std::initializer_list<LookupPicker *>{
             dbeNr, dbeGatunek, dbeRezyser, dbeScenariu, dbeZdjecia, dbeAktorzy}) {
        p->setShowButton(true);
        p->setAllowClearKey(false);
        p->setFixedWidth(kPickerWidth);
        if (p != dbeNr) {
            // Used with the mouse: Tab passes them by.
            p->setFocusPolicy(Qt::ClickFocus);
            p->textPart()->setFocusPolicy(Qt::ClickFocus);
        }
    }
}

void TdlgDopiszFilm::setLookupSources(DataSource *dsNrF,
                                      DataSource *dsGatunekF,
                                      DataSource *dsDaneF)
{
    m_dsNrF = dsNrF;
    m_dsGatunekF = dsGatunekF;
    m_dsDaneF = dsDaneF;
    dbeNr->setLookupTable(dsNrF ? dsNrF->table() : nullptr);
    dbeGatunek->setLookupTable(dsGatunekF ? dsGatunekF->table() : nullptr);
    for (DialogPicker *p : {dbeRezyser, dbeScenariu, dbeZdjecia, dbeAktorzy})
        p->setLookupTable(dsDaneF ? dsDaneF->table() : nullptr);
    // Any change of the people or the genres (also a filter) has them read at the next showing.
    m_sideValuesDirty = true;
    for (DataSource *source : {dsGatunekF, dsDaneF}) {
        if (!source)
            continue;
        for (auto signal :
             {&DataSource::tableOpened, &DataSource::tableClosed, &DataSource::tableDataChanged}) {
            connect(source, signal, this, [this] {
                m_sideValuesDirty = true;
                // Read again while idle, once the changes have settled.
                m_sideValuesRead.start();
            });
        }
    }
}

void TdlgDopiszFilm::setPersonAdder(std::function<bool(char role)> adder)
{
    const std::pair<DialogPicker *, char> pickers[]
        = {{dbeRezyser, 'R'}, {dbeScenariu, 'S'}, {dbeZdjecia, 'Z'}, {dbeAktorzy, 'A'}};
    for (const auto &[picker, role] : pickers) {
        if (!adder) {
            picker->setAction({}, nullptr);
            continue;
        }
        picker->setAction(strings::filmAddPerson.toString(), [this, adder, role](Table &) {
            if (!adder(role))
                return false;
            refreshCompletion(); // the new name is offered at once
            return true;
        });
    }
}

void TdlgDopiszFilm::buildCompletion()
{
    // Lists: genres and actors; the rest hold one value.
    for (const auto &[edit, list] : {std::pair{EditREZYSER, false},
                                     std::pair{EditSCENARIU, false},
                                     std::pair{EditZDJECIA, false},
                                     std::pair{EditAKTORZY, true},
                                     std::pair{EditGATUNEK, true},
                                     std::pair{EditKRAJ, false},
                                     std::pair{EditCVIDEO, false},
                                     std::pair{EditCAUDIO, false}})
        m_completers.push_back(new FieldCompleter(edit, list, this));

    // People and genres are read again while idle after they changed (a showing before that
    // reads them itself); a read error waits for the showing, which reports it.
    m_sideValuesRead.setSingleShot(true);
    m_sideValuesRead.setInterval(kSideValuesDelayMs);
    connect(&m_sideValuesRead, &QTimer::timeout, this, [this] {
        try {
            if (m_sideValuesDirty && Settings::autocomplete() && !isVisible())
                readSideValues();
        } catch (const std::exception &) {
        }
    });

    // The films' values are read anew for each opening of the films table, while idle.
    m_filmValuesStep.setInterval(0);
    connect(&m_filmValuesStep, &QTimer::timeout, this, [this] { readFilmValues(); });
    connect(m_dsFilmy, &DataSource::tableOpened, this, [this] {
        m_filmValues.reset();
        m_filmValuesDirty = true;
        // After the opening has shown its first rows.
        QTimer::singleShot(kFilmValuesDelayMs, this, [this] {
            if (Settings::autocomplete() && !m_filmValues.complete() && films()->isOpen())
                m_filmValuesStep.start();
        });
    });
    connect(m_dsFilmy, &DataSource::tableClosed, this, [this] {
        m_filmValuesStep.stop();
        m_filmValues.reset();
        m_filmValuesDirty = true;
    });
}

void TdlgDopiszFilm::readFilmValues()
{
    // A read error here stops the idle reading silently: the next showing reads the rest and
    // reports it.
    try {
        m_filmValuesDirty = true;
        if (m_filmValues.step(*films(), kFilmValuesStep))
            m_filmValuesStep.stop();
    } catch (const std::exception &) {
        m_filmValuesStep.stop();
    }
}

FieldCompleter *TdlgDopiszFilm::completion(const QLineEdit *edit) const
{
    for (FieldCompleter *c : m_completers) {
        if (c->edit() == edit)
            return c;
    }
    return nullptr;
}

void TdlgDopiszFilm::refreshCompletion()
{
    const bool on = panelDopisz->isEnabled() && Settings::autocomplete();
    for (FieldCompleter *c : m_completers)
        c->setEnabled(on);
    if (!on)
        return;
    m_filmValuesStep.stop();
    if (films() && films()->isOpen() && !m_filmValues.complete()) {
        m_filmValues.step(*films(), UINT32_MAX);
        m_filmValuesDirty = true;
    }
    // Only what changed since it was last read is read and sorted again.
    if (m_sideValuesDirty)
        readSideValues();
    CompletionValues values;
    if (m_filmValuesDirty) {
        m_filmValues.fill(values);
        completion(EditKRAJ)->setValues(values.countries);
        completion(EditCVIDEO)->setValues(values.videoCodecs);
        completion(EditCAUDIO)->setValues(values.audioCodecs);
        m_filmValuesDirty = false;
    }
}

void TdlgDopiszFilm::readSideValues()
{
    const auto tableOf = [](DataSource *source) {
        return source ? source->table() : nullptr;
    };
    const CompletionValues values
        = collectCompletionValues(nullptr, tableOf(m_dsDaneF), tableOf(m_dsGatunekF));
    const std::pair<QLineEdit *, const std::vector<std::string> *> lists[]
        = {{EditREZYSER, &values.people[0]},
           {EditSCENARIU, &values.people[1]},
           {EditZDJECIA, &values.people[2]},
           {EditAKTORZY, &values.people[3]},
           {EditGATUNEK, &values.genres}};
    for (const auto &[edit, list] : lists)
        completion(edit)->setValues(*list);
    m_sideValuesDirty = false;
}

Table *TdlgDopiszFilm::films() const
{
    return m_dsFilmy->table();
}

void TdlgDopiszFilm::dbeNrCloseUp(QObject *, Table *, Table *, bool modified)
{
    // Without an accepted row nothing changes: the text may be a number accepted for another
    // film, or empty.
    if (modified)
        films()->setString("ID_CD", dbeNr->text().toStdString());
}

void TdlgDopiszFilm::dbeGatunekCloseUp(QObject *, Table *, Table *, bool modified)
{
    if (!modified)
        return;
    Table &table = *films();
    table.setString("GATUNEK", joined(table.asString("GATUNEK"), dbeGatunek->text().toStdString()));
}

void TdlgDopiszFilm::dbeRezyserEnter(QObject *Sender)
{
    Table *people = dbeRezyser->lookupTable();
    if (!people)
        return;
    const char *filter = Sender == dbeRezyser    ? "TYP='R'"
                         : Sender == dbeScenariu ? "TYP='S'"
                         : Sender == dbeZdjecia  ? "TYP='Z'"
                                                 : "TYP='A'";
    people->setFilter(filter);
    people->setFiltered(true);
}

void TdlgDopiszFilm::dbeRezyserCloseUp(QObject *Sender, Table *LookupTable, Table *, bool modified)
{
    if (!modified || !LookupTable)
        return;
    // The stored surname and first name, nothing trimmed.
    const std::string person
        = LookupTable->rawString("NAZWISKO") + ' ' + LookupTable->rawString("IMIE");
    Table &table = *films();
    if (Sender == dbeAktorzy)
        table.setString("AKTORZY", joined(table.asString("AKTORZY"), person));
    else
        table.setString(Sender == dbeRezyser    ? "REZYSER"
                        : Sender == dbeScenariu ? "SCENARIU"
                                                : "ZDJECIA",
                        person);
    LookupTable->setFiltered(false);
}

DBEdit *TdlgDopiszFilm::probeEdit(ProbeEdit edit) const
{
    switch (edit) {
    case ProbeEdit::Fps:
        return EditFPS;
    case ProbeEdit::Rozmiar:
        return EditROZMIAR;
    case ProbeEdit::Czas:
        return EditCZAS;
    case ProbeEdit::Rozdziel:
        return EditROZDZIEL;
    case ProbeEdit::CVideo:
        return EditCVIDEO;
    case ProbeEdit::VBitrate:
        return EditVBITRATE;
    case ProbeEdit::CAudio:
        return EditCAUDIO;
    case ProbeEdit::ABitrate:
        return EditABITRATE;
    case ProbeEdit::Kanaly:
        return EditKANALY;
    case ProbeEdit::SampleR:
        return EditSAMPLE_R;
    }
    return nullptr;
}

void TdlgDopiszFilm::applyProbeResult(const ProbeResult &result)
{
    for (size_t i = 0; i < kProbeEditCount; ++i) {
        if (const std::optional<std::string> &text = result.edits[i])
            probeEdit(static_cast<ProbeEdit>(i))->setText(QString::fromStdString(*text));
    }
    const std::string message = result.errorText();
    if (message.empty())
        return;
    // A file that cannot be opened or read is reported like any other uncaught file error.
    if (result.status == ProbeStatus::FileFailed)
        Desktop::instance().defaultError(QString::fromStdString(message));
    else
        Desktop::instance().plain(this, QString::fromStdString(message));
}

bool TdlgDopiszFilm::OpenDialog::Execute(QWidget *parent)
{
    const QString chosen = Desktop::instance().openFileName(parent, InitialDir, Filter);
    if (chosen.isEmpty())
        return false;
    FileName = chosen;
    return true;
}

void TdlgDopiszFilm::FormActivate()
{
    const bool editing = panelDopisz->isEnabled();
    if (editing)
        EditT_PL->setFocus(Qt::OtherFocusReason);
    btnDopiszCANCEL->setEnabled(editing);
    btnDopiszINFO->setEnabled(editing);
    const Table *pool = m_dsNrF ? m_dsNrF->table() : nullptr;
    dbeNr->setEnabled(pool && pool->isOpen() && pool->recordCount() >= 1);
    const QString loan = loanLine ? loanLine() : QString();
    lbWypozyczenie->setText(loan);
    lbWypozyczenie->setVisible(!loan.isEmpty());
    FormPaint();
}

void TdlgDopiszFilm::FormPaint()
{
    const QString titles = EditT_PL->text() + EditT_ORG->text();
    btnDopiszWEB->setEnabled(!titles.isEmpty());
}

void TdlgDopiszFilm::FormKeyPress(char16_t key)
{
    if (key == kEscChar)
        done(mrCancel);
    else if (key == kEnterChar)
        btnDopiszOKClick();
}

void TdlgDopiszFilm::btnDopiszOKClick()
{
    if (!panelDopisz->isEnabled()) {
        done(mrCancel);
        return;
    }
    TdlgPytanie &question = questionDialog();
    question.Question = strings::filmSaveQuestion.toString();
    if (question.exec() == mrOk)
        done(mrOk);
}

void TdlgDopiszFilm::btnDopiszCANCELClick()
{
    done(mrCancel);
}

void TdlgDopiszFilm::btnDopiszINFOClick()
{
    if (!dlgOpenFilm.Execute(this))
        return;
    // An AVI file goes through our AVI probe, any other through MediaInfoLib.
    applyProbeResult(probeAnyVideoFile(toEnginePath(dlgOpenFilm.FileName)));
}

void TdlgDopiszFilm::btnDopiszWEBClick() {}

int TdlgDopiszFilm::exec()
{
    if (scriptedRun)
        return scriptedRun(*this);
    return QDialog::exec();
}

void TdlgDopiszFilm::done(int result)
{
    if (result == mrOk) {
        m_filmValues.add(EditKRAJ->text().toStdString(),
                         EditCVIDEO->text().toStdString(),
                         EditCAUDIO->text().toStdString());
        m_filmValuesDirty = true;
    }
    QDialog::done(result);
}

void TdlgDopiszFilm::reject()
{
    // The close box answers Cancel.
    done(mrCancel);
}

TdlgPytanie &TdlgDopiszFilm::questionDialog()
{
    if (m_question)
        return *m_question;
    if (!m_ownQuestion)
        m_ownQuestion = std::make_unique<TdlgPytanie>(parentWidget());
    return *m_ownQuestion;
}

void TdlgDopiszFilm::showEvent(QShowEvent *e)
{
    FormActivate();
    runGuarded([this] { refreshCompletion(); });
    if (const QScreen *screen = this->screen())
        move(screen->availableGeometry().center() - frameGeometry().center() + pos());
    // Key preview: Esc and Enter reach the dialog before the focused control.
    qApp->installEventFilter(this);
    QDialog::showEvent(e);
}

void TdlgDopiszFilm::hideEvent(QHideEvent *e)
{
    qApp->removeEventFilter(this);
    for (FieldCompleter *c : m_completers)
        c->setEnabled(false);
    if (m_sideValuesDirty)
        m_sideValuesRead.start();
    QDialog::hideEvent(e);
}

void TdlgDopiszFilm::keyPressEvent(QKeyEvent *e)
{
    switch (e->key()) {
    case Qt::Key_Escape:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        // Already handled by the key preview; the dialog's own default button handling would
        // close it a second time.
        e->ignore();
        return;
    default:
        QDialog::keyPressEvent(e);
    }
}

bool TdlgDopiszFilm::eventFilter(QObject *watched, QEvent *e)
{
    if (e->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto *widget = static_cast<QWidget *>(watched);
    if (!isVisible() || widget->window() != this)
        return false;
    // Only the first delivery of a key counts, not its propagation to the parents: the key goes
    // first to the focused control, or to the dialog when none of its controls has the focus.
    QWidget *focus = QApplication::focusWidget();
    const bool focusInside = focus && focus->window() == this;
    if (widget != (focusInside ? focus : this))
        return false;

    const auto *key = static_cast<QKeyEvent *>(e);
    const Qt::KeyboardModifiers mods = key->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    char16_t ch = 0;
    if (key->key() == Qt::Key_Escape)
        ch = kEscChar;
    else if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter)
             && mods == Qt::NoModifier)
        ch = kEnterChar;
    if (ch == 0)
        return false;
    FormKeyPress(ch);
    // The control still receives the key while the dialog stays open (Enter in the description
    // adds a line break). Once the key closed the dialog it goes no further: an Enter that
    // confirmed the save would otherwise add a line break to the description being saved.
    return !isVisible();
}

} // namespace welarik
