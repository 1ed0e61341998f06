// SPDX-License-Identifier: GPL-3.0-or-later
#include "moviexml.h"

#include "importsource.h"

#include <QXmlStreamReader>

#include <cstdio>
#include <map>

namespace welarik::exchange {

namespace {

// One attribute of the format and how our field's text becomes its value and back.
struct Attribute
{
    const char *name;
    const char *field;
    std::string (*toAttribute)(const std::string &);
    std::string (*toField)(const std::string &);
};

std::string same(const std::string &text)
{
    return text;
}

std::string numberOnly(const std::string &text)
{
    const long long n = leadingNumber(text);
    return n < 0 ? std::string() : std::to_string(n);
}

std::string withUnit(const std::string &text, const char *unit)
{
    const long long n = leadingNumber(text);
    return n < 0 ? std::string() : std::to_string(n) + unit;
}

std::string kbits(const std::string &text)
{
    return withUnit(text, " Kbit/s");
}

std::string megabytes(const std::string &text)
{
    return withUnit(text, " MB");
}

// "1:35:27" -> "95"; "95 min" -> "95".
std::string minutesOf(const std::string &text)
{
    int h = 0, m = 0, s = 0;
    if (std::sscanf(text.c_str(), "%d:%d:%d", &h, &m, &s) == 3)
        return std::to_string(h * 60 + m);
    return numberOnly(text);
}

std::string durationOf(const std::string &minutes)
{
    const long long n = leadingNumber(minutes);
    if (n < 0)
        return {};
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld:%02lld:00", n / 60, n % 60);
    return buf;
}

// "640 / 352" <-> "640x352".
std::string resolutionOut(const std::string &text)
{
    int w = 0, h = 0;
    if (std::sscanf(text.c_str(), "%d / %d", &w, &h) == 2)
        return std::to_string(w) + "x" + std::to_string(h);
    return text;
}

std::string resolutionIn(const std::string &text)
{
    int w = 0, h = 0;
    if (std::sscanf(text.c_str(), "%dx%d", &w, &h) == 2)
        return std::to_string(w) + " / " + std::to_string(h);
    return text;
}

const std::vector<Attribute> &attributes()
{
    static const std::vector<Attribute> list = {
        {"Number", "ID_CD", numberOnly, numberOnly},
        {"OriginalTitle", "T_ORG", same, same},
        {"TranslatedTitle", "T_PL", same, same},
        {"Director", "REZYSER", same, same},
        {"Writer", "SCENARIU", same, same},
        {"Country", "KRAJ", same, same},
        {"Category", "GATUNEK", same, same},
        {"Year", "D_PROD", same, same},
        {"Length", "CZAS", minutesOf, durationOf},
        {"Actors", "AKTORZY", same, same},
        {"Description", "OPIS", same, same},
        {"Comments", "UWAGI", same, same},
        {"VideoFormat", "CVIDEO", same, same},
        {"VideoBitrate", "VBITRATE", numberOnly, kbits},
        {"AudioFormat", "CAUDIO", same, same},
        {"AudioBitrate", "ABITRATE", numberOnly, kbits},
        {"Resolution", "ROZDZIEL", resolutionOut, resolutionIn},
        {"Framerate", "FPS", same, same},
        {"Size", "ROZMIAR", numberOnly, megabytes},
        {"Disks", "ILOSC_CD", numberOnly, numberOnly},
    };
    return list;
}

} // namespace

std::vector<std::pair<std::string, std::string>> movieAttributes(const FilmValues &film)
{
    std::vector<std::pair<std::string, std::string>> out;
    std::vector<bool> exact(filmFields().size(), false);
    for (const Attribute &a : attributes()) {
        const int field = filmFieldIndex(a.field);
        const std::string &value = film[size_t(field)];
        const std::string written = a.toAttribute(value);
        exact[size_t(field)] = a.toField(written) == value;
        if (!written.empty())
            out.emplace_back(a.name, written);
    }
    for (size_t i = 0; i < exact.size(); ++i) {
        if (!exact[i] && !film[i].empty())
            out.emplace_back(filmFields()[i].name, film[i]);
    }
    return out;
}

FilmValues filmOfMovie(const std::vector<std::pair<std::string, std::string>> &given)
{
    FilmValues film = blankFilm();
    std::map<std::string, std::string> byName(given.begin(), given.end());
    for (const Attribute &a : attributes()) {
        const auto it = byName.find(a.name);
        if (it != byName.end())
            film[size_t(filmFieldIndex(a.field))] = a.toField(trimmed(it->second));
    }
    for (size_t i = 0; i < film.size(); ++i) {
        const auto it = byName.find(filmFields()[i].name);
        if (it != byName.end())
            film[i] = it->second;
    }
    return film;
}

ImportSource readMovieXml(const QByteArray &bytes)
{
    QXmlStreamReader xml(bytes);
    std::vector<FilmValues> films;
    bool collection = false;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        const QStringView name = xml.name();
        if (name == u"Catalog" || name == u"Contents")
            collection = true;
        if (name != u"Movie")
            continue;
        collection = true;
        std::vector<std::pair<std::string, std::string>> attrs;
        for (const QXmlStreamAttribute &a : xml.attributes())
            attrs.emplace_back(a.name().toString().toStdString(),
                               a.value().toString().toStdString());
        films.push_back(filmOfMovie(attrs));
    }
    if (xml.hasError())
        throw ExchangeError("Plik XML jest uszkodzony (wiersz " + std::to_string(xml.lineNumber())
                            + "): " + xml.errorString().toStdString());
    if (!collection)
        throw ExchangeError("Plik XML nie jest katalogiem filmów: brak elementów <Movie>.");
    return sourceOfFilms(Format::MovieXml, films);
}

} // namespace welarik::exchange
