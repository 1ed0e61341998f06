// SPDX-License-Identifier: GPL-3.0-or-later
// Parses any bytes as a filter expression of the dBase language; what parses is bound to the
// films table's layout and evaluated on a few records (blank, filled, deleted, and one made of
// the input's own bytes).

#include "dbexpr.h"
#include "demo.h"
#include "errors.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

using namespace welarik;

namespace {

FieldList filmLayout()
{
    FieldList fields = demoFilmFields();
    uint32_t offset = 1;
    for (FieldDesc &f : fields) {
        f.offset = offset;
        offset += f.length;
    }
    // A date field too, which the films table lacks.
    fields.push_back({"DATA", 'D', 8, 0, offset});
    return fields;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const FieldList fields = filmLayout();
    const size_t recordSize = fields.back().offset + fields.back().length;
    const std::string text(reinterpret_cast<const char *>(data), size);
    try {
        const dbexpr::Syntax syntax = dbexpr::Syntax::parse(text);
        const dbexpr::Program program(syntax, fields, CodePage::Cp1250);
        std::vector<uint8_t> record(recordSize, ' ');
        program.matches(record.data());
        std::memcpy(record.data() + fields.back().offset, "20240229", 8);
        for (size_t i = 1; i < recordSize - 8; ++i)
            record[i] = size > 0 ? data[i % size] : 'x';
        program.matches(record.data());
        record[0] = '*';
        program.matches(record.data());
    } catch (const StorageError &) {
    }
    return 0;
}
