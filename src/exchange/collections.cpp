// SPDX-License-Identifier: GPL-3.0-or-later
// Collections of other catalogue programs: Tellico's .tc (a zip holding tellico.xml, a video
// collection of entries) and GCstar's .gcs (a GCfilms collection of items), read with
// QXmlStreamReader; and what all readers share.

#include "importsource.h"

#include <QFile>
#include <QXmlStreamReader>

#include <zip.h>

#include <map>
#include <memory>

namespace welarik::exchange {

namespace {

std::string xmlError(const QXmlStreamReader &xml, const char *what)
{
    return std::string("Plik ") + what + " jest uszkodzony (wiersz "
           + std::to_string(xml.lineNumber()) + "): " + xml.errorString().toStdString();
}

void put(FilmValues &film, const char *field, const std::string &value)
{
    if (!value.empty())
        film[size_t(filmFieldIndex(field))] = value;
}

std::string joined(const std::vector<std::string> &parts, const char *separator = ", ")
{
    std::string out;
    for (const std::string &p : parts) {
        if (p.empty())
            continue;
        if (!out.empty())
            out += separator;
        out += p;
    }
    return out;
}

// "136 min" -> "2:16:00".
std::string durationOfMinutes(const std::string &text)
{
    const long long n = leadingNumber(text);
    if (n < 0)
        return text;
    const long long m = n % 60;
    return std::to_string(n / 60) + (m < 10 ? ":0" : ":") + std::to_string(m) + ":00";
}

// The last four-digit run of a date ("12/05/1999" -> "1999"), else the text.
std::string yearOf(const std::string &date)
{
    for (size_t i = date.size(); i >= 4; --i) {
        const std::string part = date.substr(i - 4, 4);
        if (part.find_first_not_of("0123456789") == std::string::npos
            && (i == 4 || !std::isdigit(static_cast<unsigned char>(date[i - 5]))))
            return part;
    }
    return date;
}

// One element's values: its text, or for a list element the texts of its items. Tellico
// nests <genres><genre>, and a table field <casts><cast><column>actor</column><column>role
// </column>; GCstar nests <actors><line><col>actor</col><col>role</col></line>. The first
// column of a row is its value.
std::vector<std::string> readValues(QXmlStreamReader &xml)
{
    std::vector<std::string> values;
    std::string own;  // text right inside the element
    std::string item; // text of the current item's first column
    int depth = 0;
    bool columnTaken = false;
    while (!xml.atEnd()) {
        const auto token = xml.readNext();
        if (token == QXmlStreamReader::StartElement) {
            if (++depth == 1) {
                item.clear();
                columnTaken = false;
            }
        } else if (token == QXmlStreamReader::Characters) {
            if (depth == 0)
                own += xml.text().toString().toStdString();
            else if (!columnTaken)
                item += xml.text().toString().toStdString();
        } else if (token == QXmlStreamReader::EndElement) {
            if (depth == 0)
                break;
            if (depth >= 2 && !trimmed(item).empty())
                columnTaken = true;
            if (depth == 1)
                values.push_back(trimmed(item));
            --depth;
        }
    }
    if (values.empty())
        values.push_back(trimmed(own));
    return values;
}

// A Tellico entry's child element into the film.
void tellicoValue(FilmValues &film, const QString &name, const std::vector<std::string> &v)
{
    static const std::map<QString, const char *> fields = {
        {QStringLiteral("title"), "T_PL"},
        {QStringLiteral("origtitle"), "T_ORG"},
        {QStringLiteral("year"), "D_PROD"},
        {QStringLiteral("genres"), "GATUNEK"},
        {QStringLiteral("directors"), "REZYSER"},
        {QStringLiteral("writers"), "SCENARIU"},
        {QStringLiteral("casts"), "AKTORZY"},
        {QStringLiteral("nationalitys"), "KRAJ"},
        {QStringLiteral("plot"), "OPIS"},
        {QStringLiteral("comments"), "UWAGI"},
    };
    if (name == u"running-time") {
        put(film, "CZAS", durationOfMinutes(joined(v)));
    } else if (name == u"medium") {
        std::string &remarks = film[size_t(filmFieldIndex("UWAGI"))];
        remarks = joined({remarks, joined(v)}, "; ");
    } else if (const auto it = fields.find(name); it != fields.end()) {
        std::string &target = film[size_t(filmFieldIndex(it->second))];
        target = name == u"comments" ? joined({joined(v), target}, "; ") : joined(v);
    }
}

FilmValues readTellicoEntry(QXmlStreamReader &xml)
{
    FilmValues film = blankFilm();
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        tellicoValue(film, name, readValues(xml));
    }
    return film;
}

void gcstarValue(FilmValues &film, const QString &name, const std::vector<std::string> &v)
{
    static const std::map<QString, const char *> fields = {
        {QStringLiteral("title"), "T_PL"},
        {QStringLiteral("original"), "T_ORG"},
        {QStringLiteral("director"), "REZYSER"},
        {QStringLiteral("country"), "KRAJ"},
        {QStringLiteral("genre"), "GATUNEK"},
        {QStringLiteral("actors"), "AKTORZY"},
        {QStringLiteral("synopsis"), "OPIS"},
        {QStringLiteral("comment"), "UWAGI"},
    };
    if (name == u"date")
        put(film, "D_PROD", yearOf(joined(v)));
    else if (name == u"time")
        put(film, "CZAS", durationOfMinutes(joined(v)));
    else if (name == u"seen")
        put(film, "OBEJRZAN", watchedFromText(joined(v)));
    else if (const auto it = fields.find(name); it != fields.end())
        put(film, it->second, joined(v));
}

FilmValues readGcstarItem(QXmlStreamReader &xml)
{
    FilmValues film = blankFilm();
    for (const QXmlStreamAttribute &a : xml.attributes())
        gcstarValue(film, a.name().toString(), {trimmed(a.value().toString().toStdString())});
    while (xml.readNextStartElement()) {
        const QString name = xml.name().toString();
        gcstarValue(film, name, readValues(xml));
    }
    return film;
}

} // namespace

ImportSource readTellicoXml(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"tellico") {
        if (xml.hasError())
            throw ExchangeError(xmlError(xml, "Tellico"));
        throw ExchangeError("Plik nie jest kolekcją Tellico: brak elementu <tellico>.");
    }
    std::vector<FilmValues> films;
    bool video = false;
    while (xml.readNextStartElement()) {
        if (xml.name() != u"collection") {
            xml.skipCurrentElement();
            continue;
        }
        if (xml.attributes().value(QStringLiteral("type")) != u"3")
            throw ExchangeError(
                "Kolekcja Tellico nie jest kolekcją filmów (typ "
                + xml.attributes().value(QStringLiteral("type")).toString().toStdString()
                + ", filmy mają typ 3).");
        video = true;
        while (xml.readNextStartElement()) {
            if (xml.name() == u"entry")
                films.push_back(readTellicoEntry(xml));
            else
                xml.skipCurrentElement();
        }
    }
    if (xml.hasError())
        throw ExchangeError(xmlError(xml, "Tellico"));
    if (!video)
        throw ExchangeError("Plik Tellico nie zawiera kolekcji.");
    return sourceOfFilms(Format::Tellico, films);
}

ImportSource readTellico(const std::string &path)
{
    int error = 0;
    std::unique_ptr<zip_t, int (*)(zip_t *)> archive(zip_open(path.c_str(), ZIP_RDONLY, &error),
                                                     zip_close);
    if (!archive) {
        zip_error_t ze;
        zip_error_init_with_code(&ze, error);
        const std::string reason = zip_error_strerror(&ze);
        zip_error_fini(&ze);
        throw ExchangeError("Plik Tellico nie jest poprawnym archiwum zip: " + reason + ".");
    }
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat(archive.get(), "tellico.xml", 0, &st) != 0 || !(st.valid & ZIP_STAT_SIZE))
        throw ExchangeError("Archiwum nie zawiera pliku tellico.xml.");
    if (st.size > (uint64_t(1) << 31))
        throw ExchangeError("Plik tellico.xml jest za duży.");
    std::unique_ptr<zip_file_t, int (*)(zip_file_t *)> file(
        zip_fopen(archive.get(), "tellico.xml", 0), zip_fclose);
    QByteArray bytes(qsizetype(st.size), '\0');
    if (!file || zip_fread(file.get(), bytes.data(), st.size) != zip_int64_t(st.size))
        throw ExchangeError("Nie udało się rozpakować pliku tellico.xml: "
                            + std::string(zip_strerror(archive.get())) + ".");
    return readTellicoXml(bytes);
}

ImportSource readGcstar(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    if (!xml.readNextStartElement() || xml.name() != u"collection") {
        if (xml.hasError())
            throw ExchangeError(xmlError(xml, "GCstar"));
        throw ExchangeError("Plik nie jest kolekcją GCstar: brak elementu <collection>.");
    }
    if (xml.attributes().value(QStringLiteral("type")) != u"GCfilms")
        throw ExchangeError(
            "Kolekcja GCstar nie jest kolekcją filmów (typ \""
            + xml.attributes().value(QStringLiteral("type")).toString().toStdString()
            + "\", filmy mają typ GCfilms).");
    std::vector<FilmValues> films;
    while (xml.readNextStartElement()) {
        if (xml.name() == u"item")
            films.push_back(readGcstarItem(xml));
        else
            xml.skipCurrentElement();
    }
    if (xml.hasError())
        throw ExchangeError(xmlError(xml, "GCstar"));
    return sourceOfFilms(Format::Gcstar, films);
}

const char *formatName(Format format)
{
    switch (format) {
    case Format::Tellico:
        return "tellico";
    case Format::Gcstar:
        return "gcstar";
    case Format::MovieXml:
        return "xml";
    case Format::Films:
        return "dbf";
    default:
        return "csv";
    }
}

bool formatFromName(const std::string &name, Format &format)
{
    for (Format f :
         {Format::Csv, Format::Tellico, Format::Gcstar, Format::MovieXml, Format::Films}) {
        if (name == formatName(f)) {
            format = f;
            return true;
        }
    }
    return false;
}

Format formatForFile(const std::string &path)
{
    const QString lower = QString::fromStdString(path).toLower();
    if (lower.endsWith(u".tc"))
        return Format::Tellico;
    if (lower.endsWith(u".gcs"))
        return Format::Gcstar;
    if (lower.endsWith(u".xml"))
        return Format::MovieXml;
    if (lower.endsWith(u".dbf"))
        return Format::Films;
    return Format::Csv;
}

ImportSource readImportFile(const std::string &path, Format format, const CsvOptions &csv)
{
    if (format == Format::Tellico)
        return readTellico(path);
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        throw ExchangeError("Nie można otworzyć pliku " + path + ": "
                            + file.errorString().toStdString());
    const QByteArray bytes = file.readAll();
    switch (format) {
    case Format::Gcstar:
        return readGcstar(bytes);
    case Format::MovieXml:
        return readMovieXml(bytes);
    case Format::Films:
        throw ExchangeError("Tabela filmów jest czytana przez silnik tabel.");
    default:
        return readCsv(bytes, csv);
    }
}

ImportSource sourceOfFilms(Format format, const std::vector<FilmValues> &films)
{
    ImportSource source;
    source.format = format;
    source.columns = filmFieldNames();
    source.mapping = source.columns;
    source.rows = films;
    return source;
}

std::vector<FilmValues> mappedFilms(const ImportSource &source)
{
    std::vector<int> target;
    for (const std::string &field : source.mapping)
        target.push_back(field.empty() ? -1 : filmFieldIndex(field));
    std::vector<FilmValues> films;
    films.reserve(source.rows.size());
    const int watched = filmFieldIndex("OBEJRZAN");
    for (const auto &row : source.rows) {
        FilmValues film = blankFilm();
        for (size_t c = 0; c < row.size() && c < target.size(); ++c) {
            if (target[c] < 0 || row[c].empty())
                continue;
            std::string &value = film[size_t(target[c])];
            const std::string cell = target[c] == watched ? watchedFromText(row[c]) : row[c];
            value = value.empty() ? cell : value + ", " + cell;
        }
        films.push_back(std::move(film));
    }
    return films;
}

} // namespace welarik::exchange
