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
    pool.first();
    if (!pool.isEmpty())
        return static_cast<int32_t>(pool.asInteger(kIdCd));
    // The tag gives the highest number without touching the films table's order, filter or
    // current record.
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
