// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// CD numbers of new films: a deleted film's number goes into the pool of free numbers (the pool
// table, NRFILM.DBF), a new film takes the pool's first number, and only with an empty pool is a
// new number made as the highest number in use plus one. The film editor's add command and the
// disc scan number films through these.

#include "table.h"

#include <cstdint>

namespace welarik {

// The number a new film gets. With dropCurrent, the pool's current entry is deleted first (the
// number it held is now in use). Every film counts for the highest number, also one a filter
// hides; the films table's order, filter and view stay, and it is left on the highest film when
// that one is visible. FieldError when no number is left.
int32_t nextCdNumber(Table &films, Table &pool, bool dropCurrent);

// A number field's stored text as a number; blank reads as 0.
int64_t storedNumber(const std::string &text);

} // namespace welarik
