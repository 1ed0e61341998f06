// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Taking films into the open catalogue. planImport shows what would be stored: each film's
// texts cut to the field widths (marked where cut), its CD number, whether it repeats a film
// already there, and the genres and people it names that the lists lack. applyImport then adds
// the checked films through the table components, numbered as an add numbers them: a free
// number given by the file stays; otherwise the pool's numbers in record order, then the
// highest number in use plus one; a number taken from the pool leaves the pool.
//
// Failures: the new genres and people are added first, all or none. Then each film is one
// step (its record, then its number out of the pool); a step that fails is taken back, the
// import stops there and says so; films added before it stay, as after a cancel between
// films.

#include "filmfields.h"

#include "codepage.h"

#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace welarik {
class Table;
}

namespace welarik::exchange {

struct ImportTables
{
    Table &films;
    Table &pool;
    Table &genres;
    Table &people;
};

// What the catalogue holds, read once before planning.
struct CatalogueState
{
    std::map<std::string, std::pair<char, int>> fields; // films field -> type, width
    CodePage codePage = CodePage::Cp1250;
    std::set<int64_t> numbers;    // of every film
    std::vector<int64_t> pool;    // free numbers in record order
    std::set<std::string> titles; // keys of "title|year" of every film (Polish and original)
    std::set<std::string> genres; // folded names
    std::set<std::string> people; // "role|folded name" in both name orders
    int genreWidth = 254;
    int nameWidth = 50;
};
CatalogueState readCatalogueState(const ImportTables &tables);

struct PlannedFilm
{
    FilmValues values;     // as it will be stored
    std::vector<bool> cut; // per field: shortened (or dropped) to fit
    std::string problem;   // why it cannot be stored as it is ("" when it can)
    int64_t givenNumber = 0;
    bool numberTaken = false; // the given number is used by a film: it gets a new one
    bool duplicate = false;   // the same title and year as a film already there
    bool checked = true;
    int64_t number = 0; // the CD number it gets (0 while unchecked)
};

struct NewListEntry
{
    char role = 'G';  // 'G' a genre; 'R', 'S', 'Z', 'A' a person of that role
    std::string name; // as films name it
    std::string firstName, surname;
    bool checked = true;
};

struct ImportPlan
{
    std::vector<PlannedFilm> films;
    std::vector<NewListEntry> genres;
    std::vector<NewListEntry> people;
    int checkedCount() const;
};

ImportPlan planImport(const std::vector<FilmValues> &films, const CatalogueState &state);
// Gives the checked films their numbers again (after a check box changed).
void assignNumbers(ImportPlan &plan, const CatalogueState &state);

struct ImportResult
{
    int added = 0;
    int genresAdded = 0;
    int peopleAdded = 0;
    bool cancelled = false;
    std::string error; // "" when every checked film was added (or the user cancelled)
};

// progress(done, total) is asked before each film; false cancels (films added stay).
ImportResult applyImport(const ImportPlan &plan,
                         const ImportTables &tables,
                         const std::function<bool(int, int)> &progress = {});

} // namespace welarik::exchange
