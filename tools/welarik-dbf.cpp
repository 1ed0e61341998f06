// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf: inspects, dumps, verifies and repairs dBase catalogues, and lays out a demo
// catalogue. Errors go to standard error with a non-zero exit status; nothing is changed
// except by `check --repair`, `pack` and `demo`.

#include "catalogue.h"
#include "dbf_catalogue.h"
#include "dbf_exchange.h"
#include "dbf_lending.h"
#include "demo.h"
#include "filter.h"
#include "tableengine.h"

#include <charconv>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

using namespace welarik;

// dbf_scan.cpp
int runScan(const std::vector<std::string> &args);

namespace {

constexpr int kExitFault = 1; // an error, or check found faults
constexpr int kExitUsage = 2;
// From this many generated films on, the demo bulk-loads them.
constexpr uint64_t kDemoBulkFilms = 100000;

class UsageError : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

const char *const kUsage
    = "usage: welarik-dbf info FILE\n"
      "       welarik-dbf dump FILE [--tag NAME] [--filter EXPR] [--deleted]\n"
      "       welarik-dbf check FILE [--repair]\n"
      "       welarik-dbf check --catalogue DIR [--films NAME] [--repair]\n"
      "       welarik-dbf pack FILE\n"
      "       welarik-dbf demo DIR [--films N] [--seed S] [--churn K]\n"
      "       welarik-dbf scan DIR [--add FILMY.DBF]\n"
      "       welarik-dbf people FILE [--role R|S|Z|A]\n"
      "       welarik-dbf people FILE --add ROLE SURNAME [FIRST]\n"
      "       welarik-dbf import FILE FILMY.DBF [--format csv|tellico|gcstar|xml|dbf]\n"
      "                          [--separator C] [--encoding E] [--duplicates]\n"
      "       welarik-dbf export FILMY.DBF --csv|--html|--xml [--tag T_PL]\n"
      "                          [--filter EXPR] [--output FILE]\n";
// The lending commands' lines follow kUsage (tools/dbf_lending.cpp).

uint64_t parseCount(const std::string &option, const std::string &text)
{
    uint64_t value = 0;
    const char *end = text.data() + text.size();
    const auto result = std::from_chars(text.data(), end, value);
    if (text.empty() || result.ec != std::errc() || result.ptr != end)
        throw UsageError(option + " needs a whole number, not \"" + text + "\"");
    return value;
}

std::string jsonString(const std::string &text)
{
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", c);
                out += buf;
            } else {
                out += ch;
            }
        }
    }
    return out + "\"";
}

// A stored number as a JSON number (".5" -> 0.5), or null when blank.
std::string jsonNumber(std::string text)
{
    if (text.empty())
        return "null";
    if (text[0] == '+')
        text.erase(0, 1);
    const size_t digits = text[0] == '-' ? 1 : 0;
    if (digits < text.size() && text[digits] == '.')
        text.insert(digits, "0");
    if (!text.empty() && text.back() == '.')
        text.pop_back();
    double ignored = 0;
    const auto result = std::from_chars(text.data(), text.data() + text.size(), ignored);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size())
        return jsonString(text);
    return text;
}

std::string jsonValue(const TableEngine &engine, const uint8_t *record, int field)
{
    const FieldDesc &f = engine.fields()[size_t(field)];
    switch (f.type) {
    case 'N':
    case 'F':
    case 'I':
    case '+':
    case 'O':
        return jsonNumber(engine.fieldText(record, field));
    case 'L': {
        const auto v = engine.fieldLogical(record, field);
        return v ? (*v ? "true" : "false") : "null";
    }
    default:
        return jsonString(engine.fieldText(record, field));
    }
}

int runInfo(const std::vector<std::string> &args)
{
    if (args.size() != 1)
        throw UsageError("info takes one FILE");
    auto engine
        = TableEngine::open(FileSystem::real(), args[0], OpenMode::ReadOnly, ShareMode::Shared);
    char version[8];
    std::snprintf(version, sizeof version, "0x%02X", engine->versionByte());
    char ldid[8];
    std::snprintf(ldid, sizeof ldid, "0x%02X", engine->ldid());
    std::cout << "file: " << engine->path() << "\n"
              << "level: " << engine->level() << " (version byte " << version << ")\n"
              << "code page: " << codePageName(engine->codePage()) << " (language driver " << ldid
              << ")\n"
              << "records: " << engine->recordCount() << "\n"
              << "memo file: " << (engine->hasMemo() ? "yes" : "no") << "\n"
              << "fields: " << engine->fields().size() << "\n";
    for (const FieldDesc &f : engine->fields())
        std::cout << "  " << f.name << " " << f.type << " " << int(f.length) << " "
                  << int(f.decimals) << "\n";
    std::cout << "tags: " << engine->tags().size() << "\n";
    for (const TagInfo &t : engine->tags()) {
        std::string flags;
        auto add = [&](const char *flag) {
            flags += (flags.empty() ? "" : ",") + std::string(flag);
        };
        if (t.descending)
            add("descending");
        if (t.unique)
            add("unique");
        if (!t.evaluable)
            add("not-evaluable");
        std::cout << "  " << t.name << " key " << t.expression << " type " << t.keyType
                  << " length " << t.keyLength << " flags " << (flags.empty() ? "-" : flags)
                  << "\n";
    }
    return 0;
}

int runDump(const std::vector<std::string> &args)
{
    std::string file;
    std::string tag;
    std::string filterText;
    bool withDeleted = false;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--tag" && i + 1 < args.size())
            tag = args[++i];
        else if (args[i] == "--filter" && i + 1 < args.size())
            filterText = args[++i];
        else if (args[i] == "--deleted")
            withDeleted = true;
        else if (file.empty() && args[i].rfind("--", 0) != 0)
            file = args[i];
        else
            throw UsageError("dump: unexpected argument \"" + args[i] + "\"");
    }
    if (file.empty())
        throw UsageError("dump needs a FILE");
    auto engine
        = TableEngine::open(FileSystem::real(), file, OpenMode::ReadOnly, ShareMode::Shared);
    const CompiledFilter filter(
        parseFilterExpression(filterText), engine->fields(), engine->codePage(), engine->path());
    int tagNo = -1;
    if (!tag.empty()) {
        tagNo = engine->tagIndex(tag);
        if (tagNo < 0)
            throw IndexError(engine->path(), "no tag named " + tag);
    }
    std::string line;
    auto emit = [&](uint32_t recno, const uint8_t *record) {
        const bool deleted = record[0] == '*';
        if ((deleted && !withDeleted) || !filter.matches(record))
            return;
        line = "{\"recno\":" + std::to_string(recno)
               + ",\"deleted\":" + (deleted ? "true" : "false") + ",\"fields\":{";
        for (size_t f = 0; f < engine->fields().size(); ++f) {
            if (f)
                line += ',';
            line += jsonString(engine->fields()[f].name) + ":" + jsonValue(*engine, record, int(f));
        }
        line += "}}\n";
        std::fwrite(line.data(), 1, line.size(), stdout);
    };
    if (tagNo < 0) {
        engine->scan([&](uint32_t recno, const uint8_t *record) {
            emit(recno, record);
            return true;
        });
    } else {
        RecordBuffer record;
        TagCursor cursor = engine->cursor(tagNo);
        for (bool ok = cursor.first(); ok; ok = cursor.next()) {
            engine->readRecord(cursor.recno(), record);
            emit(cursor.recno(), record.data());
        }
    }
    std::fflush(stdout);
    return 0;
}

int runCheck(const std::vector<std::string> &args)
{
    std::string file;
    bool repair = false;
    for (const std::string &a : args) {
        if (a == "--repair")
            repair = true;
        else if (file.empty() && a.rfind("--", 0) != 0)
            file = a;
        else
            throw UsageError("check: unexpected argument \"" + a + "\"");
    }
    if (file.empty())
        throw UsageError("check needs a FILE");
    auto engine = TableEngine::open(FileSystem::real(),
                                    file,
                                    repair ? OpenMode::ReadWrite : OpenMode::ReadOnly,
                                    repair ? ShareMode::Exclusive : ShareMode::Shared);
    const CheckReport report = repair ? engine->repair() : engine->check();
    engine->close();
    for (const CheckFinding &f : report.findings)
        std::cout << (f.fault ? "fault: " : "note: ") << f.where << ": " << f.text << "\n";
    std::cout << (report.sound() ? "sound" : "unsound") << ": " << report.faults() << " fault(s), "
              << report.notes() << " note(s)" << (repair ? " after repair" : "") << "\n";
    return report.sound() ? 0 : kExitFault;
}

int runDemo(const std::vector<std::string> &args)
{
    std::string dir;
    DemoOptions options;
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--films" && i + 1 < args.size()) {
            const uint64_t n = parseCount("--films", args[++i]);
            if (n > 1000000)
                throw UsageError("--films takes at most 1000000");
            options.films = static_cast<uint32_t>(n);
        } else if (args[i] == "--seed" && i + 1 < args.size()) {
            options.seed = parseCount("--seed", args[++i]);
        } else if (args[i] == "--churn" && i + 1 < args.size()) {
            const uint64_t k = parseCount("--churn", args[++i]);
            if (k > 10000000)
                throw UsageError("--churn takes at most 10000000");
            options.churn = static_cast<uint32_t>(k);
        } else if (dir.empty() && args[i].rfind("--", 0) != 0) {
            dir = args[i];
        } else {
            throw UsageError("demo: unexpected argument \"" + args[i] + "\"");
        }
    }
    if (dir.empty())
        throw UsageError("demo needs a DIR");
    const bool terminal = isatty(STDERR_FILENO) != 0;
    if (terminal) {
        options.progress = [](const std::string &what, uint64_t done, uint64_t total) {
            std::fprintf(stderr,
                         "\r%s: %llu / %llu",
                         what.c_str(),
                         static_cast<unsigned long long>(done),
                         static_cast<unsigned long long>(total));
            if (done == total)
                std::fputc('\n', stderr);
            std::fflush(stderr);
        };
    }
    // Through the table component's insert, edit, post and delete: the path the program's own
    // commands take, so the demo exercises it. Only the films of a big catalogue are loaded in
    // bulk (its corrections and deletions still go through the component).
    TableDemoWriter writer(kDemoBulkFilms);
    const DemoSummary summary = createDemoCatalogue(FileSystem::real(), dir, options, writer);
    std::cout << summary.filmsPath << ": " << summary.films << " films, " << summary.corrected
              << " corrected, " << summary.deleted << " deleted\n";
    return 0;
}

} // namespace

namespace welarik {
int runPeople(const std::vector<std::string> &args); // dbf_people.cpp
}

int main(int argc, char **argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.empty()) {
        std::cerr << kUsage << tools::kLendingUsage;
        return kExitUsage;
    }
    const std::string command = args.front();
    args.erase(args.begin());
    try {
        if (command == "info")
            return runInfo(args);
        if (command == "dump")
            return runDump(args);
        if (command == "check" && !args.empty() && args.front() == "--catalogue")
            return runCatalogueCheck(args);
        if (command == "check")
            return runCheck(args);
        if (command == "pack")
            return runPack(args);
        if (command == "demo")
            return runDemo(args);
        if (command == "import" || command == "export") {
            try {
                return command == "import" ? runImportCommand(args) : runExportCommand(args);
            } catch (const std::invalid_argument &e) {
                throw UsageError(e.what());
            }
        }
        if (command == "loans")
            return tools::runLoans(args);
        if (command == "lend")
            return tools::runLend(args);
        if (command == "return")
            return tools::runReturn(args);
        if (command == "scan")
            return runScan(args);
        if (command == "people")
            return welarik::runPeople(args);
        if (command == "--help" || command == "-h") {
            std::cout << kUsage << tools::kLendingUsage;
            return 0;
        }
        throw UsageError("unknown command \"" + command + "\"");
    } catch (const std::invalid_argument &e) {
        std::cerr << "welarik-dbf: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    } catch (const UsageError &e) {
        std::cerr << "welarik-dbf: " << e.what() << "\n" << kUsage;
        return kExitUsage;
    } catch (const std::exception &e) {
        std::cerr << "welarik-dbf: " << e.what() << "\n";
        return kExitFault;
    }
}
