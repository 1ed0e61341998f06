// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Reading films from another catalogue's file. Every reader gives an ImportSource: named
// columns, one row of texts per film, and for each column the films field it fills. A CSV
// file's columns are its first row, mapped by name and changeable by hand; the other formats
// give one column per films field, already mapped. Nothing is written anywhere.
//
// A file that cannot be read as its format (a broken zip, XML that is not a collection, rows
// of another length than the first, bytes of another encoding) throws ExchangeError with a
// message for the user.

#include "filmfields.h"

#include <QByteArray>

#include <stdexcept>
#include <string>
#include <vector>

namespace welarik::exchange {

class ExchangeError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

enum class Format { Csv, Tellico, Gcstar, MovieXml, Films };
enum class Encoding { Auto, Utf8, Cp1250, Iso8859_2 };

// "csv", "tellico", "gcstar", "xml", "dbf" and back (false for an unknown name).
const char *formatName(Format format);
bool formatFromName(const std::string &name, Format &format);
// By the file's extension: .tc Tellico, .gcs GCstar, .xml catalogue XML, .dbf a films table,
// anything else CSV.
Format formatForFile(const std::string &path);
const char *encodingName(Encoding encoding); // "UTF-8", "Windows-1250", "ISO-8859-2"

struct CsvOptions
{
    char separator = 0; // 0: detected (";", ",", tab or "|")
    char quote = 0;     // 0: detected ('"' or '\'')
    Encoding encoding = Encoding::Auto;
};

struct ImportSource
{
    Format format = Format::Csv;
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<std::string> mapping; // per column: a films field or "" (not taken)
    CsvOptions csv;                   // CSV: the separator, quote and encoding in force
};

// Reads path as format (the films table format is read by the caller, it needs the engine).
ImportSource readImportFile(const std::string &path, Format format, const CsvOptions &csv = {});

ImportSource readCsv(const QByteArray &bytes, CsvOptions options);
ImportSource readMovieXml(const QByteArray &bytes);
ImportSource readTellicoXml(const QByteArray &bytes);
ImportSource readTellico(const std::string &path); // the zip holding tellico.xml
ImportSource readGcstar(const QByteArray &bytes);

// An ImportSource of films given field by field (the readers of structured formats, a films
// table): one column per films field.
ImportSource sourceOfFilms(Format format, const std::vector<FilmValues> &films);
// The rows as films, through the mapping (two columns mapped to one field: joined by ", ").
std::vector<FilmValues> mappedFilms(const ImportSource &source);

// Text decoding for CSV: the encoding the bytes are in (BOM, valid UTF-8, else the code page
// whose Polish letters they use), and the bytes as UTF-8 (ExchangeError when they are not valid
// in that encoding, or hold NUL bytes as UTF-16 does).
Encoding detectEncoding(const QByteArray &bytes);
std::string decodeText(const QByteArray &bytes, Encoding encoding);

} // namespace welarik::exchange

namespace welarik {
class FileSystem;
}

namespace welarik::exchange {

// Every film of another films table (ours or any with the films fields), in record order, opened
// read-only; its memos come along. Throws StorageError when it cannot be opened.
ImportSource readFilmsTable(FileSystem &fs, const std::string &path);

} // namespace welarik::exchange
