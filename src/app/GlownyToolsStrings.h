// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The texts of the catalogue tools (GlownyTools.cpp, Spojnosc.cpp), byte-exact.

#include <QStringView>

namespace welarik::strings::tools {

inline constexpr QStringView zapisano = u"Zapisano";
// %1: the file name.
inline constexpr QStringView fileExists = u"Plik %1 już istnieje.\nCzy chcesz wybrać inną nazwę ?";
inline constexpr QStringView newCatalogueError = u"Nie udało się utworzyć nowej bazy:";
inline constexpr QStringView saveAsError = u"Nie udało się zapisać kopii bazy:";
inline constexpr QStringView saveError = u"Nie udało się zapisać baz na dysk:";

inline constexpr QStringView tidyTitle = u"Porządkowanie baz";
// %1: the table's file name.
inline constexpr QStringView tidyStep = u"Porządkowanie tabeli %1...";
inline constexpr QStringView tidyCancel = u"Przerwij";
// %1 records, %2 bytes, %3 the copy's folder.
inline constexpr QStringView tidyDone
    = u"Bazy uporządkowane. Usunięto rekordów: %1, zwolniono bajtów: %2.\nKopia baz sprzed "
      u"porządkowania: %3";
inline constexpr QStringView tidyCancelled
    = u"Porządkowanie przerwane; tabele, których nie skończono, zostały bez zmian. Usunięto "
      u"rekordów: %1, zwolniono bajtów: %2.\nKopia baz sprzed porządkowania: %3";
inline constexpr QStringView tidyError = u"Porządkowanie baz nie powiodło się:";

inline constexpr QStringView checkTitle = u"Spójność baz";
inline constexpr QStringView checkError = u"Nie udało się sprawdzić baz:";
inline constexpr QStringView fault = u"Błąd";
inline constexpr QStringView note = u"Uwaga";
inline constexpr QStringView colKind = u"Rodzaj";
inline constexpr QStringView colTable = u"Tabela";
inline constexpr QStringView colRecord = u"Rekord";
inline constexpr QStringView colText = u"Opis";
inline constexpr QStringView btnNapraw = u"Napraw";
inline constexpr QStringView btnZamknij = u"Zamknij";
// %1 faults, %2 notes, %3 of them repairable.
inline constexpr QStringView checkSummary = u"Błędów: %1, uwag: %2, do naprawienia: %3";
inline constexpr QStringView checkSound = u"Bazy są spójne.";
// %1: repairs made.
inline constexpr QStringView repaired = u"Wykonane naprawy: %1.";

inline constexpr QStringView kasujQuestion1 = u"Czy na pewno skasować całą bazę filmów ?";
// %1: number of films.
inline constexpr QStringView kasujQuestion2
    = u"Baza zawiera filmów: %1.\nCzy na pewno skasować je wszystkie ?";
// %1: the copy's folder.
inline constexpr QStringView kasujDone = u"Baza filmów została skasowana.\nKopia bazy: %1";
inline constexpr QStringView kasujError = u"Nie udało się skasować bazy:";

} // namespace welarik::strings::tools
