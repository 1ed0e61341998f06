// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table engine: one dBase table as the three files behind it, the table file (.DBF), its
// memo file (.DBT, when the table has memo fields) and its production index (.MDX, when the
// table has tags), opened, read and changed together. The table component (table.h) builds
// its states, order and filter on top of this class; the command-line tool and the demo
// catalogue use it directly. Filters over raw records are in filter.h.
//
// On-disk invariants and the order of writes
// -------------------------------------------
// A process may be killed between any two writes, and the power may fail at any moment. The
// order below makes sure that every post that returned survives a kill, that every post
// before the last sync survives a power cut, that the files always open and read, and that an
// index that might disagree with the table is never trusted.
//
//   session     The first change after an open (or after the last settle) starts a write
//               session: the index's state byte := "write in progress" and the table header's
//               session mark (reserved bytes 16-27: "WLRK", the record count and the memo's
//               next free block as the last sync left them) are written and synced before
//               any change. The posts of the session then cost no sync of their own. settle()
//               ends it (close(), and the table component a second after the last write):
//               table, memo and index synced (the index's mapped pages by msync), then the
//               state byte := "clean" and the mark cleared, and synced again. Two syncs per
//               burst of posts, none on a post's path.
//   memo text   Setting a memo field writes the text into NEW blocks of the memo file at once
//               (the memo header's next-free block is raised after the data are written) and
//               puts the block number into the caller's record buffer. Old blocks are never
//               overwritten, so the record on disk keeps pointing at complete text until the
//               record itself is written. Empty text leaves a blank pointer.
//   append      1. the record at the end of the table file, then the end-of-file mark,
//               2. the header's record count and date in one 8-byte write (a kill before this
//                  step leaves the record outside the table: no half-written record is ever
//                  live),
//               3. the record's key inserted into every tag.
//   update      1. the record overwritten in place, 2. per changed tag: old key removed, new
//               key inserted.
//   markDeleted the deletion flag only; deleted records stay in every tag (dBase keeps them),
//               so no index page changes.
//
// What is lost:
//   - a kill: nothing that returned. The index is left "write in progress" and rebuilt by the
//     next open for writing; a record written past the count is a harmless leftover.
//   - a power cut: at most the posts since the last sync (about the last second of work):
//     the writes since then may reach the disk in any order, in part, torn at sector bounds.
//     The next open sees the session mark: records past the synced count that did not arrive
//     whole (a deletion flag neither blank nor '*', a NUL byte in a text field) are dropped by
//     lowering the count, together with every record after the first such one; a memo pointer
//     at or past the synced next block whose text did not arrive whole is blanked, and so is
//     a number, date or logical torn into an invalid value; every tag is rebuilt (an open for
//     writing in shared mode leaves the mark alone: it may be another user's live session).
//     Each repair is a note of check() (openNotes()), never a failed open; a read-only open
//     lowers the count in memory only. A record changed in place since the last sync may
//     hold, sector by sector, its old or its new bytes.
//
// The crash marker: our index files carry our signature and a state byte (see mdx.h).
//   - signature + "clean": the tags match the table; trusted without a check.
//   - signature + "write in progress": a writer stopped half way. Opening for writing
//     rebuilds every tag from the table before anything else; opening read-only keeps the
//     files untouched and serves the tags' orders from keys computed in memory.
//   - no signature (written by another program): when the table is opened for writing, each
//     tag is compared with the keys we compute; a tag that disagrees (keys upper-cased by
//     another rule, numbers in another form) is rebuilt at once, the others are kept (a
//     layout we would not write ourselves, such as full interior nodes, is no reason to
//     rebuild), and our signature is written with the first write. Opened read-only, a tag
//     that disagrees is served in the order of our keys, computed in memory at its first use.
// A write that fails half way (the file layer throws after "write in progress") leaves the
// files as the last successful write left them, but the tags may disagree with the table: the
// engine marks its index suspect, check() reports it, cursors order from keys computed in
// memory, and the next write (or repair()) first rebuilds every tag from the table. A record
// written past the count by a cut-off append is a harmless leftover that the next append
// overwrites (check() notes it).
// A tag whose key expression we cannot evaluate leaves the table readable (the other tags
// work), but every write is refused with IndexError before any byte is written.
//
// Locks: the three files are opened with the caller's share mode; Exclusive locks all three.
//
// Thread safety: none; one thread uses one engine.

#include "codepage.h"
#include "errors.h"
#include "field.h"
#include "file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace welarik {

// One record as stored: byte 0 is the deletion flag (' ' or '*'), then the fields at their
// FieldDesc::offset. Its size is recordLength().
using RecordBuffer = std::vector<uint8_t>;

struct TagInfo
{
    std::string name;
    std::string expression;
    std::string forExpression; // empty when the tag indexes every record
    char keyType = 'C';        // 'C' character, 'N' numeric (BCD), 'D' date, 'F' float
    int keyLength = 0;         // bytes of one key
    bool descending = false;
    bool unique = false;
    bool evaluable = true;  // false: the expression is beyond our evaluator
    bool upperCase = false; // the expression is UPPER(...): search texts are upper-cased
    std::string firstField; // first field the expression names ("UPPER(T_PL)" -> "T_PL")
};

// One finding of check(): a fault makes the table unsound, a note does not (a tag whose
// keys another program made by its own rule, a leaked memo block...).
struct CheckFinding
{
    bool fault = true;
    std::string where; // "table", "memo", "tag T_PL"...
    std::string text;
};

struct CheckReport
{
    std::vector<CheckFinding> findings;
    bool sound() const;
    int faults() const;
    int notes() const;
};

class TableEngine;

// A position in one tag's order. Entries are (key, recno) pairs ordered by key (descending
// tags: reversed), equal keys by record number. Deleted records are included; callers skip
// them. A cursor must not outlive its engine. It stays usable across writes of the same engine:
// after a change, next() and prior() continue from the last (key, recno) position it stood on.
class TagCursor
{
public:
    TagCursor(TagCursor &&) noexcept;
    TagCursor &operator=(TagCursor &&) noexcept;
    ~TagCursor();

    // A walk that reads the records it passes has the next one fetched ahead (the default); a
    // walk that only counts entries turns that off, since it would only fetch memory in vain.
    void setReadAhead(bool on);

    // Each returns true when the cursor stands on an entry afterwards.
    bool first();
    bool last();
    bool next();  // at the last entry: false, and the cursor is off the end
    bool prior(); // at the first entry: false, and the cursor is off the front
    // First entry whose key begins with prefix (an exact key is a full-length prefix); false
    // and off the end when none does.
    bool seek(const std::string &prefix);
    // First entry whose key is >= key in the tag's order; false when there is none.
    bool nearest(const std::string &key);
    // The entry (key, recno) itself, or the first entry after it when it is gone.
    bool seekEntry(const std::string &key, uint32_t recno);

    bool valid() const;
    uint32_t recno() const;         // 0 when not valid
    const std::string &key() const; // raw key bytes of the tag's encoding
    // Appends the record numbers of all the tag's entries in its order (wherever the cursor
    // stands; it does not move). Faster than stepping through them.
    void appendAllRecnos(std::vector<uint32_t> &out) const;

    struct Impl;

private:
    friend class TableEngine;
    explicit TagCursor(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

class TableEngine
{
public:
    ~TableEngine();
    TableEngine(const TableEngine &) = delete;
    TableEngine &operator=(const TableEngine &) = delete;

    // Opens dbfPath and its memo file and production index, found in any letter case beside
    // it. No per-record work: cost does not grow with the record count (except when a crashed
    // index must be rebuilt). Throws OpenError (missing, locked), CorruptFileError,
    // IndexError (a tag promised by the header whose index file is missing is an error only
    // at the first use of a tag).
    static std::unique_ptr<TableEngine>
    open(FileSystem &fs, const std::string &dbfPath, OpenMode mode, ShareMode share);

    // Creates a new table: DBF (level 3, 4, 5 or 7; the version byte follows the level and
    // the presence of memo fields), a memo file when a field is M/B/G, and a production index
    // with the given tags when there are any. Existing files of those names are replaced.
    // Field offsets are computed; the caller's offsets are ignored. Returns it open for
    // writing with the given share mode.
    static std::unique_ptr<TableEngine> create(FileSystem &fs,
                                               const std::string &dbfPath,
                                               int level,
                                               uint8_t ldid,
                                               const FieldList &fields,
                                               const std::vector<TagDefinition> &tags,
                                               ShareMode share = ShareMode::Exclusive);

    // Closes the files (also done by the destructor). Harmless twice.
    void close();
    // Waits until every write of the table, its memo and its index is on the disk (fsync).
    // Each post is written when it returns; this makes it survive a power cut too.
    void sync();

    // --- the table
    const std::string &path() const;
    int level() const; // 3, 4 (also 5) or 7
    uint8_t versionByte() const;
    uint8_t ldid() const;
    CodePage codePage() const;
    const FieldList &fields() const;
    int fieldIndex(const std::string &name) const; // -1 when absent
    uint32_t recordLength() const;
    uint32_t recordCount() const; // physical, deleted records included
    bool writable() const;
    bool hasMemo() const;
    bool hasIndex() const;

    // --- records
    void readRecord(uint32_t recno, RecordBuffer &out) const; // 1-based; StateError outside
    RecordBuffer blankRecord() const;
    static bool isDeleted(const RecordBuffer &record)
    {
        return !record.empty() && record[0] == '*';
    }
    // Calls visit(recno, record bytes) for records first..count in order, reading in chunks;
    // stops early when visit returns false.
    void scan(const std::function<bool(uint32_t, const uint8_t *)> &visit,
              uint32_t first = 1) const;

    // --- field codec (UTF-8 for callers; the table's code page on disk)
    // Text of a field: C as stored (trailing blanks kept), N/F the digits as stored without
    // the padding ("" when blank), L "T"/"F"/"" , D "YYYYMMDD" or "", M/B/G the memo text
    // ("" for a blank pointer). CorruptFileError for a memo pointer out of range.
    std::string fieldText(const RecordBuffer &record, int field) const;
    std::string fieldText(const uint8_t *record, int field) const;
    // Writes a value: C is cut to the field's width (whole characters) and blank-padded;
    // EncodingError for a character the code page lacks. N/F take a decimal number (blank
    // text = blank field); FieldError when it is not a number or does not fit. L takes
    // "T"/"F"/"Y"/"N"/"" (any case). D takes "YYYYMMDD" or "". M writes the text to NEW memo
    // blocks now (crash-safe order) and puts the block number into record; "" = blank.
    // Level 7: I and + take a whole number of 32 bits, O any number, @ the milliseconds as
    // read; blank text = blank field; FieldError otherwise.
    void setFieldText(RecordBuffer &record, int field, const std::string &utf8);
    // Whole numbers: blank or unreadable reads as 0; a fraction is rounded toward zero.
    int64_t fieldInteger(const uint8_t *record, int field) const;
    void setFieldInteger(RecordBuffer &record, int field, int64_t value);
    // Logical: nullopt when not initialised (blank or '?').
    std::optional<bool> fieldLogical(const uint8_t *record, int field) const;
    void setFieldLogical(RecordBuffer &record, int field, std::optional<bool> value);

    // --- writes (each keeps every tag valid on disk, in the order documented above)
    // StateError when opened read-only; IndexError (nothing written) when a tag cannot be
    // evaluated; FieldError when the buffer has the wrong size.
    // A level-7 autoincrement field left blank gets the table's next number.
    uint32_t append(const RecordBuffer &record);
    void update(uint32_t recno, const RecordBuffer &record); // deletion flag taken from record
    void markDeleted(uint32_t recno);

    // Bulk loading for large generated tables: between beginBulk() and endBulk() appends go
    // to the table only, with the index in state "write in progress"; endBulk() builds every
    // tag from the table at once and marks the index clean. A crash in between leaves an
    // index that the next open for writing rebuilds.
    void beginBulk();
    void endBulk();

    // --- durability (see "the write session" above)
    // Ends the write session: table, memo and index synced, then the marks cleared and
    // synced. Nothing to do when no write came since the last one. The table component calls
    // it after a second without writes; close() calls it too. IoError when the disk refuses.
    void settle();
    bool settled() const; // no write since the last settle (or the open)
    // What opening after a power cut repaired (records dropped, memo pointers blanked), as
    // notes; check() reports them too.
    const std::vector<CheckFinding> &openNotes() const;

    // --- tags
    const std::vector<TagInfo> &tags() const;
    int tagIndex(const std::string &name) const; // case-insensitive, -1 when absent
    // Key of a record for a tag in the tag's encoding; IndexError when not evaluable.
    std::string keyOf(int tag, const uint8_t *record) const;
    // Key prefix for a search text typed by the user: converted to the code page, upper-cased
    // for UPPER(...) tags, cut to the key length; a numeric tag takes the number's full key
    // (FieldError when the text is not a number). EncodingError for a character the code
    // page lacks.
    std::string keyPrefix(int tag, const std::string &utf8Text) const;
    // A cursor over the tag's order, not positioned. IndexError when the tag cannot be used.
    TagCursor cursor(int tag) const;

    // --- verification
    // Table (header vs size, every record's fields), memo pointers, and every tag against the
    // records: each record listed once with the key we compute, in order. Faults: keys out of
    // order, a key that disagrees with its record, a missing or extra entry, a bad pointer.
    // Notes: keys that differ only by another program's upper-casing rule, numeric keys in
    // another form of the same value, interior nodes filled to the last slot.
    CheckReport check() const;
    // Rebuilds what opening for writing rebuilds (a crashed index, tags that disagree with
    // the records) and the whole index after a failed write of this session, then checks
    // again. Keys that differ from ours in an index carrying our signature are faults, not
    // notes. StateError when read-only.
    CheckReport repair();

    struct Impl;

private:
    explicit TableEngine(std::unique_ptr<Impl> impl);
    std::unique_ptr<Impl> d;
};

} // namespace welarik
