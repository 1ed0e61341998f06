// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Technical data of video files other than AVI, read with MediaInfoLib, and the mapping from its
// values to the ten texts of the film editor's technical edits ("700.12 MB", "01:29:40",
// "720 / 304", "23.98", "AVC", "950 Kbit/s", "AC-3", "48000 Hz", "384 Kbit/s",
// "6 kanałów (5.1)").
//
// The library's headers are not included here: it is built with its own definitions (UNICODE),
// which stay inside mediainfo.cpp. A MediaReader owns one library object and is used by one
// thread at a time; each worker thread makes its own.

#include "aviprobe.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace welarik {

// Where a value comes from: the whole file, its first picture stream, its first sound stream.
enum class MediaStream { General, Video, Audio };

// Reads one value by the library's parameter name ("Duration", "Format", "Channel(s)"...);
// empty when the file does not carry it. Values are UTF-8.
using MediaValues = std::function<std::string(MediaStream, const char *parameter)>;

// The values the texts are made from, each present only when the file carries it.
struct MediaFacts
{
    bool recognised = false; // the library knows the container
    bool hasVideo = false;   // at least one picture stream
    std::optional<int64_t> fileBytes;
    std::optional<int64_t> durationMs;
    std::optional<int64_t> width;
    std::optional<int64_t> height;
    std::optional<double> frameRate;
    std::string videoCodec;              // format, and the codec id where the container names one
    std::optional<int64_t> videoBitRate; // bits per second
    std::string audioCodec;
    std::optional<int64_t> sampleRate; // Hz
    std::optional<int64_t> audioBitRate;
    std::optional<int64_t> channels;
};

// The mapping: picks and parses the values (locale-independent; a value that is not a number
// counts as missing).
MediaFacts mediaFacts(const MediaValues &values);

// The ten texts of the facts. A value the file does not carry gives an empty text (the edit is
// cleared, not guessed). Without a picture stream: NotVideo, no text at all.
ProbeResult mediaTexts(const MediaFacts &facts);

// Display helpers shared with the scan, which adds up the parts of one film.
std::string sizeText(int64_t bytes);       // "700.12 MB"
std::string durationText(int64_t seconds); // "01:29:40"
std::string channelCountText(int64_t channels);

// One library object, set up for bounded reads: the quickest parse speed, no look-up of
// neighbouring files of a numbered sequence, and the reading done by us, at most a few
// megabytes of a file however large it is.
class MediaReader
{
public:
    MediaReader();
    ~MediaReader();
    MediaReader(const MediaReader &) = delete;
    MediaReader &operator=(const MediaReader &) = delete;

    // Reads the file at path (UTF-8). A file that cannot be opened: error set, facts empty.
    MediaFacts readFile(const std::string &path, FileError &error);
    // Reads a whole file held in memory (the fuzzer's way in).
    MediaFacts readBuffer(const uint8_t *data, size_t size);

private:
    struct Library;
    std::unique_ptr<Library> m_library;
    MediaFacts collect();
    bool feed(int fd, uint64_t size, FileError &error);
};

} // namespace welarik
