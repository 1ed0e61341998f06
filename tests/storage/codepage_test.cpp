// SPDX-License-Identifier: GPL-3.0-or-later
#include "codepage.h"

#include <gtest/gtest.h>

using namespace welarik;

namespace {
std::string encode(CodePage cp, const std::string &utf8)
{
    std::string out, bad;
    EXPECT_TRUE(fromUtf8(cp, utf8, out, bad)) << bad;
    return out;
}
} // namespace

TEST(CodePage, LanguageDriverBytesAndNames)
{
    EXPECT_EQ(codePageForLdid(0x00), CodePage::Cp1250);
    EXPECT_EQ(codePageForLdid(0x57), CodePage::Cp1250);
    EXPECT_EQ(codePageForLdid(0xC8), CodePage::Cp1250);
    EXPECT_EQ(codePageForLdid(0x99), CodePage::Cp1250);
    EXPECT_EQ(codePageForLdid(0x23), CodePage::Cp852);
    EXPECT_EQ(codePageForLdid(0x64), CodePage::Cp852);
    EXPECT_EQ(codePageForLdid(0x1B), CodePage::Cp437);
    EXPECT_EQ(codePageForLdid(0x19), CodePage::Cp437);
    EXPECT_EQ(codePageForLdid(0x58), CodePage::Cp1252);
    EXPECT_EQ(codePageForDriverName("db852po0"), CodePage::Cp852);
    EXPECT_EQ(codePageForDriverName("DB437US0"), CodePage::Cp437);
    EXPECT_EQ(codePageForDriverName("DBWINWE0"), CodePage::Cp1252);
    EXPECT_EQ(codePageForDriverName("DB866RU0"), CodePage::Cp1250);
    EXPECT_STREQ(codePageName(CodePage::Cp852), "cp852");
}

TEST(CodePage, PolishLettersBothWays)
{
    const std::string polish = "ąćęłńóśźżĄĆĘŁŃÓŚŹŻ";
    EXPECT_EQ(encode(CodePage::Cp1250, polish),
              "\xB9\xE6\xEA\xB3\xF1\xF3\x9C\x9F\xBF\xA5\xC6\xCA\xA3\xD1\xD3\x8C\x8F\xAF");
    EXPECT_EQ(encode(CodePage::Cp852, polish),
              "\xA5\x86\xA9\x88\xE4\xA2\x98\xAB\xBE\xA4\x8F\xA8\x9D\xE3\xE0\x97\x8D\xBD");
    for (CodePage cp : {CodePage::Cp1250, CodePage::Cp852}) {
        EXPECT_EQ(toUtf8(cp, encode(cp, polish)), polish);
    }
    EXPECT_EQ(toUtf8(CodePage::Cp1252, "\x80\xE9\x81"), "€é\xEF\xBF\xBD");
    EXPECT_EQ(toUtf8(CodePage::Cp437, "\x81\xE1"), "üß");
    // Every defined byte of every code page survives the round trip.
    for (CodePage cp : {CodePage::Cp1250, CodePage::Cp852, CodePage::Cp437, CodePage::Cp1252}) {
        for (int b = 1; b < 256; ++b) {
            const std::string byte(1, static_cast<char>(b));
            const std::string utf8 = toUtf8(cp, byte);
            if (utf8 == "\xEF\xBF\xBD") {
                continue;
            }
            std::string out, bad;
            ASSERT_TRUE(fromUtf8(cp, utf8, out, bad)) << codePageName(cp) << " byte " << b;
            EXPECT_EQ(out, byte) << codePageName(cp) << " byte " << b;
        }
    }
}

TEST(CodePage, MissingCharactersAndBadUtf8AreReported)
{
    std::string out, bad;
    EXPECT_FALSE(fromUtf8(CodePage::Cp1250, "ab€c日", out, bad));
    EXPECT_EQ(bad, "日");
    EXPECT_FALSE(fromUtf8(CodePage::Cp437, "zażółć", out, bad));
    EXPECT_EQ(bad, "ż");
    EXPECT_FALSE(fromUtf8(CodePage::Cp1250, "a\xC5", out, bad));
    EXPECT_FALSE(fromUtf8(CodePage::Cp1250, "\xEF\xBF\xBD", out, bad));
    EXPECT_FALSE(fromUtf8(CodePage::Cp1250, "\xC0\x80", out, bad)); // overlong NUL
}

TEST(CodePage, UpperByte)
{
    const std::string lower = "abcząćęłńóśźżé";
    const std::string upper = "ABCZĄĆĘŁŃÓŚŹŻÉ";
    for (CodePage cp : {CodePage::Cp1250, CodePage::Cp852}) {
        const std::string l = encode(cp, lower);
        const std::string u = encode(cp, upper);
        for (size_t i = 0; i < l.size(); ++i) {
            EXPECT_EQ(upperByte(cp, static_cast<uint8_t>(l[i])), static_cast<uint8_t>(u[i]))
                << codePageName(cp) << " " << i;
            EXPECT_EQ(upperByte(cp, static_cast<uint8_t>(u[i])), static_cast<uint8_t>(u[i]));
        }
    }
    EXPECT_EQ(upperByte(CodePage::Cp1250, '1'), '1');
    EXPECT_EQ(upperByte(CodePage::Cp1250, 0xDF), 0xDF); // ß has no single capital
    EXPECT_EQ(upperByte(CodePage::Cp1252, 0xFF), 0x9F); // ÿ -> Ÿ
    EXPECT_EQ(upperByte(CodePage::Cp437, 0x81), 0x9A);  // ü -> Ü
    EXPECT_EQ(upperByte(CodePage::Cp437, 0xA0), 0xA0);  // á: no Á in cp437
}
