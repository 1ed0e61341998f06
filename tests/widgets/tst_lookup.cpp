// SPDX-License-Identifier: GPL-3.0-or-later
// The lookup controls driven by real keys and mouse presses over demo tables: the drop-down
// picker's list (height, placement, highlight, accepting and Escape), the dialog picker with its
// lookup dialog, incremental search through the tags, the index selector and the quick find.

// Mouse events go through the window system, so that a press outside an open list reaches the
// list the way a user's press does.
#define QTEST_QPA_MOUSE_HANDLING

#include "../support/qt/ModalHelper.h"
#include "DataSource.h"
#include "Desktop.h"
#include "DialogPicker.h"
#include "DropDownPicker.h"
#include "LookupDialog.h"
#include "QuickFind.h"
#include "TableModel.h"
#include "catalogue.h"
#include "demo.h"
#include "table.h"
#include "tableengine.h"

#include <QComboBox>
#include <QFrame>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QVBoxLayout>
#include <QtTest>

#include <memory>

using namespace welarik;
using welarik::test::ModalHelper;

namespace {

// Types text one character at a time, as the keyboard does (Polish letters too).
void typeText(QWidget *widget, const QString &text)
{
    for (const QChar c : text)
        QTest::sendKeyEvent(QTest::Click, widget, Qt::Key(c.toUpper().unicode()), QString(c), {});
}

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

// Closes a dialog a failed check left open, so that its exec() returns.
struct CloseOnExit
{
    QDialog *dialog;
    ~CloseOnExit()
    {
        if (dialog->isVisible())
            dialog->done(mrCancel);
    }
};

} // namespace

class TestLookup : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void listHeightFollowsRecords();
    void highlightEscapeAndAccept();
    void pressOutsideAndReleaseOverRowAccept();
    void openingWarningsAndBadColumnLines();
    void dialogPicker();
    void incrementalSearch();
    void quickFind();

private:
    std::string genres(int count);
    void openOver(Table &table, const std::string &path, const char *tag);
    DropDownPicker *genrePicker(Table *table);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<ScopedScriptedDesktop> m_desktop;
    std::unique_ptr<QWidget> m_host;
    QLineEdit *m_other = nullptr;
    DemoSummary m_demo;
};

void TestLookup::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    EngineDemoWriter writer;
    m_demo = createDemoCatalogue(FileSystem::real(), m_dir->path().toStdString(), {}, writer);
    m_desktop = std::make_unique<ScopedScriptedDesktop>();
    m_host = std::make_unique<QWidget>();
    m_host->resize(400, 300);
    m_other = new QLineEdit(m_host.get());
    m_other->setGeometry(10, 250, 100, 21);
    m_host->show();
    m_host->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_host.get()));
    m_other->setFocus();
}

void TestLookup::cleanup()
{
    m_host.reset();
    m_desktop.reset();
    m_dir.reset();
}

// A genre table holding "G01".."Gnn".
std::string TestLookup::genres(int count)
{
    const std::string path = m_dir->filePath(QStringLiteral("G%1.DBF").arg(count)).toStdString();
    FieldDesc field;
    field.name = "GATUNEK";
    field.length = 30;
    TableEngine::create(FileSystem::real(), path, 4, 0x57, {field}, {{"GATUNEK", "GATUNEK"}})
        ->close();
    Table t;
    t.setFileName(path);
    t.open();
    for (int i = 1; i <= count; ++i) {
        t.insert();
        t.setString("GATUNEK", QStringLiteral("G%1").arg(i, 2, 10, QLatin1Char('0')).toStdString());
        t.post();
    }
    return path;
}

void TestLookup::openOver(Table &table, const std::string &path, const char *tag)
{
    table.setFileName(path);
    table.setIndexName(tag);
    table.open();
}

DropDownPicker *TestLookup::genrePicker(Table *table)
{
    auto *picker = new DropDownPicker(m_host.get());
    picker->setGeometry(300, 10, 22, 22);
    picker->setLookupTable(table);
    picker->setLookupField(QStringLiteral("GATUNEK"));
    picker->setSelected({QStringLiteral("GATUNEK\t25\tGatunek\tF")});
    picker->setUseTFields(true);
    picker->show();
    return picker;
}

void TestLookup::listHeightFollowsRecords()
{
    for (const auto &[count, rows] : {std::pair{3, 3}, std::pair{20, 8}}) {
        Table table;
        openOver(table, genres(count), "GATUNEK");
        DropDownPicker *picker = genrePicker(&table);
        picker->setDropDownAlignment(taRightJustify);
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QVERIFY(picker->isDroppedDown());
        TableGrid *grid = picker->listGrid();
        QCOMPARE(grid->viewport()->height(), rows * grid->verticalHeader()->defaultSectionSize());
        QCOMPARE(grid->verticalScrollBar()->isVisible(), count > rows);
        // Right-aligned, below the picker, at least as wide as the picker less 4 pixels.
        const QRect list = picker->listWindow()->geometry();
        const QPoint corner = picker->mapToGlobal(QPoint(picker->width(), picker->height()));
        QCOMPARE(list.right() + 1, corner.x());
        QCOMPARE(list.top(), corner.y());
        QTest::keyClick(picker->listWindow(), Qt::Key_Escape);
        delete picker;
    }
    // Near the bottom of the work area the list opens above the picker.
    Table table;
    openOver(table, genres(12), "GATUNEK");
    m_host->move(0, m_host->screen()->availableGeometry().bottom() - 60);
    QTRY_VERIFY(m_host->mapToGlobal(QPoint(0, 0)).y() > 300);
    DropDownPicker *picker = genrePicker(&table);
    QTest::mouseClick(picker->button(), Qt::LeftButton);
    QCOMPARE(picker->listWindow()->geometry().bottom() + 1, picker->mapToGlobal(QPoint(0, 0)).y());
}

void TestLookup::highlightEscapeAndAccept()
{
    Table table;
    openOver(table, genres(20), "GATUNEK");
    DropDownPicker *picker = genrePicker(&table);
    QSignalSpy enter(picker, &LookupPicker::OnEnter);
    QSignalSpy closeUp(picker, &LookupPicker::OnCloseUp);
    bool openAtEnter = true;
    connect(picker, &LookupPicker::OnEnter, this, [&] { openAtEnter = picker->isDroppedDown(); });

    // The press moves the focus first: the enter event runs before the list opens.
    QTest::mouseClick(picker->button(), Qt::LeftButton);
    QCOMPARE(enter.count(), 1);
    QVERIFY(!openAtEnter);
    QVERIFY(picker->isDroppedDown());
    QCOMPARE(qs(table.asString("GATUNEK")), QStringLiteral("G01")); // empty text: first record
    QTest::keyClick(picker->listWindow(), Qt::Key_Down);
    QTest::keyClick(picker->listWindow(), Qt::Key_Down);
    QCOMPARE(picker->text(), QStringLiteral("G03"));
    QTest::keyClick(picker->listWindow(), Qt::Key_Escape);
    QVERIFY(!picker->isDroppedDown());
    QCOMPARE(closeUp.count(), 1);
    QCOMPARE(closeUp.at(0).at(3).toBool(), false);
    QCOMPARE(closeUp.at(0).at(0).value<QObject *>(), picker);
    QCOMPARE(picker->text(), QStringLiteral("G03"));
    QCOMPARE(qs(table.asString("GATUNEK")), QStringLiteral("G03"));

    // F4 reopens on the record holding the text; PageDown moves a page; Enter accepts.
    table.first();
    QTest::keyClick(picker->textPart(), Qt::Key_F4);
    QCOMPARE(qs(table.asString("GATUNEK")), QStringLiteral("G03"));
    QTest::keyClick(picker->listWindow(), Qt::Key_PageDown);
    QCOMPARE(picker->text(), QStringLiteral("G11"));
    QTest::keyClick(picker->listWindow(), Qt::Key_Return);
    QCOMPARE(closeUp.count(), 2);
    QCOMPARE(closeUp.at(1).at(3).toBool(), true);
    QCOMPARE(picker->text(), QStringLiteral("G11"));

    // Alt+Down opens; the focus leaving the picker accepts. No new enter event meanwhile.
    QTest::keyClick(picker->textPart(), Qt::Key_Down, Qt::AltModifier);
    QVERIFY(picker->isDroppedDown());
    QTest::keyClick(picker->listWindow(), Qt::Key_Up);
    m_other->setFocus(Qt::TabFocusReason);
    QVERIFY(!picker->isDroppedDown());
    QCOMPARE(closeUp.count(), 3);
    QCOMPARE(closeUp.at(2).at(3).toBool(), true);
    QCOMPARE(picker->text(), QStringLiteral("G10"));
    QCOMPARE(enter.count(), 1);
}

void TestLookup::pressOutsideAndReleaseOverRowAccept()
{
    Table table;
    openOver(table, genres(20), "GATUNEK");
    DropDownPicker *picker = genrePicker(&table);
    QSignalSpy closeUp(picker, &LookupPicker::OnCloseUp);

    QTest::mouseClick(picker->button(), Qt::LeftButton);
    QTest::keyClick(picker->listWindow(), Qt::Key_Down);
    QTest::mouseClick(m_other, Qt::LeftButton);
    QTRY_VERIFY(!picker->isDroppedDown());
    QCOMPARE(closeUp.count(), 1);
    QCOMPARE(closeUp.at(0).at(3).toBool(), true);
    QCOMPARE(picker->text(), QStringLiteral("G02"));

    // A press on a row highlights it, the release over the list accepts it.
    QTest::mouseClick(picker->button(), Qt::LeftButton);
    TableGrid *grid = picker->listGrid();
    const QRect fourth = grid->visualRect(grid->model()->index(3, 0));
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, fourth.center());
    QTRY_VERIFY(!picker->isDroppedDown());
    QCOMPARE(closeUp.count(), 2);
    QCOMPARE(closeUp.at(1).at(3).toBool(), true);
    QCOMPARE(picker->text(), QStringLiteral("G04"));
}

void TestLookup::openingWarningsAndBadColumnLines()
{
    ScriptedDesktop &desktop = m_desktop->get();
    DropDownPicker *drop = genrePicker(nullptr);
    QSignalSpy dropCloseUp(drop, &LookupPicker::OnCloseUp);
    QTest::mouseClick(drop->button(), Qt::LeftButton);
    QCOMPARE(desktop.lastText(MessageKind::Warning), QStringLiteral("No lookup table specified!"));
    QVERIFY(!drop->isDroppedDown());

    Table closed;
    auto *dialog = new DialogPicker(m_host.get());
    dialog->setLookupTable(&closed);
    dialog->setLookupField(QStringLiteral("NAZWISKO"));
    dialog->show();
    QSignalSpy dialogCloseUp(dialog, &LookupPicker::OnCloseUp);
    QTest::keyClick(dialog->textPart(), Qt::Key_F4);
    QCOMPARE(desktop.count(MessageKind::Warning), 2);
    QCOMPARE(dialogCloseUp.count() + dropCloseUp.count(), 0);

    // A width that is no whole number reaches the default error box; a missing field is skipped.
    Table table;
    openOver(table, genres(3), "GATUNEK");
    drop->setLookupTable(&table);
    drop->setUseTFields(false);
    drop->setSelected({QStringLiteral("GATUNEK\t2x5\tGatunek\tF")});
    QTest::mouseClick(drop->button(), Qt::LeftButton);
    QVERIFY(!drop->isDroppedDown());
    QCOMPARE(desktop.count(MessageKind::DefaultError), 1);
    QVERIFY(desktop.lastText(MessageKind::DefaultError).contains(QStringLiteral("2x5")));
    drop->setSelected(
        {QStringLiteral("BRAK\t10\tBrak\tF"), QStringLiteral("GATUNEK\t25\tGatunek\tF")});
    QTest::mouseClick(drop->button(), Qt::LeftButton);
    QVERIFY(drop->isDroppedDown());
    QCOMPARE(drop->listGrid()->model()->columnCount(), 1);
}

void TestLookup::dialogPicker()
{
    Catalogue catalogue;
    catalogue.bindSideTables(m_dir->path().toStdString() + "/BAZY/");
    Table &people = catalogue.dbfDaneF;
    people.open();
    auto *picker = new DialogPicker(m_host.get());
    picker->setGeometry(10, 10, 150, 21);
    picker->setLookupTable(&people);
    picker->setLookupField(QStringLiteral("NAZWISKO"));
    picker->setSelected({QStringLiteral("NAZWISKO\t30\tNazwisko\tF")});
    picker->setCaption(QStringLiteral("Znajdź reżysera"));
    picker->setGridOptions(GridOptions(dgColLines | dgRowLines | dgRowSelect | dgAlwaysShowSelection
                                       | dgConfirmDelete | dgNoLimitColSize));
    picker->show();
    QSignalSpy enter(picker, &LookupPicker::OnEnter);
    QSignalSpy closeUp(picker, &LookupPicker::OnCloseUp);

    {
        ModalHelper<LookupDialog> helper([](LookupDialog *d) {
            CloseOnExit guard{d};
            QCOMPARE(d->windowTitle(), QStringLiteral("Znajdź reżysera"));
            QCOMPARE(d->grid->height(), 209);
            QVERIFY(!d->cbSearchBy && d->btnOk && d->btnOk->isDefault());
            QCOMPARE(d->focusWidget(), d->edSearch);
            typeText(d->edSearch, QStringLiteral("Lin"));
            QTest::keyClick(d->edSearch, Qt::Key_Return); // the waiting search runs first
        });
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QVERIFY(helper.ran());
    }
    QCOMPARE(enter.count(), 1);
    QCOMPARE(closeUp.count(), 1);
    QCOMPARE(closeUp.at(0).at(3).toBool(), true);
    QCOMPARE(picker->text(), QStringLiteral("Linda Bogusław"));

    // A second click while the picker has the focus: no enter event; Cancel keeps the text
    // and the record the dialog reached.
    {
        ModalHelper<LookupDialog> helper([](LookupDialog *d) {
            CloseOnExit guard{d};
            QCOMPARE(qs(d->model()->dataSource()->table()->asString("NAZWISKO")),
                     QStringLiteral("Linda Bogusław"));
            typeText(d->edSearch, QStringLiteral("Tym"));
            QTest::keyClick(d->edSearch, Qt::Key_Escape);
        });
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QVERIFY(helper.ran());
    }
    QCOMPARE(enter.count(), 1);
    QCOMPARE(closeUp.count(), 2);
    QCOMPARE(closeUp.at(1).at(3).toBool(), false);
    QCOMPARE(picker->text(), QStringLiteral("Linda Bogusław"));
    QVERIFY(qs(people.asString("NAZWISKO")).startsWith(QStringLiteral("Tym")));

    // The text is never typed or cleared.
    typeText(picker->textPart(), QStringLiteral("x"));
    QTest::keyClick(picker->textPart(), Qt::Key_Backspace);
    QTest::keyClick(picker->textPart(), Qt::Key_Delete);
    QCOMPARE(picker->text(), QStringLiteral("Linda Bogusław"));
}

void TestLookup::incrementalSearch()
{
    Table films;
    openOver(films, m_demo.filmsPath, "ID_CD");
    auto cd = [&films] {
        return int(films.asInteger("ID_CD"));
    };
    LookupDialogSettings settings;
    settings.selected
        = {QStringLiteral("ID_CD\t10\tNr CD\tT"), QStringLiteral("T_PL\t100\tTytuł polski\tT")};
    settings.searchDelay = 5;
    LookupDialog dialog(films, settings);
    dialog.show();
    QCOMPARE(dialog.searchDelay(), 5);

    // A number field: letters start no search, digits find exactly that number.
    films.last();
    const uint32_t last = films.recNo();
    typeText(dialog.edSearch, QStringLiteral("ab"));
    QVERIFY(dialog.searchPending());
    QTRY_VERIFY(!dialog.searchPending());
    QCOMPARE(films.recNo(), last);
    dialog.edSearch->clear();
    typeText(dialog.edSearch, QStringLiteral("12"));
    QTRY_COMPARE(cd(), 12);
    QTest::keyClick(dialog.edSearch, Qt::Key_Backspace); // "1": no film 1x, exactly 1
    QTRY_COMPARE(cd(), 1);
    typeText(dialog.edSearch, QStringLiteral("5")); // 15 is in the pool: the table stays
    dialog.searchNow();
    QCOMPARE(cd(), 1);
    // Keys that do not change the text start nothing; Down moves from the search box.
    QTest::keyClick(dialog.edSearch, Qt::Key_Left);
    QVERIFY(!dialog.searchPending());
    QTest::keyClick(dialog.edSearch, Qt::Key_Down);
    QCOMPARE(cd(), 2);
    QCOMPARE(dialog.model()->currentRow(), 1);
    // Empty text: the first record.
    films.last();
    dialog.edSearch->selectAll();
    QTest::keyClick(dialog.edSearch, Qt::Key_Delete);
    dialog.searchNow();
    QCOMPARE(cd(), 1);
}

void TestLookup::quickFind()
{
    ScriptedDesktop &desktop = m_desktop->get();
    QuickFind find(m_host.get());
    QVERIFY(!find.execute());
    QCOMPARE(desktop.lastText(MessageKind::Warning),
             QStringLiteral("You must define a lookupTable."));
    Table films;
    find.setLookupTable(&films);
    QVERIFY(!find.execute());
    QCOMPARE(desktop.lastText(MessageKind::Warning), QStringLiteral("Search Table is not active."));

    openOver(films, m_demo.filmsPath, "T_PL");
    films.insert();
    films.setInteger("ID_CD", 45);
    films.setString("T_PL", "Żółty szalik");
    films.post();
    find.setSelected({QStringLiteral("ID_CD\t10\tNr CD\tT"),
                      QStringLiteral("T_ORG\t100\tTytuł Oryginalny\tT"),
                      QStringLiteral("T_PL\t100\tTytuł polski\tT"),
                      QStringLiteral("GATUNEK\t100\tGatunek\tF")});
    find.setGridOptions(GridOptions(dgTitles | dgRowLines | dgRowSelect | dgPerfectRowFit));
    find.setCharCase(ecUpperCase);
    find.setUseTFields(true);

    // Lower-case Polish letters become capitals and land on the film through UPPER(T_PL).
    ModalHelper<LookupDialog> helper([&](LookupDialog *d) {
        CloseOnExit guard{d};
        QCOMPARE(d->searchField(), QStringLiteral("T_PL"));
        QCOMPARE(d->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Tytuł polski"));
        QStringList entries;
        for (int i = 0; i < d->cbSearchBy->count(); ++i)
            entries << d->cbSearchBy->itemText(i);
        QCOMPARE(entries,
                 QStringList({QStringLiteral("Nr CD"),
                              QStringLiteral("Tytuł polski"),
                              QStringLiteral("Tytuł Oryginalny"),
                              QStringLiteral("Gatunek")}));
        QCOMPARE(d->cbSearchBy->currentText(), QStringLiteral("Tytuł polski"));
        const int rowHeight = d->grid->verticalHeader()->defaultSectionSize();
        QCOMPARE((d->grid->viewport()->height()) % rowHeight, 0);
        for (const auto &[typed, title] : {std::pair{u"żół", u"Żółty szalik"},
                                           std::pair{u"źr", u"Źródło"},
                                           std::pair{u"ło", u"Łowca androidów"}}) {
            d->edSearch->clear();
            typeText(d->edSearch, QString::fromUtf16(typed));
            QCOMPARE(d->edSearch->text(), QString::fromUtf16(typed).toUpper());
            d->searchNow();
            QCOMPARE(qs(films.asString("T_PL")), QString::fromUtf16(title));
        }
        // Choosing "Nr CD" selects ID_CD, empties the box and puts the number first; Enter
        // in the selector returns to the search box without closing.
        d->cbSearchBy->setFocus();
        QTest::keyClick(d->cbSearchBy, Qt::Key_Up);
        QCOMPARE(films.indexName(), std::string("ID_CD"));
        QVERIFY(d->edSearch->text().isEmpty());
        QCOMPARE(d->searchField(), QStringLiteral("ID_CD"));
        QCOMPARE(d->model()->headerData(0, Qt::Horizontal, Qt::DisplayRole).toString(),
                 QStringLiteral("Nr CD"));
        d->cbSearchBy->setFocus();
        QTest::keyClick(d->cbSearchBy, Qt::Key_Return);
        QVERIFY(d->isVisible());
        QCOMPARE(d->focusWidget(), d->edSearch);
        typeText(d->edSearch, QStringLiteral("9"));
        QTest::mouseDClick(
            d->grid->viewport(),
            Qt::LeftButton,
            {},
            d->grid->visualRect(d->model()->index(d->model()->currentRow(), 0)).center());
    });
    QVERIFY(find.execute());
    QVERIFY(helper.ran());
    // The search still waiting at the double click (on the highlighted row) ran before the
    // dialog closed.
    QCOMPARE(int(films.asInteger("ID_CD")), 9);
    QCOMPARE(films.indexName(), std::string("ID_CD"));
    // The field descriptions stay: the search field first, the unlisted fields hidden.
    const std::vector<FieldDisplay> &displays = films.fieldDisplays();
    QCOMPARE(displays.front().field, std::string("ID_CD"));
    QCOMPARE(displays.front().label, std::string("Nr CD"));
    QCOMPARE(fieldColumns(films).size(), size_t(4));
}

QTEST_MAIN(TestLookup)
#include "tst_lookup.moc"
