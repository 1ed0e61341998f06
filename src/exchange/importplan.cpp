// SPDX-License-Identifier: GPL-3.0-or-later
#include "importplan.h"

#include "table.h"

#include <QString>

#include <algorithm>

namespace welarik::exchange {

namespace {

constexpr const char *kIdCd = "ID_CD";

std::string foldedName(const std::string &text)
{
    return QString::fromStdString(trimmed(text)).toLower().simplified().toStdString();
}

std::string titleKey(const std::string &title, const std::string &year)
{
    return foldedName(title) + '|' + trimmed(year);
}

// "Keanu Reeves" -> first name "Keanu", surname "Reeves"; one word is a surname.
std::pair<std::string, std::string> splitName(const std::string &name)
{
    const std::string t = trimmed(name);
    const size_t blank = t.find_last_of(' ');
    if (blank == std::string::npos)
        return {std::string(), t};
    return {trimmed(t.substr(0, blank)), t.substr(blank + 1)};
}

std::string personKey(char role, const std::string &first, const std::string &surname)
{
    return std::string(1, role) + '|' + foldedName(first + ' ' + surname);
}

// text cut to width characters (UTF-8).
std::string cutTo(const std::string &text, int width, bool &cut)
{
    const QString s = QString::fromStdString(text);
    cut = s.size() > width;
    return cut ? s.left(width).toStdString() : text;
}

bool wholeNumber(const std::string &text)
{
    const std::string t = trimmed(text);
    return !t.empty() && t.size() <= 18 && t.find_first_not_of("0123456789") == std::string::npos;
}

// One film made to fit the catalogue's fields and code page.
PlannedFilm fitted(const FilmValues &film, const CatalogueState &state)
{
    PlannedFilm p;
    p.values = blankFilm();
    p.cut.assign(film.size(), false);
    const auto &fields = filmFields();
    for (size_t i = 0; i < film.size(); ++i) {
        const std::string value = trimmed(film[i]);
        if (value.empty())
            continue;
        if (i == size_t(filmFieldIndex(kIdCd))) {
            p.givenNumber = wholeNumber(value) ? std::stoll(trimmed(value)) : 0;
            p.cut[i] = p.givenNumber == 0;
            continue;
        }
        const auto field = state.fields.find(fields[i].name);
        if (field == state.fields.end()) {
            p.cut[i] = true; // the table has no such field
            continue;
        }
        const auto [type, width] = field->second;
        if (type == 'N' || type == 'F') {
            const bool fits = wholeNumber(value) && int(trimmed(value).size()) <= width;
            p.values[i] = fits ? trimmed(value) : std::string();
            p.cut[i] = !fits;
        } else if (type == 'C') {
            bool cut = false;
            p.values[i] = cutTo(value, width, cut);
            p.cut[i] = cut;
        } else {
            p.values[i] = type == 'M' ? film[i] : value;
        }
        std::string bytes, bad;
        if (p.problem.empty() && !fromUtf8(state.codePage, p.values[i], bytes, bad))
            p.problem = std::string(fields[i].label) + ": znak \"" + bad
                        + "\" spoza strony kodowej katalogu";
    }
    return p;
}

void collectLists(ImportPlan &plan, const CatalogueState &state)
{
    std::set<std::string> seenGenres = state.genres;
    std::set<std::string> seenPeople = state.people;
    const std::pair<const char *, char> roles[]
        = {{"REZYSER", 'R'}, {"SCENARIU", 'S'}, {"ZDJECIA", 'Z'}, {"AKTORZY", 'A'}};
    for (const PlannedFilm &film : plan.films) {
        for (const std::string &genre : splitList(film.values[size_t(filmFieldIndex("GATUNEK"))])) {
            if (!seenGenres.insert(foldedName(genre)).second)
                continue;
            bool cut = false;
            plan.genres.push_back({'G', cutTo(genre, state.genreWidth, cut), {}, {}, true});
        }
        for (const auto &[field, role] : roles) {
            for (const std::string &name : splitList(film.values[size_t(filmFieldIndex(field))])) {
                auto [first, surname] = splitName(name);
                if (seenPeople.count(personKey(role, first, surname))
                    || !seenPeople.insert(personKey(role, surname, first)).second)
                    continue;
                seenPeople.insert(personKey(role, first, surname));
                bool cut = false;
                plan.people.push_back({role,
                                       name,
                                       cutTo(first, state.nameWidth, cut),
                                       cutTo(surname, state.nameWidth, cut),
                                       true});
            }
        }
    }
}

} // namespace

int ImportPlan::checkedCount() const
{
    return int(
        std::count_if(films.begin(), films.end(), [](const PlannedFilm &f) { return f.checked; }));
}

CatalogueState readCatalogueState(const ImportTables &tables)
{
    CatalogueState state;
    for (const FieldDesc &f : tables.films.fields())
        state.fields[f.name] = {f.type, f.length};
    const std::vector<std::string> names = {kIdCd, "T_PL", "T_ORG", "D_PROD"};
    std::vector<std::string> have;
    for (const std::string &n : names)
        have.push_back(tables.films.hasField(n) ? n : std::string(kIdCd));
    tables.films.scanAll(have, [&](uint32_t, const std::vector<std::string> &v) {
        if (wholeNumber(v[0]))
            state.numbers.insert(std::stoll(trimmed(v[0])));
        const std::string year = have[3] == "D_PROD" ? v[3] : std::string();
        if (have[1] == "T_PL" && !trimmed(v[1]).empty())
            state.titles.insert("P" + titleKey(v[1], year));
        if (have[2] == "T_ORG" && !trimmed(v[2]).empty())
            state.titles.insert("O" + titleKey(v[2], year));
        return true;
    });
    tables.pool.scanAll({kIdCd}, [&](uint32_t, const std::vector<std::string> &v) {
        if (wholeNumber(v[0]))
            state.pool.push_back(std::stoll(trimmed(v[0])));
        return true;
    });
    tables.genres.scanAll({"GATUNEK"}, [&](uint32_t, const std::vector<std::string> &v) {
        state.genres.insert(foldedName(v[0]));
        return true;
    });
    state.genreWidth = tables.genres.fieldByName("GATUNEK").length;
    state.nameWidth = tables.people.fieldByName("NAZWISKO").length;
    tables.people.scanAll({"TYP", "IMIE", "NAZWISKO"}, [&](uint32_t, const auto &v) {
        const char role = v[0].empty() ? ' ' : v[0][0];
        state.people.insert(personKey(role, v[1], v[2]));
        state.people.insert(personKey(role, v[2], v[1]));
        return true;
    });
    return state;
}

ImportPlan planImport(const std::vector<FilmValues> &films, const CatalogueState &state)
{
    ImportPlan plan;
    std::set<std::string> titles = state.titles;
    const size_t pl = size_t(filmFieldIndex("T_PL"));
    const size_t org = size_t(filmFieldIndex("T_ORG"));
    const size_t year = size_t(filmFieldIndex("D_PROD"));
    for (const FilmValues &film : films) {
        PlannedFilm p = fitted(film, state);
        const std::string y = p.values[year];
        const bool samePl = !p.values[pl].empty() && titles.count("P" + titleKey(p.values[pl], y));
        const bool sameOrg
            = !p.values[org].empty() && titles.count("O" + titleKey(p.values[org], y));
        p.duplicate = samePl || sameOrg;
        if (!p.values[pl].empty())
            titles.insert("P" + titleKey(p.values[pl], y));
        if (!p.values[org].empty())
            titles.insert("O" + titleKey(p.values[org], y));
        p.checked = !p.duplicate && p.problem.empty();
        plan.films.push_back(std::move(p));
    }
    collectLists(plan, state);
    assignNumbers(plan, state);
    return plan;
}

void assignNumbers(ImportPlan &plan, const CatalogueState &state)
{
    std::set<int64_t> used = state.numbers;
    for (PlannedFilm &film : plan.films) {
        film.number = 0;
        film.numberTaken = false;
        if (!film.checked || film.givenNumber <= 0)
            continue;
        if (used.insert(film.givenNumber).second)
            film.number = film.givenNumber;
        else
            film.numberTaken = true;
    }
    std::vector<int64_t> free;
    for (int64_t n : state.pool) {
        if (n > 0 && !used.count(n) && std::find(free.begin(), free.end(), n) == free.end())
            free.push_back(n);
    }
    int64_t highest = used.empty() ? 0 : *used.rbegin();
    size_t nextFree = 0;
    for (PlannedFilm &film : plan.films) {
        if (!film.checked || film.number != 0)
            continue;
        // As adds one after another: a number from the pool is in use for the next one.
        film.number = nextFree < free.size() ? free[nextFree++] : highest + 1;
        highest = std::max(highest, film.number);
    }
}

namespace {

// The genres and people that the checked films name.
std::set<std::string> namedByCheckedFilms(const ImportPlan &plan)
{
    std::set<std::string> names;
    for (const PlannedFilm &film : plan.films) {
        if (!film.checked)
            continue;
        for (const char *field : {"GATUNEK", "REZYSER", "SCENARIU", "ZDJECIA", "AKTORZY"}) {
            for (const std::string &name : splitList(film.values[size_t(filmFieldIndex(field))]))
                names.insert(std::string(field).substr(0, 1) + foldedName(name));
        }
    }
    return names;
}

bool named(const std::set<std::string> &names, const NewListEntry &entry)
{
    // The first letter of each field is its role's code (G for genres).
    return names.count(std::string(1, entry.role) + foldedName(entry.name)) > 0;
}

// Adds one record per checked entry that a checked film names; on a failure deletes those it
// added and rethrows.
void addListEntries(const ImportPlan &plan, const ImportTables &tables, ImportResult &result)
{
    const std::set<std::string> names = namedByCheckedFilms(plan);
    std::vector<std::pair<Table *, uint32_t>> added;
    try {
        for (const NewListEntry &g : plan.genres) {
            if (!g.checked || !named(names, g))
                continue;
            tables.genres.insert();
            tables.genres.setString("GATUNEK", g.name);
            tables.genres.post();
            added.emplace_back(&tables.genres, tables.genres.recNo());
        }
        for (const NewListEntry &p : plan.people) {
            if (!p.checked || !named(names, p))
                continue;
            tables.people.insert();
            tables.people.setString("TYP", std::string(1, p.role));
            tables.people.setString("IMIE", p.firstName);
            tables.people.setString("NAZWISKO", p.surname);
            tables.people.post();
            added.emplace_back(&tables.people, tables.people.recNo());
        }
    } catch (...) {
        tables.genres.cancel();
        tables.people.cancel();
        for (auto it = added.rbegin(); it != added.rend(); ++it) {
            if (it->first->gotoRecord(it->second))
                it->first->deleteRecord();
        }
        throw;
    }
    for (const auto &entry : added)
        ++(entry.first == &tables.genres ? result.genresAdded : result.peopleAdded);
}

void addFilm(const PlannedFilm &film, const ImportTables &tables)
{
    const auto &fields = filmFields();
    Table &films = tables.films;
    films.insert();
    try {
        for (size_t i = 0; i < fields.size(); ++i) {
            if (!film.values[i].empty() && films.hasField(fields[i].name))
                films.setString(fields[i].name, film.values[i]);
        }
        films.setInteger(kIdCd, film.number);
        films.post();
    } catch (...) {
        films.cancel();
        throw;
    }
    const uint32_t recno = films.recNo();
    try {
        // The number now in use leaves the pool, as after an add.
        for (tables.pool.first(); !tables.pool.eof(); tables.pool.next()) {
            if (tables.pool.asInteger(kIdCd) == film.number) {
                tables.pool.deleteRecord();
                break;
            }
        }
    } catch (...) {
        tables.pool.cancel();
        if (films.gotoRecord(recno))
            films.deleteRecord();
        throw;
    }
}

} // namespace

ImportResult applyImport(const ImportPlan &plan,
                         const ImportTables &tables,
                         const std::function<bool(int, int)> &progress)
{
    ImportResult result;
    // The new films are found again by record number whatever the view shows.
    const bool filtered = tables.films.filtered();
    struct FilterBack
    {
        Table &films;
        bool on;
        ~FilterBack()
        {
            try {
                films.setFiltered(on);
            } catch (...) {
            }
        }
    } filterBack{tables.films, filtered};
    tables.films.setFiltered(false);
    try {
        addListEntries(plan, tables, result);
    } catch (const std::exception &e) {
        result.error = std::string("Nie dodano gatunków ani osób: ") + e.what();
        return result;
    }
    const int total = plan.checkedCount();
    for (const PlannedFilm &film : plan.films) {
        if (!film.checked)
            continue;
        if (progress && !progress(result.added, total)) {
            result.cancelled = true;
            break;
        }
        try {
            addFilm(film, tables);
        } catch (const std::exception &e) {
            result.error = "Nie dodano filmu nr " + std::to_string(film.number) + " (\""
                           + film.values[size_t(filmFieldIndex("T_PL"))] + "\"): " + e.what();
            break;
        }
        ++result.added;
    }
    if (progress && !result.cancelled && result.error.empty())
        progress(result.added, total);
    return result;
}

} // namespace welarik::exchange
