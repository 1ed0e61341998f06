// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The user-facing texts of the widgets layer, byte-exact, in one place.

#include <QStringView>

namespace welarik::strings {

inline constexpr QStringView questionCaption = u"Pytanie";
inline constexpr QStringView questionYes = u"&Tak";
inline constexpr QStringView questionNo = u"&Nie";
inline constexpr QStringView questionPlaceholder
    = u"Tu podaj przykładowe pytanie. Przycisk potwierdzający ma nazwę BtnOK a przeczący BtnCANCEL";

// Titles of the standard message boxes (the toolkit's own texts, English like the other
// default texts of the table and file layers).
inline constexpr QStringView errorTitle = u"Error";
inline constexpr QStringView informationTitle = u"Information";
inline constexpr QStringView warningTitle = u"Warning";
inline constexpr QStringView unknownError = u"Unknown error";

} // namespace welarik::strings
