// SPDX-License-Identifier: GPL-3.0-or-later
#include "cdnumber.h"

#include "errors.h"

#include <charconv>
#include <climits>

namespace welarik {

namespace {
constexpr const char *kIdCd = "ID_CD";
}

int64_t storedNumber(const std::string &text)
{
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return 0;
    int64_t value = 0;
    std::from_chars(text.data() + begin, text.data() + text.size(), value);
    return value;
}

int32_t nextCdNumber(Table &films, Table &pool, bool dropCurrent)
{
    if (dropCurrent && !pool.isEmpty())
        pool.deleteRecord();
    // A pool entry that a film already uses (a catalogue another program kept, an add whose
    // pool step failed) is never handed out: it leaves the pool, or is stepped over while the
    // pool cannot be changed.
    for (pool.first(); !pool.isEmpty() && !pool.eof();) {
        const int64_t pooled = pool.asInteger(kIdCd);
        if (films.findInTag(kIdCd, std::to_string(pooled)) == 0)
            return static_cast<int32_t>(pooled);
        try {
            pool.deleteRecord();
            pool.first();
        } catch (const StorageError &) {
            pool.cancel();
            pool.next();
        }
    }
    // Every film counts, also one the view hides: its number is in use. The tag gives the
    // highest number without touching the films table's order, filter or current record.
    const uint32_t highest = films.lastInTag(kIdCd);
    if (highest == 0)
        return 1;
    const int64_t number = storedNumber(films.asStringOf(highest, kIdCd));
    if (number >= INT32_MAX)
        throw FieldError(films.fileName(),
                         "ID_CD: no CD number is left after " + std::to_string(number));
    films.gotoRecord(highest); // stays where it is when the view hides that film
    return static_cast<int32_t>(number + 1);
}

} // namespace welarik
