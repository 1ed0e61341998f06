// SPDX-License-Identifier: GPL-3.0-or-later
// Reads memos from any bytes taken as a memo file: the first input byte picks the style and
// the next four the block.

#include "coding.h"
#include "dbt.h"
#include "errors.h"
#include "memfs.h"

#include <cstddef>
#include <cstdint>

using namespace welarik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 5) {
        return 0;
    }
    const MemoStyle style = (data[0] & 1) != 0 ? MemoStyle::DbaseIV : MemoStyle::DbaseIII;
    const uint32_t block = decodeLe32(data + 1) % 4096;
    MemoryFileSystem fs;
    fs.setFileBytes("F.DBT", std::vector<uint8_t>(data + 5, data + size));
    try {
        auto memo = MemoFile::open(fs, "F.DBT", style, OpenMode::ReadOnly, ShareMode::Shared);
        for (uint32_t b : {block, 1u, memo->nextBlock()}) {
            try {
                memo->read(b);
            } catch (const StorageError &) {
            }
        }
    } catch (const StorageError &) {
    }
    return 0;
}
