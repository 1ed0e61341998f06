#pragma once
// Decoding a record field by field, by each field's type: the one walk over a record's values
// that the fuzzer and the tests share (and the table check can take).

#include "dbf.h"

#include <cstdint>

namespace welarik {

// Decodes field f of record through codec by its type: N F as number and integer, L, D, level
// 7's I + O @, M B G as their memo block, anything else as text. Returns the memo block of an
// M B G field (0 when it has none), otherwise 0. Throws what the codec throws for bytes the
// type does not allow (CorruptFileError, EncodingError).
uint32_t decodeField(const FieldCodec &codec, const FieldDesc &f, const uint8_t *record);

// Decodes every field of record; the same errors.
void decodeRecord(const FieldCodec &codec, const FieldList &fields, const uint8_t *record);

} // namespace welarik
