// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Dates and lines of text that the lending windows show.

#include "lendcommand.h"

#include <QDate>
#include <QString>

namespace welarik {

// "20261201" <-> QDate; an empty or bad text gives an invalid date and back "".
QDate fromStoredDate(const std::string &yyyymmdd);
std::string toStoredDate(const QDate &date);
// "01.12.2026"; "" for an empty text.
QString displayDate(const std::string &yyyymmdd);

// The film editor's line for a film: "Wypożyczony: Jan Kowalski od 01.12.2026, termin
// 08.12.2026, po terminie", or "Wypożyczony (brak danych o osobie)" for a film flagged lent
// without a loan record; empty for a film on the shelf.
QString loanLineText(const FilmLoanState &state, const QDate &today);

} // namespace welarik
