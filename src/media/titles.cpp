// SPDX-License-Identifier: GPL-3.0-or-later
// The guess, step by step: extension off; a disc marker (cd1, part 2, disc2, VTS_01_1) noted and
// removed; dots and underscores become blanks; the tokens are read until the first release tag
// (a resolution, a source, a codec, an audio tag, a Polish tag) or the year, which must not be
// the first token; what follows is dropped but for the Polish tags, which become the remarks;
// the title left over splits at " - " into the Polish and the original title.

#include "titles.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <iterator>
#include <string_view>
#include <vector>

namespace welarik {

namespace {

std::string lower(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return out;
}

bool isDigits(std::string_view text)
{
    return !text.empty() && std::all_of(text.begin(), text.end(), [](unsigned char c) {
        return std::isdigit(c);
    });
}

// Polish tags, in the form they are written into the remarks.
constexpr std::array<std::string_view, 5> kPolishTags
    = {"PL", "lektor", "napisy", "dubbing", "PLSUB"};

// Tags that start the release part of a name (compared in lower case, whole tokens).
constexpr std::string_view kReleaseTags[]
    = {"480p",     "576p",   "720p",      "1080p",    "1080i",    "2160p",   "4k",    "uhd",
       "dvdrip",   "bdrip",  "brrip",     "bluray",   "blu-ray",  "web-dl",  "webdl", "webrip",
       "web",      "hdtv",   "hdrip",     "dvdscr",   "dvdr",     "dvd5",    "dvd9",  "dvd",
       "telesync", "tvrip",  "satrip",    "vhsrip",   "pdtv",     "remux",   "dvb",   "r5",
       "xvid",     "divx",   "x264",      "x265",     "h264",     "h265",    "hevc",  "avc",
       "mpeg2",    "mpeg4",  "vc1",       "10bit",    "ac3",      "dts",     "aac",   "mp3",
       "dd5",      "ddp5",   "truehd",    "atmos",    "flac",     "2ch",     "6ch",   "5 1",
       "proper",   "repack", "limited",   "internal", "extended", "unrated", "multi", "sub",
       "subs",     "pldub",  "dubbingpl", "lektorpl", "napisypl", "plsubs",  "ipl",   "eng"};

// The Polish tag a token stands for, or empty.
std::string_view polishTag(const std::string &token)
{
    const std::string low = lower(token);
    for (std::string_view tag : kPolishTags) {
        if (low == lower(tag))
            return tag;
    }
    if (low == "pldub" || low == "dubbingpl")
        return "dubbing";
    if (low == "lektorpl" || low == "ipl")
        return "lektor";
    if (low == "napisypl" || low == "plsubs")
        return "napisy";
    return {};
}

bool isReleaseTag(const std::string &token)
{
    std::string low = lower(token);
    // "XviD-GRP", "WEB-DL": the part before a dash decides, unless the whole is a tag.
    const auto known = [](const std::string &t) {
        return std::find(std::begin(kReleaseTags), std::end(kReleaseTags), t)
               != std::end(kReleaseTags);
    };
    if (known(low) || !polishTag(token).empty())
        return true;
    const size_t dash = low.find('-');
    return dash != std::string::npos && dash > 0 && known(low.substr(0, dash));
}

bool isYear(const std::string &token)
{
    if (token.size() != 4 || !isDigits(token))
        return false;
    const int year = std::stoi(token);
    const auto today = std::chrono::year_month_day(
        std::chrono::floor<std::chrono::days>(std::chrono::system_clock::now()));
    return year >= 1900 && year <= static_cast<int>(today.year()) + 1;
}

std::string stripExtension(const std::string &name)
{
    const size_t dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot > 5)
        return name;
    return name.substr(0, dot);
}

// Finds a disc marker (cd1, cd 2, part1, part 2, pt1, disc2, disk 1, or the DVD's VTS_01_1),
// removes it from name and returns its number; 0 when there is none.
int takeDiscMarker(std::string &name)
{
    const std::string low = lower(name);
    static constexpr std::array<std::string_view, 5> markers = {"cd", "part", "pt", "disc", "disk"};
    for (size_t pos = low.size(); pos-- > 0;) {
        for (std::string_view marker : markers) {
            if (low.compare(pos, marker.size(), marker) != 0)
                continue;
            const bool startOk
                = pos == 0 || !std::isalnum(static_cast<unsigned char>(low[pos - 1]));
            size_t digits = pos + marker.size();
            while (digits < low.size()
                   && (low[digits] == ' ' || low[digits] == '.' || low[digits] == '_'))
                ++digits;
            size_t end = digits;
            while (end < low.size() && std::isdigit(static_cast<unsigned char>(low[end]))
                   && end - digits < 2)
                ++end;
            const bool endOk
                = end == low.size() || !std::isalnum(static_cast<unsigned char>(low[end]));
            if (!startOk || end == digits || !endOk)
                continue;
            const int part = std::stoi(low.substr(digits, end - digits));
            name.erase(pos, end - pos);
            return part;
        }
    }
    // VTS_01_1: title set 01, part 1 of a DVD's video folder.
    if (low.size() == 8 && low.compare(0, 4, "vts_") == 0 && isDigits(low.substr(4, 2))
        && low[6] == '_' && isDigits(low.substr(7, 1))) {
        const int part = low[7] - '0';
        name.clear();
        return part;
    }
    return 0;
}

std::vector<std::string> tokens(std::string name)
{
    for (char &c : name) {
        if (c == '.' || c == '_' || c == '[' || c == ']' || c == '(' || c == ')' || c == '{'
            || c == '}')
            c = ' ';
    }
    std::vector<std::string> out;
    size_t pos = 0;
    while (pos < name.size()) {
        const size_t begin = name.find_first_not_of(' ', pos);
        if (begin == std::string::npos)
            break;
        const size_t end = std::min(name.find(' ', begin), name.size());
        out.push_back(name.substr(begin, end - begin));
        pos = end;
    }
    // "5 1" (5.1 after the dots went) is one audio tag.
    for (size_t i = 0; i + 1 < out.size(); ++i) {
        if (out[i] == "5" && out[i + 1] == "1" && i > 0) {
            out[i] = "5 1";
            out.erase(out.begin() + static_cast<std::ptrdiff_t>(i) + 1);
        }
    }
    return out;
}

std::string trimmed(std::string text)
{
    const auto edge = [](unsigned char c) {
        return c == ' ' || c == '-' || c == ',';
    };
    while (!text.empty() && edge(static_cast<unsigned char>(text.back())))
        text.pop_back();
    size_t begin = 0;
    while (begin < text.size() && edge(static_cast<unsigned char>(text[begin])))
        ++begin;
    return text.substr(begin);
}

std::string joined(const std::vector<std::string> &words)
{
    std::string out;
    for (const std::string &w : words)
        out += (out.empty() ? "" : " ") + w;
    return out;
}

void splitTitles(const std::string &title, TitleGuess &guess)
{
    const size_t dash = title.find(" - ");
    if (dash == std::string::npos) {
        guess.polish = trimmed(title);
        return;
    }
    guess.polish = trimmed(title.substr(0, dash));
    guess.original = trimmed(title.substr(dash + 3));
    if (guess.polish.empty())
        std::swap(guess.polish, guess.original);
}

} // namespace

namespace {

// The guess from one name; stripExtension is false for a folder's name.
TitleGuess guessFrom(const std::string &fileName, bool withExtension)
{
    TitleGuess guess;
    std::string name = withExtension ? stripExtension(fileName) : fileName;
    guess.part = takeDiscMarker(name);
    const std::vector<std::string> words = tokens(name);
    std::vector<std::string> title;
    std::vector<std::string_view> polish;
    bool ended = false;
    for (size_t i = 0; i < words.size(); ++i) {
        const std::string &word = words[i];
        if (const std::string_view tag = polishTag(word);
            !tag.empty() && (i > 0 || words.size() == 1)
            && std::find(polish.begin(), polish.end(), tag) == polish.end())
            polish.push_back(tag);
        if (i > 0 && guess.year.empty() && isYear(word)) {
            guess.year = word;
            ended = true;
            continue;
        }
        if (ended)
            continue;
        if (isReleaseTag(word))
            ended = true;
        else
            title.push_back(word);
    }
    for (std::string_view tag : polish)
        guess.remarks += (guess.remarks.empty() ? "" : " ") + std::string(tag);
    splitTitles(joined(title), guess);
    return guess;
}

} // namespace

TitleGuess guessTitle(const std::string &fileName, const std::string &folder)
{
    TitleGuess guess = guessFrom(fileName, true);
    if (!guess.polish.empty() || !guess.original.empty())
        return guess;
    // Nothing left of the file's name: the folder names the film.
    TitleGuess fromFolder = guessFrom(folder, false);
    fromFolder.part = guess.part;
    if (fromFolder.year.empty())
        fromFolder.year = guess.year;
    if (fromFolder.remarks.empty())
        fromFolder.remarks = guess.remarks;
    if (fromFolder.polish.empty() && fromFolder.original.empty())
        fromFolder.polish = folder;
    return fromFolder;
}

} // namespace welarik
