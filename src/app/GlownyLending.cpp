// SPDX-License-Identifier: GPL-3.0-or-later
// Lending in the main window: the lend and return commands of the grid's pop-up menu and of
// "&Edycja", the film editor's loan line, the friends list's "Filmy...", the overdue marks of
// the lent view and the status bar's count of films out. The work is done by lending/.

#include "DataSource.h"
#include "Desktop.h"
#include "DopiszF.h"
#include "FilmyZnajomego.h"
#include "Glowny.h"
#include "GlownyStrings.h"
#include "Guard.h"
#include "LendingStrings.h"
#include "LendingText.h"
#include "ListParts.h"
#include "LoanMarks.h"
#include "ModalResult.h"
#include "Pictures.h"
#include "Pytanie.h"
#include "Statbaru.h"
#include "TableModel.h"
#include "Wypozycz.h"
#include "Znajomi.h"
#include "lendcommand.h"

#include <QAction>
#include <QLabel>
#include <QMenu>

namespace welarik {

namespace {

namespace text = strings::lending;

} // namespace

void TfmGlowny::buildLending()
{
    Wypozycztenfilm1 = pmenuGrid->findChild<QAction *>(QStringLiteral("Wypozycztenfilm1"));
    Zwroctenfilm1 = pmenuGrid->addAction(pictureIcon(u"open", 16), text::popupZwroc.toString());
    Zwroctenfilm1->setObjectName(QStringLiteral("Zwroctenfilm1"));
    Zwroctenfilm1->setVisible(false);
    Wypozyczfilm1 = addItem(
        Edycja1, "Wypozyczfilm1", text::popupWypozycz, QKeySequence(Qt::CTRL | Qt::Key_W), false);
    Zwrocfilm1 = addItem(
        Edycja1, "Zwrocfilm1", text::popupZwroc, QKeySequence(Qt::CTRL | Qt::Key_R), false);
    // The two lending items stand in a group of their own between the film commands and the
    // deletions, so that the menu still ends with "Kasuj całą bazę".
    const QList<QAction *> items = Edycja1->actions();
    const qsizetype deletions = items.indexOf(Kasujfilm1);
    QAction *separator = deletions > 0 ? items.at(deletions - 1) : Kasujfilm1;
    for (QAction *item : {Wypozyczfilm1, Zwrocfilm1}) {
        Edycja1->removeAction(item);
        Edycja1->insertAction(separator, item);
    }
    Edycja1->insertSeparator(Wypozyczfilm1);
    for (QAction *lend : {Wypozycztenfilm1, Wypozyczfilm1})
        connectGuarded(lend, &QAction::triggered, this, [this] { Wypozycztenfilm1Click(); });
    for (QAction *give : {Zwroctenfilm1, Zwrocfilm1})
        connectGuarded(give, &QAction::triggered, this, [this] { Zwroctenfilm1Click(); });
    connectGuarded(pmenuGrid, &QMenu::aboutToShow, this, [this] { updateLendingCommands(); });
    connectGuarded(Edycja1, &QMenu::aboutToShow, this, [this] { updateLendingCommands(); });
    for (auto signal : {&DataSource::tableScrolled,
                        &DataSource::tableDataChanged,
                        &DataSource::tableOpened,
                        &DataSource::tableClosed})
        connectGuarded(dsFilmy, signal, this, [this] { updateLendingCommands(); });
    connect(pgGlowny, &QTabWidget::currentChanged, this, [this] {
        runGuarded([this] { updateLendingCommands(); });
    });

    lbWypozyczone = new QLabel(stbarGlowny);
    lbWypozyczone->setObjectName(QStringLiteral("lbWypozyczone"));
    lbWypozyczone->setGeometry(180, 5, 300, 16);

    gridMarks = new LoanMarks(gridFilmy);
    gridMarks->rowMark = [this](const QModelIndex &index) {
        return overdueMark(index);
    };
    gridFilmy->setItemDelegate(gridMarks);
}

TdlgWypozycz *TfmGlowny::lendDialog()
{
    if (!m_lendDialog) {
        m_lendDialog = new TdlgWypozycz(dsZnajomi, this);
        m_lendDialog->addFriend = [this] {
            if (auto *list = qobject_cast<TdlgZnajomi *>(friendsListDialog))
                list->cmdZDodajClick(list->cmdZDodaj);
        };
    }
    return m_lendDialog;
}

void TfmGlowny::lendingAfterOpen()
{
    if (filmEditor)
        filmEditor->loanLine = [this] {
            return loanLineOfCurrentFilm();
        };
    if (auto *list = qobject_cast<TdlgZnajomi *>(friendsListDialog)) {
        list->showFilms = [this] {
            if (dbfZnajomi.recNo() != 0)
                showFriendFilms(dbfZnajomi.asInteger("ID_OSOBY"));
        };
    }
    loans.bindTo(dbfFilmy.fileName());
    try {
        loans.openIfExists();
    } catch (const StorageError &e) {
        Desktop::instance().error(this, lists::failureText(text::lendFailed, e));
    }
    reloadOpenLoans();
    updateLendingCommands();
}

void TfmGlowny::lendingAfterClose()
{
    loans.close();
    m_openLoans.clear();
    m_overdue.clear();
    lbWypozyczone->clear();
    updateLendingCommands();
}

void TfmGlowny::updateLendingCommands()
{
    const bool film = dbfFilmy.isOpen() && dbfFilmy.recNo() != 0 && dbfFilmy.hasField("ID_OSOBY");
    const bool lent = film && dbfFilmy.asInteger("ID_OSOBY") == 1;
    const bool shelf = film && dbfFilmy.asInteger("ID_OSOBY") == 0;
    const bool page = filmsPageActive();
    Wypozycztenfilm1->setVisible(!lent);
    Wypozycztenfilm1->setEnabled(page && shelf);
    Zwroctenfilm1->setVisible(lent);
    Zwroctenfilm1->setEnabled(page && lent);
    Wypozyczfilm1->setEnabled(page && shelf);
    Zwrocfilm1->setEnabled(page && lent);
    if (dbfFilmy.isOpen() && m_marksDay != toStoredDate(clock->now().date()))
        refreshLoanMarks();
}

void TfmGlowny::reloadOpenLoans()
{
    m_openLoans.clear();
    for (const Loan &loan : loans.allLoans()) {
        if (loan.isOpen())
            m_openLoans[loan.film] = loan;
    }
    refreshLoanMarks();
}

void TfmGlowny::refreshLoanMarks()
{
    m_marksDay = toStoredDate(clock->now().date());
    m_overdue.clear();
    for (const auto &[film, loan] : m_openLoans) {
        if (loan.overdueOn(m_marksDay))
            m_overdue[film] = loan;
    }
    QString status;
    if (loans.isOpen()) {
        status = text::statusOut.toString().arg(m_openLoans.size());
        if (!m_overdue.empty())
            status += text::statusOverdue.toString().arg(m_overdue.size());
    }
    lbWypozyczone->setText(status);
    gridFilmy->viewport()->update();
}

QString TfmGlowny::overdueMark(const QModelIndex &index) const
{
    if (m_viewNumber != 3 || m_overdue.empty() || !dbfFilmy.isOpen())
        return {};
    const uint32_t recno = gridModel->recordFromIndex(index);
    if (recno == 0)
        return {};
    const auto it = m_overdue.find(integerOf(dbfFilmy, recno, "ID_CD"));
    if (it == m_overdue.end())
        return {};
    const Loan &loan = it->second;
    const uint32_t person = dbfZnajomi.isOpen() ? findFriend(dbfZnajomi, loan.friendId) : 0;
    const QString who = person ? QString::fromStdString(friendName(dbfZnajomi, person))
                               : text::unknownFriend.toString().arg(loan.friendId);
    return text::rowOverdue.toString().arg(who, displayDate(loan.due));
}

QString TfmGlowny::loanLineOfCurrentFilm()
{
    if (dbfFilmy.state() == TableState::Insert)
        return {};
    return loanLineText(loanStateOfCurrentFilm(dbfFilmy, dbfZnajomi, loans), clock->now().date());
}

void TfmGlowny::Wypozycztenfilm1Click()
{
    if (!filmsPageActive() || !dbfFilmy.isOpen() || dbfFilmy.recNo() == 0
        || !dbfFilmy.hasField("ID_OSOBY") || dbfFilmy.asInteger("ID_OSOBY") != 0)
        return;
    TdlgWypozycz *dialog = lendDialog();
    const QString film = QStringLiteral("%1. %2 (%3)")
                             .arg(QString::fromStdString(dbfFilmy.asString("ID_CD")),
                                  QString::fromStdString(dbfFilmy.asString("T_PL")),
                                  QString::fromStdString(dbfFilmy.asString("T_ORG")));
    dialog->prepare(film, clock->now().date());
    if (dialog->exec() != QDialog::Accepted)
        return;
    try {
        const Loan loan = lendFilm(dbfFilmy, dbfZnajomi, loans, dialog->request());
        m_openLoans[loan.film] = loan;
        refreshLoanMarks();
    } catch (const std::exception &e) {
        Desktop::instance().error(this, lists::failureText(text::lendFailed, e));
        reloadOpenLoans();
    }
    updateLendingCommands();
}

void TfmGlowny::Zwroctenfilm1Click()
{
    if (!filmsPageActive() || !questionDialog)
        return;
    const FilmLoanState state = loanStateOfCurrentFilm(dbfFilmy, dbfZnajomi, loans);
    if (!state.lent)
        return;
    if (state.borrowerKnown)
        questionDialog->Question
            = text::returnQuestion.toString().arg(QString::fromStdString(state.borrower));
    else if (state.loan)
        questionDialog->Question = text::returnQuestion.toString().arg(
            text::unknownFriend.toString().arg(state.loan->friendId));
    else
        questionDialog->Question = text::returnQuestionUnknown.toString();
    if (questionDialog->exec() != mrOk)
        return;
    try {
        const int64_t film = dbfFilmy.asInteger("ID_CD");
        returnFilm(dbfFilmy, dbfZnajomi, loans, toStoredDate(clock->now().date()));
        m_openLoans.erase(film);
        refreshLoanMarks();
    } catch (const std::exception &e) {
        Desktop::instance().error(this, lists::failureText(text::returnFailed, e));
        reloadOpenLoans();
    }
    updateLendingCommands();
}

void TfmGlowny::showFriendFilms(int64_t friendId)
{
    TdlgFilmyZnajomego dialog(this);
    dialog.fill(dbfFilmy, dbfZnajomi, loans, friendId, clock->now().date());
    dialog.exec();
}

} // namespace welarik
