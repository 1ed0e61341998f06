// SPDX-License-Identifier: GPL-3.0-or-later
// Opens arbitrary bytes as a production index and walks every tag both ways, seeks, and
// checks it against a small table of blank records numbered in their numeric fields.

#include "errors.h"
#include "mdx.h"
#include "memfs.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

using namespace welarik;

namespace {

// The fields the seed indexes' tags name (the films table's, a sample table's), so their
// expressions evaluate and the tag check compares keys with records.
const FieldList kFields = {{"AUTHOR", 'C', 20, 0, 1},
                           {"TEST1", 'C', 50, 0, 21},
                           {"TEST2", 'N', 10, 0, 71},
                           {"ID_CD", 'N', 6, 0, 81},
                           {"T_PL", 'C', 100, 0, 87},
                           {"T_ORG", 'C', 100, 0, 187},
                           {"GATUNEK", 'C', 254, 0, 287},
                           {"ID", 'C', 3, 0, 541},
                           {"TITLE", 'C', 30, 0, 544}};
constexpr size_t kRecordLength = 574;
constexpr uint32_t kRecordCount = 16;

void readRecord(uint32_t recno, std::vector<uint8_t> &record)
{
    record.assign(kRecordLength, ' ');
    const std::string number = std::to_string(recno);
    for (const FieldDesc &f : kFields) {
        if (f.type == 'N')
            std::copy(
                number.begin(), number.end(), record.begin() + f.offset + f.length - number.size());
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemoryFileSystem fs;
    fs.setFileBytes("F.MDX", std::vector<uint8_t>(data, data + size));
    try {
        auto mdx = MdxFile::open(
            fs, "F.MDX", OpenMode::ReadOnly, ShareMode::Shared, kFields, CodePage::Cp1250);
        for (size_t i = 0; i < mdx->tagCount(); ++i) {
            MdxTag &tag = mdx->tag(i);
            try {
                for (MdxCursor c = tag.first(); c.valid(); c.next()) {
                }
                for (MdxCursor c = tag.last(); c.valid(); c.prior()) {
                }
                MdxCursor s = tag.seek("M");
                if (s.valid())
                    s.prior();
                tag.check(kRecordCount, readRecord);
            } catch (const StorageError &) {
            }
        }
    } catch (const StorageError &) {
    }
    return 0;
}
