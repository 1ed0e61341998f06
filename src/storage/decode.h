// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Decoding a record field by field, by each field's type: the one walk over a record's values
// that the fuzzer, the tests and the table check share.

#include "dbf.h"

#include <cstdint>

namespace welarik {

// How much of a field decodeField reads.
enum class DecodeMode {
    // Every value: N F as number and integer, L, D, level 7's I + O @, M B G as their memo
    // block, anything else as text.
    All,
    // Only what stored bytes can make invalid, as the table check reports it: N F as number
    // (a number too large for an integer is still a valid value), L, D and the memo block of
    // M B G; text and level 7's binary values, which any bytes form, are passed over.
    Stored
};

// Decodes field f of record through codec by its type (see DecodeMode). Returns the memo block
// of an M B G field (0 when it has none), otherwise 0. Throws what the codec throws for bytes
// the type does not allow (CorruptFileError, EncodingError, FieldError).
uint32_t decodeField(const FieldCodec &codec,
                     const FieldDesc &f,
                     const uint8_t *record,
                     DecodeMode mode = DecodeMode::All);

// Decodes every field of record; the same errors.
void decodeRecord(const FieldCodec &codec, const FieldList &fields, const uint8_t *record);

} // namespace welarik
