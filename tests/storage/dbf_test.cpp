// SPDX-License-Identifier: GPL-3.0-or-later
#include "coding.h"
#include "dbf.h"
#include "dbt.h"
#include "decode.h"
#include "errors.h"
#include "memfs.h"
#include "testsupport.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace welarik;

namespace {

struct F
{
    const char *name;
    char type;
    uint8_t length;
    uint8_t decimals = 0;
};

// A level-3/4 table image: header, descriptors, 0x0D, records (given as text without the
// deletion flag unless `flagged`), 0x1A.
std::vector<uint8_t> image(std::vector<F> fields,
                           std::vector<std::string> records,
                           uint8_t version = 0x03,
                           uint8_t ldid = 0x57)
{
    uint16_t recLen = 1;
    for (const F &f : fields) {
        recLen = static_cast<uint16_t>(recLen + f.length);
    }
    const uint16_t headerLength = static_cast<uint16_t>(32 + 32 * fields.size() + 1);
    std::vector<uint8_t> b(headerLength, 0);
    b[0] = version;
    b[1] = 124;
    b[2] = 1;
    b[3] = 2;
    encodeLe32(b.data() + 4, static_cast<uint32_t>(records.size()));
    encodeLe16(b.data() + 8, headerLength);
    encodeLe16(b.data() + 10, recLen);
    b[29] = ldid;
    for (size_t i = 0; i < fields.size(); ++i) {
        uint8_t *d = b.data() + 32 + 32 * i;
        std::memcpy(d, fields[i].name, std::strlen(fields[i].name));
        d[11] = static_cast<uint8_t>(fields[i].type);
        d[16] = fields[i].length;
        d[17] = fields[i].decimals;
    }
    b[headerLength - 1] = 0x0D;
    for (const std::string &r : records) {
        EXPECT_EQ(r.size(), recLen) << r;
        b.insert(b.end(), r.begin(), r.end());
    }
    b.push_back(0x1A);
    return b;
}

std::unique_ptr<DbfFile> openImage(MemoryFileSystem &fs, std::vector<uint8_t> bytes)
{
    fs.setFileBytes("T.DBF", std::move(bytes));
    return DbfFile::open(fs, "T.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
}

std::string corruptFault(std::vector<uint8_t> bytes)
{
    MemoryFileSystem fs;
    try {
        openImage(fs, std::move(bytes));
    } catch (const CorruptFileError &e) {
        EXPECT_EQ(e.file(), "T.DBF");
        return e.fault();
    }
    return "no error";
}

} // namespace

TEST(DbfImages, ValuesOfEveryKind)
{
    MemoryFileSystem fs;
    const std::string c254(254, 'x');
    auto dbf = openImage(
        fs,
        image({{"NAME", 'C', 254},
               {"AMOUNT", 'N', 8, 2},
               {"BIG", 'N', 20},
               {"OK", 'L', 1},
               {"DAY", 'D', 8},
               {"NOTE", 'M', 10}},
              {" " + c254 + "  -12.50" + "   12345678901234567" + "T" + "20240229" + "         7",
               "*" + std::string(254, ' ') + "        " + std::string(20, ' ') + " " + "        "
                   + "0000000000",
               " \xB3\xF3\xBF\xB9  " + std::string(248, ' ') + "0.5     " + "-0000000000000000001"
                   + "?" + "        " + "          "}));
    EXPECT_EQ(dbf->level(), 4);
    EXPECT_EQ(dbf->recordCount(), 3u);
    EXPECT_EQ(dbf->codePage(), CodePage::Cp1250);
    const FieldList &f = dbf->fields();
    ASSERT_EQ(f.size(), 6u);
    EXPECT_EQ(f[1].offset, 255u);
    EXPECT_EQ(dbf->fieldIndex("note"), 5);
    const FieldCodec &c = dbf->codec();
    std::vector<uint8_t> r(dbf->recordLength());

    dbf->readRecord(1, r.data());
    EXPECT_FALSE(DbfFile::isDeleted(r.data()));
    EXPECT_EQ(c.text(f[0], r.data()), c254);
    EXPECT_DOUBLE_EQ(*c.number(f[1], r.data()), -12.5);
    EXPECT_EQ(c.integer(f[1], r.data()), -12);
    EXPECT_EQ(c.numberText(f[1], r.data()), "-12.50");
    EXPECT_EQ(c.integer(f[2], r.data()), 12345678901234567);
    EXPECT_EQ(c.logical(f[3], r.data()), true);
    EXPECT_EQ(c.date(f[4], r.data()), (DbfDate{2024, 2, 29}));
    EXPECT_EQ(c.memoBlock(f[5], r.data()), 7u);

    dbf->readRecord(2, r.data());
    EXPECT_TRUE(DbfFile::isDeleted(r.data()));
    EXPECT_EQ(c.number(f[1], r.data()), std::nullopt);
    EXPECT_EQ(c.integer(f[2], r.data()), std::nullopt);
    EXPECT_EQ(c.logical(f[3], r.data()), std::nullopt);
    EXPECT_EQ(c.date(f[4], r.data()), std::nullopt);
    EXPECT_EQ(c.memoBlock(f[5], r.data()), 0u);

    dbf->readRecord(3, r.data());
    EXPECT_EQ(c.text(f[0], r.data()).substr(0, 10), "łóżą  ");
    EXPECT_EQ(c.integer(f[1], r.data()), 0);
    EXPECT_EQ(c.integer(f[2], r.data()), -1);
    EXPECT_EQ(c.logical(f[3], r.data()), std::nullopt);
    EXPECT_EQ(c.memoBlock(f[5], r.data()), 0u);
    EXPECT_THROW(dbf->readRecord(4, r.data()), StateError);
    EXPECT_THROW(dbf->readRecord(0, r.data()), StateError);

    for (const char *v : {"T", "t", "Y", "y", "F", "f", "N", "n"}) {
        r[f[3].offset] = static_cast<uint8_t>(*v);
        EXPECT_EQ(c.logical(f[3], r.data()), std::strchr("TtYy", *v) != nullptr) << v;
    }
    r[f[3].offset] = 'X';
    EXPECT_THROW(c.logical(f[3], r.data()), CorruptFileError);
    std::memcpy(r.data() + f[1].offset, "  1x.00 ", 8);
    EXPECT_THROW(c.number(f[1], r.data()), CorruptFileError);
    std::memcpy(r.data() + f[4].offset, "20241301", 8);
    EXPECT_THROW(c.date(f[4], r.data()), CorruptFileError);
    std::memcpy(r.data() + f[5].offset, "   12 3456", 10);
    EXPECT_THROW(c.memoBlock(f[5], r.data()), CorruptFileError);
}

TEST(DbfImages, SettersFormatAndRefuse)
{
    MemoryFileSystem fs;
    auto dbf = openImage(fs,
                         image({{"NAME", 'C', 5},
                                {"AMOUNT", 'N', 8, 2},
                                {"ID", 'N', 4},
                                {"OK", 'L', 1},
                                {"DAY", 'D', 8},
                                {"NOTE", 'M', 10}},
                               {}));
    const FieldList &f = dbf->fields();
    const FieldCodec &c = dbf->codec();
    std::vector<uint8_t> r = dbf->blankRecord();
    auto raw = [&](int i) {
        return std::string(FieldCodec::raw(f[static_cast<size_t>(i)], r.data()));
    };

    c.setText(f[0], r.data(), "Łódź i okolice");
    EXPECT_EQ(raw(0), "\xA3\xF3\x64\x9F ");
    c.setText(f[0], r.data(), "ab");
    EXPECT_EQ(raw(0), "ab   ");
    try {
        c.setText(f[0], r.data(), "a日");
        FAIL();
    } catch (const EncodingError &e) {
        EXPECT_NE(e.fault().find("NAME"), std::string::npos);
        EXPECT_NE(e.fault().find("日"), std::string::npos);
        EXPECT_EQ(e.file(), "T.DBF");
    }
    // Cut to the width before encoding: what the code page lacks beyond it goes unnoticed.
    c.setText(f[0], r.data(), "Żółty 日本");
    EXPECT_EQ(raw(0), "\xAF\xF3\xB3ty");
    c.setText(f[0], r.data(), "abcde\xFF");
    EXPECT_EQ(raw(0), "abcde");
    c.setNumber(f[1], r.data(), -12.5);
    EXPECT_EQ(raw(1), "  -12.50");
    c.setNumber(f[1], r.data(), -0.001);
    EXPECT_EQ(raw(1), "    0.00");
    c.setNumber(f[1], r.data(), 99999.994);
    EXPECT_EQ(raw(1), "99999.99");
    EXPECT_THROW(c.setNumber(f[1], r.data(), 100000), FieldError);
    c.setInteger(f[1], r.data(), 7);
    EXPECT_EQ(raw(1), "    7.00");
    c.setInteger(f[2], r.data(), -999);
    EXPECT_EQ(raw(2), "-999");
    EXPECT_THROW(c.setInteger(f[2], r.data(), 10000), FieldError);
    c.setInteger(f[2], r.data(), std::nullopt);
    EXPECT_EQ(raw(2), "    ");
    EXPECT_THROW(c.setInteger(f[0], r.data(), 1), FieldError);
    c.setLogical(f[3], r.data(), false);
    EXPECT_EQ(raw(3), "F");
    c.setDate(f[4], r.data(), DbfDate{1999, 12, 31});
    EXPECT_EQ(raw(4), "19991231");
    EXPECT_THROW(c.setDate(f[4], r.data(), DbfDate{2023, 2, 29}), FieldError);
    c.setMemoBlock(f[5], r.data(), 42);
    EXPECT_EQ(raw(5), "        42");
    c.setMemoBlock(f[5], r.data(), 0);
    EXPECT_EQ(raw(5), "          ");
}

TEST(DbfImages, DamagedHeadersAreRefused)
{
    const auto good = image({{"A", 'C', 3}, {"B", 'N', 2}}, {" abc 1", " def 2"});
    EXPECT_NE(corruptFault({0x03, 0x7C, 1}).find("truncated"), std::string::npos);
    auto b = good;
    b.resize(50);
    EXPECT_NE(corruptFault(b).find("beyond the end"), std::string::npos);
    b = good;
    encodeLe16(b.data() + 8, 40000);
    EXPECT_NE(corruptFault(b).find("header length"), std::string::npos);
    b = good;
    encodeLe16(b.data() + 10, 4);
    EXPECT_NE(corruptFault(b).find("record length"), std::string::npos);
    b = good;
    b[32 + 11] = 'X';
    EXPECT_NE(corruptFault(b).find("unknown type"), std::string::npos);
    b = good;
    b[32 + 32 + 11] = 'I'; // level-7 type in a level-4 table
    EXPECT_NE(corruptFault(b).find("unknown type"), std::string::npos);
    b = good;
    b[32 + 16] = 0;
    EXPECT_NE(corruptFault(b).find("length 0"), std::string::npos);
    b = good;
    b[32] = 0x0D;
    EXPECT_NE(corruptFault(b).find("no fields"), std::string::npos);
    b = good;
    b[0] = 0x30;
    EXPECT_NE(corruptFault(b).find("version byte 0x30"), std::string::npos);
    b = good;
    b[32 + 64] = 'Z'; // terminator overwritten
    EXPECT_NE(corruptFault(b).find("terminated"), std::string::npos);
}

TEST(DbfImages, RecordCountBelievesTheSmallerAndToleratesMissingEnd)
{
    MemoryFileSystem fs;
    auto b = image({{"A", 'C', 3}}, {" abc", " def", " ghi"});
    encodeLe32(b.data() + 4, 1000000);
    b.pop_back(); // no 0x1A
    b.pop_back(); // half a record
    EXPECT_EQ(openImage(fs, b)->recordCount(), 2u);
    b = image({{"A", 'C', 3}}, {" abc", " def", " ghi"});
    encodeLe32(b.data() + 4, 1);
    EXPECT_EQ(openImage(fs, b)->recordCount(), 1u);
}

TEST(DbfWriter, AppendWriteDeleteAndCrashSafeAppend)
{
    MemoryFileSystem fs;
    DbfLayout layout;
    layout.level = 4;
    layout.fields = {{"TYTUL", 'C', 20}, {"ID_CD", 'N', 5}, {"OPIS", 'M', 0}};
    auto dbf = DbfFile::create(fs, "F.DBF", layout);
    EXPECT_EQ(dbf->version(), 0x8B);
    EXPECT_TRUE(dbf->memoIsDbaseIv());
    const FieldList &f = dbf->fields();
    std::vector<uint8_t> r = dbf->blankRecord();
    for (int i = 1; i <= 3; ++i) {
        dbf->codec().setText(f[0], r.data(), "Żółw " + std::to_string(i));
        dbf->codec().setInteger(f[1], r.data(), i);
        EXPECT_EQ(dbf->appendRecord(r.data()), static_cast<uint32_t>(i));
    }
    dbf->setDeleted(2, true);
    dbf->codec().setInteger(f[1], r.data(), 33);
    dbf->writeRecord(3, r.data());
    dbf->setProductionIndex(true);

    // A crash after the record but before the header: the record is not live, and the next
    // append takes its place.
    fs.setWriteBudget(1);
    EXPECT_THROW(dbf->appendRecord(r.data()), IoError);
    dbf.reset();
    auto crashed = fs.snapshot();
    auto again = DbfFile::open(*crashed, "F.DBF", OpenMode::ReadWrite, ShareMode::Exclusive);
    EXPECT_EQ(again->recordCount(), 3u);
    EXPECT_TRUE(again->hasProductionIndex());
    std::vector<uint8_t> back(again->recordLength());
    again->readRecord(2, back.data());
    EXPECT_TRUE(DbfFile::isDeleted(back.data()));
    again->readRecord(3, back.data());
    EXPECT_EQ(again->codec().integer(again->fields()[1], back.data()), 33);
    EXPECT_EQ(again->codec().text(again->fields()[0], back.data()), "Żółw 3              ");
    EXPECT_EQ(again->appendRecord(r.data()), 4u);
    const auto bytes = crashed->fileBytes("F.DBF");
    EXPECT_EQ(bytes.size(), again->headerLength() + 4 * again->recordLength() + 1);
    EXPECT_EQ(bytes.back(), 0x1A);

    // Scanning in chunks sees every record once.
    uint32_t seen = 0;
    DbfScanner scan(*again);
    while (const uint8_t *rec = scan.next()) {
        ++seen;
        EXPECT_EQ(scan.recno(), seen);
        EXPECT_EQ(rec[0] == '*', seen == 2);
    }
    EXPECT_EQ(seen, 4u);
}

TEST(DbfWriter, CreateRefusesBadFieldLists)
{
    MemoryFileSystem fs;
    auto refuse = [&](int level, FieldList fields) {
        DbfLayout layout;
        layout.level = level;
        layout.fields = std::move(fields);
        EXPECT_THROW(DbfFile::create(fs, "X.DBF", layout), FieldError);
    };
    refuse(4, {});
    refuse(4, {{"A", 'C', 0}});
    refuse(4, {{"A", 'C', 255}});
    refuse(4, {{"A", 'N', 21}});
    refuse(4, {{"A", 'N', 5, 4}});
    refuse(4, {{"TOOLONGNAME", 'C', 1}});
    refuse(4, {{"A", 'C', 1}, {"a", 'N', 2}});
    refuse(4, {{"A", 'I', 4}});
    refuse(3, {{"A", 'F', 4}});
    refuse(5, {{"A", 'C', 1}});
}

TEST(DbfWriter, Level7RoundTrip)
{
    MemoryFileSystem fs;
    DbfLayout layout;
    layout.level = 7;
    layout.ldid = 0;
    layout.driverName = "DB852PO0";
    layout.fields = {{"DLUGA_NAZWA_POLA", 'C', 10},
                     {"N", '+', 0},
                     {"L", 'I', 0},
                     {"D", 'O', 0},
                     {"T", '@', 0},
                     {"M", 'M', 0}};
    auto dbf = DbfFile::create(fs, "S.DBF", layout);
    EXPECT_EQ(dbf->version(), 0x8C);
    EXPECT_EQ(dbf->codePage(), CodePage::Cp852);
    // Copies: they read the record back after this table object is gone.
    const FieldList f = dbf->fields();
    const FieldCodec c = dbf->codec();
    std::vector<uint8_t> r = dbf->blankRecord();
    EXPECT_EQ(c.long32(f[2], r.data()), std::nullopt);
    c.setText(f[0], r.data(), "źdźbło");
    c.setLong32(f[1], r.data(), static_cast<int32_t>(dbf->takeAutoIncrement(1)));
    c.setLong32(f[2], r.data(), -5);
    c.setDoubleValue(f[3], r.data(), -2.25);
    c.setTimestamp(f[4], r.data(), 62135683200000.0);
    dbf->appendRecord(r.data());
    EXPECT_EQ(dbf->takeAutoIncrement(1), 2u);
    dbf.reset();

    auto back = DbfFile::open(fs, "S.DBF", OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(back->level(), 7);
    EXPECT_EQ(back->driverName(), "DB852PO0");
    EXPECT_EQ(back->fields()[0].name, "DLUGA_NAZWA_POLA");
    back->readRecord(1, r.data());
    EXPECT_EQ(c.text(f[0], r.data()), "źdźbło    ");
    EXPECT_EQ(c.long32(f[1], r.data()), 1);
    EXPECT_EQ(c.long32(f[2], r.data()), -5);
    EXPECT_EQ(c.doubleValue(f[3], r.data()), -2.25);
    EXPECT_EQ(c.timestamp(f[4], r.data()), 62135683200000.0);
    EXPECT_EQ(std::string(FieldCodec::raw(f[1], r.data())), std::string("\x80\0\0\x01", 4));
    EXPECT_THROW(back->appendRecord(r.data()), StateError);
}

TEST(DbfFixtures, SampleTablesRead)
{
    FileSystem &fs = FileSystem::real();
    struct Case
    {
        const char *path;
        int level;
        uint32_t records;
        const char *field;
        uint32_t recno;
        const char *text;
    };
    const Case cases[] = {
        {"tdbf/DBASE3+.dbf", 3, 3, "NUM19_3", 1, "   123456789012.123"},
        {"tdbf/DBASE4.dbf", 4, 4, "LOGIC", 1, "T"},
        {"tdbf/DBASEWIN.dbf", 4, 0, "CHAR", 0, ""},
        {"tdbf/VisualDBase.dbf", 4, 3, "DATE", 2, "20020202"},
        {"tdbf/TDBF_DEMO.DBF", 4, 17, "ID", 2, "b2 "},
        {"tdbf/disco.DBF", 3, 1561, "AUTHOR", 2, "2 IN A ROOM         "},
        {"jdbfdriver/TEST.DBF", 4, 3, "TEST2", 3, "        15"},
        {"infused-dbf/dbase_8b.dbf", 4, 10, "CHARACTER", 2, "Two"},
        {"php-xbase/dBaseVII.dbf", 7, 3, "BIRTHDAY", 1, "19601101"},
        {"perl-dbd-xbase/test.dbf", 3, 3, "MSG", 2, "No 2"},
    };
    for (const Case &k : cases) {
        SCOPED_TRACE(k.path);
        auto dbf
            = DbfFile::open(fs, test::fixturePath(k.path), OpenMode::ReadOnly, ShareMode::Shared);
        EXPECT_EQ(dbf->level(), k.level);
        if (k.records != 0) {
            EXPECT_EQ(dbf->recordCount(), k.records);
        }
        const int i = dbf->fieldIndex(k.field);
        ASSERT_GE(i, 0);
        if (k.recno == 0) {
            continue;
        }
        std::vector<uint8_t> r(dbf->recordLength());
        dbf->readRecord(k.recno, r.data());
        EXPECT_EQ(dbf->codec()
                      .text(dbf->fields()[static_cast<size_t>(i)], r.data())
                      .substr(0, std::strlen(k.text)),
                  k.text);
        // Every field of every record decodes.
        DbfScanner scan(*dbf);
        while (const uint8_t *rec = scan.next()) {
            decodeRecord(dbf->codec(), dbf->fields(), rec);
        }
    }
}

TEST(DbfFixtures, ConcreteValues)
{
    FileSystem &fs = FileSystem::real();
    auto perl = DbfFile::open(
        fs, test::fixturePath("perl-dbd-xbase/test.dbf"), OpenMode::ReadOnly, ShareMode::Shared);
    std::vector<uint8_t> r(perl->recordLength());
    perl->readRecord(2, r.data());
    EXPECT_TRUE(DbfFile::isDeleted(r.data()));
    const FieldList &pf = perl->fields();
    EXPECT_EQ(perl->codec().integer(pf[0], r.data()), 2);
    EXPECT_EQ(perl->codec().logical(pf[3], r.data()), true);
    EXPECT_EQ(perl->codec().date(pf[4], r.data()), (DbfDate{1996, 8, 14}));
    perl->readRecord(1, r.data());
    EXPECT_FALSE(DbfFile::isDeleted(r.data()));
    EXPECT_EQ(perl->codec().logical(pf[3], r.data()), std::nullopt);

    auto d7 = DbfFile::open(
        fs, test::fixturePath("php-xbase/dBaseVII.dbf"), OpenMode::ReadOnly, ShareMode::Shared);
    EXPECT_EQ(d7->driverName(), "DB866RU0");
    EXPECT_EQ(d7->headerLength(), 645u);
    r.resize(d7->recordLength());
    d7->readRecord(1, r.data());
    const FieldList &f7 = d7->fields();
    const FieldCodec &c7 = d7->codec();
    EXPECT_EQ(c7.text(f7[0], r.data()).substr(0, 6), "Groot ");
    EXPECT_EQ(c7.logical(f7[2], r.data()), false);
    EXPECT_EQ(c7.memoBlock(f7[3], r.data()), 1u);
    EXPECT_EQ(c7.numberText(f7[4], r.data()), "12.1235");
    EXPECT_EQ(c7.long32(f7[d7->fieldIndex("AUTO_INC")], r.data()), 0); // stored 80 00 00 00
    EXPECT_EQ(c7.long32(f7[d7->fieldIndex("INTEGER")], r.data()), 1);
    EXPECT_TRUE(c7.timestamp(f7[d7->fieldIndex("DATETIME")], r.data()).has_value());

    auto dd3 = DbfFile::open(
        fs, test::fixturePath("tdbf/DBASE3+.dbf"), OpenMode::ReadOnly, ShareMode::Shared);
    r.resize(dd3->recordLength());
    dd3->readRecord(1, r.data());
    EXPECT_EQ(dd3->version(), 0x83);
    EXPECT_FALSE(dd3->memoIsDbaseIv());
    EXPECT_DOUBLE_EQ(*dd3->codec().number(dd3->fields()[1], r.data()), 123456789012.123);
    EXPECT_EQ(dd3->codec().memoBlock(dd3->fields()[4], r.data()), 1u);
}

TEST(DbfVerifier, TablesWeWritePassTheIndependentChecker)
{
    test::TempDir dir;
    FileSystem &fs = FileSystem::real();
    for (int level : {3, 4}) {
        const std::string path = dir.file("FILMY" + std::to_string(level) + ".DBF");
        DbfLayout layout;
        layout.level = level;
        layout.ldid = level == 3 ? 0x00 : 0x57;
        layout.fields = {{"T_PL", 'C', 40},
                         {"ID_CD", 'N', 6},
                         {"CENA", 'N', 9, 2},
                         {"OBEJRZAN", 'L', 1},
                         {"DATA", 'D', 8},
                         {"OPIS", 'M', 10}};
        auto dbf = DbfFile::create(fs, path, layout);
        auto memo = MemoFile::create(fs,
                                     withExtension(path, ".DBT"),
                                     level == 3 ? MemoStyle::DbaseIII : MemoStyle::DbaseIV,
                                     1024,
                                     "FILMY" + std::to_string(level));
        const FieldList &f = dbf->fields();
        const FieldCodec &c = dbf->codec();
        std::vector<uint8_t> r = dbf->blankRecord();
        const char *titles[] = {"Żółta łódź", "Ćma", "Pan Tadeusz", "Ślepy tor"};
        for (int i = 0; i < 4; ++i) {
            c.setText(f[0], r.data(), titles[i]);
            c.setInteger(f[1], r.data(), i + 1);
            c.setNumber(f[2], r.data(), i * 10.25 - 5);
            c.setLogical(f[3], r.data(), i % 2 == 0);
            c.setDate(f[4], r.data(), DbfDate{2000 + i, 1 + i, 10 + i});
            std::string opis;
            std::string bad;
            ASSERT_TRUE(
                fromUtf8(CodePage::Cp1250, std::string("Opis filmu ") + titles[i], opis, bad));
            c.setMemoBlock(f[5], r.data(), i == 2 ? 0 : memo->write(opis));
            dbf->appendRecord(r.data());
        }
        dbf->setDeleted(3, true);
        dbf.reset();
        memo.reset();
        std::string output;
        EXPECT_EQ(test::runVerifier({path}, output), 0) << output;
    }
}
