// SPDX-License-Identifier: GPL-3.0-or-later
#include "loans.h"

#include "tableengine.h"

#include <algorithm>
#include <charconv>

namespace welarik {

namespace {

constexpr int kLoanTableLevel = 4;

std::string trimmed(const std::string &s)
{
    const size_t start = s.find_first_not_of(' ');
    if (start == std::string::npos)
        return {};
    const size_t end = s.find_last_not_of(' ');
    return s.substr(start, end - start + 1);
}

// The stem and the extension's letter case of a films table path.
std::pair<std::string, bool> stemOf(const std::string &filmsPath)
{
    const size_t slash = filmsPath.find_last_of('/');
    const size_t dot = filmsPath.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return {filmsPath, true};
    const std::string ext = filmsPath.substr(dot + 1);
    const bool upper
        = std::none_of(ext.begin(), ext.end(), [](char c) { return c >= 'a' && c <= 'z'; });
    return {filmsPath.substr(0, dot), upper};
}

} // namespace

std::string loanTablePath(const std::string &filmsPath)
{
    const auto [stem, upper] = stemOf(filmsPath);
    return stem + kLoanTableSuffix + (upper ? ".DBF" : ".dbf");
}

std::vector<std::string> loanTableFiles(const std::string &filmsPath)
{
    const std::string table = loanTablePath(filmsPath);
    const bool upper = table.back() == 'F';
    return {table, withExtension(table, upper ? ".MDX" : ".mdx")};
}

TableLayout loansLayout()
{
    return {"FILMY_WYP.DBF",
            {{"ID_CD", 'N', 6},
             {"ID_OSOBY", 'N', 6},
             {"DATA_WYP", 'D', 8},
             {"TERMIN", 'D', 8},
             {"DATA_ZWR", 'D', 8},
             {"UWAGI", 'C', 100}},
            {{"ID_CD", "ID_CD"}, {"ID_OSOBY", "ID_OSOBY"}, {"DATA_WYP", "DATA_WYP"}}};
}

LoanBook::LoanBook(FileSystem &fs)
    : m_fs(fs)
    , m_table("dbfWypozyczenia", fs)
{
    m_table.setExclusive(true);
}

void LoanBook::bindTo(const std::string &filmsPath)
{
    m_table.close();
    const std::string wanted = loanTablePath(filmsPath);
    m_path = m_fs.resolve(wanted).value_or(wanted);
    m_table.setFileName(m_path);
}

bool LoanBook::exists() const
{
    return !m_path.empty() && m_fs.exists(m_path);
}

bool LoanBook::holdsNoLoans() const
{
    try {
        auto file = m_fs.open(m_path, OpenMode::ReadOnly, ShareMode::Shared);
        uint8_t header[8] = {};
        if (file->size() < 32 || file->readAt(0, header, sizeof header) < sizeof header)
            return true;
        return (header[4] | header[5] << 8 | header[6] << 16 | header[7] << 24) == 0;
    } catch (const StorageError &) {
        return false; // locked or unreadable: leave it to the open's own error
    }
}

void LoanBook::removeFiles()
{
    for (const std::string &file :
         {m_path, withExtension(m_path, ".MDX"), withExtension(m_path, ".mdx")}) {
        if (m_fs.exists(file))
            m_fs.remove(file);
    }
}

void LoanBook::createTable()
{
    const TableLayout layout = loansLayout();
    try {
        TableEngine::create(
            m_fs, m_path, kLoanTableLevel, kLoanTableLdid, layout.fields, layout.tags)
            ->close();
    } catch (...) {
        removeFiles(); // nothing half made stays behind
        throw;
    }
}

void LoanBook::open(bool create)
{
    if (m_table.isOpen())
        return;
    if (m_path.empty())
        throw LendingError("Nie wskazano bazy wypożyczeń");
    if (!exists()) {
        if (!create)
            throw OpenError(m_path, "the loan table does not exist");
        createTable();
    }
    try {
        m_table.open();
    } catch (const StorageError &) {
        // A creation cut short (by a crash) leaves files that hold no loan: made again.
        if (!create || !holdsNoLoans())
            throw;
        removeFiles();
        createTable();
        m_table.open();
    }
    for (const FieldDesc &f : loansLayout().fields) {
        if (!m_table.hasField(f.name) || m_table.fieldByName(f.name).type != f.type) {
            m_table.close();
            throw LendingError(m_path + ": to nie jest baza wypożyczeń (brak pola " + f.name + ")");
        }
    }
    for (const char *tag : {"ID_CD", "ID_OSOBY"}) {
        const auto names = m_table.tagNames();
        if (std::find(names.begin(), names.end(), tag) == names.end()) {
            m_table.close();
            throw LendingError(m_path + ": baza wypożyczeń nie ma indeksu " + tag);
        }
    }
}

bool LoanBook::openIfExists()
{
    if (m_table.isOpen())
        return true;
    if (!exists())
        return false;
    try {
        open(false);
    } catch (const LendingError &) {
        throw;
    } catch (const StorageError &) {
        if (holdsNoLoans())
            return false; // a creation cut short: the first lend makes the table again
        throw;
    }
    return true;
}

void LoanBook::close()
{
    m_table.close();
}

Loan LoanBook::read(uint32_t recno) const
{
    Loan loan;
    loan.recno = recno;
    loan.film = integerOf(m_table, recno, "ID_CD");
    loan.friendId = integerOf(m_table, recno, "ID_OSOBY");
    loan.since = trimmed(m_table.asStringOf(recno, "DATA_WYP"));
    loan.due = trimmed(m_table.asStringOf(recno, "TERMIN"));
    loan.returned = trimmed(m_table.asStringOf(recno, "DATA_ZWR"));
    loan.remarks = trimmed(m_table.asStringOf(recno, "UWAGI"));
    return loan;
}

std::vector<Loan> LoanBook::readAll(const std::vector<uint32_t> &recnos) const
{
    std::vector<Loan> loans;
    loans.reserve(recnos.size());
    for (uint32_t r : recnos)
        loans.push_back(read(r));
    return loans;
}

std::optional<Loan> LoanBook::openLoanOf(int64_t film) const
{
    if (!m_table.isOpen())
        return std::nullopt;
    std::optional<Loan> newest;
    for (const Loan &loan : loansOfFilm(film)) {
        if (loan.isOpen() && (!newest || loan.since >= newest->since))
            newest = loan;
    }
    return newest;
}

std::vector<Loan> LoanBook::loansOfFilm(int64_t film) const
{
    if (!m_table.isOpen())
        return {};
    return readAll(m_table.recordsWithKey("ID_CD", std::to_string(film)));
}

std::vector<Loan> LoanBook::loansOfFriend(int64_t friendId) const
{
    if (!m_table.isOpen())
        return {};
    std::vector<Loan> loans = readAll(m_table.recordsWithKey("ID_OSOBY", std::to_string(friendId)));
    std::stable_sort(loans.begin(), loans.end(), [](const Loan &a, const Loan &b) {
        if (a.isOpen() != b.isOpen())
            return a.isOpen();
        if (a.since != b.since)
            return a.since > b.since;
        return a.recno > b.recno;
    });
    return loans;
}

std::vector<Loan> LoanBook::allLoans() const
{
    std::vector<Loan> loans;
    if (!m_table.isOpen())
        return loans;
    for (int row = 0, rows = m_table.rowCount(); row < rows; ++row)
        loans.push_back(read(m_table.recordAtRow(row)));
    return loans;
}

int64_t integerOf(const Table &table, uint32_t recno, const std::string &field)
{
    const std::string text = trimmed(table.asStringOf(recno, field));
    int64_t value = 0;
    const char *begin = text.data();
    const char *end = begin + text.size();
    if (begin != end && *begin == '+')
        ++begin;
    const auto result = std::from_chars(begin, end, value);
    if (result.ec != std::errc())
        return 0;
    return value; // a fraction stops at its point: rounded toward zero
}

void rewriteRecord(Table &table, uint32_t recno, const std::function<void(Table &)> &change)
{
    if (!table.gotoRecord(recno))
        throw LendingError(table.fileName() + ": rekord " + std::to_string(recno)
                           + " jest niedostępny");
    table.edit();
    try {
        change(table);
        table.post();
    } catch (...) {
        table.cancel();
        throw;
    }
}

uint32_t findFriend(const Table &friends, int64_t friendId)
{
    const std::vector<std::string> tags = friends.tagNames();
    if (std::find(tags.begin(), tags.end(), "ID_OSOBY") != tags.end()) {
        const std::vector<uint32_t> found
            = friends.recordsWithKey("ID_OSOBY", std::to_string(friendId));
        return found.empty() ? 0 : found.front();
    }
    const std::string wanted = std::to_string(friendId);
    for (int row = 0, rows = friends.rowCount(); row < rows; ++row) {
        const uint32_t r = friends.recordAtRow(row);
        if (trimmed(friends.asStringOf(r, "ID_OSOBY")) == wanted)
            return r;
    }
    return 0;
}

uint32_t findFilm(const Table &films, int64_t cdNumber)
{
    const std::vector<uint32_t> found = films.recordsWithKey("ID_CD", std::to_string(cdNumber));
    return found.empty() ? 0 : found.front();
}

std::string friendName(const Table &friends, uint32_t recno)
{
    const std::string first = trimmed(friends.asStringOf(recno, "IMIE"));
    const std::string last = trimmed(friends.asStringOf(recno, "NAZWISKO"));
    if (first.empty() || last.empty())
        return first + last;
    return first + " " + last;
}

} // namespace welarik
