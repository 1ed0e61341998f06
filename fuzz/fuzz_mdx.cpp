// Opens arbitrary bytes as a production index and walks every tag both ways, seeks, and
// checks it against an empty table.

#include "errors.h"
#include "mdx.h"
#include "memfs.h"

#include <cstddef>
#include <cstdint>
#include <vector>

using namespace welarik;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    MemoryFileSystem fs;
    fs.setFileBytes("F.MDX", std::vector<uint8_t>(data, data + size));
    const FieldList fields
        = {{"AUTHOR", 'C', 20, 0, 1}, {"TEST1", 'C', 50, 0, 21}, {"TEST2", 'N', 10, 0, 71}};
    try {
        auto mdx = MdxFile::open(
            fs, "F.MDX", OpenMode::ReadOnly, ShareMode::Shared, fields, CodePage::Cp1250);
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
                tag.check(0, [](uint32_t, std::vector<uint8_t> &) {});
            } catch (const StorageError &) {
            }
        }
    } catch (const StorageError &) {
    }
    return 0;
}
