// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The friend's films: for one friend, the films out now (overdue ones marked) and the earlier
// loans with their dates, read from the loan table and the films table.

#include "loans.h"

#include <QDate>
#include <QDialog>

class QLabel;
class QTableWidget;

namespace welarik {

class TdlgFilmyZnajomego final : public QDialog
{
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(TdlgFilmyZnajomego)
public:
    explicit TdlgFilmyZnajomego(QWidget *parent = nullptr);
    ~TdlgFilmyZnajomego() override;

    // Fills the list for the friend with this number (films by their CD number).
    void fill(const Table &films,
              const Table &friends,
              const LoanBook &loans,
              int64_t friendId,
              const QDate &today);

    QLabel *lbSummary = nullptr;
    QTableWidget *listFilmy = nullptr;
};

} // namespace welarik
