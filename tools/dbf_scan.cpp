// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf scan DIR [--add FILMS.DBF]: the disc scan without a window. Prints the preview
// rows (tab-separated, a header line first); with --add, adds them to the films table, each film
// its own number from the pool of free numbers in the BAZY folder beside the films table (or
// beside the films table itself when it has no BAZY folder). Files that are no video are named
// on standard error.

#include "catalogue.h"
#include "scan.h"

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

using namespace welarik;

namespace {

std::string poolFolder(const std::filesystem::path &films)
{
    const std::filesystem::path folder = films.parent_path();
    std::error_code error;
    for (const auto &entry : std::filesystem::directory_iterator(folder, error)) {
        std::string name = entry.path().filename().string();
        for (char &c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (name == "BAZY" && entry.is_directory(error))
            return entry.path().string() + "/";
    }
    return folder.empty() ? std::string() : folder.string() + "/";
}

void addRows(const std::string &filmsFile, const std::vector<ScanRow> &rows)
{
    Catalogue catalogue;
    catalogue.dbfFilmy.setFileName(std::filesystem::absolute(filmsFile).string());
    catalogue.bindSideTables(poolFolder(std::filesystem::absolute(filmsFile)));
    catalogue.dbfNrF.open(); // a missing pool stops before the films table is touched
    catalogue.dbfFilmy.open();
    const std::vector<int32_t> numbers
        = addScanRows(catalogue.dbfFilmy, catalogue.dbfNrF, rows, ScanNumbering::OwnNumbers);
    std::cerr << "welarik-dbf: " << numbers.size() << " films added to " << filmsFile << "\n";
}

} // namespace

int runScan(const std::vector<std::string> &args)
{
    std::string dir;
    std::string films;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--add" && i + 1 < args.size())
            films = args[++i];
        else if (dir.empty() && !args[i].starts_with("--"))
            dir = args[i];
        else
            dir.clear(), i = args.size();
    }
    std::error_code error;
    if (dir.empty() || !std::filesystem::is_directory(dir, error)) {
        std::cerr << "usage: welarik-dbf scan DIR [--add FILMY.DBF]\n";
        return 2;
    }
    MediaReader reader;
    const std::vector<ScannedFile> files = readVideoFiles(findVideoFiles(dir), reader);
    std::vector<std::string> skipped;
    const std::vector<ScanRow> rows = scanRows(files, dir, &skipped);
    for (const std::string &line : skipped)
        std::cerr << "welarik-dbf: skipped " << line << "\n";
    if (!films.empty()) {
        addRows(films, rows);
        return 0;
    }
    std::cout << scanRowsText(rows, dir);
    return 0;
}
