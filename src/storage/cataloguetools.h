// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Work on a whole catalogue (the films table and the five side tables) that the catalogue
// tools of the main window and `welarik-dbf` share: a new catalogue, a copy of the films
// table, tidying every table, emptying the films table, and the dated copies kept before the
// last two. Each table is changed through pack.h, so a kill leaves it old or new, whole.
// None of these may run while the tables are open elsewhere (the window closes them first).

#include "catalogue.h"
#include "pack.h"

#include <ctime>
#include <functional>
#include <string>
#include <vector>

namespace welarik {

// Language driver byte of the catalogues the program creates (code page 1250).
inline constexpr uint8_t kNewCatalogueLdid = 0xC8;

// The catalogue of a films table: the films file and the side tables of dataDir (ending with a
// separator), each in the letter case the folder holds.
CataloguePaths
cataloguePaths(FileSystem &fs, const std::string &filmsPath, const std::string &dataDir);
// The six paths in the catalogue's order: films, configuration, people, genres, pool, friends.
std::vector<std::string> allTables(const CataloguePaths &paths);

// A table that belongs to one films table and goes where it goes (named after it, in its
// folder): the unit that keeps one registers the function naming it once, and from then on a
// copy of the films table, tidying, the dated copies and emptying take it along.
using CompanionTable = std::function<std::string(const std::string &filmsPath)>;
void registerCompanionTable(const std::string &key, CompanionTable nameFor);
// The registered companions of a films table that exist, in the letter case the folder holds.
std::vector<std::string> companionTables(FileSystem &fs, const std::string &filmsPath);
// What tidying covers: the six tables, then the films table's companions that exist.
std::vector<std::string> tidyTables(FileSystem &fs, const CataloguePaths &paths);

// Creates an empty films table at filmsPath (memo, index, our fields and tags, level IV,
// language driver 0xC8), replacing files of that name, and lays out in dataDir the side tables
// it lacks, empty (the configuration's one record holding 1); a side table that exists is never
// touched. Returns the catalogue's paths.
CataloguePaths
createCatalogue(FileSystem &fs, const std::string &filmsPath, const std::string &dataDir);

// "kopia-YYYYMMDD-HHMMSS" for the local time now.
std::string backupFolderName(std::time_t now);
// Copies the files of the tables (each with its memo and index) into a new dated folder beside
// the first table: the first table's folder's files at its top, the others' in subfolders named
// after their own folders ("BAZY/"). Returns the folder's path, ending with a separator.
std::string backupTables(FileSystem &fs, const std::vector<std::string> &tables, std::time_t now);

struct TidyStep
{
    std::string table; // path
    PackResult result;
};

struct TidyReport
{
    std::string backupFolder;
    std::vector<TidyStep> tables; // those tidied, in order
    bool cancelled = false;       // stopped by the progress callback; the rest left as they were
    uint64_t recordsFreed() const;
    int64_t bytesFreed() const; // may be negative (a foreign index rebuilt larger)
};

// table: 0..tables-1 being written; done/total: its records. false cancels.
using TidyProgress = std::function<bool(int table, int tables, uint64_t done, uint64_t total)>;

// Writes a packed copy of the films table as destPath (copyTable), each companion first under
// the name it has beside destPath (one found there without a companion to copy is removed once
// the films table is copied); a failure removes the companions already copied.
PackResult
copyFilmsTable(FileSystem &fs, const std::string &sourcePath, const std::string &destPath);

// Copies the six tables (and the companions) into a dated folder, then packs each. A failure throws
// with the table that failed unchanged (the ones before it are tidied: the same records in fewer
// bytes).
TidyReport tidyCatalogue(FileSystem &fs,
                         const CataloguePaths &paths,
                         const TidyProgress &progress = {},
                         std::time_t now = std::time(nullptr));

// Copies the films table and its companions into a dated folder, then empties the films table
// and then each companion (fields and tags kept). Returns the copy's folder.
std::string emptyFilmsTable(FileSystem &fs, const std::string &filmsPath, std::time_t now);

} // namespace welarik
