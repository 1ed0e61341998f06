// SPDX-License-Identifier: GPL-3.0-or-later
#include "filmfields.h"

#include <QString>

#include <algorithm>
#include <cctype>
#include <map>

namespace welarik::exchange {

namespace {

// Usual column names by field, compared after folding (lower case, no accents, no blanks).
const std::map<std::string, std::vector<const char *>> &aliases()
{
    static const std::map<std::string, std::vector<const char *>> names = {
        {"ID_CD", {"nr", "numer", "nr cd", "number", "no", "cd", "cd number", "id"}},
        {"T_PL",
         {"tytuł",
          "tytuł polski",
          "tytul pl",
          "title",
          "polish title",
          "translated title",
          "translatedtitle"}},
        {"T_ORG",
         {"tytuł oryginalny", "oryginalny tytuł", "original title", "originaltitle", "original"}},
        {"GATUNEK", {"gatunek", "gatunki", "genre", "genres", "category"}},
        {"D_PROD", {"rok", "rok produkcji", "year", "date", "released"}},
        {"KRAJ", {"kraj", "country", "nationality", "countries"}},
        {"REZYSER", {"reżyser", "reżyseria", "director", "directors", "directed by"}},
        {"SCENARIU", {"scenariusz", "scenarzysta", "writer", "writers", "screenplay"}},
        {"ZDJECIA", {"zdjęcia", "operator", "cinematography", "cinematographer", "camera"}},
        {"AKTORZY", {"aktorzy", "obsada", "actors", "cast"}},
        {"OPIS", {"opis", "fabuła", "description", "plot", "synopsis"}},
        {"ILOSC_CD", {"ilość cd", "ilość płyt", "płyty", "disks", "discs", "cds"}},
        {"UWAGI", {"uwagi", "komentarz", "comments", "comment", "notes", "remarks"}},
        {"OBEJRZAN", {"obejrzany", "obejrzane", "watched", "seen"}},
        {"ROZMIAR", {"rozmiar", "size", "file size"}},
        {"CZAS", {"czas", "czas trwania", "length", "duration", "running time", "runtime", "time"}},
        {"CVIDEO", {"kodek video", "kodek wideo", "video codec", "video format", "videoformat"}},
        {"ROZDZIEL", {"rozdzielczość", "resolution"}},
        {"FPS", {"fps", "framerate", "frame rate"}},
        {"VBITRATE", {"video bitrate", "videobitrate"}},
        {"CAUDIO", {"kodek audio", "audio codec", "audio format", "audioformat"}},
        {"SAMPLE_R", {"sample rate", "samplerate", "częstotliwość"}},
        {"ABITRATE", {"audio bitrate", "audiobitrate"}},
        {"KANALY", {"ilość kanałów", "kanały", "channels"}},
    };
    return names;
}

// Lower case, Polish letters without their marks, blanks, "_" and a trailing ":" dropped.
std::string folded(const std::string &text)
{
    QString s = QString::fromUtf8(text).trimmed().toLower();
    if (s.endsWith(u':'))
        s.chop(1);
    static const QString from = QStringLiteral("ąćęłńóśźż");
    static const QString to = QStringLiteral("acelnoszz");
    QString out;
    for (QChar c : s) {
        const qsizetype at = from.indexOf(c);
        if (at >= 0)
            out += to[at];
        else if (!c.isSpace() && c != u'_' && c != u'-' && c != u'.')
            out += c;
    }
    return out.toStdString();
}

} // namespace

const std::vector<FilmField> &filmFields()
{
    static const std::vector<FilmField> fields = {
        {"ID_CD", "Nr CD"},
        {"T_PL", "Tytuł Polski"},
        {"T_ORG", "Tytuł Oryginalny"},
        {"GATUNEK", "Gatunek"},
        {"D_PROD", "Rok produkcji"},
        {"KRAJ", "Kraj"},
        {"REZYSER", "Reżyser"},
        {"SCENARIU", "Scenariusz"},
        {"ZDJECIA", "Zdjęcia"},
        {"AKTORZY", "Aktorzy"},
        {"OPIS", "Opis"},
        {"ILOSC_CD", "Ilość CD"},
        {"UWAGI", "Uwagi"},
        {"OBEJRZAN", "Obejrzany"},
        {"ROZMIAR", "Rozmiar"},
        {"CZAS", "Czas trwania"},
        {"CVIDEO", "Kodek Video"},
        {"ROZDZIEL", "Rozdzielczość"},
        {"FPS", "FPS"},
        {"VBITRATE", "Video Bitrate"},
        {"CAUDIO", "Kodek Audio"},
        {"SAMPLE_R", "Sample Rate"},
        {"ABITRATE", "Audio Bitrate"},
        {"KANALY", "Ilość kanałów"},
    };
    return fields;
}

std::vector<std::string> filmFieldNames()
{
    std::vector<std::string> names;
    for (const FilmField &f : filmFields())
        names.emplace_back(f.name);
    return names;
}

int filmFieldIndex(const std::string &name)
{
    const auto &fields = filmFields();
    for (size_t i = 0; i < fields.size(); ++i) {
        if (name == fields[i].name)
            return int(i);
    }
    return -1;
}

FilmValues blankFilm()
{
    return FilmValues(filmFields().size());
}

std::string fieldForColumn(const std::string &columnName)
{
    const std::string key = folded(columnName);
    if (key.empty())
        return {};
    for (const FilmField &f : filmFields()) {
        if (key == folded(f.name) || key == folded(f.label))
            return f.name;
    }
    for (const auto &[field, names] : aliases()) {
        for (const char *name : names) {
            if (key == folded(name))
                return field;
        }
    }
    return {};
}

std::string watchedToText(const std::string &stored)
{
    if (stored == "T")
        return "tak";
    if (stored == "F")
        return "nie";
    return {};
}

std::string watchedFromText(const std::string &text)
{
    const std::string key = folded(text);
    if (key.empty())
        return {};
    for (const char *yes : {"t", "y", "tak", "yes", "true", "1", "x"}) {
        if (key == yes)
            return "T";
    }
    return "F";
}

long long leadingNumber(const std::string &text)
{
    size_t i = 0;
    while (i < text.size() && !std::isdigit(static_cast<unsigned char>(text[i])))
        ++i;
    if (i == text.size())
        return -1;
    long long value = 0;
    for (; i < text.size() && std::isdigit(static_cast<unsigned char>(text[i])); ++i) {
        if (value > 100000000000LL)
            return -1;
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

std::string trimmed(const std::string &text)
{
    const size_t begin = text.find_first_not_of(" \t\r\n");
    if (begin == std::string::npos)
        return {};
    const size_t end = text.find_last_not_of(" \t\r\n");
    return text.substr(begin, end - begin + 1);
}

std::vector<std::string> splitList(const std::string &text)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= text.size()) {
        size_t comma = text.find(',', start);
        if (comma == std::string::npos)
            comma = text.size();
        std::string part = trimmed(text.substr(start, comma - start));
        if (!part.empty())
            parts.push_back(std::move(part));
        start = comma + 1;
    }
    return parts;
}

} // namespace welarik::exchange
