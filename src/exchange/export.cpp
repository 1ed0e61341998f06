// SPDX-License-Identifier: GPL-3.0-or-later
#include "export.h"

#include "importsource.h"
#include "moviexml.h"
#include "table.h"

#include <QSaveFile>

namespace welarik::exchange {

namespace {

constexpr int kProgressEvery = 500;
constexpr size_t kFlushAt = 1 << 20;

const char *const kHtmlHead = R"(<!DOCTYPE html>
<html lang="pl">
<head>
<meta charset="utf-8">
<title>%TITLE%</title>
<style>
body { font-family: sans-serif; margin: 1em; }
table { border-collapse: collapse; font-size: 90%; }
th, td { border: 1px solid #999; padding: 2px 6px; vertical-align: top; text-align: left; }
th { background: #dde; cursor: pointer; position: sticky; top: 0; }
th:hover { background: #ccd; }
tr:nth-child(even) td { background: #f4f4f8; }
td.opis { white-space: pre-wrap; max-width: 40em; }
</style>
</head>
<body>
<h1>%TITLE%</h1>
<p>Filmów: %COUNT%. Kliknij nagłówek kolumny, aby posortować.</p>
<table id="filmy">
<thead><tr>)";

// Sorting in the page itself: numbers as numbers, texts by the Polish alphabet.
const char *const kHtmlTail = R"(</tbody>
</table>
<script>
(function () {
  var table = document.getElementById('filmy');
  var heads = table.tHead.rows[0].cells;
  var collator = new Intl.Collator('pl', { numeric: true, sensitivity: 'base' });
  for (var i = 0; i < heads.length; i++) {
    heads[i].addEventListener('click', (function (column) {
      var ascending = true;
      return function () {
        var body = table.tBodies[0];
        var rows = Array.prototype.slice.call(body.rows);
        rows.sort(function (a, b) {
          var r = collator.compare(a.cells[column].textContent, b.cells[column].textContent);
          return ascending ? r : -r;
        });
        ascending = !ascending;
        rows.forEach(function (row) { body.appendChild(row); });
      };
    })(i));
  }
})();
</script>
</body>
</html>
)";

// The reference of a character markup reserves, else null.
const char *markupReference(char c)
{
    switch (c) {
    case '&':
        return "&amp;";
    case '<':
        return "&lt;";
    case '>':
        return "&gt;";
    case '"':
        return "&quot;";
    default:
        return nullptr;
    }
}

// The text with the characters markup reserves as references; for XML also line breaks and tabs
// as character references and the other control characters dropped (XML cannot carry them).
std::string markupEscaped(const std::string &text, bool xml)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (const char *reference = markupReference(c))
            out += reference;
        else if (!xml || static_cast<unsigned char>(c) >= 0x20)
            out += c;
        else if (c == '\n')
            out += "&#10;";
        else if (c == '\r')
            out += "&#13;";
        else if (c == '\t')
            out += "&#9;";
    }
    return out;
}

std::string htmlEscape(const std::string &text)
{
    return markupEscaped(text, false);
}

std::string replaced(std::string text, const std::string &what, const std::string &with)
{
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at))
        text.replace(at, what.size(), with), at += with.size();
    return text;
}

class Writer
{
public:
    Writer(QIODevice &out)
        : m_out(out)
    {}
    std::string buffer;
    void flush(bool always = false)
    {
        if (!always && buffer.size() < kFlushAt)
            return;
        if (m_out.write(buffer.data(), qint64(buffer.size())) != qint64(buffer.size()))
            throw ExchangeError("Nie udało się zapisać pliku: "
                                + m_out.errorString().toStdString());
        buffer.clear();
    }

private:
    QIODevice &m_out;
};

void csvHead(std::string &b)
{
    b += "\xEF\xBB\xBF";
    bool first = true;
    for (const FilmField &f : filmFields()) {
        if (!first)
            b += ';';
        first = false;
        b += csvCell(f.label);
    }
    b += "\r\n";
}

void csvFilm(std::string &b, const FilmValues &film)
{
    const size_t watched = size_t(filmFieldIndex("OBEJRZAN"));
    for (size_t i = 0; i < film.size(); ++i) {
        if (i)
            b += ';';
        b += csvCell(i == watched ? watchedToText(film[i]) : film[i]);
    }
    b += "\r\n";
}

void htmlHead(std::string &b, const std::string &title, int count)
{
    b += replaced(
        replaced(kHtmlHead, "%TITLE%", htmlEscape(title)), "%COUNT%", std::to_string(count));
    for (const FilmField &f : filmFields())
        b += "<th>" + htmlEscape(f.label) + "</th>";
    b += "</tr></thead>\n<tbody>\n";
}

void htmlFilm(std::string &b, const FilmValues &film)
{
    static const size_t opis = size_t(filmFieldIndex("OPIS"));
    static const size_t watched = size_t(filmFieldIndex("OBEJRZAN"));
    b += "<tr>";
    for (size_t i = 0; i < film.size(); ++i) {
        b += i == opis ? "<td class=\"opis\">" : "<td>";
        b += htmlEscape(i == watched ? watchedToText(film[i]) : film[i]);
        b += "</td>";
    }
    b += "</tr>\n";
}

void xmlFilm(std::string &b, const FilmValues &film)
{
    b += "    <Movie";
    for (const auto &[name, value] : movieAttributes(film))
        b += ' ' + name + "=\"" + xmlEscape(value) + '"';
    b += "/>\n";
}

} // namespace

std::string csvCell(const std::string &text)
{
    const auto formula = [](char c) {
        return c == '=' || c == '+' || c == '-' || c == '@';
    };
    std::string cell = text;
    // A leading apostrophe keeps it text; apostrophes already before such a sign get one more,
    // so that the reader, which drops one, gives the text back.
    const size_t sign = cell.find_first_not_of('\'');
    if (sign != std::string::npos && formula(cell[sign]))
        cell.insert(0, 1, '\'');
    if (cell.find_first_of(";\"\r\n") == std::string::npos)
        return cell;
    return '"' + replaced(cell, "\"", "\"\"") + '"';
}

std::string xmlEscape(const std::string &text)
{
    return markupEscaped(text, true);
}

bool writeFilms(ExportFormat format,
                QIODevice &out,
                const std::string &title,
                int count,
                const std::function<FilmValues(int)> &filmAt,
                const Progress &progress)
{
    Writer w(out);
    std::string &b = w.buffer;
    if (format == ExportFormat::Csv)
        csvHead(b);
    else if (format == ExportFormat::Html)
        htmlHead(b, title, count);
    else
        b += "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<Catalog>\n  <Contents>\n";
    for (int i = 0; i < count; ++i) {
        if (progress && i % kProgressEvery == 0 && !progress(i))
            return false;
        const FilmValues film = filmAt(i);
        if (format == ExportFormat::Csv)
            csvFilm(b, film);
        else if (format == ExportFormat::Html)
            htmlFilm(b, film);
        else
            xmlFilm(b, film);
        w.flush();
    }
    if (format == ExportFormat::Html)
        b += kHtmlTail;
    else if (format == ExportFormat::Xml)
        b += "  </Contents>\n</Catalog>\n";
    w.flush(true);
    if (progress)
        progress(count);
    return true;
}

FilmReader::FilmReader(const Table &films)
    : m_films(films)
{
    const auto &fields = filmFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (films.hasField(fields[i].name)) {
            m_names.emplace_back(fields[i].name);
            m_slots.push_back(int(i));
        }
    }
}

FilmValues FilmReader::film(uint32_t recno) const
{
    FilmValues film = blankFilm();
    std::vector<std::string> texts = m_films.stringsOf(recno, m_names);
    for (size_t i = 0; i < texts.size(); ++i)
        film[size_t(m_slots[i])] = std::move(texts[i]);
    return film;
}

bool exportView(const Table &films,
                ExportFormat format,
                const std::string &path,
                const std::string &title,
                const Progress &progress)
{
    QSaveFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::WriteOnly))
        throw ExchangeError("Nie można utworzyć pliku " + path + ": "
                            + file.errorString().toStdString());
    const FilmReader reader(films);
    const int count = films.rowCount();
    const bool done = writeFilms(
        format,
        file,
        title,
        count,
        [&](int row) { return reader.film(films.recordAtRow(row)); },
        progress);
    if (!done) {
        file.cancelWriting();
        return false;
    }
    if (!file.commit())
        throw ExchangeError("Nie udało się zapisać pliku " + path + ": "
                            + file.errorString().toStdString());
    return true;
}

} // namespace welarik::exchange

namespace welarik::exchange {

ImportSource readFilmsTable(FileSystem &fs, const std::string &path)
{
    Table other("films", fs);
    other.setFileName(path);
    other.setReadOnly(true);
    other.open();
    if (!other.hasField("T_PL") && !other.hasField("T_ORG"))
        throw ExchangeError("Tabela " + path + " nie jest tabelą filmów: brak pól T_PL i T_ORG.");
    const FilmReader reader(other);
    std::vector<FilmValues> films;
    other.scanAll({}, [&](uint32_t recno, const std::vector<std::string> &) {
        films.push_back(reader.film(recno));
        return true;
    });
    return sourceOfFilms(Format::Films, films);
}

} // namespace welarik::exchange
