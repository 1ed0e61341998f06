// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The catalogue's six tables, configured as the program uses them. One object owns them (the
// main window); dialogs receive references.
//
//   component     file               exclusive  tag at open  filtering
//   dbfFilmy      the chosen file    yes        ID_CD        on, empty expression at start
//   dbfConfig     CONFIG.DBF         no         none         off
//   dbfDaneF      DANEF.DBF          yes        NAZWISKO     off (the people pickers switch it)
//   dbfGatunekF   GATUNEKF.DBF       yes        GATUNEK      off
//   dbfNrF        NRFILM.DBF         yes        none         off
//   dbfZnajomi    ZNAJOMI.DBF        yes        none         off
//
// The side tables lie in the data folder; their names are found there in any letter case
// (catalogues come from Windows). The people table sees exactly TYP, IMIE and NAZWISKO, and
// NAZWISKO is shown through dbfDaneFNAZWISKOGetText. Fields that controls need are checked by
// the controls' data links when a table opens, not here.

#include "table.h"
#include "tableengine.h"

#include <string>

namespace welarik {

// File names of the tables: the films table's usual one and the side tables', as the
// catalogue's folder holds them.
inline constexpr const char *kFilmsFile = "FILMY.DBF";
inline constexpr const char *kConfigFile = "CONFIG.DBF";
inline constexpr const char *kPeopleFile = "DANEF.DBF";
inline constexpr const char *kGenresFile = "GATUNEKF.DBF";
inline constexpr const char *kNumberPoolFile = "NRFILM.DBF";
inline constexpr const char *kFriendsFile = "ZNAJOMI.DBF";

// How a side table is laid out when it is created: its file name in the data folder, its fields
// and its production index tags.
struct TableLayout
{
    const char *file;
    FieldList fields;
    std::vector<TagDefinition> tags;
};

TableLayout filmsLayout();      // FILMY.DBF: the films (the chosen file's usual name)
TableLayout configLayout();     // CONFIG.DBF: the next friend number
TableLayout peopleLayout();     // DANEF.DBF: people of every role
TableLayout genresLayout();     // GATUNEKF.DBF: genre names
TableLayout numberPoolLayout(); // NRFILM.DBF: free CD numbers
TableLayout friendsLayout();    // ZNAJOMI.DBF: the friends films are lent to

// The files of a catalogue laid out in a folder.
struct CataloguePaths
{
    std::string films;
    std::string config;
    std::string people;
    std::string genres;
    std::string pool;
    std::string friends;
};

// Creates the six tables empty (level IV, code page 1250): the films table in dir, the side
// tables in dir/BAZY (the folder is created when missing on the real file system; on another
// file system dir must be usable as a path prefix). Existing files of the same names are
// replaced. Throws StorageError on failure.
CataloguePaths createCatalogueTables(FileSystem &fs, const std::string &dir);

// Lays out an empty catalogue in dir as createCatalogueTables, all tables without records except
// the configuration's one, which holds 1, the number of the first friend. Returns its films
// table's path, DIR/FILMY.DBF.
std::string createEmptyCatalogue(FileSystem &fs, const std::string &dir);

// The shown and edited text of the people table's NAZWISKO: the stored surname without its
// leading blanks, one blank, the stored first name without its leading blanks. (Reads already
// drop a character field's trailing padding; nothing else is trimmed.)
std::string dbfDaneFNAZWISKOGetText(Table &people);

class Catalogue
{
public:
    explicit Catalogue(FileSystem &fs = FileSystem::real());
    Catalogue(const Catalogue &) = delete;
    Catalogue &operator=(const Catalogue &) = delete;

    // dataDir + name, with the letter case of the file the folder holds when one matches.
    std::string sideTablePath(const std::string &dataDir, const std::string &name) const;
    // Binds dbfConfig to its file in dataDir (ending with a path separator, or empty).
    void bindConfig(const std::string &dataDir);
    // Binds dbfDaneF, dbfGatunekF, dbfNrF and dbfZnajomi, in this order. Binding a table to
    // the file it already has changes nothing, so this is harmless while they are open.
    void bindSideTables(const std::string &dataDir);

    Table dbfFilmy;
    Table dbfConfig;
    Table dbfDaneF;
    Table dbfGatunekF;
    Table dbfNrF;
    Table dbfZnajomi;

private:
    FileSystem &m_fs;
};

} // namespace welarik
