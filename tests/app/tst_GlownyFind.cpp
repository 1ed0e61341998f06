// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's genre view and quick find, driven by presses and keys on the real window:
// the filter set on every close of the genre list, the drop-down's enabled state after the genre
// table opens and after a delete, and Ctrl+F from another page.

#define QTEST_QPA_MOUSE_HANDLING

#include "../support/qt/ModalHelper.h"
#include "Desktop.h"
#include "DropDownPicker.h"
#include "Glowny.h"
#include "LookupDialog.h"
#include "TableModel.h"
#include "demo.h"
#include "testsupport.h"

#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace welarik;
using welarik::test::ModalHelper;

class TestGlownyFind : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<ScopedScriptedDesktop> m_desktop;
    std::unique_ptr<TfmGlowny> m_w;

    void openCatalogue()
    {
        m_desktop->get().queueFileName(QString::fromStdString(m_dir->file("FILMY.DBF")));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen());
    }
    // Opens the genre list and presses and releases on the row of genre.
    void pickGenre(const std::string &genre)
    {
        QTest::mouseClick(m_w->cmdTRozwin->button(), Qt::LeftButton);
        QVERIFY(m_w->cmdTRozwin->isDroppedDown());
        TableGrid *grid = m_w->cmdTRozwin->listGrid();
        int row = 0;
        while (m_w->dbfGatunekF.asStringOf(m_w->dbfGatunekF.recordAtRow(row), "GATUNEK") != genre)
            ++row;
        grid->scrollTo(grid->model()->index(row, 0));
        const QRect cell = grid->visualRect(grid->model()->index(row, 0));
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, cell.center());
        QTRY_VERIFY(!m_w->cmdTRozwin->isDroppedDown());
    }
    // Ctrl+F, the search text typed into the quick find's box and Enter.
    void quickFind(const QString &text)
    {
        ModalHelper<LookupDialog> helper([&](LookupDialog *d) {
            QTest::keyClicks(d->edSearch, text);
            QTest::keyClick(d->edSearch, Qt::Key_Return);
            if (d->isVisible())
                d->done(mrCancel);
        });
        QTest::keyClick(m_w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(helper.ran());
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), m_dir->path().string(), {}, writer);
        m_desktop = std::make_unique<ScopedScriptedDesktop>();
        m_w = std::make_unique<TfmGlowny>();
        m_w->setProgramDir(QString::fromStdString(m_dir->path().string()));
        m_w->show();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
    }

    void cleanup()
    {
        m_w.reset();
        m_desktop.reset();
        m_dir.reset();
    }

    void genreViewSetsTheFilterOnEveryClose()
    {
        DropDownPicker *picker = m_w->cmdTRozwin;
        QCOMPARE(picker->size(), QSize(22, 22));
        QVERIFY(!(picker->focusPolicy() & Qt::TabFocus));
        QCOMPARE(picker->layoutDirection(), Qt::RightToLeft);
        openCatalogue();
        QVERIFY(picker->isEnabled());

        // Escape before the first pick: nothing between the quotes, no film shown.
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QTest::keyClick(picker->listWindow(), Qt::Key_Escape);
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("GATUNEK=''"));
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);

        m_w->dbfFilmy.setFilter({});
        int dramas = 0;
        for (int row = 0; row < m_w->dbfFilmy.rowCount(); ++row)
            dramas
                += m_w->dbfFilmy.asStringOf(m_w->dbfFilmy.recordAtRow(row), "GATUNEK") == "Dramat";
        QVERIFY(dramas > 0);
        pickGenre("Dramat");
        QCOMPARE(picker->text(), QStringLiteral("Dramat"));
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("GATUNEK='Dramat'"));
        QCOMPARE(m_w->dbfFilmy.recordCount(), dramas);
        QCOMPARE(m_w->viewNumber(), 1);
        // The list opens right-aligned with the drop-down.
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QCOMPARE(picker->listWindow()->geometry().right() + 1,
                 picker->mapToGlobal(QPoint(picker->width(), 0)).x());
        QTest::keyClick(picker->listWindow(), Qt::Key_Escape);

        // A genre the filter cannot take reaches the default error box; the filter stays.
        m_w->dbfGatunekF.insert();
        m_w->dbfGatunekF.setString("GATUNEK", "Rock'n'roll");
        m_w->dbfGatunekF.post();
        pickGenre("Rock'n'roll");
        QCOMPARE(m_desktop->get().count(MessageKind::DefaultError), 1);
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("GATUNEK='Dramat'"));
    }

    void emptyGenreTableLeavesTheDropDownDisabled()
    {
        {
            Table genres;
            genres.setFileName(m_dir->file("BAZY/GATUNEKF.DBF"));
            genres.open();
            while (!genres.isEmpty())
                genres.deleteRecord();
        }
        openCatalogue();
        QVERIFY(!m_w->cmdTRozwin->isEnabled());
        for (const char *genre : {"Dramat", "Komedia"}) {
            m_w->dbfGatunekF.insert();
            m_w->dbfGatunekF.setString("GATUNEK", genre);
            m_w->dbfGatunekF.post();
        }
        QVERIFY(!m_w->cmdTRozwin->isEnabled());
        openCatalogue(); // the genre table stays open: no new evaluation
        QVERIFY(!m_w->cmdTRozwin->isEnabled());
        m_w->dbfGatunekF.deleteRecord();
        QVERIFY(m_w->cmdTRozwin->isEnabled());
    }

    void quickFindFromAnotherPage()
    {
        openCatalogue();
        m_w->pgGlowny->setCurrentIndex(2);
        bool horizontalBar = false;
        int gridWidth = 0;
        ModalHelper<LookupDialog> helper([&](LookupDialog *d) {
            QCOMPARE(d->windowTitle(), QStringLiteral("Sz"));
            gridWidth = d->grid->width();
            horizontalBar = d->grid->horizontalScrollBar()->isVisible();
            // "Nr CD" is preselected; Down chooses "Tytuł polski" (T_PL).
            d->cbSearchBy->setFocus();
            QTest::keyClick(d->cbSearchBy, Qt::Key_Down);
            QTest::keyClicks(d->edSearch, QStringLiteral("psy"));
            QTest::keyClick(d->edSearch, Qt::Key_Return);
            if (d->isVisible())
                d->done(mrCancel);
        });
        QTest::keyClick(m_w.get(), Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(helper.ran());
        QCOMPARE(m_w->dbfFilmy.indexName(), std::string("T_PL"));
        QCOMPARE(m_w->dbfFilmy.asString("T_PL"), std::string("Psy"));
        QCOMPARE(m_w->gridModel->currentRow(), m_w->dbfFilmy.currentRow());
        QCOMPARE(m_w->gridModel->index(m_w->gridModel->currentRow(), 1).data().toString(),
                 QStringLiteral("Psy"));
        QVERIFY(horizontalBar);
        QVERIFY(gridWidth <= m_w->screen()->geometry().width() - 40);
    }

    // The genre drop-down takes no typed text, and a click on its button while its list is
    // open closes the list as Escape does, unless a row was clicked.
    void genrePickerTakesNoTypingAndItsButtonClosesLikeEscape()
    {
        openCatalogue();
        DropDownPicker *picker = m_w->cmdTRozwin;
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QTest::keyClick(picker->listWindow(), Qt::Key_Escape);
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(picker->textPart()));
        QTest::keyClicks(picker->textPart(), QStringLiteral("Komedia"));
        QTest::keyClick(picker->textPart(), Qt::Key_Backspace);
        QCOMPARE(picker->text(), QString());

        // Opened on no value, the list stands on its first row; the button takes nothing.
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QVERIFY(picker->isDroppedDown());
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        QTRY_VERIFY(!picker->isDroppedDown());
        QCOMPARE(picker->text(), QString());
        QCOMPARE(m_w->dbfFilmy.filter(), std::string("GATUNEK=''"));

        // A row pressed, the press let go outside the rows, then the button: that row counts.
        QTest::mouseClick(picker->button(), Qt::LeftButton);
        TableGrid *grid = picker->listGrid();
        const QRect second = grid->visualRect(grid->model()->index(1, 0));
        QTest::mousePress(grid->viewport(), Qt::LeftButton, {}, second.center());
        QTest::mouseRelease(picker->listWindow(), Qt::LeftButton, {}, QPoint(-5, -5));
        if (picker->isDroppedDown())
            QTest::mouseClick(picker->button(), Qt::LeftButton);
        QTRY_VERIFY(!picker->isDroppedDown());
        const std::string genre
            = m_w->dbfGatunekF.asStringOf(m_w->dbfGatunekF.recordAtRow(1), "GATUNEK");
        QCOMPARE(picker->text(), QString::fromStdString(genre));
        QCOMPARE(m_w->dbfFilmy.filter(), "GATUNEK='" + genre + "'");
    }

    // A catalogue another dBase program wrote keeps its CD numbers in another key form.
    void quickFindOfANumberAnotherProgramIndexed()
    {
        const std::string films = test::copyFixture("xbase64/BENCH.DBF", *m_dir);
        test::copyFixture("xbase64/BENCH.DBT", *m_dir);
        test::copyFixture("xbase64/BENCH.MDX", *m_dir);
        m_desktop->get().queueFileName(QString::fromStdString(films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen());
        QCOMPARE(m_w->dbfFilmy.indexName(), std::string("ID_CD"));
        quickFind(QStringLiteral("141"));
        QCOMPARE(m_w->dbfFilmy.asInteger("ID_CD"), 141);
        QCOMPARE(m_w->gridModel->currentRow(), m_w->dbfFilmy.currentRow());
        // The pool holds numbers the films use (7, 15, 23, 41): the next number is the highest
        // plus one, and the used ones leave the pool.
        QCOMPARE(m_w->NextCdNumber(false), 302);
        QCOMPARE(m_w->dbfNrF.recordCount(), 0);
    }

    // Over a view filtered to nothing the quick find finds nothing and keeps the program going.
    void quickFindOverAnEmptyView()
    {
        openCatalogue();
        m_w->dbfFilmy.setFilter("GATUNEK='Brak takiego'");
        m_w->dbfFilmy.setFiltered(true);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);
        quickFind(QStringLiteral("1"));
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);
        QCOMPARE(m_w->dbfFilmy.recNo(), 0u);
        QCOMPARE(m_desktop->get().count(MessageKind::DefaultError), 0);
        QCOMPARE(m_w->gridModel->rowCount(), 0);
    }

    // The genre order ignores letter case like the search box's capitals.
    void quickFindInGenreOrder()
    {
        openCatalogue();
        QTest::mouseClick(m_w->btnGat, Qt::LeftButton);
        QCOMPARE(m_w->dbfFilmy.indexName(), std::string("GATUNEK"));
        quickFind(QStringLiteral("krym"));
        QVERIFY2(m_w->dbfFilmy.asString("GATUNEK").rfind("Kryminał", 0) == 0,
                 m_w->dbfFilmy.asString("GATUNEK").c_str());
    }
};

QTEST_MAIN(TestGlownyFind)
#include "tst_GlownyFind.moc"
