// SPDX-License-Identifier: GPL-3.0-or-later
// The video file probe over header images built byte by byte, over real files and over an AVI
// written by ffmpeg when it is installed.

#include "aviprobe.h"
#include "testsupport.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <locale>
#include <string>
#include <vector>

using namespace welarik;
using welarik::test::AviImage;
using welarik::test::putFourCc;
using welarik::test::putLe;

namespace {

// Counts opens and closes, records seek positions and fails the chosen read.
class CountingFile : public ProbeFile
{
public:
    explicit CountingFile(std::vector<uint8_t> bytes)
        : m_inner(std::move(bytes))
    {}
    FileError open(const std::string &name) override
    {
        ++opens;
        return openFailure ? openFailure : m_inner.open(name);
    }
    FileError seek(int32_t position) override
    {
        seeks.push_back(position);
        return m_inner.seek(position);
    }
    FileError read(uint8_t *buffer, size_t size) override
    {
        return reads++ == failRead ? FileError::io(EIO) : m_inner.read(buffer, size);
    }
    void close() override
    {
        ++closes;
        m_inner.close();
    }

    int opens = 0;
    int closes = 0;
    int reads = 0;
    int failRead = -1;
    FileError openFailure;
    std::vector<int32_t> seeks;

private:
    MemoryProbeFile m_inner;
};

ProbeResult probe(const std::vector<uint8_t> &bytes)
{
    CountingFile file(bytes);
    ProbeResult result = probeVideoFile("x.avi", file);
    EXPECT_EQ(file.closes, 1);
    return result;
}

ProbeResult probe(const AviImage &image)
{
    return probe(image.bytes());
}

std::string text(const ProbeResult &r, ProbeEdit e)
{
    return r.edit(e).value_or("<unchanged>");
}

bool noEdits(const ProbeResult &r)
{
    for (const auto &edit : r.edits) {
        if (edit)
            return false;
    }
    return true;
}

} // namespace

TEST(AviProbe, OrdinaryAviFillsEveryEditInOrder)
{
    const ProbeResult r = probe(AviImage());
    ASSERT_TRUE(r.ok()) << r.errorText();
    EXPECT_EQ(r.errorText(), "");
    EXPECT_EQ(probeReportLines(r),
              "FPS\t25.00\nROZMIAR\t700.00 MB\nCZAS\t00:01:40\nROZDZIEL\t640 / 480\n"
              "CVIDEO\tDivX 4.x\nVBITRATE\t57219 Kbit/s\nCAUDIO\tMPEG Layer-3 CBR or VBR\n"
              "ABITRATE\t128 Kbit/s\nKANALY\t2 kanały (Stereo)\nSAMPLE_R\t44100 Hz\n");
}

TEST(AviProbe, ReadsFourteenValuesInOrderAndClosesOnce)
{
    AviImage image;
    image.videoFormatSize = 41; // odd: the second list follows without a pad byte
    CountingFile file(image.bytes());
    const ProbeResult r = probeVideoFile("x.avi", file);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(text(r, ProbeEdit::SampleR), "44100 Hz");
    const int32_t b = 56 + (4 + 8 + 56 + 8 + 41) + 60;
    const std::vector<int32_t> expected
        = {8, 4, 28, 32, 48, 64, 68, 92, 112, b - 4, b + 64, b + 66, b + 68, b + 72};
    EXPECT_EQ(file.seeks, expected);
    EXPECT_EQ(file.opens, 1);
    EXPECT_EQ(file.closes, 1);
}

TEST(AviProbe, FailedReadAnywhereChangesNothingAndClosesOnce)
{
    for (int n = 0; n < 14; ++n) {
        CountingFile file(AviImage().bytes());
        file.failRead = n;
        const ProbeResult r = probeVideoFile("x.avi", file);
        EXPECT_EQ(r.status, ProbeStatus::FileFailed) << n;
        EXPECT_EQ(r.errorText(), "I/O error 5") << n;
        EXPECT_TRUE(noEdits(r)) << n;
        EXPECT_EQ(file.closes, 1) << n;
    }
    CountingFile missing(AviImage().bytes());
    missing.openFailure = FileError::fromErrno(ENOENT);
    EXPECT_EQ(probeVideoFile("x.avi", missing).errorText(), "File not found");
    EXPECT_EQ(missing.closes, 0);
}

TEST(AviProbe, Duration)
{
    AviImage image;
    image.totalFrames = 24; // under one second
    ProbeResult r = probe(image);
    ASSERT_TRUE(r.ok());
    EXPECT_EQ(text(r, ProbeEdit::Czas), "00:00:00");
    EXPECT_EQ(text(r, ProbeEdit::VBitrate), ">1 Kbit/s");
    EXPECT_EQ(text(r, ProbeEdit::SampleR), "44100 Hz");

    const std::pair<int32_t, const char *> cases[] = {
        {90000, "01:00:00"},
        {195000, "02:10:00"},
        {9000000, "100:00:00"},
    };
    for (const auto &[frames, expected] : cases) {
        image.totalFrames = frames;
        EXPECT_EQ(text(probe(image), ProbeEdit::Czas), expected);
    }
    // 1 000 000 frames of 1469 us are exactly 1469 s; a floating-point quotient gives 1468.99...
    image.microSecPerFrame = 1469;
    image.totalFrames = 1000000;
    EXPECT_EQ(text(probe(image), ProbeEdit::Czas), "00:24:29");
    // Beyond 32 bits the seconds keep their low 32 bits: 4 294 967 294 becomes -2.
    image.microSecPerFrame = 2000000;
    image.totalFrames = 2147483647;
    EXPECT_EQ(text(probe(image), ProbeEdit::Czas), "00:00:-02");
}

TEST(AviProbe, ZeroFrameTimeFailsBeforeAnyEdit)
{
    AviImage image;
    image.microSecPerFrame = 0;
    const ProbeResult r = probe(image);
    EXPECT_EQ(r.status, ProbeStatus::AnalysisFailed);
    EXPECT_EQ(r.errorText(), "Wystąpił błąd podczas analizy pliku");
    EXPECT_TRUE(noEdits(r));
}

TEST(AviProbe, DecimalsRoundToNearestHundredth)
{
    AviImage image;
    const std::pair<int32_t, const char *> fps[] = {{41708, "23.98"},
                                                    {320000, "3.13"},
                                                    {-40000, "-25.00"},
                                                    {1, "1000000.00"},
                                                    {-2147483647 - 1, "0.00"}};
    for (const auto &[m, expected] : fps) {
        image.microSecPerFrame = m;
        EXPECT_EQ(text(probe(image), ProbeEdit::Fps), expected) << m;
    }
    image.microSecPerFrame = 40000;
    const std::pair<int32_t, const char *> sizes[] = {{131072, "0.13 MB"},
                                                      {-1, "0.00 MB"},
                                                      {2147483647, "2048.00 MB"},
                                                      {-2147483647 - 1, "-2048.00 MB"}};
    for (const auto &[s, expected] : sizes) {
        image.riffSize = s;
        EXPECT_EQ(text(probe(image), ProbeEdit::Rozmiar), expected) << s;
    }
}

TEST(AviProbe, VideoCodecNames)
{
    const std::pair<const char *, const char *> cases[] = {
        {"DIB ", "Uncompressed RGB"},
        {"dib\x01", "Uncompressed RGB"},
        {" DIB", " DIB"},
        {"mp43", "Microsoft MPEG4 v3"},
        {"xvid", "XVID"},
        {"iv32", "Intel Indeo(R) Video R3.2"},
        {"x\xe9yz", "X\xc3\xa9YZ"}, // cp1250 e-acute, not upper-cased
    };
    AviImage image;
    for (const auto &[code, expected] : cases) {
        image.videoCode = code;
        EXPECT_EQ(text(probe(image), ProbeEdit::CVideo), expected) << code;
    }
    std::vector<uint8_t> bytes = AviImage().bytes();
    putLe(bytes, 112, 0u);
    EXPECT_EQ(text(probe(bytes), ProbeEdit::CVideo), "");
}

TEST(AviProbe, AudioTexts)
{
    AviImage image;
    image.formatTag = 0;
    EXPECT_EQ(text(probe(image), ProbeEdit::CAudio), "Microsoft PCM Format");
    image.formatTag = 0x161;
    EXPECT_EQ(text(probe(image), ProbeEdit::CAudio), "DivX Audio (Windows Media Audio V2)");
    image.formatTag = 3;
    const ProbeResult unknown = probe(image);
    EXPECT_EQ(text(unknown, ProbeEdit::CAudio), "<unchanged>");
    EXPECT_EQ(probeReportLines(unknown).find("CAUDIO"), std::string::npos);
    EXPECT_NE(probeReportLines(unknown).find("ABITRATE\t128 Kbit/s\n"), std::string::npos);

    const std::pair<int32_t, const char *> rates[] = {{22050, "172 Kbit/s"},
                                                      {0, "0 Kbit/s"},
                                                      {24000, "192 KBit/s"},
                                                      {7679, "59 Kbit/s"},
                                                      {7680, "64 Kbit/s"},
                                                      {8831, "64 Kbit/s"},
                                                      {8832, "69 Kbit/s"},
                                                      {-128, "-1 Kbit/s"},
                                                      {33279, "256 Kbit/s"}};
    for (const auto &[y, expected] : rates) {
        image.avgBytesPerSecond = y;
        EXPECT_EQ(text(probe(image), ProbeEdit::ABitrate), expected) << y;
    }
    const std::pair<uint16_t, const char *> channels[]
        = {{1, "1 kanał (Mono)"}, {5, "5 kanałów (Surround)"}, {6, "6"}, {65535, "65535"}};
    for (const auto &[c, expected] : channels) {
        image.channels = c;
        EXPECT_EQ(text(probe(image), ProbeEdit::Kanaly), expected) << c;
    }
}

TEST(AviProbe, BadFilesGiveFileErrorsOrNotAvi)
{
    const std::vector<uint8_t> full = AviImage().bytes();
    // A file that ends early fails wherever it ends.
    for (size_t length : {size_t(10), size_t(11), size_t(30), size_t(100), size_t(307)}) {
        const ProbeResult r = probe(std::vector<uint8_t>(full.begin(), full.begin() + length));
        EXPECT_EQ(r.errorText(), "Read beyond end of file") << length;
        EXPECT_TRUE(noEdits(r));
    }
    const std::string textFile = "Lorem ipsum dolor sit amet\n";
    const ProbeResult notAvi = probe(std::vector<uint8_t>(textFile.begin(), textFile.end()));
    EXPECT_EQ(notAvi.status, ProbeStatus::NotAvi);
    EXPECT_EQ(notAvi.errorText(), "To nie jest plik AVI");
    EXPECT_TRUE(noEdits(notAvi));
    for (const char *form : {"avi ", "AV\0I"}) {
        std::vector<uint8_t> bytes = full;
        putFourCc(bytes, 8, form);
        EXPECT_EQ(probe(bytes).status, ProbeStatus::NotAvi) << form;
    }
    // Garbled sizes: negative positions and positions past 2^31 - 1 are refused.
    const std::pair<size_t, uint32_t> garbled[] = {{28, 0xFFFFFF00u},   // A negative
                                                   {92, 0x7FFFFFF0u},   // L: A + L + 56 overflows
                                                   {92, 0x80000000u},   // L: negative position
                                                   {228, 0x7FFFFFFFu},  // G: B + G + 8 overflows
                                                   {228, 0xFFFFFF00u}}; // G: negative position
    for (const auto &[pos, value] : garbled) {
        std::vector<uint8_t> bytes = full;
        putLe(bytes, pos, value);
        const ProbeResult r = probe(bytes);
        EXPECT_EQ(r.errorText(), "I/O error 22") << pos << " " << value;
        EXPECT_TRUE(noEdits(r));
    }
}

TEST(AviProbe, RealFiles)
{
    test::TempDir dir;
    test::writeBytes(dir.file("film.avi"), AviImage().bytes());
    const ProbeResult r = probeVideoFile(dir.file("film.avi"));
    EXPECT_EQ(probeReportLines(r), probeReportLines(probe(AviImage())));
    test::writeBytes(dir.file("ten.avi"), std::vector<uint8_t>(10, 'x'));
    EXPECT_EQ(probeVideoFile(dir.file("ten.avi")).errorText(), "Read beyond end of file");
    EXPECT_EQ(probeVideoFile(dir.file("none.avi")).errorText(), "File not found");
    EXPECT_EQ(probeVideoFile(dir.path().string()).errorText(),
              "I/O error " + std::to_string(EISDIR));

    ASSERT_EQ(mkfifo(dir.file("pipe.avi").c_str(), 0600), 0); // must not block
    EXPECT_EQ(probeVideoFile(dir.file("pipe.avi")).errorText(),
              "I/O error " + std::to_string(ESPIPE));

    std::filesystem::permissions(dir.file("film.avi"), std::filesystem::perms::none);
    if (std::FILE *f = std::fopen(dir.file("film.avi").c_str(), "rb")) {
        std::fclose(f); // running with rights that ignore permissions
    } else {
        EXPECT_EQ(probeVideoFile(dir.file("film.avi")).errorText(), "File access denied");
    }
}

TEST(AviProbe, FfmpegAvi)
{
    if (std::system("ffmpeg -version > /dev/null 2>&1") != 0)
        GTEST_SKIP() << "ffmpeg is not installed: no real AVI to probe";
    test::TempDir dir;
    const std::string file = dir.file("real.avi");
    const std::string command = "ffmpeg -nostdin -loglevel error -f lavfi -i "
                                "testsrc=size=320x240:rate=25:duration=4 -f lavfi -i "
                                "sine=sample_rate=44100:duration=4 -c:v mpeg4 -vtag xvid "
                                "-c:a pcm_s16le -ac 2 \""
                                + file + "\"";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const ProbeResult r = probeVideoFile(file);
    ASSERT_TRUE(r.ok()) << r.errorText();
    const double s = double(std::filesystem::file_size(file) - 8);
    char size[32];
    std::snprintf(size, sizeof size, "%.2f MB", s / 1048576);
    EXPECT_EQ(text(r, ProbeEdit::Fps), "25.00");
    EXPECT_EQ(text(r, ProbeEdit::Rozmiar), size);
    EXPECT_EQ(text(r, ProbeEdit::Czas), "00:00:04");
    EXPECT_EQ(text(r, ProbeEdit::Rozdziel), "320 / 240");
    EXPECT_EQ(text(r, ProbeEdit::CVideo), "XVID");
    EXPECT_EQ(text(r, ProbeEdit::VBitrate),
              std::to_string(int((s / 4 - 176400) / 128)) + " Kbit/s");
    EXPECT_EQ(text(r, ProbeEdit::CAudio), "Microsoft PCM Format");
    EXPECT_EQ(text(r, ProbeEdit::ABitrate), "1378 Kbit/s"); // 176 400 B/s
    EXPECT_EQ(text(r, ProbeEdit::Kanaly), "2 kanały (Stereo)");
    EXPECT_EQ(text(r, ProbeEdit::SampleR), "44100 Hz");
}

namespace {

// A decimal comma and thousands grouping, as Polish formatting has.
class CommaPunct : public std::numpunct<char>
{
protected:
    char do_decimal_point() const override { return ','; }
    char do_thousands_sep() const override { return ' '; }
    std::string do_grouping() const override { return "\3"; }
};

void expectFullStops()
{
    AviImage image;
    image.microSecPerFrame = 41708;
    image.riffSize = 2000000000;
    image.totalFrames = 100000000;
    const ProbeResult r = probe(image);
    EXPECT_EQ(text(r, ProbeEdit::Fps), "23.98");
    EXPECT_EQ(text(r, ProbeEdit::Rozmiar), "1907.35 MB");
    EXPECT_EQ(text(r, ProbeEdit::Czas), "1158:33:20");
    EXPECT_EQ(text(r, ProbeEdit::SampleR), "44100 Hz");
}

} // namespace

TEST(AviProbe, CommaLocaleStillWritesFullStops)
{
    const std::locale previous = std::locale::global(std::locale(std::locale(), new CommaPunct));
    expectFullStops();
    std::locale::global(previous);
}

TEST(AviProbe, PolishSystemLocaleStillWritesFullStops)
{
    const std::string previous = std::setlocale(LC_ALL, nullptr);
    const char *found = nullptr;
    for (const char *name : {"pl_PL.UTF-8",
                             "pl_PL.utf8",
                             "pl_PL",
                             "de_DE.UTF-8",
                             "fr_FR.UTF-8",
                             "ru_RU.UTF-8",
                             "it_IT.UTF-8",
                             "es_ES.UTF-8"}) {
        if (std::setlocale(LC_ALL, name) && std::localeconv()->decimal_point[0] == ',') {
            found = name;
            break;
        }
    }
    // Not installed: compile the Polish locale into a temporary folder when the locale sources
    // and localedef are present.
    test::TempDir dir;
    bool ownLocPath = false;
    if (!found && !std::getenv("LOCPATH")
        && std::system("command -v localedef > /dev/null 2>&1") == 0) {
        const std::string command
            = "localedef -i pl_PL -f UTF-8 \"" + dir.file("pl_PL.UTF-8") + "\" > /dev/null 2>&1";
        if (std::system(command.c_str()) == 0) {
            setenv("LOCPATH", dir.path().c_str(), 1);
            ownLocPath = true;
            if (std::setlocale(LC_ALL, "pl_PL.UTF-8") && std::localeconv()->decimal_point[0] == ',')
                found = "pl_PL.UTF-8";
        }
    }
    if (!found) {
        std::setlocale(LC_ALL, previous.c_str());
        if (ownLocPath)
            unsetenv("LOCPATH");
        GTEST_SKIP() << "no locale with a decimal comma is installed or can be compiled";
    }
    const std::locale previousGlobal = std::locale::global(std::locale(found));
    expectFullStops();
    std::locale::global(previousGlobal);
    std::setlocale(LC_ALL, previous.c_str());
    if (ownLocPath)
        unsetenv("LOCPATH");
}
