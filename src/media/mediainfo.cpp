// SPDX-License-Identifier: GPL-3.0-or-later
#include "mediainfo.h"

#include <MediaInfo/MediaInfo.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace welarik {

namespace {

constexpr size_t kVideoCodecWidth = 25;
constexpr size_t kAudioCodecWidth = 35;
constexpr double kBytesPerMegabyte = 1048576.0;
// Reads of one file: in pieces of kReadChunk, kReadBudget in all.
constexpr size_t kReadChunk = 64 * 1024;
constexpr uint64_t kReadBudget = 8 * 1024 * 1024;
// Open_Buffer_Continue's status: the library has all it wants.
constexpr size_t kFinishedBit = 0x08;

std::string decimalText(int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

std::string fixed2(double value)
{
    char digits[64];
    const auto result
        = std::to_chars(digits, digits + sizeof digits, value, std::chars_format::fixed, 2);
    if (result.ec != std::errc())
        return {};
    return std::string(digits, result.ptr);
}

std::string atLeastTwo(int64_t value)
{
    std::string text = decimalText(value);
    return text.size() < 2 ? "0" + text : text;
}

// The leading number of a value such as "25.000", "1 / 2" or "384000"; none when it has none.
std::optional<double> leadingNumber(const std::string &text)
{
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return std::nullopt;
    double value = 0;
    const auto result = std::from_chars(text.data() + begin, text.data() + text.size(), value);
    if (result.ec != std::errc() || !std::isfinite(value) || value < 0 || value > 9.0e15)
        return std::nullopt;
    return value;
}

std::optional<int64_t> wholeNumber(const std::string &text)
{
    const std::optional<double> value = leadingNumber(text);
    if (!value)
        return std::nullopt;
    return static_cast<int64_t>(std::llround(*value));
}

std::optional<int64_t> positive(std::optional<int64_t> value)
{
    return value && *value > 0 ? value : std::nullopt;
}

// The first of the parameters the stream carries.
std::string firstOf(const MediaValues &values,
                    MediaStream stream,
                    std::initializer_list<const char *> parameters)
{
    for (const char *parameter : parameters) {
        std::string text = values(stream, parameter);
        if (!text.empty())
            return text;
    }
    return {};
}

// The format, then the codec id in brackets when the container names one that says more (a code
// with a letter: "avc1", "V_VP9", "MP43"; a bare stream type number such as "27" says nothing),
// as long as the whole fits the field; a longer name is cut at a character boundary.
std::string codecName(const MediaValues &values, MediaStream stream, size_t width)
{
    std::string format = values(stream, "Format");
    const std::string codecId = values(stream, "CodecID");
    std::string name = format;
    const auto same = [](const std::string &a, const std::string &b) {
        if (a.size() != b.size())
            return false;
        for (size_t i = 0; i < a.size(); ++i) {
            if (std::tolower(static_cast<unsigned char>(a[i]))
                != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        }
        return true;
    };
    const bool named = std::any_of(
        codecId.begin(), codecId.end(), [](unsigned char c) { return std::isalpha(c); });
    if (named && !same(codecId, format)) {
        std::string both = format.empty() ? codecId : format + " (" + codecId + ")";
        if (both.size() <= width || format.empty())
            name = std::move(both);
    }
    if (name.size() > width) {
        size_t cut = width;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        name.resize(cut);
    }
    return name;
}

std::string kbitText(std::optional<int64_t> bitsPerSecond)
{
    if (!bitsPerSecond)
        return {};
    return decimalText((*bitsPerSecond + 500) / 1000) + " Kbit/s";
}

std::string utf8Of(const std::wstring &text)
{
    std::string out;
    out.reserve(text.size());
    for (wchar_t wc : text) {
        auto c = static_cast<uint32_t>(wc);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        if (c < 0x80) {
            out += static_cast<char>(c);
        } else if (c < 0x800) {
            out += static_cast<char>(0xC0 | (c >> 6));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += static_cast<char>(0xE0 | (c >> 12));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            out += static_cast<char>(0xF0 | (c >> 18));
            out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
            out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::wstring wideOf(const std::string &utf8)
{
    std::wstring out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        uint32_t code = extra == 3   ? c & 0x07u
                        : extra == 2 ? c & 0x0Fu
                        : extra == 1 ? c & 0x1Fu
                                     : c;
        ++i;
        for (; extra > 0 && i < utf8.size(); --extra, ++i)
            code = (code << 6) | (static_cast<unsigned char>(utf8[i]) & 0x3Fu);
        out += static_cast<wchar_t>(code);
    }
    return out;
}

} // namespace

std::string sizeText(int64_t bytes)
{
    return fixed2(static_cast<double>(bytes) / kBytesPerMegabyte) + " MB";
}

std::string durationText(int64_t seconds)
{
    return atLeastTwo(seconds / 3600) + ":" + atLeastTwo(seconds / 60 % 60) + ":"
           + atLeastTwo(seconds % 60);
}

std::string channelCountText(int64_t channels)
{
    switch (channels) {
    case 1:
        return "1 kanał (Mono)";
    case 2:
        return "2 kanały (Stereo)";
    case 5:
        return "5 kanałów (Surround)";
    case 6:
        return "6 kanałów (5.1)";
    case 8:
        return "8 kanałów (7.1)";
    default:
        break;
    }
    // Polish plural: 2-4 (not 12-14) take "kanały", the rest "kanałów".
    const int64_t last = channels % 10;
    const int64_t lastTwo = channels % 100;
    const bool few = last >= 2 && last <= 4 && (lastTwo < 12 || lastTwo > 14);
    return decimalText(channels) + (few ? " kanały" : " kanałów");
}

MediaFacts mediaFacts(const MediaValues &values)
{
    MediaFacts facts;
    facts.recognised = !values(MediaStream::General, "Format").empty();
    facts.hasVideo = positive(wholeNumber(values(MediaStream::General, "VideoCount"))).has_value();
    facts.fileBytes = wholeNumber(values(MediaStream::General, "FileSize"));
    facts.durationMs = wholeNumber(firstOf(values, MediaStream::General, {"Duration"}));
    if (!facts.durationMs)
        facts.durationMs = wholeNumber(values(MediaStream::Video, "Duration"));
    facts.width = positive(wholeNumber(values(MediaStream::Video, "Width")));
    facts.height = positive(wholeNumber(values(MediaStream::Video, "Height")));
    if (const auto rate
        = leadingNumber(firstOf(values, MediaStream::Video, {"FrameRate", "FrameRate_Nominal"}));
        rate && *rate > 0)
        facts.frameRate = rate;
    facts.videoCodec = codecName(values, MediaStream::Video, kVideoCodecWidth);
    facts.videoBitRate = positive(
        wholeNumber(firstOf(values, MediaStream::Video, {"BitRate", "BitRate_Nominal"})));
    facts.audioCodec = codecName(values, MediaStream::Audio, kAudioCodecWidth);
    facts.sampleRate = positive(wholeNumber(values(MediaStream::Audio, "SamplingRate")));
    facts.audioBitRate = positive(
        wholeNumber(firstOf(values, MediaStream::Audio, {"BitRate", "BitRate_Nominal"})));
    facts.channels = positive(wholeNumber(values(MediaStream::Audio, "Channel(s)")));
    return facts;
}

ProbeResult mediaTexts(const MediaFacts &facts)
{
    ProbeResult result;
    if (!facts.recognised || !facts.hasVideo) {
        result.status = ProbeStatus::NotVideo;
        return result;
    }
    const auto set = [&result](ProbeEdit edit, std::string text) {
        result.edits[static_cast<size_t>(edit)] = std::move(text);
    };
    set(ProbeEdit::Fps, facts.frameRate ? fixed2(*facts.frameRate) : std::string());
    set(ProbeEdit::Rozmiar, facts.fileBytes ? sizeText(*facts.fileBytes) : std::string());
    set(ProbeEdit::Czas, facts.durationMs ? durationText(*facts.durationMs / 1000) : std::string());
    set(ProbeEdit::Rozdziel,
        facts.width && facts.height ? decimalText(*facts.width) + " / " + decimalText(*facts.height)
                                    : std::string());
    set(ProbeEdit::CVideo, facts.videoCodec);
    set(ProbeEdit::VBitrate, kbitText(facts.videoBitRate));
    set(ProbeEdit::CAudio, facts.audioCodec);
    set(ProbeEdit::ABitrate, kbitText(facts.audioBitRate));
    set(ProbeEdit::Kanaly, facts.channels ? channelCountText(*facts.channels) : std::string());
    set(ProbeEdit::SampleR,
        facts.sampleRate ? decimalText(*facts.sampleRate) + " Hz" : std::string());
    return result;
}

struct MediaReader::Library
{
    MediaInfoLib::MediaInfo info;
};

MediaReader::MediaReader()
    : m_library(std::make_unique<Library>())
{
    MediaInfoLib::MediaInfo &info = m_library->info;
    // Headers only: the library neither reads a file whole nor opens its numbered neighbours.
    info.Option(L"ParseSpeed", L"0");
    info.Option(L"File_TestContinuousFileNames", L"0");
    info.Option(L"ReadByHuman", L"0");
}

MediaReader::~MediaReader() = default;

MediaFacts MediaReader::collect()
{
    MediaInfoLib::MediaInfo &info = m_library->info;
    const MediaValues values = [&info](MediaStream stream, const char *parameter) {
        const MediaInfoLib::stream_t kind
            = stream == MediaStream::General ? MediaInfoLib::Stream_General
              : stream == MediaStream::Video ? MediaInfoLib::Stream_Video
                                             : MediaInfoLib::Stream_Audio;
        if (kind != MediaInfoLib::Stream_General && info.Count_Get(kind) == 0)
            return std::string();
        return utf8Of(info.Get(kind, 0, wideOf(parameter)));
    };
    MediaFacts facts = mediaFacts(values);
    info.Close();
    return facts;
}

MediaFacts MediaReader::readFile(const std::string &path, FileError &error)
{
    error = {};
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        error = FileError::fromErrno(errno);
        return {};
    }
    struct Closer
    {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    struct stat st
    {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        error = FileError::io(ESPIPE);
        return {};
    }
    const auto size = static_cast<uint64_t>(st.st_size);
    // A file within the budget the library may read itself: it reads some small files (MPEG
    // transport streams) better that way.
    if (size <= kReadBudget) {
        if (m_library->info.Open(wideOf(path)) == 0) {
            m_library->info.Close();
            return {};
        }
        return collect();
    }
    if (!feed(fd, size, error))
        return {};
    return collect();
}

// We do the reading and hand the library what it asks for, so no file is read beyond
// kReadBudget bytes however it is laid out (a damaged file can send the library searching).
bool MediaReader::feed(int fd, uint64_t size, FileError &error)
{
    MediaInfoLib::MediaInfo &info = m_library->info;
    std::vector<uint8_t> buffer(kReadChunk);
    info.Open_Buffer_Init(size, 0);
    uint64_t position = 0;
    uint64_t total = 0;
    while (total < kReadBudget) {
        const ssize_t got = ::pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(position));
        if (got < 0) {
            error = FileError::fromErrno(errno);
            info.Close();
            return false;
        }
        if (got == 0) {
            info.Open_Buffer_Continue(buffer.data(), 0); // the end of the file
            break;
        }
        total += static_cast<uint64_t>(got);
        position += static_cast<uint64_t>(got);
        const size_t status = info.Open_Buffer_Continue(buffer.data(), static_cast<size_t>(got));
        if (status & kFinishedBit)
            break;
        const uint64_t wanted = info.Open_Buffer_Continue_GoTo_Get();
        if (wanted != static_cast<uint64_t>(-1)) {
            if (wanted >= size)
                break;
            position = wanted;
            info.Open_Buffer_Init(size, position);
        }
    }
    info.Open_Buffer_Finalize();
    return true;
}

MediaFacts MediaReader::readBuffer(const uint8_t *data, size_t size)
{
    if (m_library->info.Open(data, size) == 0) {
        m_library->info.Close();
        return {};
    }
    return collect();
}

} // namespace welarik
