// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The check of a whole catalogue: the engine's check of each of the six tables (table, memo and
// index against each other) and the catalogue's own rules across them. Each finding is a Polish
// line naming its table and record, a fault or a note; some have a safe repair. A repair never
// deletes or renumbers a film: it rebuilds an index, drops a pool entry, raises the friends'
// counter, or what a rule plugged in later declares.
//
// The rules are a list of CatalogueRule. The catalogue's own (checkCatalogueRules) cover the
// CD numbers, the free-number pool, the genres films name and the friends' numbers; a unit that
// adds tables to the catalogue (lending) registers its rules with registerCatalogueRule, and
// every check after that runs them too.

#include "catalogue.h"
#include "tableengine.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace welarik {

struct CatalogueFinding
{
    bool fault = true;       // false: a note, the catalogue is still sound
    std::string table;       // the table's file name ("FILMY.DBF")
    uint32_t recno = 0;      // the record concerned; 0 for the table as a whole
    std::string text;        // Polish
    bool repairable = false; // a safe repair exists (repairCatalogue applies it)
};

// The six tables open for one check (read-only) or repair (for writing). A table that could
// not be opened is null, and its opening failure is a finding already.
struct CatalogueTables
{
    CataloguePaths paths;
    FileSystem *fs = nullptr; // where they were opened (a rule may open a table of its own)
    std::unique_ptr<TableEngine> films;
    std::unique_ptr<TableEngine> config;
    std::unique_ptr<TableEngine> people;
    std::unique_ptr<TableEngine> genres;
    std::unique_ptr<TableEngine> pool;
    std::unique_ptr<TableEngine> friends;
};

// A finding of the engine's check (TableEngine::check) in the catalogue's words.
CatalogueFinding engineFinding(const std::string &table, const CheckFinding &f);

struct CatalogueRule
{
    std::string name;
    // Adds the rule's findings.
    std::function<void(const CatalogueTables &, std::vector<CatalogueFinding> &)> check;
    // Mends what the rule's repairable findings describe (tables open for writing); returns how
    // many repairs it made. Empty when the rule has no repair.
    std::function<int(CatalogueTables &)> repair;
};

// The engine's check of every table, then the catalogue's own rules.
std::vector<CatalogueRule> checkCatalogueRules();
// Adds a rule to those every later check runs (after the catalogue's own).
void registerCatalogueRule(CatalogueRule rule);
// The catalogue's own rules and the registered ones.
std::vector<CatalogueRule> catalogueRules();

struct CatalogueCheck
{
    std::vector<CatalogueFinding> findings;
    int repairs = 0; // repairs made (repairCatalogue)
    int faults() const;
    int notes() const;
    int repairable() const;
    bool sound() const { return faults() == 0; }
};

// Opens the six tables read-only and runs the rules; the files are not changed.
CatalogueCheck checkCatalogue(FileSystem &fs,
                              const CataloguePaths &paths,
                              const std::vector<CatalogueRule> &rules = catalogueRules());
// Opens the six tables for writing (which already rebuilds a crashed index), applies every
// rule's repair, and checks again: the result lists what is left.
CatalogueCheck repairCatalogue(FileSystem &fs,
                               const CataloguePaths &paths,
                               const std::vector<CatalogueRule> &rules = catalogueRules());

} // namespace welarik
