// Opens any bytes as a table and reads every record and field through the codec.

#include "dbf.h"
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
                    switch (f.type) {
                    case 'N':
                    case 'F':
                        c.number(f, r);
                        c.integer(f, r);
                        break;
                    case 'L':
                        c.logical(f, r);
                        break;
                    case 'D':
                        c.date(f, r);
                        break;
                    case 'M':
                    case 'B':
                    case 'G':
                        c.memoBlock(f, r);
                        break;
                    case 'I':
                    case '+':
                        c.long32(f, r);
                        break;
                    case 'O':
                        c.doubleValue(f, r);
                        break;
                    case '@':
                        c.timestamp(f, r);
                        break;
                    default:
                        break;
                    }
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
