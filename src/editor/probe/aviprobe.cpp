// SPDX-License-Identifier: GPL-3.0-or-later
#include "aviprobe.h"

#include "codepage.h"

#include <cerrno>
#include <charconv>
#include <limits>

namespace welarik {

namespace {

constexpr std::array<std::string_view, kProbeEditCount> kFieldNames = {
    "FPS",
    "ROZMIAR",
    "CZAS",
    "ROZDZIEL",
    "CVIDEO",
    "VBITRATE",
    "CAUDIO",
    "ABITRATE",
    "KANALY",
    "SAMPLE_R",
};

struct VideoCodec
{
    std::string_view code;
    std::string_view name;
};

// Tried in this order; "DIB" ignores trailing blanks and control characters of the code.
constexpr VideoCodec kVideoCodecs[] = {
    {"IV32", "Intel Indeo(R) Video R3.2"},
    {"DIB", "Uncompressed RGB"},
    {"MRLE", "Microsoft RLE"},
    {"VDOM", "VDOnet VDOWave"},
    {"IV50", "Indeo Video v5.04"},
    {"CVID", "CinePak Radius Codec"},
    {"MSVC", "Microsoft Video Codec v1"},
    {"DIV3", "DivX MPEG4 Low Motion"},
    {"DIV4", "DivX MPEG4 Fast Motion"},
    {"DIVX", "DivX 4.x"},
    {"MPG4", "Microsoft MPEG4 v1"},
    {"MP42", "Microsoft MPEG4 v2"},
    {"MP43", "Microsoft MPEG4 v3"},
};
constexpr std::string_view kDibCode = "DIB";

struct AudioFormat
{
    uint16_t tag;
    std::string_view name;
};

constexpr AudioFormat kAudioFormats[] = {
    {0x0000, "Microsoft PCM Format"},
    {0x0001, "Microsoft PCM Format"},
    {0x0002, "Microsoft ADPCM Format"},
    {0x0006, "CCITT A-Law"},
    {0x0007, "CCITT u-Law"},
    {0x0011, "IMA ADPCM"},
    {0x0022, "DSP Group TrueSpeech (TM)"},
    {0x0031, "GSM 6.10"},
    {0x0055, "MPEG Layer-3 CBR or VBR"},
    {0x0062, "VoxWare v1.x File Mode"},
    {0x0069, "VoxWare v1.x BitStream Mode"},
    {0x0070, "Lernout & Hauspie CELP 4,8 kbit/s"},
    {0x0071, "Lernout & Hauspie SBC 8 kbit/s"},
    {0x0072, "Lernout & Hauspie SBC 12 kbit/s"},
    {0x0073, "Lernout & Hauspie SBC 16 kbit/s"},
    {0x0074, "VoxWare MetaVoice"},
    {0x0075, "VoxWare MetaSound"},
    {0x0130, "ACELP.net"},
    {0x0160, "Windows Media Audio V1"},
    {0x0161, "DivX Audio (Windows Media Audio V2)"},
    {0x2000, "AC3 Digital"},
};

// Audio bit rate classes over n = Y / 128, bounds inclusive.
struct BitRateClass
{
    int32_t low;
    int32_t high;
    std::string_view text;
};

constexpr BitRateClass kBitRateClasses[] = {
    {60, 68, "64 Kbit/s"},
    {92, 100, "96 Kbit/s"},
    {108, 116, "112 Kbit/s"},
    {124, 132, "128 Kbit/s"},
    {156, 164, "160 Kbit/s"},
    {187, 196, "192 KBit/s"},
    {216, 228, "224 Kbit/s"},
    {246, 260, "256 Kbit/s"},
};

constexpr std::string_view kKbitSuffix = " Kbit/s";
constexpr std::string_view kNoVideoBitRate = ">1 Kbit/s";
constexpr int64_t kBytesPerMebibyte = 1048576;
constexpr int64_t kMicroSecPerSecond = 1000000;
constexpr int64_t kBytesPerKbit = 128; // 1024 bits of 8

// Decimal text of a whole number; std::to_chars ignores the locale.
std::string decimal(int64_t value)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    return std::string(digits, end);
}

// A part of a duration: at least two digits, a single digit getting a leading zero; a minus
// sign (only from garbled headers) goes before the digits.
std::string durationPart(int32_t value)
{
    const int64_t magnitude = value < 0 ? -int64_t{value} : int64_t{value};
    std::string text = decimal(magnitude);
    if (text.size() < 2)
        text.insert(0, 1, '0');
    return value < 0 ? "-" + text : text;
}

// numerator / denominator with exactly two decimals and a full stop, rounded to the nearest
// hundredth, halves away from zero. Exact: the quotient is never formed in floating point. A
// result that rounds to zero is "0.00", never "-0.00". |numerator| * 200 must fit in int64.
std::string twoDecimals(int64_t numerator, int64_t denominator)
{
    const bool negative = (numerator < 0) != (denominator < 0);
    const uint64_t num = static_cast<uint64_t>(numerator < 0 ? -numerator : numerator);
    const uint64_t den = static_cast<uint64_t>(denominator < 0 ? -denominator : denominator);
    const uint64_t hundredths = (num * 200 + den) / (2 * den);
    std::string text = decimal(static_cast<int64_t>(hundredths / 100));
    text += '.';
    const auto frac = static_cast<int>(hundredths % 100);
    text += static_cast<char>('0' + frac / 10);
    text += static_cast<char>('0' + frac % 10);
    return negative && hundredths != 0 ? "-" + text : text;
}

bool isBlankOrControl(char ch)
{
    const auto byte = static_cast<uint8_t>(ch);
    return byte <= 0x20 || byte == 0x7F;
}

bool codeMatches(std::string_view upperCode, std::string_view tableCode)
{
    if (tableCode != kDibCode)
        return upperCode == tableCode;
    while (!upperCode.empty() && isBlankOrControl(upperCode.back()))
        upperCode.remove_suffix(1);
    return upperCode == tableCode;
}

std::string videoCodecText(const std::string &code)
{
    const std::string upper = upperAscii(code);
    std::string text = toUtf8(CodePage::Cp1250, upper);
    for (const VideoCodec &row : kVideoCodecs) {
        if (codeMatches(upper, row.code))
            text = std::string(row.name);
    }
    return text;
}

std::optional<std::string> audioFormatText(uint16_t tag)
{
    for (const AudioFormat &row : kAudioFormats) {
        if (row.tag == tag)
            return std::string(row.name);
    }
    return std::nullopt;
}

std::string audioBitRateText(int32_t bytesPerSecond)
{
    const int32_t n = bytesPerSecond / static_cast<int32_t>(kBytesPerKbit);
    for (const BitRateClass &row : kBitRateClasses) {
        if (n >= row.low && n <= row.high)
            return std::string(row.text);
    }
    return decimal(n) + std::string(kKbitSuffix);
}

std::string channelText(uint16_t channels)
{
    switch (channels) {
    case 1:
        return "1 kanał (Mono)";
    case 2:
        return "2 kanały (Stereo)";
    case 5:
        return "5 kanałów (Surround)";
    default:
        return decimal(channels);
    }
}

int32_t le32(const uint8_t *bytes)
{
    const uint32_t value = uint32_t{bytes[0]} | uint32_t{bytes[1]} << 8 | uint32_t{bytes[2]} << 16
                           | uint32_t{bytes[3]} << 24;
    return static_cast<int32_t>(value);
}

uint16_t le16(const uint8_t *bytes)
{
    return static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
}

// Reads values at absolute positions, remembering the first failure; once one read has failed
// every later one fails too, so a caller may check once after a run of reads.
class HeaderReader
{
public:
    explicit HeaderReader(ProbeFile &file)
        : m_file(file)
    {}

    const FileError &error() const { return m_error; }

    bool bytesAt(int64_t position, uint8_t *buffer, size_t size)
    {
        if (m_error)
            return false;
        if (position < 0 || position > std::numeric_limits<int32_t>::max()) {
            m_error = FileError::io(EINVAL);
            return false;
        }
        m_error = m_file.seek(static_cast<int32_t>(position));
        if (!m_error)
            m_error = m_file.read(buffer, size);
        return !m_error;
    }

    int32_t int32At(int64_t position)
    {
        uint8_t bytes[4] = {};
        return bytesAt(position, bytes, sizeof bytes) ? le32(bytes) : 0;
    }

    uint16_t uint16At(int64_t position)
    {
        uint8_t bytes[2] = {};
        return bytesAt(position, bytes, sizeof bytes) ? le16(bytes) : 0;
    }

    // Text of size bytes, up to the first zero byte.
    std::string textAt(int64_t position, size_t size)
    {
        uint8_t bytes[kAviCodeSize] = {};
        if (size > sizeof bytes || !bytesAt(position, bytes, size))
            return {};
        size_t length = 0;
        while (length < size && bytes[length] != 0)
            ++length;
        return std::string(reinterpret_cast<const char *>(bytes), length);
    }

private:
    ProbeFile &m_file;
    FileError m_error;
};

// Closes an opened file exactly once, whichever way the reading ends.
class CloseOnExit
{
public:
    explicit CloseOnExit(ProbeFile &file)
        : m_file(file)
    {}
    ~CloseOnExit() { m_file.close(); }
    CloseOnExit(const CloseOnExit &) = delete;
    CloseOnExit &operator=(const CloseOnExit &) = delete;

private:
    ProbeFile &m_file;
};

void readValues(HeaderReader &reader, AviHeader &h)
{
    h.riffSize = reader.int32At(kAviRiffSizePos);
    h.mainHeaderSize = reader.int32At(kAviMainHeaderSizePos);
    h.microSecPerFrame = reader.int32At(kAviMicroSecPerFramePos);
    h.totalFrames = reader.int32At(kAviTotalFramesPos);
    h.width = reader.int32At(kAviWidthPos);
    h.height = reader.int32At(kAviHeightPos);
    if (reader.error())
        return;
    const int64_t a = h.mainHeaderSize;
    h.streamListSize = reader.int32At(a + kAviStreamListSizeOffset);
    h.videoCode = reader.textAt(a + kAviVideoCodeOffset, kAviCodeSize);
    if (reader.error())
        return;
    const int64_t b = a + h.streamListSize + kAviSecondStreamOffset;
    h.streamHeaderSize = reader.int32At(b - 4);
    if (reader.error())
        return;
    const int64_t format = b + h.streamHeaderSize + 8;
    h.formatTag = reader.uint16At(format);
    h.channels = reader.uint16At(format + 2);
    h.samplesPerSecond = reader.int32At(format + 4);
    h.avgBytesPerSecond = reader.int32At(format + 8);
}

} // namespace

std::string_view probeFieldName(ProbeEdit edit)
{
    return kFieldNames[static_cast<size_t>(edit)];
}

std::string ProbeResult::errorText() const
{
    switch (status) {
    case ProbeStatus::Completed:
        return {};
    case ProbeStatus::NotAvi:
        return std::string(kProbeNotAviMessage);
    case ProbeStatus::AnalysisFailed:
        return std::string(kProbeAnalysisMessage);
    case ProbeStatus::NotVideo:
        return std::string(kProbeNotVideoMessage);
    case ProbeStatus::FileFailed:
        return fileError.text();
    }
    return {};
}

AviHeaderRead readAviHeader(const std::string &name, ProbeFile &file)
{
    AviHeaderRead result;
    result.fileError = file.open(name);
    if (result.fileError) {
        result.status = ProbeStatus::FileFailed;
        return result;
    }
    CloseOnExit closer(file);
    HeaderReader reader(file);
    const std::string formType = reader.textAt(kAviFormTypePos, kAviFormTypeSize);
    if (!reader.error() && formType != "AVI") {
        result.status = ProbeStatus::NotAvi;
        return result;
    }
    readValues(reader, result.header);
    if (reader.error()) {
        result.status = ProbeStatus::FileFailed;
        result.fileError = reader.error();
        result.header = AviHeader();
    }
    return result;
}

ProbeResult probeTexts(const AviHeader &h)
{
    ProbeResult result;
    auto set = [&result](ProbeEdit edit, std::string text) {
        result.edits[static_cast<size_t>(edit)] = std::move(text);
    };

    // Frame rate 1 000 000 / M; a zero frame time fails the first step, so nothing is filled.
    if (h.microSecPerFrame == 0) {
        result.status = ProbeStatus::AnalysisFailed;
        return result;
    }
    set(ProbeEdit::Fps, twoDecimals(kMicroSecPerSecond, h.microSecPerFrame));

    set(ProbeEdit::Rozmiar, twoDecimals(h.riffSize, kBytesPerMebibyte) + " MB");

    // Seconds t = F / (1 000 000 / M) = F * M / 1 000 000, truncated toward zero in exact integer
    // arithmetic (a floating-point quotient can land just below a whole second and lose it),
    // then kept to its low 32 bits like a 32-bit integer.
    const int64_t exactSeconds = int64_t{h.totalFrames} * h.microSecPerFrame / kMicroSecPerSecond;
    const auto t = static_cast<int32_t>(static_cast<uint32_t>(exactSeconds));
    set(ProbeEdit::Czas,
        durationPart(t / 3600) + ":" + durationPart((t / 60) % 60) + ":" + durationPart(t % 60));

    set(ProbeEdit::Rozdziel, decimal(h.width) + " / " + decimal(h.height));

    set(ProbeEdit::CVideo, videoCodecText(h.videoCode));

    // ((S / t) - Y) / 128 truncated toward zero, computed exactly as (S - Y t) / (128 t).
    if (t == 0) {
        set(ProbeEdit::VBitrate, std::string(kNoVideoBitRate));
    } else {
        const int64_t v
            = (int64_t{h.riffSize} - int64_t{h.avgBytesPerSecond} * t) / (kBytesPerKbit * t);
        set(ProbeEdit::VBitrate, decimal(v) + std::string(kKbitSuffix));
    }

    if (auto name = audioFormatText(h.formatTag))
        set(ProbeEdit::CAudio, std::move(*name));

    set(ProbeEdit::ABitrate, audioBitRateText(h.avgBytesPerSecond));
    set(ProbeEdit::Kanaly, channelText(h.channels));
    set(ProbeEdit::SampleR, decimal(h.samplesPerSecond) + " Hz");
    return result;
}

ProbeResult probeVideoFile(const std::string &name, ProbeFile &file)
{
    const AviHeaderRead read = readAviHeader(name, file);
    if (read.status != ProbeStatus::Completed) {
        ProbeResult result;
        result.status = read.status;
        result.fileError = read.fileError;
        return result;
    }
    return probeTexts(read.header);
}

ProbeResult probeVideoFile(const std::string &name)
{
    StdProbeFile file;
    return probeVideoFile(name, file);
}

std::string probeReportLines(const ProbeResult &result)
{
    std::string out;
    for (size_t i = 0; i < kProbeEditCount; ++i) {
        if (!result.edits[i])
            continue;
        out += kFieldNames[i];
        out += '\t';
        out += *result.edits[i];
        out += '\n';
    }
    return out;
}

} // namespace welarik
