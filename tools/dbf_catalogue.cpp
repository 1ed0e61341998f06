// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf pack and check --catalogue: the catalogue tools of the main window without one.

#include "dbf_catalogue.h"

#include "cataloguecheck.h"
#include "cataloguetools.h"
#include "loancatalogue.h"

#include <iostream>
#include <stdexcept>

namespace welarik {

namespace {

constexpr int kExitFault = 1;

// "DIR" + "name" with one separator between.
std::string inFolder(const std::string &dir, const std::string &name)
{
    return dir.empty() || dir.back() == '/' ? dir + name : dir + "/" + name;
}

void printFinding(const CatalogueFinding &f)
{
    std::cout << (f.fault ? "fault: " : "note: ") << f.table;
    if (f.recno)
        std::cout << " record " << f.recno;
    std::cout << ": " << f.text << (f.repairable ? " [repairable]" : "") << "\n";
}

} // namespace

int runPack(const std::vector<std::string> &args)
{
    if (args.size() != 1 || args.front().rfind("--", 0) == 0)
        throw std::invalid_argument("pack needs exactly one FILE");
    FileSystem &fs = FileSystem::real();
    const PackResult r = packTable(fs, args.front());
    std::cout << tableFiles(fs, args.front()).table << ": " << r.recordsBefore << " -> "
              << r.recordsAfter << " records, " << r.bytesBefore << " -> " << r.bytesAfter
              << " bytes\n";
    return 0;
}

int runCatalogueCheck(const std::vector<std::string> &args)
{
    std::string dir;
    std::string films = kFilmsFile;
    bool repair = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--catalogue" && i + 1 < args.size())
            dir = args[++i];
        else if (args[i] == "--films" && i + 1 < args.size())
            films = args[++i];
        else if (args[i] == "--repair")
            repair = true;
        else
            throw std::invalid_argument("check: unexpected argument \"" + args[i] + "\"");
    }
    if (dir.empty())
        throw std::invalid_argument("check --catalogue needs a DIR");
    registerLendingWithCatalogue();
    FileSystem &fs = FileSystem::real();
    const CataloguePaths paths
        = cataloguePaths(fs, inFolder(dir, films), inFolder(inFolder(dir, "BAZY"), ""));
    const CatalogueCheck result = repair ? repairCatalogue(fs, paths) : checkCatalogue(fs, paths);
    for (const CatalogueFinding &f : result.findings)
        printFinding(f);
    std::cout << (result.sound() ? "sound" : "unsound") << ": " << result.faults() << " fault(s), "
              << result.notes() << " note(s)";
    if (repair)
        std::cout << " after " << result.repairs << " repair(s)";
    std::cout << "\n";
    return result.sound() ? 0 : kExitFault;
}

} // namespace welarik
