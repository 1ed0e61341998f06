// SPDX-License-Identifier: GPL-3.0-or-later
#include "decode.h"

namespace welarik {

uint32_t
decodeField(const FieldCodec &codec, const FieldDesc &f, const uint8_t *record, DecodeMode mode)
{
    const bool all = mode == DecodeMode::All;
    switch (f.type) {
    case 'N':
    case 'F':
        codec.number(f, record);
        if (all)
            codec.integer(f, record);
        break;
    case 'L':
        codec.logical(f, record);
        break;
    case 'D':
        codec.date(f, record);
        break;
    case 'M':
    case 'B':
    case 'G':
        return codec.memoBlock(f, record);
    case 'I':
    case '+':
        if (all)
            codec.long32(f, record);
        break;
    case 'O':
        if (all)
            codec.doubleValue(f, record);
        break;
    case '@':
        if (all)
            codec.timestamp(f, record);
        break;
    default:
        if (all)
            codec.text(f, record);
        break;
    }
    return 0;
}

void decodeRecord(const FieldCodec &codec, const FieldList &fields, const uint8_t *record)
{
    for (const FieldDesc &f : fields)
        decodeField(codec, f, record);
}

} // namespace welarik
