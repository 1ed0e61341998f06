// SPDX-License-Identifier: GPL-3.0-or-later
#include "cataloguecheck.h"

#include <algorithm>
#include <cstdlib>
#include <map>
#include <set>
#include <unordered_map>

namespace welarik {

namespace {

std::string nameOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string trimmed(const std::string &s)
{
    const size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos)
        return {};
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

struct Slot
{
    std::unique_ptr<TableEngine> CatalogueTables::*engine;
    std::string CataloguePaths::*path;
};

const Slot kSlots[] = {
    {&CatalogueTables::films, &CataloguePaths::films},
    {&CatalogueTables::config, &CataloguePaths::config},
    {&CatalogueTables::people, &CataloguePaths::people},
    {&CatalogueTables::genres, &CataloguePaths::genres},
    {&CatalogueTables::pool, &CataloguePaths::pool},
    {&CatalogueTables::friends, &CataloguePaths::friends},
};

CatalogueTables openTables(FileSystem &fs,
                           const CataloguePaths &paths,
                           OpenMode mode,
                           std::vector<CatalogueFinding> &findings)
{
    CatalogueTables t;
    t.paths = paths;
    t.fs = &fs;
    const ShareMode share = mode == OpenMode::ReadOnly ? ShareMode::Shared : ShareMode::Exclusive;
    for (const Slot &slot : kSlots) {
        const std::string &path = paths.*slot.path;
        try {
            t.*slot.engine = TableEngine::open(fs, path, mode, share);
        } catch (const StorageError &e) {
            findings.push_back({true, nameOf(path), 0, "Nie można otworzyć tabeli: " + e.fault()});
        }
    }
    return t;
}

void checkEngines(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    for (const Slot &slot : kSlots) {
        if (const TableEngine *e = (t.*slot.engine).get()) {
            for (const CheckFinding &f : e->check().findings)
                out.push_back(engineFinding(nameOf(e->path()), f));
        }
    }
}

int repairEngines(CatalogueTables &t)
{
    int repaired = 0;
    for (const Slot &slot : kSlots) {
        TableEngine *e = (t.*slot.engine).get();
        if (!e || !e->hasIndex())
            continue;
        const CheckReport before = e->check();
        const bool indexFault
            = std::any_of(before.findings.begin(), before.findings.end(), [](const auto &f) {
                  return f.fault && (f.where == "index" || f.where.rfind("tag ", 0) == 0);
              });
        if (indexFault) {
            e->repair();
            ++repaired;
        }
    }
    return repaired;
}

// --- reading the fields the rules need

int requireField(const TableEngine &e, const char *field, std::vector<CatalogueFinding> &out)
{
    const int i = e.fieldIndex(field);
    if (i < 0)
        out.push_back({true, nameOf(e.path()), 0, std::string("Brak pola ") + field});
    return i;
}

// A whole number field of every live record: (recno, value or nothing when blank).
struct NumberRow
{
    uint32_t recno;
    bool blank;
    int64_t value;
};

std::vector<NumberRow> numbers(const TableEngine &e, int field)
{
    std::vector<NumberRow> rows;
    e.scan([&](uint32_t recno, const uint8_t *record) {
        if (record[0] != '*') {
            const bool blank = trimmed(e.fieldText(record, field)).empty();
            rows.push_back({recno, blank, blank ? 0 : e.fieldInteger(record, field)});
        }
        return true;
    });
    return rows;
}

// --- CD numbers of the films

void checkCdNumbers(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    if (!t.films)
        return;
    const int field = requireField(*t.films, "ID_CD", out);
    if (field < 0)
        return;
    const std::string table = nameOf(t.films->path());
    std::unordered_map<int64_t, uint32_t> first;
    for (const NumberRow &row : numbers(*t.films, field)) {
        if (row.blank || row.value == 0) {
            out.push_back(
                {true, table, row.recno, row.blank ? "Film bez numeru CD" : "Film z numerem CD 0"});
            continue;
        }
        const auto [it, added] = first.emplace(row.value, row.recno);
        if (!added)
            out.push_back({true,
                           table,
                           row.recno,
                           "Numer CD " + std::to_string(row.value)
                               + " powtarza się (ma go też rekord " + std::to_string(it->second)
                               + ")"});
    }
}

// --- the free-number pool

// Pool records to drop: a number a film uses, one already listed, or an empty one.
struct PoolProblem
{
    uint32_t recno;
    std::string text;
};

std::vector<PoolProblem> poolProblems(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    std::vector<PoolProblem> problems;
    if (!t.pool || !t.films)
        return problems;
    const int poolField = requireField(*t.pool, "ID_CD", out);
    const int filmField = t.films->fieldIndex("ID_CD");
    if (poolField < 0 || filmField < 0)
        return problems;
    std::unordered_map<int64_t, uint32_t> used;
    for (const NumberRow &row : numbers(*t.films, filmField)) {
        if (!row.blank)
            used.emplace(row.value, row.recno);
    }
    std::set<int64_t> listed;
    for (const NumberRow &row : numbers(*t.pool, poolField)) {
        const std::string n = std::to_string(row.value);
        if (row.blank || row.value == 0)
            problems.push_back({row.recno, "Pusty numer na liście wolnych numerów"});
        else if (const auto it = used.find(row.value); it != used.end())
            problems.push_back({row.recno,
                                "Wolny numer " + n + " należy do filmu (rekord "
                                    + std::to_string(it->second) + " bazy filmów)"});
        else if (!listed.insert(row.value).second)
            problems.push_back({row.recno, "Wolny numer " + n + " jest na liście drugi raz"});
    }
    return problems;
}

void checkPool(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    for (const PoolProblem &p : poolProblems(t, out))
        out.push_back({true, nameOf(t.pool->path()), p.recno, p.text, true});
}

int repairPool(CatalogueTables &t)
{
    std::vector<CatalogueFinding> ignored;
    const std::vector<PoolProblem> problems = poolProblems(t, ignored);
    for (const PoolProblem &p : problems)
        t.pool->markDeleted(p.recno);
    return int(problems.size());
}

// --- genres named by films

void checkGenres(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    if (!t.films || !t.genres)
        return;
    const int listField = requireField(*t.genres, "GATUNEK", out);
    const int filmField = t.films->fieldIndex("GATUNEK");
    if (listField < 0 || filmField < 0)
        return;
    std::set<std::string> known;
    t.genres->scan([&](uint32_t, const uint8_t *record) {
        if (record[0] != '*')
            known.insert(trimmed(t.genres->fieldText(record, listField)));
        return true;
    });
    struct Unknown
    {
        uint32_t firstRecno = 0;
        uint32_t films = 0;
    };
    std::map<std::string, Unknown> unknown;
    t.films->scan([&](uint32_t recno, const uint8_t *record) {
        if (record[0] == '*')
            return true;
        const std::string text = t.films->fieldText(record, filmField);
        for (size_t at = 0; at <= text.size();) {
            size_t end = text.find(',', at);
            if (end == std::string::npos)
                end = text.size();
            const std::string name = trimmed(text.substr(at, end - at));
            if (!name.empty() && !known.count(name)) {
                Unknown &u = unknown[name];
                if (u.films++ == 0)
                    u.firstRecno = recno;
            }
            at = end + 1;
        }
        return true;
    });
    for (const auto &[name, u] : unknown)
        out.push_back({false,
                       nameOf(t.films->path()),
                       u.firstRecno,
                       "Gatunku „" + name + "” nie ma na liście gatunków (filmów: "
                           + std::to_string(u.films) + ")"});
}

// --- friends' numbers and the configuration counter

struct CounterState
{
    bool usable = false;      // both tables and fields are there
    uint32_t configRecno = 0; // the configuration's record (its first live one); 0: none
    int64_t counter = 0;
    int64_t highest = 0; // highest friend number
};

CounterState counterState(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    CounterState s;
    if (!t.friends || !t.config)
        return s;
    const int friendField = requireField(*t.friends, "ID_OSOBY", out);
    const int configField = requireField(*t.config, "ID_OSOBY", out);
    if (friendField < 0 || configField < 0)
        return s;
    s.usable = true;
    for (const NumberRow &row : numbers(*t.config, configField)) {
        s.configRecno = row.recno;
        s.counter = row.value;
        break;
    }
    for (const NumberRow &row : numbers(*t.friends, friendField))
        s.highest = std::max(s.highest, row.value);
    return s;
}

void checkFriends(const CatalogueTables &t, std::vector<CatalogueFinding> &out)
{
    const CounterState s = counterState(t, out);
    if (!s.usable)
        return;
    const std::string table = nameOf(t.friends->path());
    std::unordered_map<int64_t, uint32_t> first;
    for (const NumberRow &row : numbers(*t.friends, t.friends->fieldIndex("ID_OSOBY"))) {
        if (row.blank || row.value <= 0) {
            out.push_back({true, table, row.recno, "Znajomy bez numeru"});
            continue;
        }
        const auto [it, added] = first.emplace(row.value, row.recno);
        if (!added)
            out.push_back({true,
                           table,
                           row.recno,
                           "Numer znajomego " + std::to_string(row.value)
                               + " powtarza się (ma go też rekord " + std::to_string(it->second)
                               + ")"});
    }
    const std::string config = nameOf(t.config->path());
    if (s.configRecno == 0)
        out.push_back({true, config, 0, "Brak rekordu z licznikiem numerów znajomych", true});
    else if (s.counter <= s.highest)
        out.push_back({true,
                       config,
                       s.configRecno,
                       "Licznik numerów znajomych (" + std::to_string(s.counter)
                           + ") nie przekracza najwyższego numeru znajomego ("
                           + std::to_string(s.highest) + ")",
                       true});
}

int repairCounter(CatalogueTables &t)
{
    std::vector<CatalogueFinding> ignored;
    const CounterState s = counterState(t, ignored);
    if (!s.usable || (s.configRecno != 0 && s.counter > s.highest))
        return 0;
    const int field = t.config->fieldIndex("ID_OSOBY");
    RecordBuffer record = t.config->blankRecord();
    if (s.configRecno != 0)
        t.config->readRecord(s.configRecno, record);
    t.config->setFieldInteger(record, field, s.highest + 1);
    if (s.configRecno != 0)
        t.config->update(s.configRecno, record);
    else
        t.config->append(record);
    return 1;
}

std::vector<CatalogueRule> &registeredRules()
{
    static std::vector<CatalogueRule> rules;
    return rules;
}

CatalogueCheck runRules(const CatalogueTables &t,
                        std::vector<CatalogueFinding> findings,
                        const std::vector<CatalogueRule> &rules)
{
    CatalogueCheck result;
    result.findings = std::move(findings);
    for (const CatalogueRule &rule : rules) {
        try {
            rule.check(t, result.findings);
        } catch (const StorageError &e) {
            // A table too damaged for one rule does not stop the others.
            result.findings.push_back({true,
                                       nameOf(e.file()),
                                       0,
                                       "Sprawdzanie (" + rule.name + ") przerwane: " + e.fault()});
        }
    }
    return result;
}

} // namespace

CatalogueFinding engineFinding(const std::string &table, const CheckFinding &f)
{
    CatalogueFinding out{f.fault, table, 0, {}, false};
    const std::string &w = f.where;
    if (w.rfind("record ", 0) == 0) {
        out.recno = uint32_t(std::strtoul(w.c_str() + 7, nullptr, 10));
        out.text = "Rekord uszkodzony: " + f.text;
    } else if (w.rfind("tag ", 0) == 0) {
        out.text = (f.fault ? "Znacznik indeksu " + w.substr(4) + " niezgodny z rekordami: "
                            : "Znacznik indeksu " + w.substr(4) + ": ")
                   + f.text;
        out.repairable = f.fault;
        // "the key of record 12 disagrees...": the record it names.
        if (const size_t at = f.text.find("record "); at != std::string::npos)
            out.recno = uint32_t(std::strtoul(f.text.c_str() + at + 7, nullptr, 10));
    } else if (w == "index") {
        out.text = "Indeks do przebudowania: " + f.text;
        out.repairable = f.fault;
    } else if (w == "memo") {
        out.text = "Plik memo: " + f.text;
    } else {
        out.text = "Plik tabeli: " + f.text;
    }
    return out;
}

std::vector<CatalogueRule> checkCatalogueRules()
{
    return {
        {"tables", checkEngines, repairEngines},
        {"cd-numbers", checkCdNumbers, {}},
        {"pool", checkPool, repairPool},
        {"genres", checkGenres, {}},
        {"friends", checkFriends, repairCounter},
    };
}

void registerCatalogueRule(CatalogueRule rule)
{
    registeredRules().push_back(std::move(rule));
}

std::vector<CatalogueRule> catalogueRules()
{
    std::vector<CatalogueRule> rules = checkCatalogueRules();
    rules.insert(rules.end(), registeredRules().begin(), registeredRules().end());
    return rules;
}

int CatalogueCheck::faults() const
{
    return int(std::count_if(
        findings.begin(), findings.end(), [](const CatalogueFinding &f) { return f.fault; }));
}

int CatalogueCheck::notes() const
{
    return int(findings.size()) - faults();
}

int CatalogueCheck::repairable() const
{
    return int(std::count_if(
        findings.begin(), findings.end(), [](const CatalogueFinding &f) { return f.repairable; }));
}

CatalogueCheck
checkCatalogue(FileSystem &fs, const CataloguePaths &paths, const std::vector<CatalogueRule> &rules)
{
    std::vector<CatalogueFinding> findings;
    const CatalogueTables tables = openTables(fs, paths, OpenMode::ReadOnly, findings);
    return runRules(tables, std::move(findings), rules);
}

CatalogueCheck repairCatalogue(FileSystem &fs,
                               const CataloguePaths &paths,
                               const std::vector<CatalogueRule> &rules)
{
    int repairs = 0;
    {
        std::vector<CatalogueFinding> ignored;
        CatalogueTables tables = openTables(fs, paths, OpenMode::ReadWrite, ignored);
        for (const CatalogueRule &rule : rules) {
            if (rule.repair)
                repairs += rule.repair(tables);
        }
        for (const Slot &slot : kSlots) {
            if (TableEngine *e = (tables.*slot.engine).get())
                e->sync();
        }
    }
    CatalogueCheck result = checkCatalogue(fs, paths, rules);
    result.repairs = repairs;
    return result;
}

} // namespace welarik
