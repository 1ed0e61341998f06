// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbf.h"

#include "coding.h"
#include "errors.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <ctime>

namespace welarik {

namespace {

constexpr uint64_t kMaxTableBytes = 0xB4000000; // record locks live above this offset
constexpr uint32_t kMaxRecordLength = 32767;

bool isBlankByte(char c)
{
    return c == ' ' || c == '\0';
}

std::string_view trim(std::string_view s)
{
    while (!s.empty() && isBlankByte(s.front())) {
        s.remove_prefix(1);
    }
    while (!s.empty() && isBlankByte(s.back())) {
        s.remove_suffix(1);
    }
    return s;
}

bool isBinaryType(char t)
{
    return t == 'I' || t == '+' || t == 'O' || t == '@';
}

// Sign, digits, optional point and digits; at least one digit.
bool isNumberText(std::string_view s)
{
    size_t i = 0;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) {
        ++i;
    }
    bool digits = false;
    bool point = false;
    for (; i < s.size(); ++i) {
        if (s[i] >= '0' && s[i] <= '9') {
            digits = true;
        } else if (s[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digits;
}

bool isLeapYear(int y)
{
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int daysInMonth(int y, int m)
{
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && isLeapYear(y) ? 29 : days[m - 1];
}

bool validDate(const DbfDate &d)
{
    return d.year >= 0 && d.year <= 9999 && d.month >= 1 && d.month <= 12 && d.day >= 1
           && d.day <= daysInMonth(d.year, d.month);
}

DbfDate today()
{
    const std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    return {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday};
}

std::string hexByte(uint8_t b)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("0x") + digits[b >> 4] + digits[b & 15];
}

void putRightAligned(const FieldDesc &f, uint8_t *record, std::string_view text)
{
    uint8_t *p = record + f.offset;
    const size_t pad = f.length - text.size();
    std::memset(p, ' ', pad);
    std::memcpy(p + pad, text.data(), text.size());
}

} // namespace

bool isMemoType(char type)
{
    return type == 'M' || type == 'B' || type == 'G';
}

// ---------------------------------------------------------------------------- FieldCodec

FieldCodec::FieldCodec(std::string fileName, CodePage codePage)
    : m_fileName(std::move(fileName))
    , m_codePage(codePage)
{}

std::string FieldCodec::text(const FieldDesc &f, const uint8_t *record) const
{
    return toUtf8(m_codePage, raw(f, record));
}

std::string FieldCodec::numberText(const FieldDesc &f, const uint8_t *record) const
{
    const std::string_view s = trim(raw(f, record));
    if (!s.empty() && !isNumberText(s)) {
        throw CorruptFileError(m_fileName,
                               "field " + f.name + " holds \"" + toUtf8(m_codePage, s)
                                   + "\", which is not a number");
    }
    return std::string(s);
}

std::optional<double> FieldCodec::number(const FieldDesc &f, const uint8_t *record) const
{
    const std::string s = numberText(f, record);
    if (s.empty()) {
        return std::nullopt;
    }
    const char *begin = s.data() + (s[0] == '+' ? 1 : 0);
    double value = 0;
    std::from_chars(begin, s.data() + s.size(), value);
    return value;
}

std::optional<int64_t> FieldCodec::integer(const FieldDesc &f, const uint8_t *record) const
{
    const std::string s = numberText(f, record);
    if (s.empty()) {
        return std::nullopt;
    }
    std::string_view whole(s);
    whole = whole.substr(0, whole.find('.'));
    const bool negative = !whole.empty() && whole[0] == '-';
    if (!whole.empty() && (whole[0] == '-' || whole[0] == '+')) {
        whole.remove_prefix(1);
    }
    if (whole.empty()) {
        return 0; // ".5" and "-.5"
    }
    uint64_t magnitude = 0;
    const auto r = std::from_chars(whole.data(), whole.data() + whole.size(), magnitude);
    const uint64_t limit = negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (r.ec != std::errc() || magnitude > limit) {
        throw FieldError(m_fileName, "the value " + s + " of field " + f.name + " is too large");
    }
    return negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
}

std::optional<bool> FieldCodec::logical(const FieldDesc &f, const uint8_t *record) const
{
    switch (record[f.offset]) {
    case 'T':
    case 't':
    case 'Y':
    case 'y':
        return true;
    case 'F':
    case 'f':
    case 'N':
    case 'n':
        return false;
    case '?':
    case ' ':
    case '\0':
        return std::nullopt;
    default:
        throw CorruptFileError(m_fileName,
                               "field " + f.name + " holds byte " + hexByte(record[f.offset])
                                   + ", which is not a logical value");
    }
}

std::optional<DbfDate> FieldCodec::date(const FieldDesc &f, const uint8_t *record) const
{
    const std::string_view s = raw(f, record);
    if (trim(s).empty() || s == "00000000") {
        return std::nullopt;
    }
    bool digits = s.size() == 8;
    for (size_t i = 0; digits && i < 8; ++i) {
        digits = s[i] >= '0' && s[i] <= '9';
    }
    DbfDate d;
    if (digits) {
        auto num = [&](size_t from, size_t n) {
            int v = 0;
            for (size_t i = from; i < from + n; ++i) {
                v = v * 10 + (s[i] - '0');
            }
            return v;
        };
        d = {num(0, 4), num(4, 2), num(6, 2)};
    }
    if (!digits || !validDate(d)) {
        throw CorruptFileError(m_fileName,
                               "field " + f.name + " holds \"" + toUtf8(m_codePage, s)
                                   + "\", which is not a date");
    }
    return d;
}

uint32_t FieldCodec::memoBlock(const FieldDesc &f, const uint8_t *record) const
{
    const std::string_view s = trim(raw(f, record));
    uint64_t block = 0;
    for (const char c : s) {
        if (c < '0' || c > '9' || block > 0xFFFFFFFFu) {
            throw CorruptFileError(m_fileName,
                                   "field " + f.name + " holds \"" + toUtf8(m_codePage, s)
                                       + "\", which is not a memo block number");
        }
        block = block * 10 + static_cast<uint64_t>(c - '0');
    }
    if (block > 0xFFFFFFFFu) {
        throw CorruptFileError(m_fileName,
                               "field " + f.name + " holds an absurd memo block number");
    }
    return static_cast<uint32_t>(block);
}

namespace {

void requireBinary(const std::string &file, const FieldDesc &f, const char *types, size_t length)
{
    if (std::strchr(types, f.type) == nullptr || f.length != length) {
        throw FieldError(file, "field " + f.name + " is not of type " + types);
    }
}

bool allZero(const uint8_t *p, size_t n)
{
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

} // namespace

std::optional<int32_t> FieldCodec::long32(const FieldDesc &f, const uint8_t *record) const
{
    requireBinary(m_fileName, f, "I+", 4);
    const uint8_t *p = record + f.offset;
    if (allZero(p, 4)) {
        return std::nullopt;
    }
    return static_cast<int32_t>(decodeBe32(p) ^ 0x80000000u);
}

std::optional<double> FieldCodec::doubleValue(const FieldDesc &f, const uint8_t *record) const
{
    requireBinary(m_fileName, f, "O", 8);
    const uint8_t *p = record + f.offset;
    if (allZero(p, 8)) {
        return std::nullopt;
    }
    uint64_t bits = decodeBe64(p);
    bits = (bits & 0x8000000000000000u) != 0 ? bits & 0x7FFFFFFFFFFFFFFFu : ~bits;
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::optional<double> FieldCodec::timestamp(const FieldDesc &f, const uint8_t *record) const
{
    requireBinary(m_fileName, f, "@", 8);
    const uint8_t *p = record + f.offset;
    if (allZero(p, 8)) {
        return std::nullopt;
    }
    const uint64_t bits = decodeBe64(p);
    double value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

void FieldCodec::setText(const FieldDesc &f, uint8_t *record, std::string_view utf8) const
{
    if (isBinaryType(f.type)) {
        throw FieldError(m_fileName, "field " + f.name + " is not a text field");
    }
    // Cut to the width first (one byte per character in every code page we write), so that
    // a character beyond it that the code page lacks is cut away, not refused.
    size_t characters = 0;
    for (size_t i = 0; i < utf8.size(); ++i) {
        if ((static_cast<uint8_t>(utf8[i]) & 0xC0) != 0x80 && ++characters > f.length) {
            utf8 = utf8.substr(0, i);
            break;
        }
    }
    std::string bytes;
    std::string bad;
    if (!fromUtf8(m_codePage, utf8, bytes, bad)) {
        throw EncodingError(m_fileName,
                            "field " + f.name + " cannot store the character \"" + bad + "\" in "
                                + codePageName(m_codePage));
    }
    const size_t n = std::min<size_t>(bytes.size(), f.length);
    std::memcpy(record + f.offset, bytes.data(), n);
    std::memset(record + f.offset + n, ' ', f.length - n);
}

void FieldCodec::setNumber(const FieldDesc &f, uint8_t *record, std::optional<double> value) const
{
    if (f.type != 'N' && f.type != 'F') {
        throw FieldError(m_fileName, "field " + f.name + " is not a numeric field");
    }
    if (!value) {
        std::memset(record + f.offset, ' ', f.length);
        return;
    }
    if (!std::isfinite(*value)) {
        throw FieldError(m_fileName,
                         "field " + f.name + " cannot store a value that is not finite");
    }
    char buf[400];
    const auto r = std::to_chars(
        buf, buf + sizeof buf, *value, std::chars_format::fixed, static_cast<int>(f.decimals));
    std::string_view text(buf, r.ec == std::errc() ? static_cast<size_t>(r.ptr - buf) : 0);
    if (!text.empty() && text[0] == '-'
        && text.find_first_not_of("-0.") == std::string_view::npos) {
        text.remove_prefix(1); // no "-0.00"
    }
    if (text.empty() || text.size() > f.length) {
        throw FieldError(m_fileName,
                         "the value " + std::string(text) + " does not fit field " + f.name + " ("
                             + std::to_string(f.length) + "," + std::to_string(f.decimals) + ")");
    }
    putRightAligned(f, record, text);
}

void FieldCodec::setInteger(const FieldDesc &f, uint8_t *record, std::optional<int64_t> value) const
{
    if (f.type != 'N' && f.type != 'F') {
        throw FieldError(m_fileName, "field " + f.name + " is not a numeric field");
    }
    if (!value) {
        std::memset(record + f.offset, ' ', f.length);
        return;
    }
    char buf[64];
    const auto r = std::to_chars(buf, buf + sizeof buf, *value);
    std::string text(buf, r.ptr);
    if (f.decimals > 0) {
        text += '.';
        text.append(f.decimals, '0');
    }
    if (text.size() > f.length) {
        throw FieldError(m_fileName,
                         "the value " + text + " does not fit field " + f.name + " ("
                             + std::to_string(f.length) + "," + std::to_string(f.decimals) + ")");
    }
    putRightAligned(f, record, text);
}

void FieldCodec::setLogical(const FieldDesc &f, uint8_t *record, std::optional<bool> value) const
{
    if (f.type != 'L') {
        throw FieldError(m_fileName, "field " + f.name + " is not a logical field");
    }
    record[f.offset] = value ? (*value ? 'T' : 'F') : ' ';
}

void FieldCodec::setDate(const FieldDesc &f, uint8_t *record, std::optional<DbfDate> value) const
{
    if (f.type != 'D' || f.length != 8) {
        throw FieldError(m_fileName, "field " + f.name + " is not a date field");
    }
    if (!value) {
        std::memset(record + f.offset, ' ', 8);
        return;
    }
    if (!validDate(*value)) {
        throw FieldError(m_fileName, "field " + f.name + " cannot store an invalid date");
    }
    int parts[] = {value->year, value->month, value->day};
    int widths[] = {4, 2, 2};
    uint8_t *p = record + f.offset;
    for (int i = 0; i < 3; ++i) {
        int v = parts[i];
        for (int k = widths[i] - 1; k >= 0; --k) {
            p[k] = static_cast<uint8_t>('0' + v % 10);
            v /= 10;
        }
        p += widths[i];
    }
}

void FieldCodec::setMemoBlock(const FieldDesc &f, uint8_t *record, uint32_t block) const
{
    if (!isMemoType(f.type)) {
        throw FieldError(m_fileName, "field " + f.name + " is not a memo field");
    }
    if (block == 0) {
        std::memset(record + f.offset, ' ', f.length);
        return;
    }
    const std::string text = std::to_string(block);
    if (text.size() > f.length) {
        throw FieldError(m_fileName, "memo block " + text + " does not fit field " + f.name);
    }
    putRightAligned(f, record, text);
}

void FieldCodec::setLong32(const FieldDesc &f, uint8_t *record, std::optional<int32_t> value) const
{
    requireBinary(m_fileName, f, "I+", 4);
    if (!value) {
        std::memset(record + f.offset, 0, 4);
        return;
    }
    encodeBe32(record + f.offset, static_cast<uint32_t>(*value) ^ 0x80000000u);
}

void FieldCodec::setDoubleValue(const FieldDesc &f,
                                uint8_t *record,
                                std::optional<double> value) const
{
    requireBinary(m_fileName, f, "O", 8);
    if (!value) {
        std::memset(record + f.offset, 0, 8);
        return;
    }
    uint64_t bits;
    std::memcpy(&bits, &*value, sizeof bits);
    bits = (bits & 0x8000000000000000u) != 0 ? ~bits : bits | 0x8000000000000000u;
    encodeBe64(record + f.offset, bits);
}

void FieldCodec::setTimestamp(const FieldDesc &f,
                              uint8_t *record,
                              std::optional<double> value) const
{
    requireBinary(m_fileName, f, "@", 8);
    if (!value) {
        std::memset(record + f.offset, 0, 8);
        return;
    }
    uint64_t bits;
    std::memcpy(&bits, &*value, sizeof bits);
    encodeBe64(record + f.offset, bits);
}

void FieldCodec::clear(const FieldList &fields, uint8_t *record, size_t recordLength) const
{
    std::memset(record, ' ', recordLength);
    for (const FieldDesc &f : fields) {
        if (isBinaryType(f.type)) {
            std::memset(record + f.offset, 0, f.length);
        }
    }
}

// ---------------------------------------------------------------------------- DbfFile

DbfFile::DbfFile(std::unique_ptr<File> file, bool writable)
    : m_file(std::move(file))
    , m_writable(writable)
    , m_codec(m_file->path(), CodePage::Cp1250)
{}

DbfFile::~DbfFile() = default;

const std::string &DbfFile::path() const
{
    return m_file->path();
}

std::unique_ptr<DbfFile>
DbfFile::open(FileSystem &fs, const std::string &path, OpenMode mode, ShareMode share)
{
    std::unique_ptr<DbfFile> dbf(
        new DbfFile(fs.open(path, mode, share), mode == OpenMode::ReadWrite));
    dbf->load();
    return dbf;
}

namespace {

// The level a version byte stands for (0x03: by the language driver byte, 0 at level III).
int levelOf(const std::string &file, uint8_t version, uint8_t ldid)
{
    switch (version) {
    case 0x04:
    case 0x8C:
        return 7;
    case 0x83:
        return 3;
    case 0x03:
        return ldid == 0 ? 3 : 4;
    case 0x8B:
    case 0x43:
    case 0x63:
    case 0x7B:
    case 0xCB:
        return 4;
    default:
        throw CorruptFileError(file, "not a dBase table (version byte " + hexByte(version) + ")");
    }
}

// The field descriptor at d, checked: field number `number` (1-based) of a table of the given
// level, starting at offset in the record.
FieldDesc
readDescriptor(const std::string &file, const uint8_t *d, int level, size_t number, uint32_t offset)
{
    const FieldDescriptorLayout &L = descriptorLayout(level);
    auto corrupt = [&](const std::string &fault) {
        return CorruptFileError(file, fault);
    };
    FieldDesc f;
    f.name.assign(reinterpret_cast<const char *>(d),
                  strnlen(reinterpret_cast<const char *>(d), L.nameSize));
    while (!f.name.empty() && f.name.back() == ' ') {
        f.name.pop_back();
    }
    f.type = static_cast<char>(d[L.type]);
    f.length = d[L.length];
    f.decimals = d[L.decimals];
    f.offset = offset;
    const std::string which = "field " + std::to_string(number)
                              + (f.name.empty() ? std::string() : " (" + f.name + ")");
    if (f.name.empty()) {
        throw corrupt(which + " has no name");
    }
    bool typeOk = std::strchr("CNFLDMBG", f.type) != nullptr;
    if (level == 7 && std::strchr("I+O@", f.type) != nullptr) {
        typeOk = true;
    }
    if (!typeOk || f.type == '\0') {
        throw corrupt(which + " has an unknown type " + hexByte(static_cast<uint8_t>(f.type)));
    }
    if (f.length == 0) {
        throw corrupt(which + " has length 0");
    }
    const size_t required = f.type == 'D'                      ? 8
                            : (f.type == 'I' || f.type == '+') ? 4
                            : (f.type == 'O' || f.type == '@') ? 8
                                                               : 0;
    if (required != 0 && f.length != required) {
        throw corrupt(which + " of type " + std::string(1, f.type) + " has length "
                      + std::to_string(f.length));
    }
    return f;
}

} // namespace

void DbfFile::load()
{
    const uint64_t size = m_file->size();
    const uint32_t headerCount = loadHeader(size);
    const uint32_t offset = loadDescriptors();
    if (m_recordLength < offset) {
        throw CorruptFileError(path(),
                               "record length " + std::to_string(m_recordLength)
                                   + " is smaller than its fields need (" + std::to_string(offset)
                                   + ")");
    }
    const uint64_t available = (size - m_headerLength) / m_recordLength;
    m_recordCount = static_cast<uint32_t>(std::min<uint64_t>(headerCount, available));
}

uint32_t DbfFile::loadHeader(uint64_t size)
{
    const std::string &name = path();
    auto corrupt = [&](const std::string &fault) {
        return CorruptFileError(name, fault);
    };
    uint8_t h[kDbf7HeaderSize] = {};
    if (size < kDbfHeaderSize) {
        throw corrupt("truncated header (" + std::to_string(size) + " bytes)");
    }
    m_file->readExact(0, h, kDbfHeaderSize);
    m_version = h[DbfHeaderLayout::version];
    m_level = levelOf(name, m_version, h[DbfHeaderLayout::ldid]);
    const size_t headerSize = descriptorLayout(m_level).first;
    if (size < headerSize) {
        throw corrupt("truncated header (" + std::to_string(size) + " bytes)");
    }
    if (m_level == 7) {
        m_file->readExact(kDbfHeaderSize, h + kDbfHeaderSize, kDbf7HeaderSize - kDbfHeaderSize);
        const char *driver = reinterpret_cast<const char *>(h + DbfHeaderLayout::driverName);
        m_driverName.assign(driver, strnlen(driver, DbfHeaderLayout::driverNameSize));
    }
    const uint8_t *mark = h + DbfHeaderLayout::sessionMark;
    if (std::memcmp(mark, "WLRK", 4) == 0) {
        m_markAtOpen = DbfSessionMark{decodeLe32(mark + 4), decodeLe32(mark + 8)};
    } else {
        std::memcpy(m_reservedAtOpen, mark, sizeof m_reservedAtOpen);
    }
    const uint8_t *date = h + DbfHeaderLayout::date;
    m_lastUpdate = {1900 + date[0], date[1], date[2]};
    const uint32_t headerCount = decodeLe32(h + DbfHeaderLayout::recordCount);
    m_headerLength = decodeLe16(h + DbfHeaderLayout::headerLength);
    m_recordLength = decodeLe16(h + DbfHeaderLayout::recordLength);
    m_productionIndex = h[DbfHeaderLayout::productionIndex] != 0;
    m_ldid = h[DbfHeaderLayout::ldid];
    const CodePage cp = m_level == 7 && !m_driverName.empty() ? codePageForDriverName(m_driverName)
                                                              : codePageForLdid(m_ldid);
    m_codec = FieldCodec(name, cp);

    if (m_headerLength < headerSize + 1) {
        throw corrupt("header length " + std::to_string(m_headerLength) + " is too small");
    }
    if (m_headerLength > size) {
        throw corrupt("header length " + std::to_string(m_headerLength)
                      + " is beyond the end of the file (" + std::to_string(size) + " bytes)");
    }
    return headerCount;
}

uint32_t DbfFile::loadDescriptors()
{
    const std::string &name = path();
    const FieldDescriptorLayout &layout = descriptorLayout(m_level);
    std::vector<uint8_t> desc(m_headerLength - layout.first);
    m_file->readExact(layout.first, desc.data(), desc.size());

    m_fields.clear();
    uint32_t offset = 1;
    size_t pos = 0;
    bool terminated = false;
    while (pos < desc.size()) {
        if (desc[pos] == kDbfDescriptorEnd) {
            terminated = true;
            break;
        }
        if (pos + layout.size > desc.size()) {
            break;
        }
        FieldDesc f = readDescriptor(name, desc.data() + pos, m_level, m_fields.size() + 1, offset);
        offset += f.length;
        m_fields.push_back(std::move(f));
        if (m_fields.size() > kDbfMaxFields) {
            throw CorruptFileError(name, "more than " + std::to_string(kDbfMaxFields) + " fields");
        }
        pos += layout.size;
    }
    if (!terminated) {
        throw CorruptFileError(
            name, "the field descriptors are not terminated by 0x0D within the header");
    }
    if (m_fields.empty()) {
        throw CorruptFileError(name, "the table has no fields");
    }
    return offset;
}

namespace {

// Field f of a new table of the given level, checked and completed: the name in upper case,
// the fixed length of its type. The earlier fields are those before it. Throws FieldError.
void completeNewField(const std::string &path, int level, FieldDesc &f, const FieldList &earlier)
{
    auto bad = [&](const std::string &fault) {
        return FieldError(path, fault);
    };
    const std::string allowed = level == 7 ? "CNFLDMBGI+O@" : level == 4 ? "CNFLDMBG" : "CNLDM";
    const size_t maxName = descriptorLayout(level).nameSize - 1;
    f.name = upperAscii(f.name);
    bool nameOk
        = !f.name.empty() && f.name.size() <= maxName && f.name[0] >= 'A' && f.name[0] <= 'Z';
    for (const char c : f.name) {
        nameOk = nameOk && ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_');
    }
    if (!nameOk) {
        throw bad("\"" + f.name + "\" is not a valid field name");
    }
    if (findField(earlier, f.name) >= 0) {
        throw bad("field " + f.name + " is defined twice");
    }
    if (allowed.find(f.type) == std::string::npos) {
        throw bad("field " + f.name + ": type " + std::string(1, f.type)
                  + " is not available at level " + std::to_string(level));
    }
    uint8_t fixed = 0;
    switch (f.type) {
    case 'L':
        fixed = 1;
        break;
    case 'D':
    case 'O':
    case '@':
        fixed = 8;
        break;
    case 'M':
    case 'B':
    case 'G':
        fixed = 10;
        break;
    case 'I':
    case '+':
        fixed = 4;
        break;
    default:
        break;
    }
    if (fixed != 0) {
        f.length = fixed;
        f.decimals = 0;
    } else if (f.type == 'C') {
        if (f.length < 1 || f.length > 254) {
            throw bad("field " + f.name + ": a character field has 1 to 254 bytes");
        }
        f.decimals = 0;
    } else if (f.length < 1 || f.length > 20 || f.decimals > 18
               || (f.decimals > 0 && f.decimals + 2 > f.length)) {
        throw bad("field " + f.name + ": invalid numeric width " + std::to_string(f.length) + ","
                  + std::to_string(f.decimals));
    }
}

// The fields of a new table, checked, completed and placed in the record.
FieldList newTableFields(const std::string &path, const DbfLayout &layout)
{
    auto bad = [&](const std::string &fault) {
        return FieldError(path, fault);
    };
    const int level = layout.level;
    if (level != 3 && level != 4 && level != 7) {
        throw bad("unsupported table level " + std::to_string(level));
    }
    const size_t maxFields = level == 7 ? kDbfMaxFields : 255;
    if (layout.fields.empty() || layout.fields.size() > maxFields) {
        throw bad("a table needs 1 to " + std::to_string(maxFields) + " fields");
    }
    FieldList fields = layout.fields;
    uint32_t offset = 1;
    for (size_t i = 0; i < fields.size(); ++i) {
        FieldDesc &f = fields[i];
        completeNewField(path, level, f, FieldList(fields.begin(), fields.begin() + i));
        f.offset = offset;
        offset += f.length;
    }
    if (offset > (level == 3 ? 4000u : kMaxRecordLength)) {
        throw bad("records of " + std::to_string(offset) + " bytes are too long");
    }
    return fields;
}

// The header, descriptors and end marker of a new, empty table.
std::vector<uint8_t> newTableImage(const DbfLayout &layout, const FieldList &fields)
{
    const int level = layout.level;
    const FieldDescriptorLayout &L = descriptorLayout(level);
    const size_t headerLength = L.first + L.size * fields.size() + 1;
    const uint32_t recordLength = fields.back().offset + fields.back().length;
    std::vector<uint8_t> image(headerLength + 1, 0);
    uint8_t version = level == 7 ? 0x04 : 0x03;
    if (std::any_of(
            fields.begin(), fields.end(), [](const FieldDesc &f) { return isMemoType(f.type); })) {
        version |= level == 3 ? 0x80 : 0x88;
    }
    const DbfDate now = today();
    image[DbfHeaderLayout::version] = version;
    uint8_t *date = image.data() + DbfHeaderLayout::date;
    date[0] = static_cast<uint8_t>(now.year - 1900);
    date[1] = static_cast<uint8_t>(now.month);
    date[2] = static_cast<uint8_t>(now.day);
    encodeLe16(image.data() + DbfHeaderLayout::headerLength, static_cast<uint16_t>(headerLength));
    encodeLe16(image.data() + DbfHeaderLayout::recordLength, static_cast<uint16_t>(recordLength));
    image[DbfHeaderLayout::ldid] = layout.ldid;
    if (level == 7) {
        std::memcpy(
            image.data() + DbfHeaderLayout::driverName,
            layout.driverName.data(),
            std::min<size_t>(layout.driverName.size(), DbfHeaderLayout::driverNameSize - 1));
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        uint8_t *d = image.data() + L.first + i * L.size;
        const FieldDesc &f = fields[i];
        std::memcpy(d, f.name.data(), f.name.size());
        d[L.type] = static_cast<uint8_t>(f.type);
        d[L.length] = f.length;
        d[L.decimals] = f.decimals;
        if (f.type == '+') {
            encodeLe32(d + L.autoIncrement, 1);
        }
    }
    image[headerLength - 1] = kDbfDescriptorEnd;
    image[headerLength] = kDbfEndOfFile;
    return image;
}

} // namespace

std::unique_ptr<DbfFile>
DbfFile::create(FileSystem &fs, const std::string &path, const DbfLayout &layout, ShareMode share)
{
    const std::vector<uint8_t> image = newTableImage(layout, newTableFields(path, layout));
    std::unique_ptr<DbfFile> dbf(new DbfFile(fs.create(path, share), true));
    dbf->m_file->writeAt(0, image.data(), image.size());
    dbf->load();
    return dbf;
}

std::vector<uint8_t> DbfFile::blankRecord() const
{
    std::vector<uint8_t> record(m_recordLength);
    m_codec.clear(m_fields, record.data(), record.size());
    return record;
}

bool DbfFile::hasMemoFields() const
{
    return std::any_of(
        m_fields.begin(), m_fields.end(), [](const FieldDesc &f) { return isMemoType(f.type); });
}

void DbfFile::checkWritable() const
{
    if (!m_writable) {
        throw StateError(path(), "the table is open for reading only");
    }
}

void DbfFile::checkRecno(uint32_t recno) const
{
    if (recno < 1 || recno > m_recordCount) {
        throw StateError(path(),
                         "record " + std::to_string(recno) + " does not exist (the table has "
                             + std::to_string(m_recordCount) + " records)");
    }
}

void DbfFile::readRecord(uint32_t recno, uint8_t *buffer) const
{
    checkRecno(recno);
    const uint64_t at = m_headerLength + uint64_t{recno - 1} * m_recordLength;
    if (m_file->readViewed(at, buffer, m_recordLength)) {
        return;
    }
    m_file->readExact(at, buffer, m_recordLength);
}

uint32_t DbfFile::readRecords(uint32_t first, uint32_t count, uint8_t *buffer) const
{
    if (first < 1 || first > m_recordCount || count == 0) {
        return 0;
    }
    const uint32_t n = std::min(count, m_recordCount - first + 1);
    // Read, not viewed: a sequential pass copies faster than it maps the file page by page.
    m_file->readExact(
        m_headerLength + uint64_t{first - 1} * m_recordLength, buffer, size_t{n} * m_recordLength);
    return n;
}

void DbfFile::prefetchRecord(uint32_t recno) const
{
    if (recno < 1 || recno > m_recordCount) {
        return;
    }
    const uint64_t at = m_headerLength + uint64_t{recno - 1} * m_recordLength;
    if (const uint8_t *bytes = m_file->view(at, m_recordLength)) {
        for (uint32_t i = 0; i < m_recordLength; i += 64) {
            __builtin_prefetch(bytes + i);
        }
    }
}

uint32_t DbfFile::recordsPerChunk() const
{
    return std::max<uint32_t>(1, static_cast<uint32_t>(kDbfScanChunk / m_recordLength));
}

void DbfFile::touchDate()
{
    const DbfDate now = today();
    if (now == m_lastUpdate) {
        return;
    }
    const uint8_t date[3] = {static_cast<uint8_t>(now.year - 1900),
                             static_cast<uint8_t>(now.month),
                             static_cast<uint8_t>(now.day)};
    m_file->writeAt(1, date, sizeof date);
    m_lastUpdate = now;
}

void DbfFile::writeRecord(uint32_t recno, const uint8_t *buffer)
{
    checkWritable();
    checkRecno(recno);
    m_file->writeAt(m_headerLength + uint64_t{recno - 1} * m_recordLength, buffer, m_recordLength);
    touchDate();
}

uint32_t DbfFile::appendRecord(const uint8_t *buffer)
{
    checkWritable();
    const uint64_t at = m_headerLength + uint64_t{m_recordCount} * m_recordLength;
    if (m_recordCount == 0xFFFFFFFFu || at + m_recordLength + 1 > kMaxTableBytes) {
        throw StateError(path(), "the table is full");
    }
    // The record and the end marker first: until the header counts it, the record is not live.
    std::vector<uint8_t> &data = m_appendBuffer;
    data.resize(size_t{m_recordLength} + 1);
    std::memcpy(data.data(), buffer, m_recordLength);
    data[m_recordLength] = kDbfEndOfFile;
    m_file->writeAt(at, data.data(), data.size());

    // The date and the count with the version byte before them: the header's first eight
    // bytes, written in one piece.
    const DbfDate now = today();
    uint8_t h[8];
    h[DbfHeaderLayout::version] = m_version;
    h[DbfHeaderLayout::date] = static_cast<uint8_t>(now.year - 1900);
    h[DbfHeaderLayout::date + 1] = static_cast<uint8_t>(now.month);
    h[DbfHeaderLayout::date + 2] = static_cast<uint8_t>(now.day);
    encodeLe32(h + DbfHeaderLayout::recordCount, m_recordCount + 1);
    m_file->writeWhole8(0, h);
    m_lastUpdate = now;
    return ++m_recordCount;
}

void DbfFile::setDeleted(uint32_t recno, bool deleted)
{
    checkWritable();
    checkRecno(recno);
    const uint8_t flag = deleted ? kRecordDeleted : kRecordLive;
    m_file->writeAt(m_headerLength + uint64_t{recno - 1} * m_recordLength, &flag, 1);
    touchDate();
}

void DbfFile::setProductionIndex(bool on)
{
    checkWritable();
    const uint8_t flag = on ? 1 : 0;
    m_file->writeAt(DbfHeaderLayout::productionIndex, &flag, 1);
    m_productionIndex = on;
}

uint32_t DbfFile::takeAutoIncrement(int fieldIndex)
{
    checkWritable();
    if (m_level != 7 || fieldIndex < 0 || static_cast<size_t>(fieldIndex) >= m_fields.size()
        || m_fields[static_cast<size_t>(fieldIndex)].type != '+') {
        throw FieldError(path(), "not an autoincrement field");
    }
    const uint64_t at = kDbf7Descriptor.first + uint64_t(fieldIndex) * kDbf7Descriptor.size
                        + kDbf7Descriptor.autoIncrement;
    uint8_t b[4];
    m_file->readExact(at, b, 4);
    const uint32_t value = decodeLe32(b);
    encodeLe32(b, value + 1);
    m_file->writeAt(at, b, 4);
    return value;
}

void DbfFile::flush()
{
    m_file->flush();
}

void DbfFile::sync()
{
    if (m_writable) {
        m_file->sync();
    }
}

void DbfFile::writeSessionMark(const DbfSessionMark &mark)
{
    checkWritable();
    uint8_t b[12] = {'W', 'L', 'R', 'K'};
    encodeLe32(b + 4, mark.syncedCount);
    encodeLe32(b + 8, mark.syncedMemoBlock);
    m_file->writeAt(DbfHeaderLayout::sessionMark, b, sizeof b);
}

void DbfFile::clearSessionMark()
{
    checkWritable();
    m_file->writeAt(DbfHeaderLayout::sessionMark, m_reservedAtOpen, sizeof m_reservedAtOpen);
}

void DbfFile::dropRecordsFrom(uint32_t recno)
{
    if (recno == 0) {
        return;
    }
    const uint32_t count = std::min(recno - 1, m_recordCount);
    if (m_writable) {
        // The count the header states may exceed the records the file holds.
        uint8_t h[8];
        m_file->readExact(0, h, sizeof h);
        if (decodeLe32(h + DbfHeaderLayout::recordCount) > count) {
            encodeLe32(h + DbfHeaderLayout::recordCount, count);
            m_file->writeWhole8(0, h);
        }
        // What lay past them is garbage: the file ends after the last record and its mark.
        const uint64_t end = m_headerLength + uint64_t{count} * m_recordLength;
        m_file->truncate(end);
        m_file->writeAt(end, &kDbfEndOfFile, 1);
    }
    m_recordCount = count;
}

uint32_t DbfFile::statedCount() const
{
    uint8_t h[8];
    m_file->readExact(0, h, sizeof h);
    return decodeLe32(h + DbfHeaderLayout::recordCount);
}

bool DbfFile::tornRecord(const uint8_t *record) const
{
    if (record[0] != kRecordLive && record[0] != kRecordDeleted) {
        return true;
    }
    for (const FieldDesc &f : m_fields) {
        if (std::strchr("CNFLDMBG", f.type) == nullptr) {
            continue; // binary fields hold NUL bytes of their own
        }
        if (std::memchr(record + f.offset, 0, f.length) != nullptr) {
            return true;
        }
    }
    return false;
}

// ---------------------------------------------------------------------------- DbfScanner

DbfScanner::DbfScanner(const DbfFile &dbf, uint32_t first)
    : m_dbf(dbf)
    , m_first(first)
{}

const uint8_t *DbfScanner::next()
{
    const uint32_t wanted = m_recno == 0 ? m_first : m_recno + 1;
    if (wanted < 1 || wanted > m_dbf.recordCount()) {
        return nullptr;
    }
    if (wanted >= m_first + m_loaded || wanted < m_first) {
        // No bigger than the rest of the table: small tables get small buffers.
        const uint32_t chunk = std::min(m_dbf.recordsPerChunk(), m_dbf.recordCount() - wanted + 1);
        if (m_buffer.size() < size_t{chunk} * m_dbf.recordLength()) {
            m_buffer.resize(size_t{chunk} * m_dbf.recordLength());
        }
        m_first = wanted;
        m_loaded = m_dbf.readRecords(wanted, chunk, m_buffer.data());
        if (m_loaded == 0) {
            return nullptr;
        }
    }
    m_recno = wanted;
    return m_buffer.data() + size_t{wanted - m_first} * m_dbf.recordLength();
}

} // namespace welarik
