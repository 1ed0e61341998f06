// SPDX-License-Identifier: GPL-3.0-or-later
// welarik-dbf loans|lend|return: the loan records of a films table without a window. The side
// tables are taken from BAZY beside the films table unless --data names their folder.

#include "dbf_lending.h"

#include "catalogue.h"
#include "lendcommand.h"
#include "loancheck.h"

#include <charconv>
#include <ctime>
#include <iostream>
#include <map>
#include <optional>
#include <stdexcept>

namespace welarik::tools {

const char *const kLendingUsage
    = "       welarik-dbf loans FILE [--friend N] [--film N] [--open] [--data DIR]\n"
      "       welarik-dbf loans FILE --check [--repair] [--date YYYYMMDD] [--data DIR]\n"
      "       welarik-dbf lend FILE --film N --friend N [--date YYYYMMDD] [--due YYYYMMDD]\n"
      "                        [--remarks TEXT] [--data DIR]\n"
      "       welarik-dbf return FILE --film N [--date YYYYMMDD] [--data DIR]\n";

namespace {

constexpr int kExitFault = 1;
constexpr int kExitUsage = 2;

class Usage : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

struct Options
{
    std::string file;
    std::map<std::string, std::string> values; // --name value
    std::map<std::string, bool> flags;         // --name
    bool has(const std::string &name) const { return values.count(name) != 0; }
    bool flag(const std::string &name) const { return flags.count(name) != 0; }
};

Options parse(const std::vector<std::string> &args,
              const std::vector<std::string> &valued,
              const std::vector<std::string> &flags)
{
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string &a = args[i];
        const auto is = [&a](const std::vector<std::string> &names) {
            for (const std::string &n : names)
                if (n == a)
                    return true;
            return false;
        };
        if (is(valued)) {
            if (i + 1 >= args.size())
                throw Usage(a + " needs a value");
            o.values[a] = args[++i];
        } else if (is(flags)) {
            o.flags[a] = true;
        } else if (!a.empty() && a[0] == '-') {
            throw Usage("unknown option " + a);
        } else if (o.file.empty()) {
            o.file = a;
        } else {
            throw Usage("one table only");
        }
    }
    if (o.file.empty())
        throw Usage("a films table is needed");
    return o;
}

int64_t wholeNumber(const Options &o, const std::string &name)
{
    const std::string &text = o.values.at(name);
    int64_t value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || r.ec != std::errc() || r.ptr != text.data() + text.size())
        throw Usage(name + " needs a whole number, not \"" + text + "\"");
    return value;
}

std::string today()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[9];
    std::strftime(text, sizeof text, "%Y%m%d", &local);
    return text;
}

std::string dateOption(const Options &o, const std::string &name)
{
    if (!o.has(name))
        return name == "--due" ? std::string() : today();
    const std::string &d = o.values.at(name);
    if (!isValidDate(d))
        throw Usage(name + " needs a date YYYYMMDD, not \"" + d + "\"");
    return d;
}

std::string json(const std::string &text)
{
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20) {
            char esc[8];
            std::snprintf(esc, sizeof esc, "\\u%04x", c);
            out += esc;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

// The films table, the friends table and the loans of one catalogue, opened for a command.
struct Opened
{
    Catalogue catalogue;
    LoanBook loans;
    explicit Opened(const Options &o)
    {
        std::string dataDir;
        if (o.has("--data")) {
            dataDir = o.values.at("--data");
        } else {
            const size_t slash = o.file.find_last_of('/');
            dataDir = (slash == std::string::npos ? std::string() : o.file.substr(0, slash + 1))
                      + "BAZY";
        }
        if (!dataDir.empty() && dataDir.back() != '/')
            dataDir += '/';
        catalogue.dbfFilmy.setFileName(o.file);
        catalogue.dbfFilmy.open();
        catalogue.bindSideTables(dataDir);
        catalogue.dbfZnajomi.open();
        loans.bindTo(o.file);
        loans.openIfExists();
    }
    Table &films() { return catalogue.dbfFilmy; }
    Table &friends() { return catalogue.dbfZnajomi; }
    void gotoFilm(int64_t cd)
    {
        const uint32_t r = findFilm(films(), cd);
        if (r == 0 || !films().gotoRecord(r))
            throw LendingError("Nie ma filmu o numerze " + std::to_string(cd));
    }
};

void printLoan(Opened &db, const Loan &loan, const std::string &day)
{
    const uint32_t film = findFilm(db.films(), loan.film);
    const uint32_t person = findFriend(db.friends(), loan.friendId);
    std::cout << "{\"recno\":" << loan.recno << ",\"film\":" << loan.film
              << ",\"title\":" << json(film ? db.films().asStringOf(film, "T_PL") : "")
              << ",\"friend\":" << loan.friendId
              << ",\"name\":" << json(person ? friendName(db.friends(), person) : "")
              << ",\"since\":" << json(loan.since) << ",\"due\":" << json(loan.due)
              << ",\"returned\":" << json(loan.returned) << ",\"remarks\":" << json(loan.remarks)
              << ",\"overdue\":" << (loan.overdueOn(day) ? "true" : "false") << "}\n";
}

int printReport(const LoanCheckReport &report)
{
    for (const LoanFinding &f : report.findings)
        std::cout << (f.fault ? "fault: " : "note: ") << f.text << "\n";
    std::cout << report.faults() << " faults, " << report.notes() << " notes\n";
    return report.sound() ? 0 : kExitFault;
}

int loans(const std::vector<std::string> &args)
{
    const Options o = parse(
        args, {"--friend", "--film", "--data", "--date"}, {"--open", "--check", "--repair"});
    Opened db(o);
    const std::string day = dateOption(o, "--date");
    if (o.flag("--repair"))
        return printReport(repairLoanDisagreements(db.films(), db.friends(), db.loans, day));
    if (o.flag("--check"))
        return printReport(findLoanDisagreements(db.films(), db.friends(), db.loans));
    std::vector<Loan> list;
    if (o.has("--friend"))
        list = db.loans.loansOfFriend(wholeNumber(o, "--friend"));
    else if (o.has("--film"))
        list = db.loans.loansOfFilm(wholeNumber(o, "--film"));
    else
        list = db.loans.allLoans();
    for (const Loan &loan : list) {
        if (!o.flag("--open") || loan.isOpen())
            printLoan(db, loan, day);
    }
    return 0;
}

int lend(const std::vector<std::string> &args)
{
    const Options o
        = parse(args, {"--film", "--friend", "--date", "--due", "--remarks", "--data"}, {});
    if (!o.has("--film") || !o.has("--friend"))
        throw Usage("lend needs --film and --friend");
    Opened db(o);
    db.gotoFilm(wholeNumber(o, "--film"));
    LendRequest request;
    request.friendId = wholeNumber(o, "--friend");
    request.since = dateOption(o, "--date");
    request.due = dateOption(o, "--due");
    request.remarks = o.has("--remarks") ? o.values.at("--remarks") : std::string();
    const Loan loan = lendFilm(db.films(), db.friends(), db.loans, request);
    printLoan(db, loan, request.since);
    return 0;
}

int giveBack(const std::vector<std::string> &args)
{
    const Options o = parse(args, {"--film", "--date", "--data"}, {});
    if (!o.has("--film"))
        throw Usage("return needs --film");
    Opened db(o);
    const int64_t cd = wholeNumber(o, "--film");
    db.gotoFilm(cd);
    const std::optional<Loan> open = db.loans.openLoanOf(cd);
    returnFilm(db.films(), db.friends(), db.loans, dateOption(o, "--date"));
    if (open)
        printLoan(db, db.loans.read(open->recno), dateOption(o, "--date"));
    return 0;
}

int guarded(int (*command)(const std::vector<std::string> &), const std::vector<std::string> &a)
{
    try {
        return command(a);
    } catch (const Usage &e) {
        std::cerr << "welarik-dbf: " << e.what() << "\n" << kLendingUsage;
        return kExitUsage;
    } catch (const std::exception &e) {
        std::cerr << "welarik-dbf: " << e.what() << "\n";
        return kExitFault;
    }
}

} // namespace

int runLoans(const std::vector<std::string> &args)
{
    return guarded(loans, args);
}

int runLend(const std::vector<std::string> &args)
{
    return guarded(lend, args);
}

int runReturn(const std::vector<std::string> &args)
{
    return guarded(giveBack, args);
}

} // namespace welarik::tools
