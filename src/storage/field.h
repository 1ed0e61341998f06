// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Field descriptors as the engine keeps them in memory, shared by the table file, the memo file
// and the index (key expressions evaluate against raw record bytes), and the definition of an
// index tag over them.

#include <cstdint>
#include <string>
#include <vector>

namespace welarik {

struct FieldDesc
{
    std::string name; // upper case, at most 10 characters (31 at level 7)
    char type = 'C';  // C N F L D M B G, level 7 also I + O @
    uint8_t length = 0;
    uint8_t decimals = 0;
    uint32_t offset = 0; // offset inside the record buffer; byte 0 is the deletion flag
};

using FieldList = std::vector<FieldDesc>;

// A tag of a production index, as created: name, key expression ("ID_CD", "UPPER(T_PL)",
// "LEFT(NAZWISKO,10)+IMIE"...) and flags; every record is indexed.
struct TagDefinition
{
    std::string name;       // up to 10 characters; stored upper case
    std::string expression; // as typed
    bool unique = false;
    bool descending = false;
};

// Index of the field named name (case-insensitive ASCII), or -1.
int findField(const FieldList &fields, const std::string &name);

} // namespace welarik
