// SPDX-License-Identifier: GPL-3.0-or-later
#include "videoprobe.h"

#include <algorithm>
#include <cstdio>

namespace welarik {

namespace {

bool endsWithAvi(const std::string &path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return tail == ".avi";
}

bool holdsAviHeader(const std::string &path)
{
    std::FILE *stream = std::fopen(path.c_str(), "rb");
    if (!stream)
        return false;
    char head[12] = {};
    const size_t got = std::fread(head, 1, sizeof head, stream);
    std::fclose(stream);
    return got == sizeof head && std::string_view(head, 4) == "RIFF"
           && std::string_view(head + 8, 3) == "AVI";
}

VideoData probeAvi(const std::string &path)
{
    VideoData data;
    StdProbeFile file;
    const AviHeaderRead read = readAviHeader(path, file);
    if (read.status != ProbeStatus::Completed) {
        data.result.status = read.status;
        data.result.fileError = read.fileError;
        return data;
    }
    data.result = probeTexts(read.header);
    const AviHeader &h = read.header;
    data.bytes = h.riffSize;
    if (h.microSecPerFrame != 0) {
        const double rate = 1000000.0 / h.microSecPerFrame;
        data.seconds = static_cast<int32_t>(static_cast<int64_t>(h.totalFrames / rate));
    }
    return data;
}

} // namespace

bool isAviFile(const std::string &path)
{
    return endsWithAvi(path) || holdsAviHeader(path);
}

VideoData probeVideo(const std::string &path, MediaReader &reader)
{
    if (isAviFile(path))
        return probeAvi(path);
    VideoData data;
    FileError error;
    const MediaFacts facts = reader.readFile(path, error);
    if (error) {
        data.result.status = ProbeStatus::FileFailed;
        data.result.fileError = error;
        return data;
    }
    data.result = mediaTexts(facts);
    if (data.result.ok()) {
        data.bytes = facts.fileBytes;
        if (facts.durationMs)
            data.seconds = *facts.durationMs / 1000;
    }
    return data;
}

ProbeResult probeAnyVideoFile(const std::string &path)
{
    MediaReader reader;
    return probeVideo(path, reader).result;
}

} // namespace welarik
