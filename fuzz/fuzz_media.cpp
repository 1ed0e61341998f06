// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target for our use of MediaInfoLib: arbitrary bytes as a whole video file, read by
// the library through a MediaReader, mapped to the film editor's ten texts. The seeds are the
// test videos (tests/data/media), so mutations start from real containers. The mapping must end
// with a consistent result: a video gives all ten texts within their fields' widths, anything
// else gives none. The same bytes, read as "parameter=value" lines, also feed the mapping's own
// parsing directly.

#include "mediainfo.h"

#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace {

void check(const welarik::ProbeResult &r)
{
    using welarik::ProbeEdit;
    if (r.status == welarik::ProbeStatus::NotVideo) {
        for (const auto &e : r.edits) {
            if (e)
                std::abort();
        }
        return;
    }
    if (r.status != welarik::ProbeStatus::Completed)
        std::abort();
    for (const auto &e : r.edits) {
        if (!e)
            std::abort();
    }
    if (r.edit(ProbeEdit::CVideo)->size() > 25 || r.edit(ProbeEdit::CAudio)->size() > 35)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static welarik::MediaReader reader; // one per thread; libFuzzer runs one
    check(welarik::mediaTexts(reader.readBuffer(data, size)));

    std::map<std::string, std::string> values;
    const std::string text(reinterpret_cast<const char *>(data), size);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        const std::string line = text.substr(pos, end - pos);
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            values[line.substr(0, eq)] = line.substr(eq + 1);
        pos = end + 1;
    }
    const welarik::MediaValues lookup = [&values](welarik::MediaStream s, const char *p) {
        const auto it = values.find(std::to_string(static_cast<int>(s)) + p);
        return it == values.end() ? std::string() : it->second;
    };
    check(welarik::mediaTexts(welarik::mediaFacts(lookup)));
    return 0;
}
