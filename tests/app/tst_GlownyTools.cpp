// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue tools in the real main window: a new catalogue (Ctrl+N) with the save dialog
// scripted, saving (Ctrl+S), a copy under another name, tidying, the check's window with its
// repair button, and emptying the films table with its two questions and its copy.

#include "Desktop.h"
#include "Glowny.h"
#include "Program.h"
#include "Pytanie.h"
#include "Spojnosc.h"
#include "catalogue.h"
#include "demo.h"
#include "lendcommand.h"
#include "loans.h"
#include "tableengine.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>

#include <filesystem>
#include <memory>

using namespace welarik;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

uint32_t physicalRecords(const std::string &path)
{
    return TableEngine::open(FileSystem::real(), path, OpenMode::ReadOnly, ShareMode::Shared)
        ->recordCount();
}

} // namespace

class TestGlownyTools : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    // Opens a top menu from the menu bar and walks it with the keyboard, the way a user picks
    // an item that has no shortcut.
    void pickFromMenu(QMenu *menu, std::initializer_list<Qt::Key> keys)
    {
        m_w->menuBar()->setActiveAction(menu->menuAction());
        QTRY_VERIFY(menu->isVisible());
        for (Qt::Key key : keys) {
            QWidget *target = QApplication::activePopupWidget();
            QVERIFY(target);
            QTest::keyClick(target, key);
        }
    }

    void open()
    {
        desktop().queueFileName(qs(m_films));
        QTest::keyClick(m_w, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfZnajomi.isOpen());
    }

private slots:
    void init()
    {
        DemoOptions options;
        options.films = 60;
        options.churn = 40;
        layOut(options);
        startProgram();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w));
    }

    void cleanup() { tearDown(); }

    void newCatalogueAddsTheExtensionRefusesAnExistingFileAndOpensTheNewOne()
    {
        QVERIFY(m_w->Nowabaza1->isEnabled());
        QVERIFY(!m_w->Zapisz1->isEnabled());
        // An existing name first: the question offers another choice, which is taken.
        desktop().queueFileName(qs(m_films));
        desktop().queueAnswer(1);
        desktop().queueFileName(qs(m_dir->file("nowa")));
        QTest::keyClick(m_w, Qt::Key_N, Qt::ControlModifier);
        QVERIFY(desktop().lastText(MessageKind::Question).contains(QStringLiteral("FILMY.DBF")));
        QCOMPARE(desktop().lastFolder(), m_w->ProgramDir);
        QCOMPARE(qs(m_w->dbfFilmy.fileName()), qs(m_dir->file("nowa.DBF")));
        QVERIFY(m_w->dbfFilmy.isOpen());
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);
        QVERIFY(m_w->Zapisz1->isEnabled() && m_w->Zapiszjako1->isEnabled());
        QVERIFY(std::filesystem::exists(m_dir->file("nowa.DBT")));
        QVERIFY(std::filesystem::exists(m_dir->file("nowa.MDX")));
        // Declining the question ends the command.
        desktop().queueFileName(qs(m_films));
        desktop().queueAnswer(2);
        QTest::keyClick(m_w, Qt::Key_N, Qt::ControlModifier);
        QCOMPARE(qs(m_w->dbfFilmy.fileName()), qs(m_dir->file("nowa.DBF")));
        QCOMPARE(desktop().pendingFileNames(), 0);
    }

    void saveSaysSoInTheStatusBar()
    {
        open();
        QVERIFY(m_w->lbZapisano->isHidden());
        QTest::keyClick(m_w, Qt::Key_S, Qt::ControlModifier);
        QVERIFY(m_w->lbZapisano->isVisible());
        QCOMPARE(m_w->lbZapisano->text(), QStringLiteral("Zapisano"));
        QTRY_VERIFY_WITH_TIMEOUT(m_w->lbZapisano->isHidden(), 5000);
    }

    void saveAsWritesAPackedCopyAndOpensIt()
    {
        open();
        const int films = m_w->dbfFilmy.recordCount();
        const auto original = test::readBytes(m_films);
        desktop().queueFileName(qs(m_dir->file("kopia.dbf")));
        // "Plik": "&Nowa baza...", "&Otwórz bazę...", "&Zapisz", "Zapisz jako..."
        pickFromMenu(m_w->Plik1,
                     {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        QCOMPARE(qs(m_w->dbfFilmy.fileName()), qs(m_dir->file("kopia.dbf")));
        QCOMPARE(m_w->dbfFilmy.recordCount(), films);
        QVERIFY(test::readBytes(m_films) == original);
        QVERIFY(std::filesystem::exists(m_dir->file("kopia.dbt")));
    }

    void tidyRemovesDeletedRecordsKeepsACopyAndReopens()
    {
        const uint32_t before = physicalRecords(m_films);
        open();
        const int films = m_w->dbfFilmy.recordCount();
        QVERIFY(before > uint32_t(films));
        // "Narzędzia" up to its last item "&Bazy", into it: "Porządkuj bazy"
        pickFromMenu(m_w->Narzedzia1, {Qt::Key_Up, Qt::Key_Right, Qt::Key_Return});
        QCOMPARE(desktop().count(MessageKind::Information), 1);
        const QString result = desktop().lastText(MessageKind::Information);
        QVERIFY2(result.contains(QStringLiteral("Usunięto rekordów: %1").arg(before - films)),
                 qPrintable(result));
        QVERIFY(result.contains(QStringLiteral("kopia-")));
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfNrF.isOpen());
        QCOMPARE(m_w->dbfFilmy.recordCount(), films);
        m_w->dbfFilmy.close();
        QCOMPARE(physicalRecords(m_films), uint32_t(films));
    }

    void checkWindowListsFindingsAndRepairs()
    {
        open();
        // A pool entry that a film uses: a fault with a safe repair.
        m_w->dbfFilmy.first();
        const int64_t used = m_w->dbfFilmy.asInteger("ID_CD");
        m_w->dbfNrF.insert();
        m_w->dbfNrF.setInteger("ID_CD", used);
        m_w->dbfNrF.post();
        int rowsBefore = -1;
        int rowsAfter = -1;
        test::ModalHelper<TdlgSpojnosc> helper([&](TdlgSpojnosc *d) {
            rowsBefore = d->lvWyniki->topLevelItemCount();
            QVERIFY(d->btnNapraw->isEnabled());
            QTest::mouseClick(d->btnNapraw, Qt::LeftButton);
            rowsAfter = d->lvWyniki->topLevelItemCount();
            QVERIFY(!d->btnNapraw->isEnabled());
            QVERIFY(d->lbPodsumowanie->text().startsWith(QStringLiteral("Wykonane naprawy: 1.")));
            QTest::mouseClick(d->btnZamknij, Qt::LeftButton);
        });
        pickFromMenu(m_w->Narzedzia1, {Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return});
        QVERIFY(helper.ran());
        QVERIFY(rowsBefore >= 1);
        QCOMPARE(rowsAfter, rowsBefore - 1);
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfNrF.isOpen());
        for (m_w->dbfNrF.first(); !m_w->dbfNrF.eof(); m_w->dbfNrF.next())
            QVERIFY(m_w->dbfNrF.asInteger("ID_CD") != used);
    }

    // A lent film: "Zapisz jako..." takes its loan into the copy's loan table, and the check
    // of the copy finds the lost flag of a lend cut short and "Napraw" completes it.
    void loansGoWithTheCopyAndTheCheckMendsThem()
    {
        open();
        Table &films = m_w->dbfFilmy;
        int64_t cd = 0;
        for (films.first(); !films.eof() && films.asInteger("ID_OSOBY") != 0; films.next()) {
        }
        QVERIFY(!films.eof());
        cd = films.asInteger("ID_CD");
        LendRequest request;
        request.friendId = 2;
        request.since = "20261201";
        lendFilm(films, m_w->dbfZnajomi, m_w->loans, request);
        desktop().queueFileName(qs(m_dir->file("kino.dbf")));
        pickFromMenu(m_w->Plik1,
                     {Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Down, Qt::Key_Return});
        QCOMPARE(qs(films.fileName()), qs(m_dir->file("kino.dbf")));
        QVERIFY(std::filesystem::exists(m_dir->file("kino_WYP.dbf")));
        QVERIFY(m_w->loans.openLoanOf(cd));

        rewriteRecord(films, findFilm(films, cd), [](Table &t) { t.setInteger("ID_OSOBY", 0); });
        bool found = false;
        test::ModalHelper<TdlgSpojnosc> helper([&](TdlgSpojnosc *d) {
            for (int i = 0; i < d->lvWyniki->topLevelItemCount(); ++i) {
                const QTreeWidgetItem *item = d->lvWyniki->topLevelItem(i);
                for (int c = 0; c < item->columnCount(); ++c)
                    found |= item->text(c).contains(QStringLiteral("nie ma znacznika"));
            }
            QTest::mouseClick(d->btnNapraw, Qt::LeftButton);
            QTest::mouseClick(d->btnZamknij, Qt::LeftButton);
        });
        pickFromMenu(m_w->Narzedzia1, {Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Return});
        QVERIFY(helper.ran());
        QVERIFY(found);
        QVERIFY(films.isOpen());
        QCOMPARE(integerOf(films, findFilm(films, cd), "ID_OSOBY"), 1);
    }

    void emptyingAsksTwiceNamesTheCountAndKeepsACopy()
    {
        open();
        const int films = m_w->dbfFilmy.recordCount();
        desktop().queueAnswer(1);
        desktop().queueAnswer(2); // the second question declined: nothing changes
        pickFromMenu(m_w->Edycja1, {Qt::Key_Up, Qt::Key_Return}); // its last item
        QCOMPARE(m_w->dbfFilmy.recordCount(), films);
        QVERIFY(desktop().lastText(MessageKind::Question).contains(QString::number(films)));

        desktop().queueAnswer(1);
        desktop().queueAnswer(1);
        pickFromMenu(m_w->Edycja1, {Qt::Key_Up, Qt::Key_Return}); // its last item
        QVERIFY(m_w->dbfFilmy.isOpen());
        QCOMPARE(m_w->dbfFilmy.recordCount(), 0);
        const QString done = desktop().lastText(MessageKind::Information);
        const qsizetype at = done.indexOf(QStringLiteral("Kopia bazy: "));
        QVERIFY2(at >= 0, qPrintable(done));
        const std::string folder = done.mid(at + 12).toStdString();
        QCOMPARE(physicalRecords(folder + "FILMY.DBF") > 0, true);
        QVERIFY(m_w->dbfNrF.isOpen()); // the side tables are not touched
    }
};

QTEST_MAIN(TestGlownyTools)
#include "tst_GlownyTools.moc"
