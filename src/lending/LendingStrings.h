// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user-facing texts of lending, byte-exact, in one place.

#include <QStringView>

namespace welarik::strings::lending {

inline constexpr QStringView popupWypozycz = u"Wypożycz ten film";
inline constexpr QStringView popupZwroc = u"Zwróć ten film";
inline constexpr QStringView lendCaption = u"Wypożyczenie filmu";
inline constexpr QStringView lendFilm = u"Film:";
inline constexpr QStringView lendFriend = u"&Komu:";
inline constexpr QStringView lendSearch = u"&Szukaj:";
inline constexpr QStringView lendDate = u"&Data wypożyczenia:";
inline constexpr QStringView lendDue = u"&Termin zwrotu:";
inline constexpr QStringView lendRemarks = u"&Uwagi:";
inline constexpr QStringView lendAddFriend = u"Dodaj &osobę...";
inline constexpr QStringView lendOk = u"&Wypożycz";
inline constexpr QStringView lendCancel = u"&Anuluj";
inline constexpr QStringView columnSurname = u"Nazwisko";
inline constexpr QStringView columnFirstName = u"Imię";
inline constexpr QStringView columnNick = u"Nick";
inline constexpr QStringView noFriend = u"Wybierz osobę, której pożyczasz film.";
inline constexpr QStringView lendFailed = u"Nie udało się wypożyczyć filmu:";
inline constexpr QStringView returnFailed = u"Nie udało się zapisać zwrotu filmu:";

// "Czy film wrócił od …?"
inline constexpr QStringView returnQuestion = u"Czy film wrócił od %1?";
inline constexpr QStringView returnQuestionUnknown = u"Czy film wrócił?";

// The film editor's loan line.
inline constexpr QStringView lineLent = u"Wypożyczony: %1 od %2";
inline constexpr QStringView lineDue = u", termin %1";
inline constexpr QStringView lineOverdue = u", po terminie";
inline constexpr QStringView lineUnknown = u"Wypożyczony (brak danych o osobie)";
inline constexpr QStringView unknownFriend = u"osoba nr %1";

// The status bar and the lent view's marks.
inline constexpr QStringView statusOut = u"Wypożyczone: %1";
inline constexpr QStringView statusOverdue = u", po terminie: %1";
inline constexpr QStringView rowOverdue = u"Po terminie: %1, termin %2";

// The friend's films.
inline constexpr QStringView friendFilmsCaption = u"Filmy znajomego: %1";
inline constexpr QStringView friendFilmsButton = u"Filmy...";
inline constexpr QStringView friendFilmsOut = u"Wypożyczone teraz: %1";
inline constexpr QStringView friendFilmsEarlier = u"Wcześniej: %1";
inline constexpr QStringView columnCd = u"Nr CD";
inline constexpr QStringView columnTitle = u"Tytuł";
inline constexpr QStringView columnSince = u"Od";
inline constexpr QStringView columnDue = u"Termin";
inline constexpr QStringView columnReturned = u"Zwrócony";
inline constexpr QStringView stateOut = u"wypożyczony";
inline constexpr QStringView stateOverdue = u"po terminie";
inline constexpr QStringView filmMissing = u"(brak filmu w bazie)";
inline constexpr QStringView close = u"&Zamknij";

} // namespace welarik::strings::lending
