// SPDX-License-Identifier: GPL-3.0-or-later
#include "completion.h"

#include "people.h"
#include "table.h"

namespace welarik {

namespace {

bool usable(const Table *table)
{
    return table && table->isOpen();
}

} // namespace

CompletionValues
collectCompletionValues(const Table *films, const Table *people, const Table *genres)
{
    CompletionValues values;
    if (usable(people)) {
        // Role, surname and first name apart: a tab cannot be typed into a name.
        const auto rows = people->distinctTexts({{"TYP", "NAZWISKO", "IMIE"}}, '\t');
        for (const std::string &row : rows.front()) {
            const size_t surname = row.find('\t');
            const size_t first = row.find('\t', surname + 1);
            const int role = surname == 1 ? people::roleIndex(row.front()) : -1;
            if (role < 0 || first == std::string::npos || first == surname + 1)
                continue;
            std::string name = row.substr(surname + 1, first - surname - 1);
            if (first + 1 < row.size())
                name += ' ' + row.substr(first + 1);
            values.people[size_t(role)].push_back(std::move(name));
        }
    }
    if (usable(genres))
        values.genres = std::move(genres->distinctTexts({{"GATUNEK"}}).front());
    if (usable(films)) {
        auto lists = films->distinctTexts({{"KRAJ"}, {"CVIDEO"}, {"CAUDIO"}});
        values.countries = std::move(lists[0]);
        values.videoCodecs = std::move(lists[1]);
        values.audioCodecs = std::move(lists[2]);
    }
    return values;
}

size_t completionStart(std::string_view text, bool list)
{
    if (!list)
        return 0;
    const size_t comma = text.rfind(", ");
    return comma == std::string_view::npos ? 0 : comma + 2;
}

} // namespace welarik
