// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The dBase table file (.DBF), levels III+, IV/5 and 7.
//
// Layout (all integers little-endian):
//   [header][field descriptors][0x0D][level 7: optional field properties]  = headerLength bytes
//   [record 1] ... [record N]                                              each recordLength bytes
//   [0x1A]                                                                 end-of-file marker
//
// Header, levels III/IV/5 (32 bytes; level 7 uses 68):
//   OFFSET SIZE MEANING
//   0      1    version byte: bits 0-2 format (3 = III/IV/5, 4 = level 7), 0x08 IV-style memo,
//               0x80 any memo file (0x03, 0x83, 0x8B, 0x04, 0x8C)
//   1      3    date of last change: year - 1900, month, day
//   4      4    number of records (deleted ones included)
//   8      2    header length (where record 1 starts)
//   10     2    record length (sum of field lengths + 1 for the deletion flag)
//   28     1    production index flag (1 = a .MDX of the same base name exists)
//   29     1    language driver id (LDID) - never rewritten
//   32     32   level 7 only: language driver name, ASCIIZ - never rewritten
//   64     4    level 7 only: reserved
// Field descriptor, levels III/IV/5 (32 bytes):
//   0 11 name (NUL-filled), 11 1 type, 16 1 length, 17 1 decimals
// Field descriptor, level 7 (48 bytes):
//   0 32 name, 32 1 type, 33 1 length, 34 1 decimals, 42 4 next autoincrement value
// Record: byte 0 is ' ' (live) or '*' (deleted), then the fields in descriptor order.
//
// Opening reads the header and the descriptors only. The record count is the smaller of the
// header's count and what the file holds. Appends write the record and the 0x1A after it
// first and the header's count and date last, so a half-finished append is never live.

#include "codepage.h"
#include "field.h"
#include "file.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace welarik {

constexpr size_t kDbfHeaderSize = 32;
constexpr size_t kDbf7HeaderSize = 68;
constexpr size_t kDbfDescriptorSize = 32;
constexpr size_t kDbf7DescriptorSize = 48;
constexpr uint8_t kDbfDescriptorEnd = 0x0D;
constexpr uint8_t kDbfEndOfFile = 0x1A;
constexpr uint8_t kRecordLive = ' ';
constexpr uint8_t kRecordDeleted = '*';
constexpr size_t kDbfMaxFields = 1024;
constexpr size_t kDbfScanChunk = 256 * 1024; // bytes per read of a sequential scan

// Where the header's values lie (the table above): one description that the reader and the
// writer share.
struct DbfHeaderLayout
{
    static constexpr size_t version = 0;
    static constexpr size_t date = 1;             // 3 bytes: year - 1900, month, day
    static constexpr size_t recordCount = 4;      // u32
    static constexpr size_t headerLength = 8;     // u16
    static constexpr size_t recordLength = 10;    // u16
    static constexpr size_t sessionMark = 16;     // 12 bytes, reserved by dBase: ours
    static constexpr size_t productionIndex = 28; // 1 byte
    static constexpr size_t ldid = 29;            // 1 byte
    static constexpr size_t driverName = 32;      // level 7: ASCIIZ
    static constexpr size_t driverNameSize = 32;
};

// Where the field descriptors start and where their values lie, one layout per level.
struct FieldDescriptorLayout
{
    size_t first;    // offset of the first descriptor in the file
    size_t size;     // bytes per descriptor
    size_t nameSize; // NUL-filled name; we write at most nameSize - 1 characters
    size_t type;
    size_t length;
    size_t decimals;
    size_t autoIncrement; // u32 next value of a + field (level 7; 0 = none at this level)
};
constexpr FieldDescriptorLayout kDbfDescriptor
    = {kDbfHeaderSize, kDbfDescriptorSize, 11, 11, 16, 17, 0};
constexpr FieldDescriptorLayout kDbf7Descriptor
    = {kDbf7HeaderSize, kDbf7DescriptorSize, 32, 32, 33, 34, 42};
constexpr const FieldDescriptorLayout &descriptorLayout(int level)
{
    return level == 7 ? kDbf7Descriptor : kDbfDescriptor;
}

struct DbfDate
{
    int year = 0;
    int month = 0;
    int day = 0;
    friend bool operator==(const DbfDate &, const DbfDate &) = default;
};

// What a new table looks like.
struct DbfLayout
{
    int level = 4;          // 3, 4 (IV/5) or 7
    uint8_t ldid = 0x57;    // byte 29
    std::string driverName; // level 7: bytes 32-63 ("DBWINUS0"); empty = none
    FieldList fields;       // names, types, lengths, decimals; offsets are computed
};

// Field values on record buffers. `record` always points at a whole record (byte 0 is the
// deletion flag) of the table the descriptor belongs to. Reads of an empty field give
// nullopt (or "" / block 0); bytes that are not a value of the field's type throw
// CorruptFileError naming the file and the field. Setters throw FieldError (value does not
// fit) or EncodingError (character the code page lacks), naming file and field.
class FieldCodec
{
public:
    FieldCodec(std::string fileName, CodePage codePage);
    const std::string &fileName() const { return m_fileName; }
    CodePage codePage() const { return m_codePage; }

    static std::string_view raw(const FieldDesc &f, const uint8_t *record)
    {
        return {reinterpret_cast<const char *>(record) + f.offset, f.length};
    }
    // Text of any field in UTF-8 (code page -> UTF-8), trailing blanks kept as stored.
    std::string text(const FieldDesc &f, const uint8_t *record) const;
    // N, F: blank -> nullopt. numberText is the trimmed stored text ("-12.50"), "" if blank.
    std::optional<double> number(const FieldDesc &f, const uint8_t *record) const;
    std::optional<int64_t> integer(const FieldDesc &f, const uint8_t *record) const; // truncates
    std::string numberText(const FieldDesc &f, const uint8_t *record) const;
    // L: T t Y y true, F f N n false, ? or blank nullopt.
    std::optional<bool> logical(const FieldDesc &f, const uint8_t *record) const;
    // D: YYYYMMDD; blank -> nullopt.
    std::optional<DbfDate> date(const FieldDesc &f, const uint8_t *record) const;
    // M, B, G: first block in the memo file; 0 = no memo.
    uint32_t memoBlock(const FieldDesc &f, const uint8_t *record) const;
    // Level 7: I and + (big-endian, sign bit flipped), O (ordered double), @ (milliseconds
    // since 0001-01-01 counted from day 1, as stored). All-zero bytes -> nullopt.
    std::optional<int32_t> long32(const FieldDesc &f, const uint8_t *record) const;
    std::optional<double> doubleValue(const FieldDesc &f, const uint8_t *record) const;
    std::optional<double> timestamp(const FieldDesc &f, const uint8_t *record) const;

    // C (and any text-like field): UTF-8 -> code page, cut to the width, blank-padded.
    void setText(const FieldDesc &f, uint8_t *record, std::string_view utf8) const;
    // N, F: right-aligned with exactly `decimals` decimals and '.'; nullopt -> blanks.
    void setNumber(const FieldDesc &f, uint8_t *record, std::optional<double> value) const;
    void setInteger(const FieldDesc &f, uint8_t *record, std::optional<int64_t> value) const;
    void setLogical(const FieldDesc &f, uint8_t *record, std::optional<bool> value) const;
    void setDate(const FieldDesc &f, uint8_t *record, std::optional<DbfDate> value) const;
    void setMemoBlock(const FieldDesc &f, uint8_t *record, uint32_t block) const; // 0 = none
    void setLong32(const FieldDesc &f, uint8_t *record, std::optional<int32_t> value) const;
    void setDoubleValue(const FieldDesc &f, uint8_t *record, std::optional<double> value) const;
    void setTimestamp(const FieldDesc &f, uint8_t *record, std::optional<double> value) const;
    // Every field blank, live flag.
    void clear(const FieldList &fields, uint8_t *record, size_t recordLength) const;

private:
    std::string m_fileName;
    CodePage m_codePage;
};

bool isMemoType(char type); // M B G

// The write session's mark in the table header (the 12 bytes at 16, which dBase reserves):
// our signature "WLRK", then what the last sync before the session left on the disk: the
// record count and the memo file's next free block. While it is there, records past that
// count and memo blocks from that block on may never have reached the disk (a power cut).
struct DbfSessionMark
{
    uint32_t syncedCount = 0;
    uint32_t syncedMemoBlock = 0;
};

class DbfFile
{
public:
    // Opens an existing table: reads header and descriptors, validates them. Throws OpenError,
    // CorruptFileError.
    static std::unique_ptr<DbfFile>
    open(FileSystem &fs, const std::string &path, OpenMode mode, ShareMode share);
    // Creates (or empties) a table with no records. Throws FieldError for a bad field list.
    static std::unique_ptr<DbfFile> create(FileSystem &fs,
                                           const std::string &path,
                                           const DbfLayout &layout,
                                           ShareMode share = ShareMode::Exclusive);
    ~DbfFile();
    DbfFile(const DbfFile &) = delete;
    DbfFile &operator=(const DbfFile &) = delete;

    const std::string &path() const;
    File &file() { return *m_file; }
    bool writable() const { return m_writable; }

    uint8_t version() const { return m_version; }
    int level() const { return m_level; } // 3, 4 (IV and 5) or 7
    uint8_t ldid() const { return m_ldid; }
    const std::string &driverName() const { return m_driverName; } // level 7, else ""
    CodePage codePage() const { return m_codec.codePage(); }
    const FieldCodec &codec() const { return m_codec; }
    bool hasProductionIndex() const { return m_productionIndex; }
    void setProductionIndex(bool on); // writes byte 28
    bool hasMemoFields() const;       // any M, B or G field
    bool memoIsDbaseIv() const { return (m_version & 0x08) != 0 || m_level == 7; }
    DbfDate lastUpdate() const { return m_lastUpdate; }

    uint32_t headerLength() const { return m_headerLength; }
    uint32_t recordLength() const { return m_recordLength; }
    uint32_t recordCount() const { return m_recordCount; }
    const FieldList &fields() const { return m_fields; }
    int fieldIndex(const std::string &name) const { return findField(m_fields, name); }

    // A record buffer with every field blank and the live flag.
    std::vector<uint8_t> blankRecord() const;

    // recno is 1-based; out of range -> StateError. buffer holds recordLength() bytes.
    void readRecord(uint32_t recno, uint8_t *buffer) const;
    // Reads up to count records from first on into buffer (count * recordLength() bytes) with
    // one read; returns how many were read (fewer at the end of the table).
    uint32_t readRecords(uint32_t first, uint32_t count, uint8_t *buffer) const;
    // Asks the processor to fetch a record that is about to be read (mapped files only).
    void prefetchRecord(uint32_t recno) const;
    // Records per read for sequential scans (about kDbfScanChunk bytes, at least 1).
    uint32_t recordsPerChunk() const;
    static bool isDeleted(const uint8_t *record) { return record[0] == kRecordDeleted; }

    // Writes a whole record in place, then the header date.
    void writeRecord(uint32_t recno, const uint8_t *buffer);
    // Appends: record + 0x1A first, then count and date. Returns the new record number.
    uint32_t appendRecord(const uint8_t *buffer);
    void setDeleted(uint32_t recno, bool deleted);
    // Level 7 autoincrement field: returns the next value and stores value + 1.
    uint32_t takeAutoIncrement(int fieldIndex);
    void flush();
    // Durability barrier (File::sync).
    void sync();

    // The session mark found at open (nullopt: none, the table was left clean).
    const std::optional<DbfSessionMark> &sessionMarkAtOpen() const { return m_markAtOpen; }
    // Writes the mark; clearSessionMark() puts back the bytes found there at open (zeros when
    // they were our mark).
    void writeSessionMark(const DbfSessionMark &mark);
    void clearSessionMark();
    // Lowers the record count to recno - 1: records from recno on are dropped. Opened for
    // writing, the header says so; read-only, only this object's count is lowered.
    // The file then ends after the last record and the end-of-file mark.
    void dropRecordsFrom(uint32_t recno);
    // The record count the header states now (recordCount() is at most what the file holds).
    uint32_t statedCount() const;
    // True when a record cannot be one a writer left whole: a deletion flag that is neither
    // blank nor '*', or a NUL byte in a field stored as text (what a power cut leaves where
    // the record's sectors never arrived).
    bool tornRecord(const uint8_t *record) const;

private:
    DbfFile(std::unique_ptr<File> file, bool writable);
    void load();
    // The steps of load(): the header (returns the record count it states) and the field
    // descriptors (returns the record length the fields need).
    uint32_t loadHeader(uint64_t size);
    uint32_t loadDescriptors();
    void checkWritable() const;
    void checkRecno(uint32_t recno) const;
    void touchDate();

    std::unique_ptr<File> m_file;
    bool m_writable = false;
    uint8_t m_version = 0;
    int m_level = 3;
    uint8_t m_ldid = 0;
    std::string m_driverName;
    FieldCodec m_codec;
    bool m_productionIndex = false;
    DbfDate m_lastUpdate;
    uint32_t m_headerLength = 0;
    uint32_t m_recordLength = 0;
    uint32_t m_recordCount = 0;
    std::vector<uint8_t> m_appendBuffer; // a record being appended, with the end mark
    std::optional<DbfSessionMark> m_markAtOpen;
    uint8_t m_reservedAtOpen[12] = {}; // header bytes 16-27 as found (zeros for our mark)
    FieldList m_fields;
};

// Sequential reader over a table: one read per chunk of records, no allocation per record.
class DbfScanner
{
public:
    explicit DbfScanner(const DbfFile &dbf, uint32_t first = 1);
    // The next record (valid until the next call), or nullptr after the last one.
    const uint8_t *next();
    uint32_t recno() const { return m_recno; } // of the record next() returned last

private:
    const DbfFile &m_dbf;
    std::vector<uint8_t> m_buffer;
    uint32_t m_first;      // record number of the first record in m_buffer
    uint32_t m_loaded = 0; // records in m_buffer
    uint32_t m_recno = 0;
};

} // namespace welarik
