// SPDX-License-Identifier: GPL-3.0-or-later
#include "LendingText.h"

#include "LendingStrings.h"

namespace welarik {

namespace text = strings::lending;

QDate fromStoredDate(const std::string &yyyymmdd)
{
    return QDate::fromString(QString::fromStdString(yyyymmdd), QStringLiteral("yyyyMMdd"));
}

std::string toStoredDate(const QDate &date)
{
    return date.isValid() ? date.toString(QStringLiteral("yyyyMMdd")).toStdString() : std::string();
}

QString displayDate(const std::string &yyyymmdd)
{
    const QDate date = fromStoredDate(yyyymmdd);
    return date.isValid() ? date.toString(QStringLiteral("dd.MM.yyyy"))
                          : QString::fromStdString(yyyymmdd);
}

QString loanLineText(const FilmLoanState &state, const QDate &today)
{
    if (!state.lent)
        return {};
    if (!state.loan)
        return text::lineUnknown.toString();
    const Loan &loan = *state.loan;
    const QString who = state.borrowerKnown ? QString::fromStdString(state.borrower)
                                            : text::unknownFriend.toString().arg(loan.friendId);
    QString line = text::lineLent.toString().arg(who, displayDate(loan.since));
    if (!loan.due.empty()) {
        line += text::lineDue.toString().arg(displayDate(loan.due));
        if (loan.overdueOn(toStoredDate(today)))
            line += text::lineOverdue.toString();
    }
    return line;
}

} // namespace welarik
