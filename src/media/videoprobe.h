// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Technical data of any video file: an AVI file goes through our AVI probe, every other file
// through MediaInfoLib. Both give the film editor's ten texts in the same forms; the scan also
// needs the size and the duration as numbers, to add up the parts of one film.

#include "aviprobe.h"
#include "mediainfo.h"

#include <cstdint>
#include <optional>
#include <string>

namespace welarik {

struct VideoData
{
    ProbeResult result;
    std::optional<int64_t> bytes;   // as the size text counts them
    std::optional<int64_t> seconds; // as the duration text counts them
};

// True when the name ends in .avi (any case), or the file holds a RIFF AVI header whatever its
// name (an AVI under .divx or without an extension).
bool isAviFile(const std::string &path);

// Probes one file with reader (the calling thread's own). An AVI file gives exactly what the
// AVI probe gives, its messages included.
VideoData probeVideo(const std::string &path, MediaReader &reader);

// The same with a reader for this call only.
ProbeResult probeAnyVideoFile(const std::string &path);

} // namespace welarik
