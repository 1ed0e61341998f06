// SPDX-License-Identifier: GPL-3.0-or-later
// The technical data of the test videos (tests/data/media, made by make.sh with known
// parameters): every container's ten texts, bounded reading of a huge sparse file, a truncated
// file, a text file under a video name, and the mapping's number parsing.

#include "mediainfo.h"
#include "testsupport.h"
#include "videoprobe.h"

#include <gtest/gtest.h>

#include <clocale>
#include <filesystem>
#include <fstream>
#include <map>

using namespace welarik;

namespace {

namespace fs = std::filesystem;

fs::path media(const char *name)
{
    return fs::path(WELARIK_TEST_DATA_DIR) / "media" / name;
}

std::string text(const ProbeResult &r, ProbeEdit e)
{
    const auto &t = r.edit(e);
    return t ? *t : std::string("<none>");
}

// Bytes this process has read through system calls so far.
uint64_t bytesRead()
{
    std::ifstream io("/proc/self/io");
    std::string key;
    uint64_t value = 0;
    while (io >> key >> value) {
        if (key == "rchar:")
            return value;
    }
    return 0;
}

struct Expected
{
    const char *file;
    const char *fps; // nullptr: not compared (the library does not give it for the container)
    const char *czas;
    const char *rozdziel;
    const char *cvideo;
    const char *caudio;
    const char *kanaly;
    const char *sampleR;
};

const Expected kFiles[] = {
    {"h264_ac3.mkv",
     "25.00",
     "00:00:02",
     "320 / 240",
     "AVC (V_MPEG4/ISO/AVC)",
     "AC-3 (A_AC3)",
     "6 kanałów (5.1)",
     "48000 Hz"},
    {"h264_aac.mp4",
     "23.98",
     "00:00:02",
     "176 / 144",
     "AVC (avc1)",
     "AAC (mp4a-40-2)",
     "2 kanały (Stereo)",
     "44100 Hz"},
    {"h264_aac.m4v",
     "30.00",
     "00:00:02",
     "160 / 120",
     "AVC (avc1)",
     "AAC (mp4a-40-2)",
     "1 kanał (Mono)",
     "22050 Hz"},
    {"mpeg4_aac.mov",
     "25.00",
     "00:00:02",
     "160 / 120",
     "MPEG-4 Visual (mp4v-20)",
     "AAC (mp4a-40-2)",
     "2 kanały (Stereo)",
     "48000 Hz"},
    {"vp9_opus.webm",
     "25.00",
     "00:00:02",
     "160 / 120",
     "VP9 (V_VP9)",
     "Opus (A_OPUS)",
     "2 kanały (Stereo)",
     "48000 Hz"},
    {"mpeg1_mp2.mpg",
     "25.00",
     "00:00:02",
     "160 / 120",
     "MPEG Video",
     "MPEG Audio",
     "2 kanały (Stereo)",
     "44100 Hz"},
    {"mpeg2_mp2.mpeg",
     "25.00",
     "00:00:02",
     "352 / 288",
     "MPEG Video",
     "MPEG Audio",
     "2 kanały (Stereo)",
     "48000 Hz"},
    {"mpeg2_ac3.vob",
     "25.00",
     "00:00:02",
     "352 / 288",
     "MPEG Video",
     "AC-3",
     "2 kanały (Stereo)",
     "48000 Hz"},
    {"h264_aac.ts", nullptr, nullptr, "160 / 120", "AVC", "AAC", "2 kanały (Stereo)", "48000 Hz"},
    {"h264_ac3.m2ts",
     nullptr,
     nullptr,
     "160 / 120",
     "AVC",
     "AC-3",
     "2 kanały (Stereo)",
     "48000 Hz"},
    {"theora_vorbis.ogv",
     "25.00",
     "00:00:02",
     "160 / 120",
     "Theora",
     "Vorbis",
     "2 kanały (Stereo)",
     "44100 Hz"},
    {"theora_vorbis.ogm",
     "25.00",
     "00:00:02",
     "160 / 120",
     "Theora",
     "Vorbis",
     "1 kanał (Mono)",
     "22050 Hz"},
    {"wmv2_wma.wmv",
     "25.00",
     "00:00:02",
     "160 / 120",
     "WMV2",
     "WMA",
     "2 kanały (Stereo)",
     "44100 Hz"},
    {"msmpeg4_wma.asf",
     "25.00",
     "00:00:02",
     "160 / 120",
     "MPEG-4 Visual (MP43)",
     "WMA",
     "1 kanał (Mono)",
     "44100 Hz"},
    {"flv_mp3.flv",
     "25.00",
     "00:00:02",
     "160 / 120",
     "Sorenson Spark",
     "MPEG Audio",
     "2 kanały (Stereo)",
     "44100 Hz"},
    // AVI under another name goes through our own probe.
    {"xvid_mp3.divx",
     "25.00",
     "00:00:02",
     "160 / 120",
     "XVID",
     "MPEG Layer-3 CBR or VBR",
     "2 kanały (Stereo)",
     "44100 Hz"},
};

} // namespace

TEST(MediaProbe, EveryContainerGivesTheTenTextsOfItsKnownParameters)
{
    MediaReader reader;
    for (const Expected &e : kFiles) {
        SCOPED_TRACE(e.file);
        const VideoData data = probeVideo(media(e.file).string(), reader);
        const ProbeResult &r = data.result;
        ASSERT_EQ(r.status, ProbeStatus::Completed) << r.errorText();
        if (e.fps) {
            EXPECT_EQ(text(r, ProbeEdit::Fps), e.fps);
        }
        if (e.czas) {
            EXPECT_EQ(text(r, ProbeEdit::Czas), e.czas);
        }
        EXPECT_EQ(text(r, ProbeEdit::Rozdziel), e.rozdziel);
        EXPECT_EQ(text(r, ProbeEdit::CVideo), e.cvideo);
        EXPECT_EQ(text(r, ProbeEdit::CAudio), e.caudio);
        EXPECT_EQ(text(r, ProbeEdit::Kanaly), e.kanaly);
        EXPECT_EQ(text(r, ProbeEdit::SampleR), e.sampleR);
        if (!isAviFile(media(e.file).string())) {
            EXPECT_EQ(text(r, ProbeEdit::Rozmiar), sizeText(int64_t(fs::file_size(media(e.file)))));
        }
        EXPECT_TRUE(data.seconds.has_value());
    }
}

TEST(MediaProbe, BitRatesAreShownWhenCarriedAndLeftEmptyWhenNot)
{
    MediaReader reader;
    const ProbeResult mkv = probeVideo(media("h264_ac3.mkv").string(), reader).result;
    EXPECT_EQ(text(mkv, ProbeEdit::ABitrate), "96 Kbit/s");
    EXPECT_EQ(text(mkv, ProbeEdit::VBitrate), "40 Kbit/s");
    // The WebM muxer writes no bit rates: the edits are cleared, not guessed.
    const ProbeResult webm = probeVideo(media("vp9_opus.webm").string(), reader).result;
    EXPECT_EQ(text(webm, ProbeEdit::VBitrate), "");
    EXPECT_EQ(text(webm, ProbeEdit::ABitrate), "");
}

TEST(MediaProbe, AviGoesThroughOurProbeUnchanged)
{
    MediaReader reader;
    const std::string avi = media("xvid_mp3.avi").string();
    const ProbeResult ours = probeVideoFile(avi);
    const ProbeResult any = probeVideo(avi, reader).result;
    EXPECT_EQ(any.edits, ours.edits);
    EXPECT_EQ(text(any, ProbeEdit::CAudio), "MPEG Layer-3 CBR or VBR");
    // A text file named .avi keeps the AVI probe's message.
    test::TempDir dir;
    std::ofstream(dir.file("notes.avi")) << "not a film at all, just words";
    EXPECT_EQ(probeAnyVideoFile(dir.file("notes.avi")).errorText(), "To nie jest plik AVI");
}

TEST(MediaProbe, NoVideoTruncatedAndMissingFilesGiveClearResults)
{
    MediaReader reader;
    const VideoData notes = probeVideo(media("notes.mkv").string(), reader);
    EXPECT_EQ(notes.result.status, ProbeStatus::NotVideo);
    EXPECT_EQ(notes.result.errorText(), "To nie jest plik wideo");
    EXPECT_TRUE(std::all_of(notes.result.edits.begin(),
                            notes.result.edits.end(),
                            [](const auto &e) { return !e.has_value(); }));

    test::TempDir dir;
    const fs::path cut = dir.file("cut.mkv");
    fs::copy_file(media("h264_ac3.mkv"), cut);
    fs::resize_file(cut, fs::file_size(cut) / 2); // the headers survive
    const ProbeResult half = probeVideo(cut.string(), reader).result;
    EXPECT_EQ(text(half, ProbeEdit::Rozdziel), "320 / 240");
    fs::resize_file(cut, 100); // only the container's signature is left
    EXPECT_EQ(probeVideo(cut.string(), reader).result.status, ProbeStatus::NotVideo);

    const ProbeResult missing = probeVideo(dir.file("brak.mkv"), reader).result;
    EXPECT_EQ(missing.status, ProbeStatus::FileFailed);
    EXPECT_EQ(missing.errorText(), "File not found");
}

TEST(MediaProbe, AHugeSparseFileIsReadOnlyInPart)
{
    test::TempDir dir;
    const fs::path big = dir.file("big.mkv");
    fs::copy_file(media("h264_ac3.mkv"), big);
    fs::resize_file(big, uint64_t(400) << 20); // a hole of 400 MB after the film
    MediaReader reader;
    const uint64_t before = bytesRead();
    const ProbeResult r = probeVideo(big.string(), reader).result;
    const uint64_t read = bytesRead() - before;
    EXPECT_LT(read, uint64_t(12) << 20);
    EXPECT_EQ(text(r, ProbeEdit::Rozmiar), "400.00 MB");
    EXPECT_EQ(text(r, ProbeEdit::Rozdziel), "320 / 240");
    EXPECT_EQ(text(r, ProbeEdit::Fps), "25.00");
}

TEST(MediaMapping, NumbersAreParsedWithoutTheLocaleAndNonsenseCountsAsMissing)
{
    std::map<std::string, std::string> values = {
        {"0Format", "Matroska"},
        {"0VideoCount", "1"},
        {"0FileSize", "734130421"},
        {"0Duration", "5380123.5"},
        {"1Width", "720"},
        {"1Height", "304"},
        {"1FrameRate", "23.976"},
        {"1Format", "AVC"},
        {"1BitRate", "950400"},
        {"2Format", "AC-3"},
        {"2SamplingRate", "48000"},
        {"2BitRate", "384000"},
        {"2Channel(s)", "6"},
    };
    const MediaValues lookup = [&values](MediaStream s, const char *p) {
        const auto it = values.find(std::to_string(int(s)) + p);
        return it == values.end() ? std::string() : it->second;
    };
    // A decimal comma in the process's locale changes nothing.
    const char *old = std::setlocale(LC_NUMERIC, "pl_PL.UTF-8");
    const ProbeResult r = mediaTexts(mediaFacts(lookup));
    // The library's own numbers, read under that locale, too.
    MediaReader reader;
    const ProbeResult mp4 = probeVideo(media("h264_aac.mp4").string(), reader).result;
    if (old)
        std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(text(mp4, ProbeEdit::Fps), "23.98");
    EXPECT_EQ(text(r, ProbeEdit::Rozmiar), "700.12 MB");
    EXPECT_EQ(text(r, ProbeEdit::Czas), "01:29:40");
    EXPECT_EQ(text(r, ProbeEdit::Rozdziel), "720 / 304");
    EXPECT_EQ(text(r, ProbeEdit::Fps), "23.98");
    EXPECT_EQ(text(r, ProbeEdit::VBitrate), "950 Kbit/s");
    EXPECT_EQ(text(r, ProbeEdit::ABitrate), "384 Kbit/s");
    EXPECT_EQ(text(r, ProbeEdit::Kanaly), "6 kanałów (5.1)");

    values["1Width"] = "wide";
    values["1FrameRate"] = "-5";
    values["2Channel(s)"] = "3";
    values["1CodecID"] = "V_MPEG4/ISO/AVC/WITH/A/VERY/LONG/NAME";
    const ProbeResult odd = mediaTexts(mediaFacts(lookup));
    EXPECT_EQ(text(odd, ProbeEdit::Rozdziel), "");
    EXPECT_EQ(text(odd, ProbeEdit::Fps), "");
    EXPECT_EQ(text(odd, ProbeEdit::Kanaly), "3 kanały");
    EXPECT_EQ(text(odd, ProbeEdit::CVideo), "AVC"); // the id would not fit 25 characters
    values["0VideoCount"] = "0";
    EXPECT_EQ(mediaTexts(mediaFacts(lookup)).status, ProbeStatus::NotVideo);
}
