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

void FilmValues::reset()
{
    m_next = 1;
    m_complete = false;
    for (auto &set : m_values)
        set.clear();
}

bool FilmValues::step(const Table &films, uint32_t count)
{
    if (m_complete || !films.isOpen())
        return m_complete;
    const uint32_t last = count >= UINT32_MAX - m_next ? UINT32_MAX : m_next + count - 1;
    const auto lists = films.distinctTexts({{"KRAJ"}, {"CVIDEO"}, {"CAUDIO"}}, ' ', m_next, last);
    for (size_t k = 0; k < m_values.size(); ++k)
        m_values[k].insert(lists[k].begin(), lists[k].end());
    if (last >= films.physicalRecordCount())
        m_complete = true;
    else
        m_next = last + 1;
    return m_complete;
}

void FilmValues::add(const std::string &kraj, const std::string &cvideo, const std::string &caudio)
{
    const std::string *texts[] = {&kraj, &cvideo, &caudio};
    for (size_t k = 0; k < m_values.size(); ++k) {
        const std::string &t = *texts[k];
        const size_t begin = t.find_first_not_of(' ');
        if (begin != std::string::npos)
            m_values[k].insert(t.substr(begin, t.find_last_not_of(' ') - begin + 1));
    }
}

void FilmValues::fill(CompletionValues &values) const
{
    values.countries.assign(m_values[0].begin(), m_values[0].end());
    values.videoCodecs.assign(m_values[1].begin(), m_values[1].end());
    values.audioCodecs.assign(m_values[2].begin(), m_values[2].end());
}

size_t completionStart(std::string_view text, bool list)
{
    if (!list)
        return 0;
    const size_t comma = text.rfind(", ");
    return comma == std::string_view::npos ? 0 : comma + 2;
}

} // namespace welarik
