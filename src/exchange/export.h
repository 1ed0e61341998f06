// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Writing films out: CSV (UTF-8 with BOM, ";", the editor's labels as the first row, a cell that
// a spreadsheet would run as a formula written with a leading apostrophe), one self-contained
// HTML page with a table that sorts by a click on its heading, and the catalogue XML
// (moviexml.h). The films come in the order and with the filter of a table's view.

#include "filmfields.h"

#include <functional>
#include <string>

class QIODevice;

namespace welarik {
class Table;
}

namespace welarik::exchange {

enum class ExportFormat { Csv, Html, Xml };

// progress(done) is asked every few hundred films; false stops the writing.
using Progress = std::function<bool(int done)>;

// Writes count films, filmAt(i) each, to out. Returns false when progress stopped it.
bool writeFilms(ExportFormat format,
                QIODevice &out,
                const std::string &title,
                int count,
                const std::function<FilmValues(int)> &filmAt,
                const Progress &progress = {});

// One record of a films table as FilmValues (fields the table lacks stay blank).
class FilmReader
{
public:
    explicit FilmReader(const Table &films);
    FilmValues film(uint32_t recno) const;

private:
    const Table &m_films;
    std::vector<std::string> m_names; // fields the table has
    std::vector<int> m_slots;         // their places in FilmValues
};

// The films of the table's view, in its order, into the file at path (written whole or not at
// all: the file appears when the writing ends). Returns false when progress cancelled it;
// throws ExchangeError when the file cannot be written.
bool exportView(const Table &films,
                ExportFormat format,
                const std::string &path,
                const std::string &title,
                const Progress &progress = {});

// CSV and XML text pieces, for tests and the tools.
std::string csvCell(const std::string &text);
std::string xmlEscape(const std::string &text);

} // namespace welarik::exchange
