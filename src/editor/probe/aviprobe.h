// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The video file probe: reads fourteen values from the header of an AVI (RIFF) file and turns
// them into the ten display texts of the film editor's technical edits.
//
// The probe does not walk the chunk tree. It reads the main header at fixed positions, then
// follows three size fields to where, in an ordinary AVI whose first stream is video and whose
// second is audio, the video handler code and the wave format record lie. It checks no chunk
// identifier except the form type, and takes chunk sizes as read (an odd size is not padded).
// All values are little-endian; positions count from the start of the file.
//
//   POSITION            SIZE  VALUE
//   4                   4     S   RIFF size (file length less 8), signed
//   8                   3     form type, must be "AVI" (text up to its first zero byte)
//   28                  4     A   main header size (56), signed
//   32                  4     M   microseconds per frame, signed
//   48                  4     F   total frames, signed
//   64                  4     W   width, signed
//   68                  4     H   height, signed
//   A + 36              4     L   size of the first stream's LIST, signed
//   A + 56              4     V   first stream's handler code (text up to its first zero byte)
//   B - 4               4     G   second stream header size, signed; B = A + L + 60
//   B + G + 8           2     T   wave format tag, unsigned
//   B + G + 10          2     C   channels, unsigned
//   B + G + 12          4     R   samples per second, signed
//   B + G + 16          4     Y   average bytes per second, signed
//
// Values are read in the order of the table, except that the form type comes first. A position
// is computed without wrap-around; one outside 0 .. 2^31 - 1 is refused like a negative seek,
// with "I/O error 22" (EINVAL).

#include "probefile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace welarik {

inline constexpr int32_t kAviFormTypePos = 8;
inline constexpr int32_t kAviRiffSizePos = 4;
inline constexpr int32_t kAviMainHeaderSizePos = 28;
inline constexpr int32_t kAviMicroSecPerFramePos = 32;
inline constexpr int32_t kAviTotalFramesPos = 48;
inline constexpr int32_t kAviWidthPos = 64;
inline constexpr int32_t kAviHeightPos = 68;
inline constexpr int32_t kAviStreamListSizeOffset = 36; // from A
inline constexpr int32_t kAviVideoCodeOffset = 56;      // from A
inline constexpr int32_t kAviSecondStreamOffset = 60;   // B = A + L + 60
inline constexpr size_t kAviFormTypeSize = 3;
inline constexpr size_t kAviCodeSize = 4;

// The messages the probe shows (plain message boxes with an OK button).
inline constexpr std::string_view kProbeNotAviMessage = "To nie jest plik AVI";
inline constexpr std::string_view kProbeAnalysisMessage = "Wystąpił błąd podczas analizy pliku";
// Shown when a file of another container holds no picture the library recognises.
inline constexpr std::string_view kProbeNotVideoMessage = "To nie jest plik wideo";

// The fourteen values of the header, named by the letters of the table above.
struct AviHeader
{
    int32_t riffSize = 0;          // S
    int32_t mainHeaderSize = 0;    // A
    int32_t microSecPerFrame = 0;  // M
    int32_t totalFrames = 0;       // F
    int32_t width = 0;             // W
    int32_t height = 0;            // H
    int32_t streamListSize = 0;    // L
    std::string videoCode;         // V, raw bytes up to the first zero byte (at most 4)
    int32_t streamHeaderSize = 0;  // G
    uint16_t formatTag = 0;        // T
    uint16_t channels = 0;         // C
    int32_t samplesPerSecond = 0;  // R
    int32_t avgBytesPerSecond = 0; // Y
};

// The ten technical edits of the film editor, in the order the probe fills them. The value is
// the index into ProbeResult::edits.
enum class ProbeEdit {
    Fps,      // FPS: frames per second, two decimals ("25.00")
    Rozmiar,  // ROZMIAR: RIFF size in mebibytes, two decimals, " MB"
    Czas,     // CZAS: duration h:mm:ss, each part at least two digits ("01:32:05")
    Rozdziel, // ROZDZIEL: "W / H"
    CVideo,   // CVIDEO: handler code upper-cased, or its name from the video codec table
    VBitrate, // VBITRATE: video bit rate " Kbit/s", or ">1 Kbit/s" for a duration of 0
    CAudio,   // CAUDIO: name of the format tag; a tag not in the table leaves the edit alone
    ABitrate, // ABITRATE: audio bit rate class
    Kanaly,   // KANALY: channel text
    SampleR,  // SAMPLE_R: samples per second, " Hz"
};
inline constexpr size_t kProbeEditCount = 10;

// The films table's field behind each edit ("FPS", "ROZMIAR", ... "SAMPLE_R").
std::string_view probeFieldName(ProbeEdit edit);

// How the probe ended.
enum class ProbeStatus {
    Completed,      // all reads and all steps ran; the edits hold the new texts
    NotAvi,         // the form type is not "AVI": kProbeNotAviMessage, no edit changes
    AnalysisFailed, // a step failed: kProbeAnalysisMessage; edits of earlier steps changed
    NotVideo,       // not AVI and no video the library knows: kProbeNotVideoMessage, no edit
                    // changes
    FileFailed,     // opening or reading failed: ProbeResult::fileError, no edit changes;
                    // its text belongs in the default error box, not a plain message box
};

// What the probe did, for the film editor to apply: set the text of every edit that has a
// value, in ProbeEdit order, then show errorText() when it is not empty. An edit without a
// value keeps what it showed before. Plain value-or-error: no exceptions leave the probe.
struct ProbeResult
{
    ProbeStatus status = ProbeStatus::Completed;
    // New texts (UTF-8) by ProbeEdit; nullopt means "leave the edit as it is".
    std::array<std::optional<std::string>, kProbeEditCount> edits{};
    // The failure when status is FileFailed; otherwise none.
    FileError fileError;

    bool ok() const { return status == ProbeStatus::Completed; }
    const std::optional<std::string> &edit(ProbeEdit e) const
    {
        return edits[static_cast<size_t>(e)];
    }
    // The message or file error text to show; empty when the probe completed.
    std::string errorText() const;
};

// Outcome of reading the header alone: Completed with header filled, NotAvi or FileFailed.
struct AviHeaderRead
{
    ProbeStatus status = ProbeStatus::Completed;
    FileError fileError;
    AviHeader header;
};

// Opens name through file, reads the form type and the fourteen values, and closes the file
// (exactly once after a successful open, on every path).
AviHeaderRead readAviHeader(const std::string &name, ProbeFile &file);

// Computes the display texts from the values, step by step in ProbeEdit order. A zero frame
// time fails the first step (AnalysisFailed, nothing filled); a duration of 0 seconds gives the
// video bit rate ">1 Kbit/s" and the probe goes on.
ProbeResult probeTexts(const AviHeader &header);

// The whole probe: readAviHeader, then probeTexts.
ProbeResult probeVideoFile(const std::string &name, ProbeFile &file);
// The same on the real file system.
ProbeResult probeVideoFile(const std::string &name);

// The texts as lines "FIELD<TAB>text\n" in ProbeEdit order, leaving out edits without a value.
std::string probeReportLines(const ProbeResult &result);

} // namespace welarik
