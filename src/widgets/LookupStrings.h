// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The lookup controls' own texts. They stay English, like the other default texts of the table
// and file layers.

#include <QStringView>

namespace welarik::strings {

inline constexpr QStringView noLookupTable = u"No lookup table specified!";
inline constexpr QStringView mustDefineLookupTable = u"You must define a lookupTable.";
inline constexpr QStringView searchTableNotActive = u"Search Table is not active.";
inline constexpr QStringView searchCharacters = u"&Search Characters";
inline constexpr QStringView searchCharactersHint = u"Enter characters for incremental search";
inline constexpr QStringView searchBy = u"Search &By";
inline constexpr QStringView searchByHint = u"Incremental searching and sorting order";
inline constexpr QStringView lookupOk = u"&OK";
inline constexpr QStringView lookupCancel = u"Cancel";
inline constexpr QStringView descendingSuffix = u" - Desc";

} // namespace welarik::strings
