// SPDX-License-Identifier: GPL-3.0-or-later
// Searches built from conditions, run as the films table's filter, against a brute-force scan of
// the same generated catalogue.
#include "dbexpr.h"
#include "dbsearch.h"
#include "demo.h"
#include "memfs.h"
#include "table.h"

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

using namespace welarik;

namespace {

std::u32string decode(const std::string &s)
{
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        const auto c = static_cast<uint8_t>(s[i]);
        const int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : c >= 0xC0 ? 1 : 0;
        char32_t cp = extra == 0 ? c : (c & (0x3F >> extra));
        for (int k = 1; k <= extra && i + k < s.size(); ++k)
            cp = (cp << 6) | (static_cast<uint8_t>(s[i + k]) & 0x3F);
        out += cp;
        i += 1 + extra;
    }
    return out;
}

// Upper case and plain letters of what the demo catalogue holds: ASCII and its Polish letters.
const std::map<char32_t, std::pair<char32_t, char32_t>> kLetters
    = {{U'ą', {U'Ą', U'a'}}, {U'Ą', {U'Ą', U'A'}}, {U'ć', {U'Ć', U'c'}}, {U'Ć', {U'Ć', U'C'}},
       {U'ę', {U'Ę', U'e'}}, {U'Ę', {U'Ę', U'E'}}, {U'ł', {U'Ł', U'l'}}, {U'Ł', {U'Ł', U'L'}},
       {U'ń', {U'Ń', U'n'}}, {U'Ń', {U'Ń', U'N'}}, {U'ó', {U'Ó', U'o'}}, {U'Ó', {U'Ó', U'O'}},
       {U'ś', {U'Ś', U's'}}, {U'Ś', {U'Ś', U'S'}}, {U'ź', {U'Ź', U'z'}}, {U'Ź', {U'Ź', U'Z'}},
       {U'ż', {U'Ż', U'z'}}, {U'Ż', {U'Ż', U'Z'}}, {U'š', {U'Š', U's'}}, {U'é', {U'É', U'e'}}};

std::u32string normalise(const std::string &utf8, bool ignoreCase, bool ignoreDiacritics)
{
    std::u32string s = decode(utf8);
    for (char32_t &c : s) {
        const auto it = kLetters.find(c);
        if (ignoreDiacritics && it != kLetters.end())
            c = it->second.second;
        if (ignoreCase) {
            const auto up = kLetters.find(c);
            if (c >= U'a' && c <= U'z')
                c = c - U'a' + U'A';
            else if (up != kLetters.end())
                c = up->second.first;
        }
    }
    return s;
}

double leadingNumber(const std::string &s)
{
    try {
        return std::stod(s);
    } catch (...) {
        return 0;
    }
}

struct FieldCase
{
    const char *name;
    SearchKind kind;
};

const FieldCase kFields[] = {{"T_PL", SearchKind::Text},
                             {"T_ORG", SearchKind::Text},
                             {"AKTORZY", SearchKind::Text},
                             {"GATUNEK", SearchKind::Text},
                             {"CVIDEO", SearchKind::Text},
                             {"REZYSER", SearchKind::Text},
                             {"ID_CD", SearchKind::Number},
                             {"ILOSC_CD", SearchKind::Number},
                             {"D_PROD", SearchKind::Year},
                             {"OBEJRZAN", SearchKind::Logical},
                             {"ID_OSOBY", SearchKind::Flag}};

using Film = std::map<std::string, std::string>; // field -> text as the table gives it

bool holds(const SearchCondition &c, const Film &film)
{
    const std::string &text = film.at(c.field);
    if (c.kind == SearchKind::Text) {
        const std::u32string f = normalise(text, c.ignoreCase, c.ignoreDiacritics);
        const std::u32string v = normalise(c.value, c.ignoreCase, c.ignoreDiacritics);
        if (v.empty())
            return c.op != SearchOp::Equals || f.empty();
        switch (c.op) {
        case SearchOp::Contains:
            return f.find(v) != std::u32string::npos;
        case SearchOp::StartsWith:
            return f.compare(0, v.size(), v) == 0;
        case SearchOp::Equals:
            return f == v;
        default:
            return f.find(v) == std::u32string::npos;
        }
    }
    if (c.kind == SearchKind::Logical)
        return (text == "T") == (c.op == SearchOp::Yes);
    const double x = leadingNumber(text);
    if (c.kind == SearchKind::Flag)
        return (x != 0) == (c.op == SearchOp::Yes);
    const double a = std::stod(c.value);
    switch (c.op) {
    case SearchOp::Eq:
        return x == a;
    case SearchOp::Ne:
        return x != a;
    case SearchOp::Lt:
        return x < a;
    case SearchOp::Le:
        return x <= a;
    case SearchOp::Gt:
        return x > a;
    case SearchOp::Ge:
        return x >= a;
    default:
        return x >= a && x <= std::stod(c.value2);
    }
}

class SearchTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        DemoOptions options;
        options.films = 2000;
        options.seed = 24;
        options.churn = 150;
        EngineDemoWriter writer;
        createDemoCatalogue(fs, "/cat", options, writer);
        table.setFileName("/cat/FILMY.DBF");
        table.setFiltered(true);
        table.open();
        for (int row = 0; row < table.rowCount(); ++row) {
            const uint32_t recno = table.recordAtRow(row);
            Film film;
            for (const FieldCase &f : kFields)
                film[f.name] = table.asStringOf(recno, f.name);
            films[recno] = film;
        }
    }

    std::set<uint32_t> visible() const
    {
        std::set<uint32_t> rows;
        for (int row = 0; row < table.rowCount(); ++row)
            rows.insert(table.recordAtRow(row));
        return rows;
    }

    SearchCondition randomCondition(std::mt19937 &rng)
    {
        const FieldCase &f = kFields[rng() % std::size(kFields)];
        SearchCondition c;
        c.field = f.name;
        c.kind = f.kind;
        const std::vector<SearchOp> ops = searchOpsFor(f.kind);
        c.op = ops[rng() % ops.size()];
        c.ignoreCase = rng() % 2 == 0;
        c.ignoreDiacritics = rng() % 2 == 0;
        auto film = films.begin();
        std::advance(film, static_cast<long>(rng() % films.size()));
        const std::string sample = film->second.at(c.field);
        if (f.kind == SearchKind::Text)
            c.value = pieceOf(sample, c, rng);
        const int base = static_cast<int>(leadingNumber(sample));
        c.value = f.kind == SearchKind::Text ? c.value : std::to_string(base + int(rng() % 3) - 1);
        c.value2 = std::to_string(base + int(rng() % 40));
        return c;
    }

    // A piece of a stored text, maybe in other letter case or without its diacritics.
    static std::string pieceOf(const std::string &text, const SearchCondition &c, std::mt19937 &rng)
    {
        const std::u32string s = decode(text);
        const size_t from = c.op == SearchOp::Contains || c.op == SearchOp::NotContains
                                ? rng() % (s.size() + 1)
                                : 0;
        const size_t length = c.op == SearchOp::Equals ? s.size() : 1 + rng() % 6;
        std::string piece;
        for (char32_t ch : s.substr(from, length)) {
            if (c.ignoreCase && ch >= U'A' && ch <= U'Z' && rng() % 2)
                ch = ch - U'A' + U'a';
            if (ch < 0x80)
                piece += static_cast<char>(ch);
            else if (ch < 0x800)
                piece
                    += {static_cast<char>(0xC0 | (ch >> 6)), static_cast<char>(0x80 | (ch & 0x3F))};
            else
                piece += {static_cast<char>(0xE0 | (ch >> 12)),
                          static_cast<char>(0x80 | ((ch >> 6) & 0x3F)),
                          static_cast<char>(0x80 | (ch & 0x3F))};
        }
        if (c.ignoreDiacritics && rng() % 2)
            piece = dbexpr::withoutDiacritics(piece);
        while (!piece.empty() && piece.back() == ' ')
            piece.pop_back();
        return piece;
    }

    MemoryFileSystem fs;
    Table table{"dbfFilmy", fs};
    std::map<uint32_t, Film> films;
};

} // namespace

TEST_F(SearchTest, EveryOperatorOnEveryKindMatchesABruteForceScan)
{
    std::mt19937 rng(2024);
    int partial = 0; // searches that found some films but not all
    std::map<std::pair<std::string, int>, int> tried;
    for (int round = 0; round < 400; ++round) {
        std::vector<SearchCondition> conditions;
        const int n = 1 + static_cast<int>(rng() % 3);
        for (int i = 0; i < n; ++i)
            conditions.push_back(randomCondition(rng));
        const bool all = rng() % 2 == 0;
        const SearchExpression e = buildSearchExpression(conditions, all);
        ASSERT_EQ(e.badCondition, -1);
        table.setFilter(e.text);
        std::set<uint32_t> expected;
        for (const auto &[recno, film] : films) {
            bool result = all;
            for (const SearchCondition &c : conditions) {
                const bool skipped
                    = c.kind == SearchKind::Text && c.value.empty() && c.op != SearchOp::Equals;
                if (!skipped)
                    result = all ? result && holds(c, film) : result || holds(c, film);
                else if (!all && n == 1)
                    result = true;
            }
            if (e.text.empty() || result)
                expected.insert(recno);
        }
        ASSERT_EQ(visible(), expected) << e.text;
        partial += !expected.empty() && expected.size() < films.size() ? 1 : 0;
        for (const SearchCondition &c : conditions)
            ++tried[{c.field, static_cast<int>(c.op)}];
    }
    EXPECT_GT(partial, 200);
    // Every field met every operator of its kind.
    for (const FieldCase &f : kFields) {
        for (SearchOp op : searchOpsFor(f.kind))
            EXPECT_GT((tried[{f.name, static_cast<int>(op)}]), 0) << f.name;
    }
}

TEST_F(SearchTest, TheFilterSurvivesAReopenAndTheOldFormsStillWork)
{
    table.setFilter("('a' $ LOWER(T_PL)) .AND. ID_CD > 100");
    const std::set<uint32_t> found = visible();
    ASSERT_FALSE(found.empty());
    table.close();
    table.open();
    EXPECT_EQ(visible(), found);
    EXPECT_EQ(table.recordCount(), static_cast<int>(found.size()));

    table.setFilter("ID_OSOBY=0");
    std::set<uint32_t> shelf;
    for (const auto &[recno, film] : films) {
        if (leadingNumber(film.at("ID_OSOBY")) == 0)
            shelf.insert(recno);
    }
    EXPECT_EQ(visible(), shelf);
    EXPECT_THROW(table.setFilter("ID_CD > "), dbexpr::ExpressionError);
    EXPECT_EQ(visible(), shelf); // the previous filter stays
}

TEST(Search, BuildsTheExpressionAndNamesABadValue)
{
    SearchCondition actor{
        "AKTORZY", SearchKind::Text, SearchOp::Contains, "Olbrychski", {}, true, true};
    SearchCondition year{
        "D_PROD", SearchKind::Year, SearchOp::Between, "1970", "1979", true, false};
    SearchCondition watched{"OBEJRZAN", SearchKind::Logical, SearchOp::No, {}, {}, true, false};
    EXPECT_EQ(buildSearchExpression({actor, year, watched}, true).text,
              "(UPPER(BEZOGONKOW('Olbrychski')) $ UPPER(BEZOGONKOW(AKTORZY))) .AND. "
              "(VAL(D_PROD) >= 1970 .AND. VAL(D_PROD) <= 1979) .AND. (.NOT. OBEJRZAN)");
    SearchCondition cd{"ID_CD", SearchKind::Number, SearchOp::Ge, " 1,5 ", {}, true, false};
    EXPECT_EQ(buildSearchExpression({cd}, false).text, "(ID_CD >= 1.5)");
    cd.value = "12x";
    const SearchExpression bad = buildSearchExpression({watched, cd}, false);
    EXPECT_EQ(bad.badCondition, 1);
    EXPECT_EQ(bad.fault, SearchExpression::Fault::NotANumber);
    EXPECT_TRUE(bad.text.empty());
}
