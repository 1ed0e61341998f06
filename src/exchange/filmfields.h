// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The films fields that import and export carry, in the film editor's order, with the labels
// the editor shows and the column names a spreadsheet may give them. A film travelling between
// formats is a FilmValues: one UTF-8 text per field of filmFields(), "" for blank.

#include <string>
#include <vector>

namespace welarik::exchange {

struct FilmField
{
    const char *name;  // the films table's field
    const char *label; // the editor's label without its ": "
};

// ID_CD, T_PL, T_ORG, GATUNEK, D_PROD, KRAJ, REZYSER, SCENARIU, ZDJECIA, AKTORZY, OPIS,
// ILOSC_CD, UWAGI, OBEJRZAN, ROZMIAR, CZAS, CVIDEO, ROZDZIEL, FPS, VBITRATE, CAUDIO, SAMPLE_R,
// ABITRATE, KANALY. The lending state ID_OSOBY is the catalogue's own and does not travel.
const std::vector<FilmField> &filmFields();
std::vector<std::string> filmFieldNames();
// Index of a field in filmFields(), or -1.
int filmFieldIndex(const std::string &name);

using FilmValues = std::vector<std::string>;
FilmValues blankFilm();

// The field a column of that name fills: the field's own name, its label, or a usual Polish or
// English name ("Tytuł", "Title", "Reżyser", "Director", "Rok", "Year"...), in any letter case,
// with or without accents and a trailing ":"; "" when none fits.
std::string fieldForColumn(const std::string &columnName);

// The logical field's texts: "tak"/"nie" for "T"/"F", and back from the usual spellings
// (T, F, Y, N, tak, nie, yes, no, true, false, 1, 0, x); "" stays blank.
std::string watchedToText(const std::string &stored);
std::string watchedFromText(const std::string &text);

// Numbers and lists inside texts.
// The first whole number in text ("95 min" -> 95), or -1.
long long leadingNumber(const std::string &text);
// Splits "a, b,c" at commas, each part trimmed; empty parts dropped.
std::vector<std::string> splitList(const std::string &text);
std::string trimmed(const std::string &text);

} // namespace welarik::exchange
