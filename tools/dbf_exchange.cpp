// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf import FILE FILMY.DBF [--format csv|tellico|gcstar|xml|dbf] [--separator C]
//                                   [--encoding utf-8|windows-1250|iso-8859-2] [--duplicates]
//   adds the films of FILE to the catalogue of FILMY.DBF (side tables in its BAZY folder), with
//   their new genres and people, numbered as the program's import numbers them.
// welarik-dbf export FILMY.DBF --csv|--html|--xml [--tag T_PL] [--filter EXPR] [--output FILE]
//   writes the films (in the tag's order, passing the filter) to FILE or standard output.

#include "dbf_exchange.h"

#include "catalogue.h"
#include "export.h"
#include "importplan.h"
#include "importsource.h"

#include <QFile>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <optional>
#include <stdexcept>

using namespace welarik;
using namespace welarik::exchange;

namespace {

std::string optionValue(const std::vector<std::string> &args, size_t &i)
{
    if (i + 1 >= args.size())
        throw std::invalid_argument(args[i] + " needs a value");
    return args[++i];
}

Encoding encodingFromName(const std::string &name)
{
    const std::string lower = QString::fromStdString(name).toLower().toStdString();
    if (lower == "utf-8" || lower == "utf8")
        return Encoding::Utf8;
    if (lower == "windows-1250" || lower == "cp1250")
        return Encoding::Cp1250;
    if (lower == "iso-8859-2" || lower == "latin2")
        return Encoding::Iso8859_2;
    throw std::invalid_argument("unknown encoding \"" + name + "\"");
}

void printPlan(const ImportPlan &plan)
{
    int cut = 0, taken = 0, duplicates = 0, problems = 0;
    for (const PlannedFilm &f : plan.films) {
        cut += std::count(f.cut.begin(), f.cut.end(), true) > 0;
        taken += f.numberTaken;
        duplicates += f.duplicate;
        problems += !f.problem.empty();
        if (!f.problem.empty())
            std::cerr << "skipped: " << f.problem << "\n";
    }
    std::cout << plan.films.size() << " films read, " << plan.checkedCount() << " to add; " << cut
              << " with texts cut to the field widths, " << taken
              << " with a number already in use, " << duplicates << " duplicates skipped, "
              << problems << " that cannot be stored\n";
}

} // namespace

int runImportCommand(const std::vector<std::string> &args)
{
    if (args.size() < 2)
        throw std::invalid_argument("import needs FILE and FILMY.DBF");
    const std::string file = args[0];
    const std::string filmsPath = args[1];
    Format format = formatForFile(file);
    CsvOptions csv;
    bool duplicates = false;
    for (size_t i = 2; i < args.size(); ++i) {
        if (args[i] == "--format") {
            if (!formatFromName(optionValue(args, i), format))
                throw std::invalid_argument("unknown format \"" + args[i] + "\"");
        } else if (args[i] == "--separator") {
            const std::string s = optionValue(args, i);
            csv.separator = s == "\\t" || s == "tab" ? '\t' : s.empty() ? char(0) : s[0];
        } else if (args[i] == "--encoding") {
            csv.encoding = encodingFromName(optionValue(args, i));
        } else if (args[i] == "--duplicates") {
            duplicates = true;
        } else {
            throw std::invalid_argument("unknown option \"" + args[i] + "\"");
        }
    }
    const ImportSource source = format == Format::Films ? readFilmsTable(FileSystem::real(), file)
                                                        : readImportFile(file, format, csv);
    Catalogue catalogue;
    catalogue.dbfFilmy.setFileName(filmsPath);
    catalogue.dbfFilmy.open();
    const std::string dataDir
        = (std::filesystem::path(filmsPath).parent_path() / "BAZY").string() + "/";
    catalogue.bindSideTables(dataDir);
    for (Table *t : {&catalogue.dbfDaneF, &catalogue.dbfGatunekF, &catalogue.dbfNrF})
        t->open();
    const ImportTables tables{
        catalogue.dbfFilmy, catalogue.dbfNrF, catalogue.dbfGatunekF, catalogue.dbfDaneF};
    const CatalogueState state = readCatalogueState(tables);
    ImportPlan plan = planImport(mappedFilms(source), state);
    if (duplicates) {
        for (PlannedFilm &f : plan.films)
            f.checked = f.problem.empty();
        assignNumbers(plan, state);
    }
    printPlan(plan);
    const ImportResult result = applyImport(plan, tables);
    std::cout << result.added << " films added, " << result.genresAdded << " genres and "
              << result.peopleAdded << " people added to the lists\n";
    if (!result.error.empty()) {
        std::cerr << "welarik-dbf: " << result.error << "\n";
        return 1;
    }
    return 0;
}

int runExportCommand(const std::vector<std::string> &args)
{
    if (args.empty())
        throw std::invalid_argument("export needs FILMY.DBF");
    std::optional<ExportFormat> format;
    std::string tag = "ID_CD", filter, output;
    for (size_t i = 1; i < args.size(); ++i) {
        if (args[i] == "--csv")
            format = ExportFormat::Csv;
        else if (args[i] == "--html")
            format = ExportFormat::Html;
        else if (args[i] == "--xml")
            format = ExportFormat::Xml;
        else if (args[i] == "--tag")
            tag = optionValue(args, i);
        else if (args[i] == "--filter")
            filter = optionValue(args, i);
        else if (args[i] == "--output" || args[i] == "-o")
            output = optionValue(args, i);
        else
            throw std::invalid_argument("unknown option \"" + args[i] + "\"");
    }
    if (!format)
        throw std::invalid_argument("export needs --csv, --html or --xml");
    Table films("films");
    films.setFileName(args[0]);
    films.setReadOnly(true);
    films.setIndexName(tag);
    films.setFilter(filter);
    films.setFiltered(true);
    films.open();
    const std::string title = std::filesystem::path(args[0]).filename().string();
    if (!output.empty())
        return exportView(films, *format, output, title) ? 0 : 1;
    QFile out;
    if (!out.open(stdout, QIODevice::WriteOnly))
        throw ExchangeError("standard output cannot be written");
    const FilmReader reader(films);
    writeFilms(*format, out, title, films.rowCount(), [&](int row) {
        return reader.film(films.recordAtRow(row));
    });
    return 0;
}
