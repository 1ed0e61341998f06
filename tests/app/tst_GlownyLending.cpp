// SPDX-License-Identifier: GPL-3.0-or-later
// Lending through the real main window: lend from the grid's pop-up menu and from the menu's
// shortcut, return with its question, the friend's count, the lent and on-the-shelf views,
// due dates and overdue marks on a fake clock, the editor's loan line, a film lent by another
// program, "Dodaj osobę..." and the friend's films. Tables are read back from their files.

#include "Desktop.h"
#include "DopiszF.h"
#include "FieldBinding.h"
#include "FilmyZnajomego.h"
#include "Glowny.h"
#include "LoanMarks.h"
#include "Program.h"
#include "TableModel.h"
#include "Wypozycz.h"
#include "ZDane.h"
#include "Znajomi.h"
#include "catalogue.h"
#include "demo.h"
#include "lendcommand.h"
#include "testsupport.h"

#include "../support/qt/DemoProgram.h"
#include "../support/qt/FakeClock.h"
#include "../support/qt/ModalHelper.h"

#include <QAction>
#include <QCheckBox>
#include <QContextMenuEvent>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>

#include <memory>

using namespace welarik;
using welarik::test::ModalHelper;

namespace {

QString qs(const std::string &s)
{
    return QString::fromStdString(s);
}

} // namespace

class TestGlownyLending : public QObject, protected test::DemoProgram
{
    Q_OBJECT

private:
    test::FakeClock m_clock{QDateTime(QDate(2026, 12, 1), QTime(10, 0))};

    void gotoFilm(int cd)
    {
        Table &films = m_w->dbfFilmy;
        QVERIFY(films.gotoRecord(findFilm(films, cd)));
    }
    int64_t flag(int cd)
    {
        return integerOf(m_w->dbfFilmy, findFilm(m_w->dbfFilmy, cd), "ID_OSOBY");
    }
    int64_t count(int friendId)
    {
        return integerOf(m_w->dbfZnajomi, findFriend(m_w->dbfZnajomi, friendId), "ILE");
    }
    // Every film on the shelf but film 6, which another program marked lent; no friend has
    // a film.
    void prepareCatalogue()
    {
        Table &films = m_w->dbfFilmy;
        for (int cd = 1; cd <= 6; ++cd) {
            gotoFilm(cd);
            films.edit();
            films.setInteger("ID_OSOBY", cd == 6 ? 1 : 0);
            films.post();
        }
        Table &friends = m_w->dbfZnajomi;
        for (friends.first(); !friends.eof(); friends.next()) {
            friends.edit();
            friends.setInteger("ILE", 0);
            friends.post();
        }
    }
    // Right-clicks the current film's row (the context-menu request a right click makes) and
    // clicks the pop-up item.
    void clickPopupItem(QAction *item)
    {
        const QModelIndex index = m_w->gridModel->index(m_w->dbfFilmy.currentRow(), 1);
        const QPoint at = m_w->gridFilmy->visualRect(index).center();
        QWidget *viewport = m_w->gridFilmy->viewport();
        QTest::mouseClick(viewport, Qt::RightButton, {}, at);
        QContextMenuEvent request(QContextMenuEvent::Mouse, at, viewport->mapToGlobal(at));
        QApplication::sendEvent(viewport, &request);
        QTRY_VERIFY(m_w->pmenuGrid->isVisible());
        QVERIFY(item->isVisible() && item->isEnabled());
        QTest::mouseClick(
            m_w->pmenuGrid, Qt::LeftButton, {}, m_w->pmenuGrid->actionGeometry(item).center());
    }
    // A key to the main window once it is active again (after a dialog).
    void key(Qt::Key k, Qt::KeyboardModifiers modifiers = {})
    {
        QTRY_VERIFY(!QApplication::activePopupWidget() && !QApplication::activeModalWidget());
        // The offscreen platform leaves a closed dialog the active window.
        QApplication::setActiveWindow(m_w);
        QTRY_COMPARE(QApplication::activeWindow(), m_w);
        QTest::keyClick(m_w, k, modifiers);
    }
    // In the lend dialog: types the surname's start, ticks a due date, Enter.
    static void chooseFriend(TdlgWypozycz *d, const QString &typed, const QDate &due)
    {
        QTest::keyClicks(d->edSzukaj, typed);
        if (due.isValid()) {
            QTest::mouseClick(
                d->cbTermin, Qt::LeftButton, {}, QPoint(4, d->cbTermin->height() / 2));
            d->edTermin->setDate(due);
        }
        QTest::keyClick(d->edSzukaj, Qt::Key_Return);
    }

private slots:
    void init()
    {
        layOut(6);
        m_program = std::make_unique<Program>();
        m_w = fmGlowny;
        m_w->clock = &m_clock;
        m_w->setProgramDir(qs(m_dir->path().string()));
        m_w->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_w));
        desktop().queueFileName(qs(m_films));
        m_w->cmdTOpen->trigger();
        QVERIFY(m_w->dbfFilmy.isOpen() && m_w->dbfZnajomi.isOpen());
        prepareCatalogue();
    }

    void cleanup() { tearDown(); }

    // The demo's friend 2 is Agnieszka Wiśniewska, friend 1 Paweł Nowak.
    void lendFromThePopupAndReturnFromTheMenu()
    {
        gotoFilm(2);
        m_w->updateLendingCommands();
        QVERIFY(m_w->Wypozycztenfilm1->isVisible());
        QVERIFY(!m_w->Zwroctenfilm1->isVisible());
        ModalHelper<TdlgWypozycz> lend([](TdlgWypozycz *d) {
            QCOMPARE(d->edData->date(), QDate(2026, 12, 1));
            chooseFriend(d, QStringLiteral("Wi"), QDate(2026, 12, 5));
        });
        clickPopupItem(m_w->Wypozycztenfilm1);
        QTRY_VERIFY(lend.ran());
        QTRY_COMPARE(flag(2), 1);
        QCOMPARE(count(2), 1);
        std::optional<Loan> loan = m_w->loans.openLoanOf(2);
        QVERIFY(loan);
        QCOMPARE(loan->friendId, 2);
        QCOMPARE(qs(loan->since), QStringLiteral("20261201"));
        QCOMPARE(qs(loan->due), QStringLiteral("20261205"));
        QCOMPARE(m_w->lbWypozyczone->text(), QStringLiteral("Wypożyczone: 1"));

        // The lent view lists it with film 6; the pop-up now offers the return.
        key(Qt::Key_F8);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 2);
        gotoFilm(2);
        QVERIFY(m_w->Zwroctenfilm1->isVisible() && !m_w->Wypozycztenfilm1->isVisible());

        // Past the due date the row is marked and the status bar counts it.
        m_clock.set(QDateTime(QDate(2026, 12, 6), QTime(9, 0)));
        m_w->updateLendingCommands();
        const QModelIndex row = m_w->gridModel->index(m_w->dbfFilmy.currentRow(), 1);
        QCOMPARE(m_w->gridMarks->rowMark(row),
                 QStringLiteral("Po terminie: Agnieszka Wiśniewska, termin 05.12.2026"));
        gotoFilm(6);
        QVERIFY(m_w->gridMarks->rowMark(m_w->gridModel->index(m_w->dbfFilmy.currentRow(), 1))
                    .isEmpty());
        QCOMPARE(m_w->lbWypozyczone->text(), QStringLiteral("Wypożyczone: 1, po terminie: 1"));

        // Ctrl+R: the question names the borrower; Tak returns the film.
        gotoFilm(2);
        desktop().queueAnswer(1);
        key(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(desktop().lastText(MessageKind::Question),
                 QStringLiteral("Czy film wrócił od Agnieszka Wiśniewska?"));
        QCOMPARE(flag(2), 0);
        QCOMPARE(count(2), 0);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 1); // only film 6 is out
        key(Qt::Key_F7);
        QCOMPARE(m_w->dbfFilmy.recordCount(), 5);
        loan = m_w->loans.loansOfFilm(2).front();
        QCOMPARE(qs(loan->returned), QStringLiteral("20261206"));
    }

    void lendFromTheMenuShortcutAndAnswerNo()
    {
        gotoFilm(3);
        ModalHelper<TdlgWypozycz> lend(
            [](TdlgWypozycz *d) { chooseFriend(d, QStringLiteral("nowak"), QDate()); });
        key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(lend.ran());
        QCOMPARE(flag(3), 1);
        QCOMPARE(count(1), 1);
        QVERIFY(m_w->loans.openLoanOf(3)->due.empty());

        // On the shelf view the film is gone; "Nie" keeps it lent.
        key(Qt::Key_F8);
        gotoFilm(3);
        desktop().queueAnswer(2);
        key(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(flag(3), 1);
        QCOMPARE(count(1), 1);

        // Cancel in the dialog writes nothing.
        key(Qt::Key_F6);
        gotoFilm(4);
        ModalHelper<TdlgWypozycz> cancel(
            [](TdlgWypozycz *d) { QTest::keyClick(d->edSzukaj, Qt::Key_Escape); });
        key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(cancel.ran());
        QCOMPARE(flag(4), 0);
        QCOMPARE(m_w->loans.loansOfFilm(4).size(), size_t(0));
    }

    // Deleting a lent film (from the lent view) keeps the question and returns the film first:
    // the loan closed today, the friend's count lowered, no open loan left behind.
    void deletingALentFilmClosesItsLoan()
    {
        gotoFilm(3);
        ModalHelper<TdlgWypozycz> lend(
            [](TdlgWypozycz *d) { chooseFriend(d, QStringLiteral("nowak"), QDate()); });
        key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(lend.ran());
        QCOMPARE(count(1), 1);
        key(Qt::Key_F8);
        gotoFilm(3);
        m_clock.set(QDateTime(QDate(2026, 12, 4), QTime(9, 0)));
        desktop().queueAnswer(1);
        m_w->Kasujfilm1->trigger();
        QCOMPARE(desktop().lastText(MessageKind::Question),
                 QStringLiteral("Czy na pewno skasować ten film ?"));
        QCOMPARE(findFilm(m_w->dbfFilmy, 3), 0u);
        QCOMPARE(count(1), 0);
        QVERIFY(!m_w->loans.openLoanOf(3));
        QCOMPARE(qs(m_w->loans.loansOfFilm(3).front().returned), QStringLiteral("20261204"));
        QCOMPARE(m_w->dbfFilmy.recordCount(), 1); // film 6 is still out
    }

    void filmLentByAnotherProgramShowsAndReturns()
    {
        gotoFilm(6);
        QCOMPARE(m_w->loanLineOfCurrentFilm(),
                 QStringLiteral("Wypożyczony (brak danych o osobie)"));
        desktop().queueAnswer(1);
        key(Qt::Key_R, Qt::ControlModifier);
        QCOMPARE(desktop().lastText(MessageKind::Question), QStringLiteral("Czy film wrócił?"));
        QCOMPARE(flag(6), 0);
    }

    void editorShowsTheLoanLine()
    {
        gotoFilm(2);
        lendFilm(m_w->dbfFilmy, m_w->dbfZnajomi, m_w->loans, {1, "20261120", "20261130", ""});
        gotoFilm(2);
        QString line;
        bool visible = false;
        ModalHelper<TdlgDopiszFilm> show([&](TdlgDopiszFilm *d) {
            line = d->lbWypozyczenie->text();
            visible = d->lbWypozyczenie->isVisible();
            d->reject();
        });
        m_w->Pokaszczegy2->trigger();
        QVERIFY(show.ran());
        QVERIFY(visible);
        QCOMPARE(line,
                 QStringLiteral(
                     "Wypożyczony: Paweł Nowak od 20.11.2026, termin 30.11.2026, po terminie"));
        gotoFilm(3);
        ModalHelper<TdlgDopiszFilm> shelf([&](TdlgDopiszFilm *d) {
            visible = d->lbWypozyczenie->isVisible();
            d->reject();
        });
        m_w->Pokaszczegy2->trigger();
        QVERIFY(shelf.ran());
        QVERIFY(!visible);
    }

    void addFriendFromTheLendDialog()
    {
        gotoFilm(5);
        const int friendsBefore = m_w->dbfZnajomi.recordCount();
        ModalHelper<TdlgZDane> person([](TdlgZDane *d) {
            QTest::keyClicks(d->EditIMIE, QStringLiteral("Zofia"));
            QTest::keyClicks(d->EditNAZWISKO, QStringLiteral("Kot"));
            QTest::mouseClick(d->cmdZDZapisz, Qt::LeftButton);
        });
        ModalHelper<TdlgWypozycz> lend([](TdlgWypozycz *d) {
            QTest::mouseClick(d->btnDodajOsobe, Qt::LeftButton);
            QTest::mouseClick(d->btnOk, Qt::LeftButton);
        });
        key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(lend.ran() && person.ran());
        QCOMPARE(m_w->dbfZnajomi.recordCount(), friendsBefore + 1);
        const std::optional<Loan> loan = m_w->loans.openLoanOf(5);
        QVERIFY(loan);
        const uint32_t who = findFriend(m_w->dbfZnajomi, loan->friendId);
        QCOMPARE(qs(friendName(m_w->dbfZnajomi, who)), QStringLiteral("Zofia Kot"));
        QCOMPARE(integerOf(m_w->dbfZnajomi, who, "ILE"), 1);
    }

    void friendsListShowsTheFriendsFilms()
    {
        gotoFilm(1);
        lendFilm(m_w->dbfFilmy, m_w->dbfZnajomi, m_w->loans, {2, "20261101", "", ""});
        returnFilm(m_w->dbfFilmy, m_w->dbfZnajomi, m_w->loans, "20261110");
        gotoFilm(4);
        lendFilm(m_w->dbfFilmy, m_w->dbfZnajomi, m_w->loans, {2, "20261115", "20261125", ""});
        QVERIFY(m_w->dbfZnajomi.gotoRecord(findFriend(m_w->dbfZnajomi, 2)));
        QStringList rows;
        QString summary;
        ModalHelper<TdlgFilmyZnajomego> films([&](TdlgFilmyZnajomego *d) {
            summary = d->lbSummary->text();
            for (int r = 0; r < d->listFilmy->rowCount(); ++r) {
                QStringList cells;
                for (int c = 0; c < d->listFilmy->columnCount(); ++c)
                    cells << d->listFilmy->item(r, c)->text();
                rows << cells.join(QLatin1Char('|'));
            }
            QTest::keyClick(d->listFilmy, Qt::Key_Escape);
        });
        ModalHelper<TdlgZnajomi> list([](TdlgZnajomi *d) {
            QVERIFY(d->cmdZFilmy->isVisible());
            QTest::mouseClick(d->cmdZFilmy, Qt::LeftButton);
            d->cmdZOkClick();
        });
        key(Qt::Key_Z, Qt::ControlModifier | Qt::AltModifier);
        QVERIFY(list.ran() && films.ran());
        const QString title4 = qs(m_w->dbfFilmy.asStringOf(findFilm(m_w->dbfFilmy, 4), "T_PL"));
        const QString title1 = qs(m_w->dbfFilmy.asStringOf(findFilm(m_w->dbfFilmy, 1), "T_PL"));
        QCOMPARE(rows,
                 QStringList({QStringLiteral("4|%1|15.11.2026|25.11.2026|po terminie").arg(title4),
                              QStringLiteral("1|%1|01.11.2026||10.11.2026").arg(title1)}));
        QCOMPARE(summary, QStringLiteral("Wypożyczone teraz: 1   Wcześniej: 1"));
    }

    void failedLendShowsTheReasonAndChangesNothing()
    {
        // A table of another layout where the loans should be.
        m_w->loans.close();
        TableEngine::create(
            FileSystem::real(), loanTablePath(m_films), 4, 0xC8, {{"X", 'C', 5}}, {})
            ->close();
        gotoFilm(2);
        ModalHelper<TdlgWypozycz> lend(
            [](TdlgWypozycz *d) { chooseFriend(d, QStringLiteral("Nowak"), QDate()); });
        key(Qt::Key_W, Qt::ControlModifier);
        QVERIFY(lend.ran());
        QVERIFY(desktop()
                    .lastText(MessageKind::Error)
                    .startsWith(QStringLiteral("Nie udało się wypożyczyć filmu:")));
        QCOMPARE(flag(2), 0);
        QCOMPARE(count(1), 0);
    }
};

QTEST_MAIN(TestGlownyLending)
#include "tst_GlownyLending.moc"
