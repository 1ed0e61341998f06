// SPDX-License-Identifier: GPL-3.0-or-later
#include "errors.h"
#include "filter.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using namespace welarik;

namespace {

// A record layout like the films table's: deletion flag, GATUNEK C(20), ID_OSOBY N(3), OBEJRZAN L.
FieldList layout()
{
    return {{"GATUNEK", 'C', 20, 0, 1}, {"ID_OSOBY", 'N', 3, 0, 21}, {"OBEJRZAN", 'L', 1, 0, 24}};
}

std::vector<uint8_t> record(const std::string &genre, const std::string &person)
{
    std::vector<uint8_t> r(25, ' ');
    std::memcpy(r.data() + 1, genre.data(), std::min<size_t>(genre.size(), 20));
    std::memcpy(r.data() + 21, person.data(), std::min<size_t>(person.size(), 3));
    return r;
}

bool passes(const std::string &expression, const std::vector<uint8_t> &rec)
{
    return CompiledFilter(parseFilter(expression), layout(), CodePage::Cp1250).matches(rec.data());
}

} // namespace

TEST(Filter, ParsesTheThreeForms)
{
    EXPECT_EQ(parseFilter("").kind, FilterExpr::Kind::None);
    EXPECT_EQ(parseFilter("   ").kind, FilterExpr::Kind::None);

    const FilterExpr n = parseFilter(" ID_OSOBY = -1.5 ");
    EXPECT_EQ(n.kind, FilterExpr::Kind::Number);
    EXPECT_EQ(n.field, "ID_OSOBY");
    EXPECT_EQ(n.number, -1.5);

    const FilterExpr t = parseFilter("GATUNEK='Sci-Fi = dobre '");
    EXPECT_EQ(t.kind, FilterExpr::Kind::Text);
    EXPECT_EQ(t.text, "Sci-Fi = dobre");
    EXPECT_EQ(parseFilter("GATUNEK=''").text, "");
    EXPECT_EQ(parseFilter("GATUNEK=\"Rock'n'roll\"").text, "Rock'n'roll");
}

TEST(Filter, RejectsWhatDoesNotParse)
{
    for (const char *bad : {"ID_OSOBY",
                            "=1",
                            "ID_OSOBY=",
                            "ID_OSOBY=x",
                            "ID_OSOBY=1x",
                            "ID_OSOBY=1.2.3",
                            "ID_OSOBY=-",
                            "ID_OSOBY=.",
                            "GATUNEK='Dramat",
                            "GATUNEK='Rock'n'roll'",
                            "ID_OSOBY=1 AND T_PL='x'",
                            "ID_OSOBY<1"}) {
        EXPECT_THROW(parseFilter(bad), StateError) << bad;
    }
}

TEST(Filter, TextComparesWholeValueIgnoringStoredTrailingBlanks)
{
    EXPECT_TRUE(passes("GATUNEK='Dramat'", record("Dramat", "")));
    EXPECT_FALSE(passes("GATUNEK='Dramat'", record("Dramat, Komedia", "")));
    EXPECT_FALSE(passes("GATUNEK='Dramat'", record("dramat", "")));
    EXPECT_FALSE(passes("GATUNEK='Dramat'", record(" Dramat", "")));
    EXPECT_FALSE(passes("GATUNEK='Drama'", record("Dramat", "")));
    EXPECT_TRUE(passes("GATUNEK=''", record("", "")));
    EXPECT_FALSE(passes("GATUNEK=''", record("x", "")));
    // Polish letters go through the code page.
    std::vector<uint8_t> polish = record("", "");
    polish[1] = 0xA3; // Ł in cp1250
    polish[2] = 'z';
    EXPECT_TRUE(passes("GATUNEK='Łz'", polish));
    // Longer than the field, or not storable in the code page: passes nothing, no error.
    EXPECT_FALSE(
        passes("GATUNEK='" + std::string(30, 'a') + "'", record(std::string(20, 'a'), "")));
    EXPECT_FALSE(passes("GATUNEK='日本'", record("", "")));
}

TEST(Filter, NumbersCompareByValueAndBlankIsZero)
{
    EXPECT_TRUE(passes("ID_OSOBY=0", record("", "   ")));
    EXPECT_TRUE(passes("ID_OSOBY=0", record("", "  0")));
    EXPECT_FALSE(passes("ID_OSOBY=1", record("", "   ")));
    EXPECT_TRUE(passes("ID_OSOBY=1", record("", "  1")));
    EXPECT_TRUE(passes("ID_OSOBY=1.0", record("", "1  ")));
    EXPECT_FALSE(passes("ID_OSOBY=1", record("", " 11")));
    EXPECT_TRUE(passes("ID_OSOBY=-1", record("", " -1")));
    EXPECT_FALSE(passes("ID_OSOBY=0", record("", "***"))); // overflow marks are no number
}

TEST(Filter, FieldMustExistAndFitTheValue)
{
    const FieldList fields = layout();
    EXPECT_THROW(CompiledFilter(parseFilter("BRAK=1"), fields, CodePage::Cp1250), FieldError);
    EXPECT_THROW(CompiledFilter(parseFilter("GATUNEK=1"), fields, CodePage::Cp1250), FieldError);
    EXPECT_THROW(CompiledFilter(parseFilter("ID_OSOBY='1'"), fields, CodePage::Cp1250), FieldError);
    EXPECT_THROW(CompiledFilter(parseFilter("OBEJRZAN=1"), fields, CodePage::Cp1250), FieldError);
    // Field names are found in any letter case.
    EXPECT_NO_THROW(CompiledFilter(parseFilter("id_osoby=0"), fields, CodePage::Cp1250));
}
