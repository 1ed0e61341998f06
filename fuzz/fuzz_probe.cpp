// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for the video file probe: arbitrary bytes as the file, read through the
// in-memory file. The probe must end with a result (never crash, hang or read out of bounds),
// close the file exactly once, and keep its result consistent.

#include "aviprobe.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace {

class CheckedFile final : public welarik::MemoryProbeFile
{
public:
    using MemoryProbeFile::MemoryProbeFile;
    void close() override
    {
        ++closes;
        MemoryProbeFile::close();
    }
    int closes = 0;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    CheckedFile file(std::vector<uint8_t>(data, data + size));
    const welarik::ProbeResult result = welarik::probeVideoFile("fuzz.avi", file);
    if (file.closes != 1)
        std::abort();
    bool anyEdit = false;
    for (const auto &edit : result.edits)
        anyEdit = anyEdit || edit.has_value();
    if (result.ok() == result.errorText().empty() && anyEdit == result.ok())
        return 0;
    // A failed probe reports a text and fills nothing; a completed one fills at least FPS.
    std::abort();
}
