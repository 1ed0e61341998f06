// SPDX-License-Identifier: GPL-3.0-or-later
// Data-aware controls over a demo catalogue: the grid model (checked by QAbstractItemModelTester)
// and its view following the current record both ways, the navigator's enabled buttons, bound
// edits loading, keeping and storing values, the open-time field check, and table errors raised
// by a navigator button or the status bar's tick reaching the default error box.

#include "DBNavigator.h"
#include "DataSource.h"
#include "Desktop.h"
#include "FieldBinding.h"
#include "Statbaru.h"
#include "TableModel.h"
#include "demo.h"
#include "table.h"
#include "testsupport.h"

#include <QAbstractItemModelTester>
#include <QHeaderView>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <filesystem>
#include <memory>

using namespace welarik;

class TestDataAware : public QObject
{
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void columnSpec();
    void modelOverTable();
    void gridFollowsRecord();
    void navigator();
    void editsLoadAndStore();
    void pendingTextSurvivesOtherStores();
    void openVetoedByMissingField();
    void tableErrorsFromButtonsAndTick();

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    std::string m_films;
    std::unique_ptr<Table> m_table;
};

void TestDataAware::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    EngineDemoWriter writer;
    DemoOptions options;
    options.films = 0; // the hand-made sample films
    const DemoSummary summary
        = createDemoCatalogue(FileSystem::real(), m_dir->path().toStdString(), options, writer);
    m_films = summary.filmsPath;
    QVERIFY(summary.films > 10);
    m_table = std::make_unique<Table>("dbfFilmy");
    m_table->setFileName(m_films);
    m_table->setIndexName("ID_CD");
}

void TestDataAware::cleanup()
{
    m_table.reset();
    m_dir.reset();
}

void TestDataAware::columnSpec()
{
    const std::vector<ColumnSpec> columns = parseColumnSpec(
        {QStringLiteral("ID_CD\t10\tNr CD\tT"), QStringLiteral("GATUNEK\t25\tGatunek")});
    QCOMPARE(columns.size(), size_t(2));
    QCOMPARE(columns[0].field, QStringLiteral("ID_CD"));
    QCOMPARE(columns[0].width, 10);
    QCOMPARE(columns[0].title, QStringLiteral("Nr CD"));
    QVERIFY(columns[0].readOnly);
    QVERIFY(!columns[1].readOnly);
    QVERIFY_THROWS_EXCEPTION(std::invalid_argument,
                             parseColumnSpec({QStringLiteral("T_PL\t1x\tTytuł\tF")}));
}

void TestDataAware::modelOverTable()
{
    DataSource ds(m_table.get());
    TableModel model(&ds,
                     parseColumnSpec({QStringLiteral("ID_CD\t10\tNr CD\tT"),
                                      QStringLiteral("NOSUCH\t5\tNic\tF"),
                                      QStringLiteral("T_PL\t100\tTytuł polski\tT")}));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    QCOMPARE(model.rowCount(), 0);

    m_table->open();
    QCOMPARE(model.rowCount(), m_table->rowCount());
    QCOMPARE(model.columnCount(), 2); // the missing field's column is skipped
    QCOMPARE(model.headerData(1, Qt::Horizontal, Qt::DisplayRole).toString(),
             QStringLiteral("Tytuł polski"));
    for (int row : {0, 5, model.rowCount() - 1}) {
        const uint32_t recno = m_table->recordAtRow(row);
        QCOMPARE(model.recordFromIndex(model.index(row, 0)), recno);
        QCOMPARE(model.indexFromRecord(recno).row(), row);
        QCOMPARE(model.data(model.index(row, 1)).toString(),
                 QString::fromStdString(m_table->asStringOf(recno, "T_PL")));
        QCOMPARE(model.data(model.index(row, 0)).toString().toInt(),
                 QString::fromStdString(m_table->asStringOf(recno, "ID_CD")).trimmed().toInt());
    }
    QVERIFY(model.data(model.index(0, 0), Qt::TextAlignmentRole).value<Qt::Alignment>()
            & Qt::AlignRight);
    QVERIFY(!(model.flags(model.index(0, 0)) & Qt::ItemIsEditable));

    // Order and filter changes reset the model; the tester checks the notifications.
    m_table->setIndexName("T_PL");
    QCOMPARE(model.data(model.index(0, 1)).toString(),
             QString::fromStdString(m_table->asStringOf(m_table->recordAtRow(0), "T_PL")));
    const int all = model.rowCount();
    m_table->setFilter("ID_CD=3");
    m_table->setFiltered(true);
    QCOMPARE(model.rowCount(), 1);
    m_table->setFiltered(false);
    QCOMPARE(model.rowCount(), all);

    // A posted change shows in its row; a deletion removes the row.
    m_table->first();
    m_table->edit();
    m_table->setString("T_PL", "Aaa pierwszy");
    m_table->post();
    QCOMPARE(model.data(model.index(m_table->currentRow(), 1)).toString(),
             QStringLiteral("Aaa pierwszy"));
    m_table->deleteRecord();
    QCOMPARE(model.rowCount(), all - 1);

    m_table->close();
    QCOMPARE(model.rowCount(), 0);
}

void TestDataAware::gridFollowsRecord()
{
    DataSource ds(m_table.get());
    TableModel model(&ds, parseColumnSpec({QStringLiteral("ID_CD\t10\tNr CD\tT")}));
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    TableGrid grid;
    grid.setTableModel(&model);
    m_table->open();
    QVERIFY(grid.horizontalHeader()->isHidden());
    QVERIFY(grid.verticalHeader()->isHidden());
    QCOMPARE(grid.selectionBehavior(), QAbstractItemView::SelectRows);
    QCOMPARE(grid.editTriggers(), QAbstractItemView::NoEditTriggers);
    QCOMPARE(grid.currentIndex().row(), 0);

    // Table to grid.
    m_table->last();
    QCOMPARE(grid.currentIndex().row(), model.rowCount() - 1);
    QVERIFY(grid.selectionModel()->isRowSelected(model.rowCount() - 1, {}));
    m_table->prior();
    QCOMPARE(grid.currentIndex().row(), model.rowCount() - 2);

    // Grid to table: clicking or keying a row makes its record current.
    grid.setCurrentIndex(model.index(3, 0));
    QCOMPARE(m_table->recNo(), m_table->recordAtRow(3));
    grid.resize(300, 400);
    grid.show();
    QVERIFY(QTest::qWaitForWindowExposed(&grid));
    QTest::keyClick(&grid, Qt::Key_Down);
    QCOMPARE(m_table->currentRow(), 4);
    const QRect cell = grid.visualRect(model.index(1, 0));
    QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, cell.center());
    QCOMPARE(m_table->currentRow(), 1);

    // The current record survives a re-sort and the grid selects its new row.
    const uint32_t recno = m_table->recNo();
    m_table->setIndexName("T_PL");
    QCOMPARE(m_table->recNo(), recno);
    QCOMPARE(grid.currentIndex().row(), m_table->rowOfRecord(recno));
}

void TestDataAware::navigator()
{
    DataSource ds(m_table.get());
    DBNavigator nav;
    nav.setDataSource(&ds);
    auto enabled = [&] {
        QString s;
        for (auto b : {DBNavigator::Button::First,
                       DBNavigator::Button::Prior,
                       DBNavigator::Button::Next,
                       DBNavigator::Button::Last})
            s += nav.button(b)->isEnabled() ? u'1' : u'0';
        return s;
    };
    QCOMPARE(enabled(), QStringLiteral("0000"));
    QCOMPARE(nav.size(), QSize(84, 21));
    m_table->open();
    QCOMPARE(enabled(), QStringLiteral("0011"));
    nav.button(DBNavigator::Button::Next)->click();
    QCOMPARE(m_table->currentRow(), 1);
    QCOMPARE(enabled(), QStringLiteral("1111"));
    nav.button(DBNavigator::Button::Last)->click();
    QCOMPARE(m_table->currentRow(), m_table->rowCount() - 1);
    QCOMPARE(enabled(), QStringLiteral("1100"));
    nav.button(DBNavigator::Button::First)->click();
    QCOMPARE(m_table->currentRow(), 0);
    m_table->close();
    QCOMPARE(enabled(), QStringLiteral("0000"));
}

void TestDataAware::editsLoadAndStore()
{
    DataSource ds(m_table.get());
    DBEdit title;
    title.setObjectName(QStringLiteral("EditT_PL"));
    title.bind(&ds, QStringLiteral("T_PL"));
    DBEdit year;
    year.setMaxChars(4);
    year.bind(&ds, QStringLiteral("D_PROD"));
    DBMemo memo;
    memo.bind(&ds, QStringLiteral("OPIS"));
    DBCheckBox watched;
    watched.bind(&ds, QStringLiteral("OBEJRZAN"));
    QSignalSpy userChanges(&title, &DBEdit::changedByUser);
    QSignalSpy memoChanges(&memo, &DBMemo::changedByUser);
    QSignalSpy boxChanges(&watched, &DBCheckBox::changedByUser);

    m_table->open();
    QCOMPARE(title.maxLength(), 100); // the field's width
    QCOMPARE(year.maxLength(), 4);
    QCOMPARE(title.text(), QString::fromStdString(m_table->asString("T_PL")));
    QVERIFY(!title.text().isEmpty());
    m_table->next();
    m_table->next();
    QCOMPARE(title.text(), QString::fromStdString(m_table->asString("T_PL")));
    // Browse state with automatic editing off: nothing can be typed.
    QVERIFY(title.isReadOnly());
    QVERIFY(memo.isReadOnly());
    const bool shownChecked = watched.isChecked();
    QTest::keyClick(&watched, Qt::Key_Space);
    QCOMPARE(watched.isChecked(), shownChecked);
    QCOMPARE(userChanges.count(), 0); // loads are not changes
    QCOMPARE(memoChanges.count(), 0);

    m_table->edit();
    QVERIFY(!title.isReadOnly());
    title.selectAll();
    QTest::keyClicks(&title, QStringLiteral("Zolty kot"));
    QCOMPARE(userChanges.count(), 9);
    title.setText(QStringLiteral("Żółty kot")); // code changes count as well
    year.selectAll();
    QTest::keyClicks(&year, QStringLiteral("199912"));
    QCOMPARE(year.text(), QStringLiteral("1999"));
    memo.setPlainText(QStringLiteral("linia 1\nlinia 2"));
    QCOMPARE(memoChanges.count(), 1);
    const bool wasWatched = m_table->asBoolean("OBEJRZAN");
    QCOMPARE(watched.isChecked(), wasWatched);
    QTest::keyClick(&watched, Qt::Key_Space);
    QCOMPARE(boxChanges.count(), 1);
    QCOMPARE(m_table->asBoolean("OBEJRZAN"), !wasWatched); // the box writes when clicked
    QCOMPARE(QString::fromStdString(m_table->asString("T_PL")) == title.text(), false);

    const uint32_t recno = m_table->recNo();
    m_table->post();
    QVERIFY(m_table->gotoRecord(recno));
    QCOMPARE(QString::fromStdString(m_table->asString("T_PL")), QStringLiteral("Żółty kot"));
    QCOMPARE(m_table->asString("D_PROD"), std::string("1999"));
    QCOMPARE(m_table->asString("OPIS"), std::string("linia 1\r\nlinia 2"));
    QCOMPARE(memo.toPlainText(), QStringLiteral("linia 1\nlinia 2"));
    QVERIFY(title.isReadOnly());

    // Cancel discards typed text and shows the record's value again.
    m_table->edit();
    title.setText(QStringLiteral("porzucony"));
    m_table->cancel();
    QCOMPARE(title.text(), QStringLiteral("Żółty kot"));
    QCOMPARE(userChanges.count(), 11);
    m_table->close();
    QVERIFY(title.text().isEmpty());
    QVERIFY(!watched.isChecked());
}

void TestDataAware::pendingTextSurvivesOtherStores()
{
    DataSource ds(m_table.get());
    DBEdit plTitle;
    plTitle.bind(&ds, QStringLiteral("T_PL"));
    DBEdit orgTitle;
    orgTitle.bind(&ds, QStringLiteral("T_ORG"));
    DBEdit genre;
    genre.bind(&ds, QStringLiteral("GATUNEK"));
    m_table->open();
    m_table->edit();

    plTitle.setText(QStringLiteral("Wpisany tytuł"));
    orgTitle.setText(QStringLiteral("Typed title"));
    orgTitle.store(); // the focus left the original title
    QCOMPARE(m_table->asString("T_ORG"), std::string("Typed title"));
    QCOMPARE(plTitle.text(), QStringLiteral("Wpisany tytuł"));
    QVERIFY(plTitle.hasPendingValue());

    // A picker writing a field directly: its edit shows the new value at once.
    m_table->setString("GATUNEK", "Dramat, Komedia");
    QCOMPARE(genre.text(), QStringLiteral("Dramat, Komedia"));
    QCOMPARE(plTitle.text(), QStringLiteral("Wpisany tytuł"));

    m_table->post();
    QCOMPARE(m_table->asString("T_PL"), std::string("Wpisany tytuł"));
    QVERIFY(!plTitle.hasPendingValue());
}

void TestDataAware::openVetoedByMissingField()
{
    DataSource ds(m_table.get());
    DBEdit good;
    good.bind(&ds, QStringLiteral("T_PL"));
    DBEdit missing;
    missing.setObjectName(QStringLiteral("EditNAGRODY"));
    missing.bind(&ds, QStringLiteral("NAGRODY"));
    const QString what = QString::fromStdString(test::openRefusal(*m_table));
    QVERIFY2(what.contains(u"EditNAGRODY") && what.contains(u"'NAGRODY'"), qPrintable(what));
    QVERIFY(!m_table->isOpen());
    QVERIFY(good.text().isEmpty());

    // Unbound, the same table opens.
    missing.setDataField(QString());
    m_table->open();
    QVERIFY(m_table->isOpen());
    QVERIFY(!good.text().isEmpty());

    // A data source outliving its table lets go of it (a pop-up list's source, for one).
    m_table.reset();
    QCOMPARE(ds.table(), nullptr);
    QVERIFY(!ds.isOpen());
}

void TestDataAware::tableErrorsFromButtonsAndTick()
{
    ScopedScriptedDesktop desktop;
    DataSource ds(m_table.get());
    DBNavigator nav;
    nav.setDataSource(&ds);
    TEStatusBar bar;
    QString shownTitle;
    connect(&bar, &TEStatusBar::OnTimer, this, [&] {
        shownTitle = QString::fromStdString(m_table->asString("T_PL"));
    });
    m_table->open();
    bar.tick();
    QVERIFY(!shownTitle.isEmpty());

    // The later records vanish under the open table: moving to the last one fails.
    std::filesystem::resize_file(m_films, std::filesystem::file_size(m_films) / 2);
    QTest::mouseClick(nav.button(DBNavigator::Button::Last), Qt::LeftButton);
    QCOMPARE(desktop->count(MessageKind::DefaultError), 1);
    QVERIFY(!desktop->lastText(MessageKind::DefaultError).isEmpty());

    m_table->close();
    bar.tick(); // reads a field of the closed table
    QCOMPARE(desktop->count(MessageKind::DefaultError), 2);
    QVERIFY(desktop->lastText(MessageKind::DefaultError).contains(u"T_PL"));

    // The program goes on: a table opens again, the next tick runs its handler.
    EngineDemoWriter writer;
    DemoOptions options;
    options.films = 0;
    createDemoCatalogue(FileSystem::real(), m_dir->path().toStdString(), options, writer);
    m_table->open();
    QVERIFY(nav.button(DBNavigator::Button::Last)->isEnabled());
    QTest::mouseClick(nav.button(DBNavigator::Button::Last), Qt::LeftButton);
    QCOMPARE(m_table->currentRow(), m_table->rowCount() - 1);
    shownTitle.clear();
    bar.tick();
    QCOMPARE(shownTitle, QString::fromStdString(m_table->asString("T_PL")));
    QCOMPARE(desktop->count(MessageKind::DefaultError), 2);
}

QTEST_MAIN(TestDataAware)
#include "tst_dataaware.moc"
