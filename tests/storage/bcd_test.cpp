// SPDX-License-Identifier: GPL-3.0-or-later
#include "bcd.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

using namespace welarik;

namespace {
std::vector<uint8_t> key(const char *text)
{
    std::vector<uint8_t> k(kBcdKeyLength);
    EXPECT_TRUE(encodeBcd(text, k.data())) << text;
    return k;
}
} // namespace

TEST(Bcd, EncodesLikeDbaseIv)
{
    EXPECT_EQ(key("10"), (std::vector<uint8_t>{0x36, 0x29, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("        15"),
              (std::vector<uint8_t>{0x36, 0x29, 0x15, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("1234.5"),
              (std::vector<uint8_t>{0x38, 0x51, 0x12, 0x34, 0x50, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("-3"), (std::vector<uint8_t>{0x35, 0xA9, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("0.05"), (std::vector<uint8_t>{0x33, 0x51, 0x50, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("999999999"),
              (std::vector<uint8_t>{0x3D, 0x29, 0x99, 0x99, 0x99, 0x99, 0x90, 0, 0, 0, 0, 0}));
    EXPECT_EQ(key("12345678901")[1], 0x51); // more than 10 digits: L = 20
    EXPECT_EQ(key("0")[0], kBcdZeroExponent);
    EXPECT_EQ(key("   "), key("0.000"));
    uint8_t k[kBcdKeyLength];
    EXPECT_FALSE(encodeBcd("12a", k));
    EXPECT_FALSE(encodeBcd("-", k));
    EXPECT_FALSE(encodeBcd("1.2.3", k));
}

TEST(Bcd, DecodesAndComparesByValue)
{
    EXPECT_DOUBLE_EQ(decodeBcd(key("1234.5").data()), 1234.5);
    EXPECT_DOUBLE_EQ(decodeBcd(key("-0.05").data()), -0.05);
    EXPECT_EQ(bcdToText(key("-1200").data()), "-1200");
    EXPECT_EQ(bcdToText(key("0.05").data()), "0.05");
    const char *ascending[] = {"-1000", "-3", "-0.5", "0", "0.05", "0.5", "3", "10", "15", "1e0"};
    for (int i = 0; i + 2 < 9; ++i)
        EXPECT_LT(compareBcd(key(ascending[i]).data(), key(ascending[i + 1]).data()), 0)
            << ascending[i] << " < " << ascending[i + 1];
    // Another writer's zero (35 10) and digit counts compare equal to ours.
    std::vector<uint8_t> foreignZero = {0x35, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(compareBcd(foreignZero.data(), key("0").data()), 0);
    std::vector<uint8_t> ten = {0x36, 0x05, 0x10, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(compareBcd(ten.data(), key("10").data()), 0);
    uint8_t d[kBcdKeyLength];
    encodeBcd(-2.25, d);
    EXPECT_EQ(bcdToText(d), "-2.25");
}

TEST(DateKey, JulianDayDouble)
{
    EXPECT_EQ(julianDay(1, 1, 1), 1721426);
    uint8_t k[kDateKeyLength];
    ASSERT_TRUE(encodeDateKey("20000101", k));
    const uint8_t expected[] = {0x00, 0x00, 0x00, 0x80, 0x2C, 0xB4, 0x42, 0x41};
    EXPECT_EQ(std::vector<uint8_t>(k, k + 8), std::vector<uint8_t>(expected, expected + 8));
    uint8_t blank[kDateKeyLength];
    ASSERT_TRUE(encodeDateKey("        ", blank));
    EXPECT_GT(compareDateKeys(blank, k), 0);
    EXPECT_FALSE(encodeDateKey("20230230", k));
    EXPECT_FALSE(encodeDateKey("2023013", k));
}

// The byte-wise comparison orders keys exactly as their values, across signs, exponents, digit
// counts, zeros of other writers and out-of-range nibbles (read as 9).
TEST(Bcd, ByteComparisonAgreesWithTheValues)
{
    std::mt19937 rng(11);
    std::vector<std::string> texts = {"0", "-0.000", "   ", "0.001", "-0.001", "999999.999"};
    for (int i = 0; i < 400; ++i) {
        std::string t = (rng() % 3 == 0 ? "-" : "") + std::to_string(rng() % 1000000);
        if (rng() % 2)
            t += "." + std::to_string(rng() % 1000);
        texts.push_back(t);
    }
    auto sign = [](double v) {
        return v < 0 ? -1 : (v > 0 ? 1 : 0);
    };
    for (size_t i = 0; i < texts.size(); ++i) {
        for (size_t j = 0; j < texts.size(); j += 7) {
            const auto a = key(texts[i].c_str()), b = key(texts[j].c_str());
            ASSERT_EQ(sign(compareBcd(a.data(), b.data())),
                      sign(decodeBcd(a.data()) - decodeBcd(b.data())))
                << texts[i] << " vs " << texts[j];
        }
    }
    std::vector<uint8_t> nines = key("9.99");
    std::vector<uint8_t> bad = nines;
    bad[2] = 0xFF; // nibbles above 9 read as 9
    EXPECT_EQ(compareBcd(bad.data(), key("9.99").data()), 0);
    EXPECT_GT(compareBcd(bad.data(), key("9.98").data()), 0);
}
