// SPDX-License-Identifier: GPL-3.0-or-later
#include "cataloguetools.h"

#include <cstdio>
#include <map>

namespace welarik {

namespace {

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// "a/b/BAZY/" -> "BAZY"
std::string lastFolderName(const std::string &folder)
{
    std::string f = folder;
    while (!f.empty() && f.back() == '/')
        f.pop_back();
    return nameOf(f);
}

std::string withSeparator(const std::string &dir)
{
    return dir.empty() || dir.back() == '/' ? dir : dir + "/";
}

void createSideTable(FileSystem &fs, const std::string &dataDir, const TableLayout &layout)
{
    const std::string path = dataDir + layout.file;
    if (fs.resolve(path))
        return;
    auto engine = TableEngine::create(fs, path, 4, kNewCatalogueLdid, layout.fields, layout.tags);
    if (std::string(layout.file) == kConfigFile) {
        RecordBuffer record = engine->blankRecord();
        engine->setFieldText(record, engine->fieldIndex("ID_OSOBY"), "1");
        engine->append(record);
    }
    engine->sync();
}

// A folder name for the copy that no earlier copy took ("kopia-...-2" within one second).
std::string freshBackupFolder(FileSystem &fs,
                              const std::string &parent,
                              const std::string &firstFile,
                              std::time_t now)
{
    const std::string base = parent + backupFolderName(now);
    std::string folder = base;
    for (int n = 2; fs.exists(folder) || fs.exists(folder + "/" + firstFile); ++n)
        folder = base + "-" + std::to_string(n);
    return folder + "/";
}

void removeTableFiles(FileSystem &fs, const TableFiles &files)
{
    for (const std::string *path : {&files.table, &files.memo, &files.index}) {
        if (!path->empty() && fs.exists(*path))
            fs.remove(*path);
    }
}

std::map<std::string, CompanionTable> &registeredCompanions()
{
    static std::map<std::string, CompanionTable> companions;
    return companions;
}

} // namespace

void registerCompanionTable(const std::string &key, CompanionTable nameFor)
{
    registeredCompanions()[key] = std::move(nameFor);
}

std::vector<std::string> companionTables(FileSystem &fs, const std::string &filmsPath)
{
    std::vector<std::string> found;
    for (const auto &[key, nameFor] : registeredCompanions()) {
        if (const auto path = fs.resolve(nameFor(filmsPath)))
            found.push_back(*path);
    }
    return found;
}

std::vector<std::string> tidyTables(FileSystem &fs, const CataloguePaths &paths)
{
    std::vector<std::string> tables = allTables(paths);
    for (const std::string &companion : companionTables(fs, paths.films))
        tables.push_back(companion);
    return tables;
}

PackResult
copyFilmsTable(FileSystem &fs, const std::string &sourcePath, const std::string &destPath)
{
    std::vector<TableFiles> written;
    try {
        for (const auto &[key, nameFor] : registeredCompanions()) {
            if (const auto companion = fs.resolve(nameFor(sourcePath))) {
                const std::string dest = nameFor(destPath);
                copyTable(fs, *companion, dest);
                written.push_back(tableFiles(fs, dest));
            }
        }
        const PackResult result = copyTable(fs, sourcePath, destPath);
        // A companion left under the new name by an earlier table of that name is not the
        // copy's: the copy has none.
        for (const auto &[key, nameFor] : registeredCompanions()) {
            if (!fs.resolve(nameFor(sourcePath)) && fs.resolve(nameFor(destPath)))
                removeTableFiles(fs, tableFiles(fs, nameFor(destPath)));
        }
        return result;
    } catch (...) {
        for (const TableFiles &files : written)
            removeTableFiles(fs, files);
        throw;
    }
}

CataloguePaths
cataloguePaths(FileSystem &fs, const std::string &filmsPath, const std::string &dataDir)
{
    const std::string dir = withSeparator(dataDir);
    auto side = [&](const char *name) {
        return fs.resolve(dir + name).value_or(dir + name);
    };
    CataloguePaths paths;
    paths.films = fs.resolve(filmsPath).value_or(filmsPath);
    paths.config = side(kConfigFile);
    paths.people = side(kPeopleFile);
    paths.genres = side(kGenresFile);
    paths.pool = side(kNumberPoolFile);
    paths.friends = side(kFriendsFile);
    return paths;
}

std::vector<std::string> allTables(const CataloguePaths &paths)
{
    return {paths.films, paths.config, paths.people, paths.genres, paths.pool, paths.friends};
}

CataloguePaths
createCatalogue(FileSystem &fs, const std::string &filmsPath, const std::string &dataDir)
{
    const std::string dir = withSeparator(dataDir);
    makeFolder(fs, dir);
    for (const TableLayout &layout :
         {configLayout(), peopleLayout(), genresLayout(), numberPoolLayout(), friendsLayout()})
        createSideTable(fs, dir, layout);
    const TableLayout films = filmsLayout();
    TableEngine::create(fs, filmsPath, 4, kNewCatalogueLdid, films.fields, films.tags)->sync();
    return cataloguePaths(fs, filmsPath, dir);
}

std::string backupFolderName(std::time_t now)
{
    std::tm local{};
    localtime_r(&now, &local);
    char name[64];
    std::strftime(name, sizeof name, "kopia-%Y%m%d-%H%M%S", &local);
    return name;
}

std::string backupTables(FileSystem &fs, const std::vector<std::string> &tables, std::time_t now)
{
    if (tables.empty())
        return {};
    const std::string home = folderOf(tables.front());
    const std::string folder = freshBackupFolder(fs, home, nameOf(tables.front()), now);
    makeFolder(fs, folder);
    for (const std::string &table : tables) {
        finishPendingPack(fs, table);
        const TableFiles files = tableFiles(fs, table);
        std::string target = folder;
        if (folderOf(files.table) != home) {
            target += lastFolderName(folderOf(files.table)) + "/";
            makeFolder(fs, target);
        }
        for (const std::string *path : {&files.table, &files.memo, &files.index}) {
            if (!path->empty())
                copyFile(fs, *path, target + nameOf(*path));
        }
    }
    return folder;
}

uint64_t TidyReport::recordsFreed() const
{
    uint64_t freed = 0;
    for (const TidyStep &step : tables)
        freed += step.result.recordsBefore - step.result.recordsAfter;
    return freed;
}

int64_t TidyReport::bytesFreed() const
{
    int64_t freed = 0;
    for (const TidyStep &step : tables)
        freed += int64_t(step.result.bytesBefore) - int64_t(step.result.bytesAfter);
    return freed;
}

TidyReport tidyCatalogue(FileSystem &fs,
                         const CataloguePaths &paths,
                         const TidyProgress &progress,
                         std::time_t now)
{
    const std::vector<std::string> tables = tidyTables(fs, paths);
    TidyReport report;
    report.backupFolder = backupTables(fs, tables, now);
    const int count = int(tables.size());
    for (int i = 0; i < count; ++i) {
        PackProgress step;
        if (progress) {
            step = [&progress, i, count](uint64_t done, uint64_t total) {
                return progress(i, count, done, total);
            };
        }
        try {
            report.tables.push_back({tables[size_t(i)], packTable(fs, tables[size_t(i)], step)});
        } catch (const PackCancelled &) {
            report.cancelled = true;
            break;
        }
    }
    return report;
}

std::string emptyFilmsTable(FileSystem &fs, const std::string &filmsPath, std::time_t now)
{
    const std::vector<std::string> companions = companionTables(fs, filmsPath);
    std::vector<std::string> tables{filmsPath};
    tables.insert(tables.end(), companions.begin(), companions.end());
    const std::string folder = backupTables(fs, tables, now);
    // The films first: a kill before the companions are emptied leaves loans of missing films,
    // which the check closes.
    for (const std::string &table : tables)
        packTable(fs, table, {}, PackKeep::Nothing);
    return folder;
}

} // namespace welarik
