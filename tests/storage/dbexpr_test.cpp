// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbexpr.h"
#include "filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace welarik;
using namespace welarik::dbexpr;

namespace {

// Deletion flag, TYTUL C(20), CENA N(6,1), OBEJRZAN L, DATA D, OPIS M.
FieldList layout()
{
    return {{"TYTUL", 'C', 20, 0, 1},
            {"CENA", 'N', 6, 1, 21},
            {"OBEJRZAN", 'L', 1, 0, 27},
            {"DATA", 'D', 8, 0, 28},
            {"OPIS", 'M', 10, 0, 36}};
}

// title in cp1250 bytes (ASCII here, or given as raw bytes).
std::vector<uint8_t> record(const std::string &title,
                            const std::string &price = "",
                            char watched = ' ',
                            const std::string &date = "",
                            bool deleted = false)
{
    std::vector<uint8_t> r(46, ' ');
    r[0] = deleted ? '*' : ' ';
    std::memcpy(r.data() + 1, title.data(), std::min<size_t>(title.size(), 20));
    std::memcpy(r.data() + 21 + 6 - price.size(), price.data(), price.size());
    r[27] = static_cast<uint8_t>(watched);
    std::memcpy(r.data() + 28, date.data(), std::min<size_t>(date.size(), 8));
    return r;
}

bool passes(const std::string &expression, const std::vector<uint8_t> &rec)
{
    return Program(Syntax::parse(expression), layout(), CodePage::Cp1250).matches(rec.data());
}

ErrorKind failure(const std::string &expression, size_t *position = nullptr)
{
    try {
        Program(Syntax::parse(expression), layout(), CodePage::Cp1250);
    } catch (const ExpressionError &e) {
        if (position)
            *position = e.position();
        return e.kind();
    }
    ADD_FAILURE() << expression << " was accepted";
    return ErrorKind::NotLogical;
}

} // namespace

TEST(DbExpr, ReportsWhatItCannotReadWithThePosition)
{
    struct Case
    {
        const char *text;
        ErrorKind kind;
        size_t position;
    };
    const Case cases[] = {
        {"TYTUL = 'abc", ErrorKind::UnterminatedText, 9},
        {"CENA > ", ErrorKind::ExpectedOperand, 8},
        {"(CENA > 1", ErrorKind::ExpectedCloseParen, 10},
        {"CENA > 1 CENA", ErrorKind::TrailingText, 10},
        {"CENA ~ 1", ErrorKind::UnexpectedChar, 6},
        {"CENA > 1.2.3", ErrorKind::BadConstant, 8},
        {"DATA > {02/30/2000}", ErrorKind::BadConstant, 8},
        {"OBEJRZAN .XOR. .T.", ErrorKind::UnexpectedChar, 10},
        {"ŻÓŁW = 1", ErrorKind::UnexpectedChar, 1},
        {"'ż' $ BRAK", ErrorKind::UnknownField, 7},
        {"FOO(TYTUL)", ErrorKind::UnknownFunction, 1},
        {"LEFT(TYTUL) = 'a'", ErrorKind::ArgumentCount, 1},
        {"UPPER(CENA) = 'a'", ErrorKind::TypeMismatch, 7},
        {"TYTUL = 1", ErrorKind::TypeMismatch, 7},
        {"OBEJRZAN < .T.", ErrorKind::TypeMismatch, 10},
        {"'a' $ OPIS", ErrorKind::UnusableField, 7},
        {"TYTUL = '日本'", ErrorKind::Unencodable, 9},
        {"CENA + 1", ErrorKind::NotLogical, 6},
    };
    for (const Case &c : cases) {
        size_t position = 0;
        EXPECT_EQ(failure(c.text, &position), c.kind) << c.text;
        EXPECT_EQ(position, c.position) << c.text;
    }
    EXPECT_EQ(failure(std::string(500, '(') + "1"), ErrorKind::TooDeep);
    // The error is a StateError whose text names the expression and the position.
    try {
        Syntax::parse("CENA >");
        FAIL();
    } catch (const StateError &e) {
        EXPECT_NE(std::string(e.what()).find("\"CENA >\" at position 7"), std::string::npos);
    }
}

TEST(DbExpr, TextsCompareTheDbaseWay)
{
    const auto wilk = record("Wilk i zając");
    EXPECT_TRUE(passes("TYTUL = 'Wilk'", wilk));   // up to the right side's length
    EXPECT_TRUE(passes("TYTUL = ''", wilk));       // an empty right side: always
    EXPECT_FALSE(passes("TYTUL == 'Wilk'", wilk)); // whole texts
    EXPECT_TRUE(passes("TRIM(TYTUL) == 'Wilk i zaj' + 'ąc'",
                       record("Wilk i zaj\xB9"
                              "c")));
    EXPECT_TRUE(passes("TYTUL # 'Wilk ' .AND. TYTUL <> 'wilk'", record("Wilkołak")));
    EXPECT_TRUE(passes("TYTUL < 'X' .AND. TYTUL >= 'W' .AND. !(TYTUL > 'Wz')", wilk));
    EXPECT_TRUE(passes("'i za' $ TYTUL .AND. .NOT. 'I ZA' $ TYTUL", wilk));
    EXPECT_TRUE(passes("'I ZA' $ UPPER(TYTUL) .AND. 'wilk' $ LOWER(TYTUL)", wilk));
    EXPECT_TRUE(passes("'' $ TYTUL", wilk));
}

TEST(DbExpr, PolishLettersFollowTheCodePage)
{
    const auto lodz = record("\xA3\xF3"
                             "d\x9F"); // Łódź in cp1250
    EXPECT_TRUE(passes("TYTUL = 'Łódź'", lodz));
    EXPECT_TRUE(passes("UPPER(TYTUL) = 'ŁÓDŹ' .AND. LOWER(TYTUL) = 'łódź'", lodz));
    EXPECT_TRUE(passes("BEZOGONKOW(TYTUL) = 'Lodz'", lodz));
    EXPECT_TRUE(passes("'LODZ' $ UPPER(BEZOGONKOW(TYTUL))", lodz));
    EXPECT_FALSE(passes("'Lodz' $ TYTUL", lodz));
    // "$" over UPPER/LOWER/BEZOGONKOW of a field reads it through one byte map.
    EXPECT_TRUE(passes("'ŁÓ' $ UPPER(TYTUL) .AND. 'lo' $ LOWER(BEZOGONKOW(TYTUL))", lodz));
    EXPECT_FALSE(passes("'ÓD' $ LOWER(TYTUL)", lodz));
    EXPECT_TRUE(passes("UPPER(LEFT(TYTUL, 2)) $ UPPER(TYTUL)", lodz));
    const auto full = record("abcdefghijklmnopqrst");
    EXPECT_TRUE(passes("'RST' $ UPPER(TYTUL) .AND. 'ABC' $ UPPER(TYTUL)", full));
    EXPECT_FALSE(passes("'RSTU' $ UPPER(TYTUL)", full));
    EXPECT_EQ(withoutDiacritics("Zażółć gęślą JAŹŃ"), "Zazolc gesla JAZN");
}

TEST(DbExpr, NumbersDatesAndLogicals)
{
    const auto r = record("Film", "  12.5", 'T', "19991231");
    EXPECT_TRUE(passes("CENA = 12.5 .AND. CENA > 12 .AND. CENA <= 12.5 .AND. CENA # 13", r));
    EXPECT_TRUE(passes("CENA * 2 - 5 = 20 .AND. -CENA < 0 .AND. CENA / 5 = 2.5", r));
    EXPECT_TRUE(passes("OBEJRZAN .AND. OBEJRZAN = .T. .AND. .NOT. OBEJRZAN = .N.", r));
    EXPECT_TRUE(
        passes("DATA = {12/31/1999} .AND. DATA = {31.12.1999} .AND. DATA = {1999-12-31}", r));
    EXPECT_TRUE(passes("DATA + 1 = CTOD('01/01/2000') .AND. DATA - {12/01/1999} = 30", r));
    EXPECT_TRUE(passes("YEAR(DATA) = 1999 .AND. MONTH(DATA) = 12 .AND. DAY(DATA) = 31", r));
    EXPECT_TRUE(passes("DTOS(DATA) = '19991231' .AND. DATA > {} .AND. CTOD('x') = {}", r));
    const auto blank = record("");
    EXPECT_TRUE(passes("CENA = 0 .AND. .NOT. OBEJRZAN .AND. DATA < {01/01/0001}", blank));
    EXPECT_TRUE(
        passes("EMPTY(TYTUL) .AND. EMPTY(CENA) .AND. EMPTY(DATA) .AND. EMPTY(OBEJRZAN)", blank));
    EXPECT_FALSE(passes("EMPTY(TYTUL) .OR. EMPTY(CENA) .OR. EMPTY(DATA) .OR. EMPTY(OBEJRZAN)", r));
    EXPECT_TRUE(passes("DELETED()", record("x", "", ' ', "", true)));
    EXPECT_FALSE(passes("DELETED()", r));
}

TEST(DbExpr, TextFunctions)
{
    const auto r = record("  Ogniem i mieczem");
    EXPECT_TRUE(passes("LTRIM(TYTUL) = 'Ogniem' .AND. ALLTRIM(TYTUL) == 'Ogniem i mieczem'", r));
    EXPECT_TRUE(
        passes("LEN(TYTUL) = 20 .AND. LEN(TRIM(TYTUL)) = 18 .AND. LEN(RTRIM(TYTUL)) = 18", r));
    EXPECT_TRUE(passes("SUBSTR(TYTUL, 3, 6) == 'Ogniem' .AND. SUBSTR(TYTUL, 12) = 'mieczem'", r));
    EXPECT_TRUE(passes("LEFT(TYTUL, 4) == '  Og' .AND. RIGHT(TRIM(TYTUL), 3) == 'zem'", r));
    EXPECT_TRUE(passes("SUBSTR(TYTUL, 99) == '' .AND. LEFT(TYTUL, -1) == ''", r));
    EXPECT_TRUE(passes("AT('mie', TYTUL) = 12 .AND. AT('xyz', TYTUL) = 0", r));
    EXPECT_TRUE(passes("VAL(' 42abc') = 42 .AND. VAL('-1.5') = -1.5 .AND. VAL('x') = 0", r));
    EXPECT_TRUE(passes("STR(42) == '        42' .AND. STR(3.14159, 6, 2) == '  3.14'", r));
    EXPECT_TRUE(passes("STR(123456, 3) == '***' .AND. [a] + \"b\" == 'ab'", r));
    EXPECT_TRUE(passes("'ab  ' - 'cd' == 'abcd  '", r));
}

TEST(DbExpr, TheOldFormsKeepTheirRules)
{
    // "=" on a text of the old form compares the whole value, unlike the dBase rule.
    const FieldList fields = layout();
    const auto wilk = record("Wilk i zając");
    const CompiledFilter old(parseFilterExpression("TYTUL='Wilk'"), fields, CodePage::Cp1250);
    EXPECT_FALSE(old.needsRecord());
    EXPECT_FALSE(old.matches(wilk.data()));
    const CompiledFilter dbase(
        parseFilterExpression("TYTUL='Wilk' .AND. CENA=0"), fields, CodePage::Cp1250);
    EXPECT_TRUE(dbase.needsRecord());
    EXPECT_TRUE(dbase.matches(wilk.data()));
    EXPECT_THROW(parseFilterExpression("GATUNEK='Rock'n'roll'"), ExpressionError);
    EXPECT_EQ(quoteText("Rock'n'roll"), "\"Rock'n'roll\"");
    EXPECT_EQ(quoteText("a'b\"c"), "[a'b\"c]");
}
