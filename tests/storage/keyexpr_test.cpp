// SPDX-License-Identifier: GPL-3.0-or-later
#include "bcd.h"
#include "errors.h"
#include "keyexpr.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {
// Record: flag, NAZWA C10 at 1, ILE N5 at 11, DATA D8 at 16.
const FieldList kFields
    = {{"NAZWA", 'C', 10, 0, 1}, {"ILE", 'N', 5, 1, 11}, {"DATA", 'D', 8, 0, 16}};

std::string record(const std::string &name, const std::string &num, const std::string &date)
{
    std::string r = " ";
    r += (name + std::string(10, ' ')).substr(0, 10);
    r += (std::string(5, ' ') + num).substr(num.size());
    r += date;
    return r;
}
} // namespace

TEST(KeyExpression, EvaluatesFunctionsAndConcatenation)
{
    // cp1250: ą = 0xB9, Ą = 0xA5, ł = 0xB3, Ł = 0xA3.
    std::string rec = record("\xB3\xB9ka x", "12.5", "20240229");
    KeyExpression up("upper(nazwa)", kFields, CodePage::Cp1250);
    ASSERT_TRUE(up.evaluable()) << up.error();
    EXPECT_EQ(up.type(), 'C');
    EXPECT_EQ(up.keyLength(), 10);
    EXPECT_TRUE(up.upperCased());
    EXPECT_EQ(up.evaluate(rec), "\xA3\xA5KA X    ");
    EXPECT_EQ(up.firstField(), "NAZWA");

    KeyExpression mix(
        "LEFT(NAZWA,3)+STR(ILE,6,2)+DTOS(DATA)+SUBSTR(nazwa, 2, 2)", kFields, CodePage::Cp1250);
    ASSERT_TRUE(mix.evaluable()) << mix.error();
    EXPECT_EQ(mix.keyLength(), 3 + 6 + 8 + 2);
    EXPECT_EQ(mix.evaluate(rec),
              "\xB3\xB9k"
              " 12.50"
              "20240229"
              "\xB9k");

    KeyExpression num("ILE", kFields, CodePage::Cp1250);
    EXPECT_EQ(num.type(), 'N');
    EXPECT_EQ(num.keyLength(), 12);
    EXPECT_DOUBLE_EQ(decodeBcd(reinterpret_cast<const uint8_t *>(num.evaluate(rec).data())), 12.5);
    KeyExpression date("data", kFields, CodePage::Cp1250);
    EXPECT_EQ(date.type(), 'D');
    EXPECT_EQ(date.keyLength(), 8);
    EXPECT_THROW(up.evaluate(rec.substr(0, 5)), IndexError);
}

TEST(KeyExpression, UnevaluableKeepsTheFirstField)
{
    for (const char *text : {"SOUNDEX(NAZWA)",
                             "NAZWA+ILE",
                             "BRAK",
                             "UPPER(NAZWA",
                             "LEFT(NAZWA)",
                             "NAZWA+",
                             "SUBSTR(NAZWA,40)",
                             ""}) {
        KeyExpression e(text, kFields, CodePage::Cp1250);
        EXPECT_FALSE(e.evaluable()) << text;
        EXPECT_FALSE(e.error().empty()) << text;
        EXPECT_THROW(e.evaluate(record("a", "1", "20000101")), IndexError) << text;
    }
    EXPECT_EQ(KeyExpression("SOUNDEX(NAZWA)", kFields, CodePage::Cp1250).firstField(), "NAZWA");
}

TEST(KeyExpression, SearchPrefix)
{
    KeyExpression up("UPPER(NAZWA)", kFields, CodePage::Cp1250);
    EXPECT_EQ(up.searchPrefix("łąka"), "\xA3\xA5KA");
    KeyExpression plain("NAZWA", kFields, CodePage::Cp1250);
    EXPECT_EQ(plain.searchPrefix("łą"), "\xB3\xB9");
    EXPECT_EQ(plain.searchPrefix("abcdefghijklmnop").size(), 10u);
    EXPECT_THROW(plain.searchPrefix("日本"), EncodingError);
    KeyExpression num("ILE", kFields, CodePage::Cp1250);
    EXPECT_EQ(num.searchPrefix("12.5").size(), 12u);
    EXPECT_EQ(num.searchPrefix("abc"), "");
}

// Character keys compare by bytes; the shorter one counts as padded with blanks.
TEST(KeyExpression, CompareKeysPadsTheShorterWithBlanks)
{
    using namespace std::literals;
    EXPECT_EQ(compareKeys('C', "AB", "AB  "), 0);
    EXPECT_EQ(compareKeys('C', "AB  ", "AB"), 0);
    EXPECT_LT(compareKeys('C', "AB", "ABC"), 0);
    EXPECT_GT(compareKeys('C', "ABC", "AB"), 0);
    EXPECT_GT(compareKeys('C', "AB", "AB\x01"sv), 0); // a blank is above control bytes
    EXPECT_LT(compareKeys('C', "AB\x01"sv, "AB"), 0);
    EXPECT_LT(compareKeys('C', "A\xA5", "A\xB9"), 0); // bytes are unsigned
    EXPECT_EQ(compareKeys('C', "", "   "), 0);
}
