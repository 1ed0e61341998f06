// SPDX-License-Identifier: GPL-3.0-or-later
#include "FilmyZnajomego.h"

#include "LendingStrings.h"
#include "LendingText.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

namespace welarik {

namespace {

namespace text = strings::lending;

enum Column { colCd, colTitle, colSince, colDue, colReturned, colCount };

} // namespace

TdlgFilmyZnajomego::TdlgFilmyZnajomego(QWidget *parent)
    : QDialog(parent,
              Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint
                  | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("dlgFilmyZnajomego"));
    resize(640, 340);
    auto *column = new QVBoxLayout(this);
    lbSummary = new QLabel(this);
    lbSummary->setObjectName(QStringLiteral("lbSummary"));
    column->addWidget(lbSummary);
    listFilmy = new QTableWidget(0, colCount, this);
    listFilmy->setObjectName(QStringLiteral("listFilmy"));
    listFilmy->setHorizontalHeaderLabels({text::columnCd.toString(),
                                          text::columnTitle.toString(),
                                          text::columnSince.toString(),
                                          text::columnDue.toString(),
                                          text::columnReturned.toString()});
    listFilmy->setEditTriggers(QAbstractItemView::NoEditTriggers);
    listFilmy->setSelectionBehavior(QAbstractItemView::SelectRows);
    listFilmy->setSelectionMode(QAbstractItemView::SingleSelection);
    listFilmy->verticalHeader()->hide();
    listFilmy->verticalHeader()->setDefaultSectionSize(listFilmy->fontMetrics().height() + 6);
    listFilmy->horizontalHeader()->setSectionResizeMode(colTitle, QHeaderView::Stretch);
    listFilmy->setColumnWidth(colCd, 50);
    column->addWidget(listFilmy, 1);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    auto *close = new QPushButton(text::close.toString(), this);
    close->setObjectName(QStringLiteral("btnZamknij"));
    close->setDefault(true);
    connect(close, &QPushButton::clicked, this, &QDialog::accept);
    buttons->addWidget(close);
    column->addLayout(buttons);
}

TdlgFilmyZnajomego::~TdlgFilmyZnajomego() = default;

void TdlgFilmyZnajomego::fill(const Table &films,
                              const Table &friends,
                              const LoanBook &loans,
                              int64_t friendId,
                              const QDate &today)
{
    const uint32_t person = friends.isOpen() ? findFriend(friends, friendId) : 0;
    const QString name = person ? QString::fromStdString(friendName(friends, person))
                                : text::unknownFriend.toString().arg(friendId);
    setWindowTitle(text::friendFilmsCaption.toString().arg(name));
    const std::vector<Loan> list = loans.loansOfFriend(friendId);
    const std::string day = toStoredDate(today);
    listFilmy->setRowCount(static_cast<int>(list.size()));
    int out = 0;
    for (int row = 0; row < static_cast<int>(list.size()); ++row) {
        const Loan &loan = list[static_cast<size_t>(row)];
        const uint32_t film = films.isOpen() ? findFilm(films, loan.film) : 0;
        const QString title = film ? QString::fromStdString(films.asStringOf(film, "T_PL"))
                                   : text::filmMissing.toString();
        QString returned = displayDate(loan.returned);
        if (loan.isOpen()) {
            ++out;
            returned = (loan.overdueOn(day) ? text::stateOverdue : text::stateOut).toString();
        }
        const QStringList cells = {QString::number(loan.film),
                                   title,
                                   displayDate(loan.since),
                                   displayDate(loan.due),
                                   returned};
        for (int c = 0; c < colCount; ++c) {
            auto *item = new QTableWidgetItem(cells[c]);
            if (loan.isOpen()) {
                QFont f = item->font();
                f.setBold(true);
                item->setFont(f);
            }
            if (loan.overdueOn(day))
                item->setForeground(QColor(192, 0, 0));
            listFilmy->setItem(row, c, item);
        }
    }
    lbSummary->setText(text::friendFilmsOut.toString().arg(out) + QStringLiteral("   ")
                       + text::friendFilmsEarlier.toString().arg(list.size() - out));
}

} // namespace welarik
