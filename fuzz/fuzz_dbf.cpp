// SPDX-License-Identifier: GPL-3.0-or-later
// Opens any bytes as a table and reads every record and field through the codec.

#include "dbf.h"
#include "decode.h"
#include "errors.h"
#include "memfs.h"

#include <cstddef>
#include <cstdint>

using namespace welarik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemoryFileSystem fs;
    fs.setFileBytes("F.DBF", std::vector<uint8_t>(data, data + size));
    try {
        auto dbf = DbfFile::open(fs, "F.DBF", OpenMode::ReadOnly, ShareMode::Shared);
        const FieldCodec &c = dbf->codec();
        DbfScanner scan(*dbf);
        while (const uint8_t *r = scan.next()) {
            for (const FieldDesc &f : dbf->fields()) {
                try {
                    c.text(f, r);
                    decodeField(c, f, r);
                } catch (const StorageError &) {
                }
            }
        }
        if (dbf->recordCount() > 0) {
            std::vector<uint8_t> record(dbf->recordLength());
            dbf->readRecord(dbf->recordCount(), record.data());
        }
    } catch (const StorageError &) {
    }
    return 0;
}
