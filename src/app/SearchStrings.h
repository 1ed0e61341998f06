// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the advanced search, the help, the settings and the about box, in one place.

#include <QStringView>

namespace welarik::strings::search {

inline constexpr QStringView caption = u"Wyszukiwanie zaawansowane";
inline constexpr QStringView matchLabel = u"Pokaż filmy spełniające";
inline constexpr QStringView matchAll = u"wszystkie";
inline constexpr QStringView matchAny = u"dowolny";
inline constexpr QStringView matchTail = u"z warunków:";
inline constexpr QStringView addCondition = u"&Dodaj warunek";
inline constexpr QStringView removeCondition = u"Usuń warunek";
inline constexpr QStringView ignoreCase = u"Wielkość liter &bez znaczenia";
inline constexpr QStringView ignoreDiacritics = u"Polskie litery z &ogonkami i bez (ą = a)";
inline constexpr QStringView expressionLabel = u"&Wyrażenie (język filtrów dBase):";
inline constexpr QStringView recentLabel = u"&Ostatnie wyszukiwania:";
inline constexpr QStringView searchButton = u"&Szukaj";
inline constexpr QStringView closeButton = u"Zamknij";
inline constexpr QStringView between = u"od … do";
inline constexpr QStringView to = u"do";
inline constexpr QStringView opContains = u"zawiera";
inline constexpr QStringView opStartsWith = u"zaczyna się od";
inline constexpr QStringView opEquals = u"równa się";
inline constexpr QStringView opNotContains = u"nie zawiera";
inline constexpr QStringView opYes = u"tak";
inline constexpr QStringView opNo = u"nie";
inline constexpr QStringView labelLent = u"Wypożyczony";
inline constexpr QStringView notANumber = u"Warunek %1: wartość „%2” nie jest liczbą.";
inline constexpr QStringView unquotable
    = u"Warunek %1: tekst nie może zawierać naraz znaków ' \" i ].";
inline constexpr QStringView expressionError = u"Błąd w wyrażeniu (znak %1): %2.";
inline constexpr QStringView nothingToSearch = u"Podaj warunek albo wyrażenie.";

// The faults of an expression, by dbexpr::ErrorKind.
inline constexpr QStringView faults[] = {
    u"nieoczekiwany znak",
    u"brak zamykającego cudzysłowu lub nawiasu",
    u"nieczytelna liczba lub data",
    u"brakuje wartości",
    u"brakuje nawiasu zamykającego",
    u"nadmiarowy tekst po wyrażeniu",
    u"zbyt wiele zagnieżdżonych nawiasów",
    u"nieznane pole",
    u"nieznana funkcja",
    u"zła liczba wartości funkcji",
    u"niezgodne rodzaje wartości",
    u"tego pola nie można przeszukiwać",
    u"znak, którego baza nie może zapisać",
    u"wyrażenie nie daje odpowiedzi tak/nie",
};

} // namespace welarik::strings::search
