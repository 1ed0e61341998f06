// SPDX-License-Identifier: GPL-3.0-or-later
// The main window driven headless: start-up state, the Open command's outcomes, the menu's
// shortcut rules and the status bar's tick.

#include "DBNavigator.h"
#include "Desktop.h"
#include "DopiszF.h"
#include "Glowny.h"
#include "GlownyStrings.h"
#include "Program.h"
#include "Pytanie.h"
#include "Statbaru.h"
#include "TableModel.h"
#include "demo.h"
#include "tableengine.h"
#include "testsupport.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>

using namespace welarik;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestGlowny : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<test::TempDir> m_dir;
    std::unique_ptr<TfmGlowny> m_w;
    std::unique_ptr<ScopedScriptedDesktop> m_desktop;
    QString m_films;

    ScriptedDesktop &desktop() { return m_desktop->get(); }
    void openFile(const QString &path)
    {
        desktop().queueFileName(path);
        m_w->cmdTOpen->trigger();
    }
    bool catalogueCommandsEnabled() const
    {
        return m_w->cmdTDodaj->isEnabled() && m_w->cmdTPopraw->isEnabled()
               && m_w->Edycja1->isEnabled() && m_w->Szukaj1->isEnabled()
               && m_w->Narzedzia1->isEnabled();
    }
    bool catalogueCommandsDisabled() const
    {
        return !m_w->cmdTDodaj->isEnabled() && !m_w->cmdTPopraw->isEnabled()
               && !m_w->Edycja1->isEnabled() && !m_w->Szukaj1->isEnabled()
               && !m_w->Narzedzia1->isEnabled();
    }
    // A films table with every field but without any index tag.
    QString filmsWithoutTags()
    {
        return qs(test::createFilmsTable(m_dir->file("BEZTAGOW.DBF"), demoFilmFields(), {}));
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<test::TempDir>();
        EngineDemoWriter writer;
        createDemoCatalogue(FileSystem::real(), m_dir->path().string(), {}, writer);
        m_films = qs(m_dir->file("FILMY.DBF"));
        m_desktop = std::make_unique<ScopedScriptedDesktop>();
        m_w = std::make_unique<TfmGlowny>();
        m_w->setProgramDir(qs(m_dir->path().string()));
    }

    void cleanup()
    {
        m_w.reset();
        m_desktop.reset();
        m_dir.reset();
    }

    void startState()
    {
        QCOMPARE(m_w->windowTitle(), QStringLiteral("Welarik v1.01"));
        QCOMPARE(m_w->size(), QSize(800, 604));
        QCOMPARE(m_w->lbIlosc->text(), QStringLiteral("0"));
        QVERIFY(catalogueCommandsDisabled());
        QVERIFY(!m_w->gridMenuAttached());
        // Settings and help work without a catalogue.
        QVERIFY(m_w->Opcje1->isEnabled() && m_w->Ustawieniaprogramu1->isEnabled());
        QVERIFY(m_w->Pomoc1->isEnabled() && m_w->Pomocdoprogramu1->isEnabled());
        QVERIFY(m_w->cmdTOpen->isEnabled() && m_w->cmdTKoniec->isEnabled());
        QCOMPARE(m_w->cmdTOpen->toolTip(), QStringLiteral("Otwiera bazę"));
        QCOMPARE(m_w->cmdTKoniec->toolTip(), QStringLiteral("Kończy działanie programu"));
        QVERIFY(m_w->PokaWszystkie1->isChecked());
        QCOMPARE(m_w->pgGlowny->currentIndex(), 0);
        QCOMPARE(m_w->pgGlowny->tabText(1), QStringLiteral("Baza Audio i MP3"));
        QVERIFY(!m_w->strGry->isEnabled());
        QVERIFY(!m_w->cmdTRozwin->isEnabled());
        for (const char *name : {"tbGlowny",
                                 "cmdTOpen",
                                 "gridFilmy",
                                 "stbarGlowny",
                                 "dbNavi",
                                 "btnNr",
                                 "btnPL",
                                 "btnOrg",
                                 "btnGat",
                                 "pmenuGrid",
                                 "lbIlosc"}) {
            QVERIFY2(m_w->findChild<QObject *>(QString::fromLatin1(name)), name);
        }
        // The tool buttons show real pictures.
        for (QAction *a : {m_w->cmdTPomoc,
                           m_w->cmdTKoniec,
                           m_w->cmdTOpen,
                           m_w->cmdTDodaj,
                           m_w->cmdTPopraw,
                           m_w->cmdTSzukaj}) {
            QVERIFY(!a->icon().pixmap(32, 32).toImage().isNull());
        }
        QCOMPARE(m_w->ProgramDir.right(1), QStringLiteral("/"));
        QVERIFY(m_w->DataDir.endsWith(QStringLiteral("BAZY/")));
    }

    void shortcutsFollowTheirTopMenu()
    {
        // "Szukaj" is disabled: F6 runs neither the menu's click nor the item.
        m_w->runShortcut(m_w->Pokanastanie1);
        QCOMPARE(m_w->viewNumber(), 1);
        QCOMPARE(desktop().pendingFileNames(), 0);
        // Ctrl+O works without a catalogue; a cancelled dialog changes nothing.
        m_w->runShortcut(m_w->Otworzbaze1);
        QCOMPARE(desktop().lastFolder(), m_w->ProgramDir);
        QCOMPARE(desktop().lastFilter(), QStringLiteral("Bazy danych (*.dbf)|*.dbf"));
        QVERIFY(desktop().shown().empty());
        QVERIFY(!m_w->dbfConfig.isOpen());

        openFile(m_films);
        QVERIFY(m_w->dbfFilmy.isOpen());
        m_w->runShortcut(m_w->Pokanastanie1);
        QCOMPARE(m_w->viewNumber(), 2);
        QCOMPARE(qs(m_w->dbfFilmy.filter()), QStringLiteral("ID_OSOBY=0"));
        QVERIFY(m_w->Pokanastanie1->isChecked() && !m_w->PokaWszystkie1->isChecked());
        // F5 clears the filter and keeps the view number (and so the check mark).
        m_w->runShortcut(m_w->Usufiltrowanie1);
        QVERIFY(m_w->dbfFilmy.filter().empty());
        m_w->Szukaj1Click();
        QVERIFY(m_w->Pokanastanie1->isChecked());
        // On another page the view commands do nothing.
        m_w->pgGlowny->setCurrentIndex(2);
        m_w->runShortcut(m_w->Pokawypozyczone1);
        QCOMPARE(m_w->viewNumber(), 2);
        QVERIFY(m_w->dbfFilmy.filter().empty());
    }

    void openSucceeds()
    {
        openFile(m_films);
        QVERIFY(desktop().shown().empty());
        for (Table *t : {&m_w->dbfConfig,
                         &m_w->dbfFilmy,
                         &m_w->dbfDaneF,
                         &m_w->dbfGatunekF,
                         &m_w->dbfNrF,
                         &m_w->dbfZnajomi})
            QVERIFY2(t->isOpen(), t->name().c_str());
        QCOMPARE(qs(m_w->dbfFilmy.indexName()), QStringLiteral("ID_CD"));
        QCOMPARE(m_w->lbIlosc->text(), QString::number(m_w->dbfFilmy.recordCount()));
        QVERIFY(m_w->dbfFilmy.recordCount() > 30);
        QVERIFY(catalogueCommandsEnabled());
        QVERIFY(m_w->gridMenuAttached());
        QVERIFY(m_w->cmdTRozwin->isEnabled()); // the demo has genres
        QCOMPARE(m_w->gridModel->rowCount(), m_w->dbfFilmy.recordCount());
        QCOMPARE(m_w->gridModel->data(m_w->gridModel->index(0, 0)).toString().trimmed(),
                 QString::number(m_w->dbfFilmy.asInteger("ID_CD")));

        // Sorting, then cancelling the dialog: same order, same record.
        m_w->btnPL->click();
        m_w->dbfFilmy.next();
        const uint32_t recno = m_w->dbfFilmy.recNo();
        desktop().queueFileName(QString());
        m_w->cmdTOpen->trigger();
        QCOMPARE(qs(m_w->dbfFilmy.indexName()), QStringLiteral("T_PL"));
        QCOMPARE(m_w->dbfFilmy.recNo(), recno);

        // Choosing the same file again: CD-number order and the first record.
        openFile(m_films);
        QCOMPARE(qs(m_w->dbfFilmy.indexName()), QStringLiteral("ID_CD"));
        const uint32_t first = m_w->dbfFilmy.recNo();
        m_w->dbfFilmy.first();
        QCOMPARE(m_w->dbfFilmy.recNo(), first);
        QVERIFY(desktop().shown().empty());
    }

    void missingConfigTable()
    {
        std::filesystem::remove(m_dir->path() / "BAZY" / "CONFIG.DBF");
        openFile(m_films);
        QCOMPARE(desktop().count(MessageKind::Error), 1);
        QCOMPARE(desktop().lastText(MessageKind::Error),
                 QStringLiteral("Baza konfiguracyjna nie otwarta!"));
        QVERIFY(!m_w->dbfConfig.isOpen());
        QVERIFY(!m_w->dbfFilmy.isOpen());
        QVERIFY(m_w->dbfFilmy.fileName().empty());
        QVERIFY(catalogueCommandsDisabled());
    }

    void anotherPageOpensOnlyTheConfigTable()
    {
        m_w->pgGlowny->setCurrentIndex(1);
        openFile(m_films);
        QVERIFY(m_w->dbfConfig.isOpen());
        QVERIFY(!m_w->dbfFilmy.isOpen() && !m_w->dbfDaneF.isOpen());
        QVERIFY(desktop().shown().empty());
        QVERIFY(catalogueCommandsDisabled());
    }

    void refusedFilesLeaveNoCatalogue()
    {
        openFile(m_films);
        const QString countBefore = m_w->lbIlosc->text();
        const std::string refusals[] = {m_dir->file("NIEMA.DBF"), filmsWithoutTags().toStdString()};
        for (const std::string &refused : refusals) {
            desktop().clear();
            openFile(qs(refused));
            QCOMPARE(desktop().lastText(MessageKind::Error),
                     QStringLiteral("Błąd otwarcia bazy filmów"));
            QCOMPARE(desktop().shown().size(), size_t(1));
            QVERIFY(!m_w->dbfFilmy.isOpen());
            QVERIFY(m_w->dbfConfig.isOpen());
            QVERIFY(catalogueCommandsDisabled());
            QVERIFY(!m_w->gridMenuAttached());
            QCOMPARE(m_w->lbIlosc->text(), countBefore);
            QCOMPARE(m_w->gridModel->rowCount(), 0);
        }
        // A good file afterwards opens as usual.
        desktop().clear();
        openFile(m_films);
        QVERIFY(m_w->dbfFilmy.isOpen() && desktop().shown().empty());
    }

    void fileLackingAFilmsField()
    {
        // The film editor's controls bind to dsFilmy; a file without REZYSER is refused.
        TdlgDopiszFilm editor(m_w->dsFilmy, m_w.get());
        const std::string path = test::createFilmsTable(
            m_dir->file("BEZREZ.DBF"), test::filmFieldsWithout("REZYSER"), {{"ID_CD", "ID_CD"}});
        openFile(m_films);
        const QString countBefore = m_w->lbIlosc->text();
        desktop().clear();
        openFile(qs(path));
        QCOMPARE(desktop().lastText(MessageKind::Error),
                 QStringLiteral("Błąd otwarcia bazy filmów"));
        QVERIFY(!m_w->dbfFilmy.isOpen());
        QVERIFY(!m_w->cmdTDodaj->isEnabled() && !m_w->cmdTPopraw->isEnabled());
        QCOMPARE(m_w->lbIlosc->text(), countBefore);
        // The same file is a films table as far as the main window alone is concerned: it is
        // the editor's controls that refuse it.
    }

    void programCreatesEveryWindowOnce()
    {
        m_w.reset();
        Program program;
        QVERIFY(fmGlowny && dlgDopiszFilm && dlgPytanie);
        QCOMPARE(dlgDopiszFilm->parentWidget(), static_cast<QWidget *>(fmGlowny));
        QVERIFY(!dlgDopiszFilm->isVisible() && !dlgPytanie->isVisible());
        QCOMPARE(fmGlowny->objectName(), QStringLiteral("fmGlowny"));
        QCOMPARE(dlgDopiszFilm->objectName(), QStringLiteral("dlgDopiszFilm"));
        // The editor is bound to the main window's films table from the start.
        fmGlowny->setProgramDir(qs(m_dir->path().string()));
        desktop().queueFileName(m_films);
        fmGlowny->cmdTOpen->trigger();
        QVERIFY(fmGlowny->dbfFilmy.isOpen());
        auto *title = dlgDopiszFilm->findChild<QLineEdit *>(QStringLiteral("EditT_PL"));
        QVERIFY(title);
        QCOMPARE(title->text(), qs(fmGlowny->dbfFilmy.asString("T_PL")));
    }

    void missingFriendsTable()
    {
        std::filesystem::remove(m_dir->path() / "BAZY" / "ZNAJOMI.DBF");
        openFile(m_films);
        QCOMPARE(desktop().lastText(MessageKind::Error),
                 QStringLiteral("Błąd otwarcia bazy filmów"));
        QVERIFY(!m_w->dbfFilmy.isOpen());
        QVERIFY(m_w->dbfDaneF.isOpen() && m_w->dbfGatunekF.isOpen() && m_w->dbfNrF.isOpen());
        QVERIFY(!m_w->dbfZnajomi.isOpen());
        QVERIFY(catalogueCommandsDisabled());
    }

    void filesInUseElsewhere()
    {
        // The films file held by another user (another copy of the program).
        {
            auto other = TableEngine::open(FileSystem::real(),
                                           m_films.toStdString(),
                                           OpenMode::ReadWrite,
                                           ShareMode::Exclusive);
            openFile(m_films);
            QCOMPARE(desktop().lastText(MessageKind::Error),
                     QStringLiteral("Błąd otwarcia bazy filmów"));
            QVERIFY(!m_w->dbfFilmy.isOpen());
        }
        // A side table held elsewhere.
        desktop().clear();
        {
            auto other = TableEngine::open(FileSystem::real(),
                                           (m_dir->path() / "BAZY" / "NRFILM.DBF").string(),
                                           OpenMode::ReadWrite,
                                           ShareMode::Exclusive);
            openFile(m_films);
            QCOMPARE(desktop().lastText(MessageKind::Error),
                     QStringLiteral("Błąd otwarcia bazy filmów"));
            QVERIFY(!m_w->dbfFilmy.isOpen());
            QVERIFY(!m_w->dbfNrF.isOpen());
        }
        desktop().clear();
        openFile(m_films);
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfNrF.isOpen());
        QVERIFY(desktop().shown().empty());
    }

    void refusedOrderAndFilterKeepThePreviousOnes()
    {
        // A films table with only the ID_CD tag: the sort button for genres fails into the
        // default error box and the order stays.
        const std::string path = test::createFilmsTable(
            m_dir->file("TYLKONR.DBF"), demoFilmFields(), {{"ID_CD", "ID_CD"}});
        openFile(qs(path));
        QVERIFY(m_w->dbfFilmy.isOpen());
        m_w->btnGat->click();
        QCOMPARE(desktop().count(MessageKind::DefaultError), 1);
        QCOMPARE(qs(m_w->dbfFilmy.indexName()), QStringLiteral("ID_CD"));

        openFile(m_films);
        Table &films = m_w->dbfFilmy;
        m_w->runShortcut(m_w->Pokawypozyczone1);
        const int lent = films.recordCount();
        QVERIFY(lent > 0 && lent < 40);
        // A genre with an apostrophe does not parse; the previous expression stays.
        QVERIFY_THROWS_EXCEPTION(StorageError, films.setFilter("GATUNEK='Dramat'obyczajowy'"));
        QCOMPARE(qs(films.filter()), QStringLiteral("ID_OSOBY=1"));
        QCOMPARE(films.recordCount(), lent);
        // Sorting keeps the filter; only the order changes.
        m_w->btnPL->click();
        QCOMPARE(films.recordCount(), lent);
        QCOMPARE(qs(films.indexName()), QStringLiteral("T_PL"));
    }

    void statusBarTick()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        QCOMPARE(m_w->stbarGlowny->widthDate(), 80);
        QCOMPARE(m_w->stbarGlowny->effectiveInterval(), 10);
        m_w->stbarGlownyTimer();
        QCOMPARE(m_w->dbNavi->x(), m_w->stbarGlowny->width() - 254);
        m_w->resize(900, 604);
        QTRY_COMPARE(m_w->dbNavi->x(), m_w->stbarGlowny->width() - 254);

        openFile(m_films);
        Table &films = m_w->dbfFilmy;
        const int before = films.recordCount();
        films.last();
        films.deleteRecord();
        QTRY_COMPARE(m_w->lbIlosc->text(), QString::number(before - 1));
        // With another page active the count stops following the table.
        m_w->pgGlowny->setCurrentIndex(1);
        films.first();
        films.deleteRecord();
        m_w->stbarGlownyTimer();
        QCOMPARE(m_w->lbIlosc->text(), QString::number(before - 1));
        m_w->pgGlowny->setCurrentIndex(0);
        QTRY_COMPARE(m_w->lbIlosc->text(), QString::number(before - 2));
    }

    // Real key presses: F5-F8 and their check marks on the films page and on another page,
    // and the Alt keys a header button shares with a top menu.
    void keysReachTheRightCommand()
    {
        m_w->show();
        m_w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_w.get()));
        const auto marks = [this] {
            return QList<bool>{m_w->PokaWszystkie1->isChecked(),
                               m_w->Pokanastanie1->isChecked(),
                               m_w->Pokawypozyczone1->isChecked()};
        };
        QTest::keyClick(m_w.get(), Qt::Key_F7); // "Szukaj" disabled: nothing happens
        QCOMPARE(m_w->viewNumber(), 1);
        openFile(m_films);
        Table &films = m_w->dbfFilmy;
        QTest::keyClick(m_w.get(), Qt::Key_F7);
        QCOMPARE(qs(films.filter()), QStringLiteral("ID_OSOBY=0"));
        QCOMPARE(marks(), (QList<bool>{false, true, false}));
        QTest::keyClick(m_w.get(), Qt::Key_F5);
        QVERIFY(films.filter().empty());
        QCOMPARE(marks(), (QList<bool>{false, true, false}));
        QTest::keyClick(m_w.get(), Qt::Key_F8);
        QCOMPARE(qs(films.filter()), QStringLiteral("ID_OSOBY=1"));
        QCOMPARE(marks(), (QList<bool>{false, false, true}));
        QTest::keyClick(m_w.get(), Qt::Key_F6);
        QVERIFY(films.filter().empty());
        QCOMPARE(marks(), (QList<bool>{true, false, false}));

        // Alt+P and Alt+O sort on the films page (their top menus are disabled anyway), Alt+N
        // sorts there although "Narzędzia" is enabled.
        QTest::keyClick(m_w.get(), Qt::Key_P, Qt::AltModifier);
        QCOMPARE(qs(films.indexName()), QStringLiteral("T_PL"));
        QTest::keyClick(m_w.get(), Qt::Key_O, Qt::AltModifier);
        QCOMPARE(qs(films.indexName()), QStringLiteral("T_ORG"));
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::AltModifier);
        QCOMPARE(qs(films.indexName()), QStringLiteral("ID_CD"));
        QVERIFY(!m_w->Narzedzia1->isVisible());

        // On another page the view keys leave view and marks alone, and Alt+N opens the menu.
        m_w->pgGlowny->setCurrentIndex(2);
        for (Qt::Key key : {Qt::Key_F7, Qt::Key_F8, Qt::Key_F6}) {
            QTest::keyClick(m_w.get(), key);
            QCOMPARE(m_w->viewNumber(), 1);
            QCOMPARE(marks(), (QList<bool>{true, false, false}));
        }
        m_w->Pokawypozyczone1->trigger(); // a click on the item, not its key
        QCOMPARE(marks(), (QList<bool>{true, false, false}));
        QTest::keyClick(m_w.get(), Qt::Key_N, Qt::AltModifier);
        QTRY_VERIFY(m_w->Narzedzia1->isVisible());
        QCOMPARE(qs(films.indexName()), QStringLiteral("ID_CD"));
        m_w->Narzedzia1->close();
    }

    // Between changes the tick sleeps; a change wakes it, so the count and the navigator
    // follow within a few ticks, not at the next whole second.
    void statusBarFollowsAtOnceAfterSleeping()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        openFile(m_films);
        TEStatusBar &bar = *m_w->stbarGlowny;
        Table &films = m_w->dbfFilmy;
        QTRY_VERIFY(bar.sleeping());
        const int before = films.recordCount();
        films.last();
        films.deleteRecord();
        QVERIFY(!bar.sleeping());
        QTRY_COMPARE_WITH_TIMEOUT(m_w->lbIlosc->text(), QString::number(before - 1), 450);
        QVERIFY(!bar.sleeping());
        QTRY_VERIFY(bar.sleeping());
        m_w->resize(m_w->width() + 70, m_w->height());
        QTRY_COMPARE_WITH_TIMEOUT(m_w->dbNavi->x(), bar.width() - 254, 450);
        QVERIFY(!bar.sleeping());
        QTRY_VERIFY(bar.sleeping());
        m_w->pgGlowny->setCurrentIndex(1);
        QVERIFY(!bar.sleeping());
        m_w->pgGlowny->setCurrentIndex(0);
    }

    // A big catalogue is counted while its first rows show: at every tick the count label is
    // empty or the exact count, never the previous catalogue's nor the provisional one; the
    // grid then takes the exact row count.
    // A power cut left the films table in a session whose last record never reached the disk
    // (its count did): the open drops it and says so in one note, no error.
    void openAfterAPowerCutSaysWhatItRepaired()
    {
        const std::filesystem::path films = m_dir->path() / "FILMY.DBF";
        std::fstream f(films, std::ios::in | std::ios::out | std::ios::binary);
        uint8_t h[32];
        f.read(reinterpret_cast<char *>(h), sizeof h);
        const uint32_t count = h[4] | h[5] << 8 | h[6] << 16 | uint32_t(h[7]) << 24;
        const uint32_t length = h[10] | h[11] << 8;
        const uint32_t header = h[8] | h[9] << 8;
        f.seekp(header + std::streamoff(count) * length);
        const std::string lost(length, '\0');
        f.write(lost.data(), std::streamsize(lost.size()));
        uint8_t mark[12] = {'W', 'L', 'R', 'K'};
        std::memcpy(mark + 4, h + 4, 4); // synced: the count before the lost record
        h[4] = uint8_t(count + 1);       // the demo has fewer than 255 films
        std::memcpy(h + 16, mark, sizeof mark);
        f.seekp(0);
        f.write(reinterpret_cast<const char *>(h), sizeof h);
        f.close();

        openFile(m_films);
        QCOMPARE(desktop().count(MessageKind::Error), 0);
        QCOMPARE(desktop().count(MessageKind::Information), 1);
        QVERIFY(
            desktop().lastText(MessageKind::Information).contains(QStringLiteral("naprawiono")));
        QVERIFY(desktop().lastText(MessageKind::Information).contains(QStringLiteral("dropped")));
        QVERIFY(m_w->dbfFilmy.isOpen());
        QCOMPARE(m_w->dbfFilmy.recordCount(), int(count));
    }

    void bigCatalogueCountIsNeverWrong()
    {
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w.get()));
        openFile(m_films);
        const QString small = m_w->lbIlosc->text();
        QVERIFY(small.toInt() > 30);
        test::TempDir bigDir;
        EngineDemoWriter writer;
        DemoOptions options;
        options.films = 50000;
        options.churn = 300;
        const DemoSummary big
            = createDemoCatalogue(FileSystem::real(), bigDir.path().string(), options, writer);
        QVERIFY(big.deleted > 0);
        const int films = int(big.films - big.deleted);
        QStringList shown;
        QObject recording; // ends the recording with this test
        connect(m_w->stbarGlowny, &TEStatusBar::OnTimer, &recording, [&] {
            shown << m_w->lbIlosc->text();
        });
        openFile(qs(big.filmsPath));
        QVERIFY(m_w->lbIlosc->text() != small);
        QVERIFY(!m_w->gridModel->data(m_w->gridModel->index(0, 0)).toString().isEmpty());
        QTRY_COMPARE(m_w->lbIlosc->text(), QString::number(films));
        QCOMPARE(m_w->gridModel->rowCount(), films);
        QTRY_VERIFY(!shown.isEmpty()); // a tick after the count, at least
        for (const QString &text : shown)
            QVERIFY2(text.isEmpty() || text == QString::number(films), qPrintable(text));
    }
};

QTEST_MAIN(TestGlowny)
#include "tst_Glowny.moc"
