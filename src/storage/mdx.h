// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The production index (.MDX): a file of 512-byte pages holding up to 47 tags, each a B-tree
// of keys computed from the table's records.
//
// File header (page 0):
//   OFFSET SIZE MEANING
//   0      1    version: 2 (levels 4/5), 3 (level 7: longer tag slots)
//   1      3    date YY MM DD
//   4      16   base name of the table, NUL padded
//   20     2    block factor (pages per block, 1..32)
//   22     2    block size in bytes (512 x factor)
//   24     1    production flag (1)
//   25     1    number of tag slots (48)
//   26     1    tag slot length (32; level 7 longer)
//   28     2    tags in use
//   30     1    0
//   31     1    language driver byte of the table (kept as found)
//   32     4    total pages in the file
//   36     4    first free page (0; we never reuse nodes)
//   40     4    0
//   44     3    date of the last update YY MM DD
//   48     4    engine signature 'W' 'L' 'R' 'K' (ours; other writers leave these bytes alone)
//   52     1    engine state: 0 clean, 1 write in progress
//   53     3    0
// Tag table from byte 512: slot 0 is the anchor (its byte 17 = slot of the root of the
// tag-name tree), tags in slots 1..47. Slot (levels 4/5, 32 bytes):
//   0 u32 tag-header page | 4 name (11 bytes, NUL filled) | 15 0x10 | 16 left | 17 right |
//   18 parent (slot numbers of the tag-name binary tree) | 19 0x02 | 20 key type C/N/D
// Level 7 slot: 0 u32 page | 4 name (33 bytes) | 37 0x10 | 38 left | 39 right | 40 parent |
//   41 0x02 | 42 key type.
// Tag header (one block):
//   0 u32 root page | 4 u32 pages used | 8 flags (0x10, +0x08 descending, +0x40 unique) |
//   9 key type | 11 language driver | 12 u16 key length | 14 u16 max keys per node |
//   16 u16 1 for date keys | 18 u16 item length (4 + key length rounded up to 4) |
//   20 change counter | 23 unique (0x40) | 24 key expression (220 bytes, ASCIIZ) |
//   245 FOR clause present | 246 has keys | 248 u32 first leaf | 252 u32 last leaf |
//   257 date | 480 1 when the expression is one field
// Node (one block): 0 u32 key count n | 4 u32 0 | 8 n items of (u32 pointer, key, pad) |
//   8 + n x item: u32 extra pointer. Leaves: pointer = record number, extra = 0. Interior:
//   pointer = child page, key = highest key of the child's subtree, extra = rightmost child.
//   Interior nodes never hold the maximum key count; all leaves are at one depth; equal keys
//   are ordered by record number.
//
// Every change goes to the file at once (decoded nodes are cached, write-through). The header's
// page count is rewritten when it changes and its date once per session, with the first state
// byte; a tag header is rewritten when its root, page count or edge leaves change. Nodes freed
// by merges are left unused, as other writers expect.

#include "codepage.h"
#include "errors.h"
#include "field.h"
#include "file.h"
#include "keyexpr.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace welarik {

constexpr uint32_t kMdxPageSize = 512;
constexpr size_t kMdxMaxTags = 47;
constexpr size_t kMdxMaxKeyLength = 240; // what fits a 1024-byte node twice over; dBase: 100
constexpr size_t kMdxMaxTagName = 10;
// Bytes of decoded nodes an open index keeps (all tags together); the least recently used go
// first. The file's pages themselves stay in the system's cache, and decoding a node is one
// copy of its block, so the cache need only hold what every change passes through: the
// interior nodes (about a ninth of a 100-byte-key tag's nodes) and the leaves being written.
// A larger one only grows the heap (20 MB cost a third more memory and made the first
// open after a big change pay for sorting the freed nodes).
constexpr size_t kMdxNodeCacheBudget = size_t{4} << 20;

class MdxFile;
class MdxTag;

// One entry of a tag: key bytes (keyLength) and record number.
struct IndexEntry
{
    std::string key;
    uint32_t recno = 0;
};

// Outcome of checking a tag against the table.
enum class TagHealth {
    Sound,       // structure and keys agree with the records (notes may remain)
    ForeignKeys, // structure sound, but some stored keys differ from the keys we compute only
                 // by another program's upper-case rule (e.g. upper-casing only a-z) or are
                 // numbers of another form: a note for check, but the tag must be rebuilt
                 // before we write into it
    Faulty       // records missing or listed twice, keys out of order or disagreeing with
                 // their records, bad pointers, loops...
};

struct TagReport
{
    TagHealth health = TagHealth::Sound;
    std::vector<std::string> faults; // one line each; for ForeignKeys the note
    // Layouts we would not write ourselves but that read and change correctly (interior nodes
    // filled to the last slot, numeric keys encoded in another form of the same value).
    std::vector<std::string> notes;
    uint32_t keys = 0;  // entries found in the tree
    uint32_t depth = 0; // levels (1 = root is a leaf)
};

// Reads record recno (1-based) into record (byte 0 = deletion flag). May throw.
using RecordReader = std::function<void(uint32_t recno, std::vector<uint8_t> &record)>;

// A position in one tag. It keeps its path from the root, so next() and prior() are cheap.
// A cursor whose tag was changed since it was placed re-finds its entry before moving.
// Walking a damaged tree ends: a loop or a step count beyond what the file can hold raises
// CorruptFileError.
class MdxCursor
{
public:
    MdxCursor() = default;
    bool valid() const { return m_valid; }
    uint32_t recno() const { return m_valid ? m_recno : 0; }
    const std::string &key() const { return m_key; }
    // Move one entry on / back in tag order; false (and invalid) past the end.
    bool next();
    bool prior();
    // Record number of the entry k on from this one when it is in the same leaf, else 0.
    uint32_t peekAhead(uint32_t k) const;
    // True on the first entry of a leaf (where a forward walk has just arrived).
    bool atLeafStart() const;

private:
    friend class MdxTag;
    struct Level
    {
        uint32_t page = 0;
        uint32_t index = 0;
    };
    bool step(bool forward);
    MdxTag *m_tag = nullptr;
    std::vector<Level> m_path;
    std::string m_key;
    uint32_t m_recno = 0;
    uint64_t m_generation = 0;
    uint64_t m_steps = 0;
    // The node at the end of the path (the current leaf) while m_generation holds, and the
    // buffer leaves read for this cursor alone are decoded into.
    std::shared_ptr<const void> m_leaf;
    uint32_t m_leafPage = 0;
    std::shared_ptr<void> m_own;
    bool m_valid = false;
};

class MdxTag
{
public:
    ~MdxTag();
    const std::string &name() const { return m_name; }
    int slot() const { return m_slot; } // 1..47 in the tag table
    const std::string &expressionText() const { return m_expr.text(); }
    const KeyExpression &expression() const { return m_expr; }
    bool unique() const { return m_unique; }
    bool descending() const { return m_descending; }
    char keyType() const { return m_keyType; } // as stored: C, N or D
    uint16_t keyLength() const { return m_keyLength; }
    uint16_t maxKeys() const { return m_maxKeys; }
    // False when the key expression cannot be evaluated (or disagrees with the stored key
    // type or length): reading works, writing throws IndexError.
    bool evaluable() const { return m_evaluable; }
    // The first field name of the expression ("" if none found).
    const std::string &firstField() const { return m_expr.firstField(); }
    // Search text (UTF-8) -> key prefix (see KeyExpression::searchPrefix).
    std::string searchPrefix(std::string_view utf8) const { return m_expr.searchPrefix(utf8); }

    // The key of one record. Throws IndexError when not evaluable.
    std::string keyFor(const uint8_t *record, size_t recordLength) const;

    // Navigation, all from the tree.
    MdxCursor first();
    MdxCursor last();
    // The first entry (in tag order) whose key is not before key (>= key in an ascending
    // tag, <= in a descending one); for C tags key may be a prefix
    // (compared over its own length). Invalid cursor when none.
    MdxCursor seek(std::string_view key);
    // The same, placing cursor (whose buffers are reused: no allocation in a run of seeks).
    void seek(MdxCursor &cursor, std::string_view key);
    // The entry of exactly (key, recno); invalid cursor when absent.
    MdxCursor find(std::string_view key, uint32_t recno);
    // True when the cursor's key starts with prefix (C) / equals key (N, D).
    bool matches(const MdxCursor &cursor, std::string_view key) const;

    // Writes (each leaves the tag valid on disk). All throw IndexError when !evaluable().
    // insert: adds (key, recno); in a unique tag a key already present is not added again
    // (returns false). remove: false when (key, recno) is not in the tag.
    bool insert(std::string_view key, uint32_t recno);
    bool remove(std::string_view key, uint32_t recno);
    // Record level: compute the key(s) and do the above; update() does nothing when the key
    // did not change.
    bool insertRecord(const uint8_t *record, size_t recordLength, uint32_t recno);
    bool removeRecord(const uint8_t *record, size_t recordLength, uint32_t recno);
    void updateRecord(const uint8_t *oldRecord,
                      const uint8_t *newRecord,
                      size_t recordLength,
                      uint32_t recno);

    // Replaces the tag's tree by one built bottom-up from the entries (sorted here; in a
    // unique tag only the first record of each key is kept). New nodes are appended at the end
    // of the file; the old nodes are left unused.
    void build(std::vector<IndexEntry> entries);
    // build() from every record of the table (deleted ones too).
    void rebuild(uint32_t recordCount, const RecordReader &read);

    // Checks structure and, when the expression is evaluable, every stored key against the
    // records (each record listed once; in a unique tag each distinct key once).
    TagReport check(uint32_t recordCount, const RecordReader &read);

    // Number of entries (walks the leaves).
    uint32_t countKeys();
    // Appends the record numbers of all entries in tag order, read from the index pages
    // without decoding keys (what counting rows needs; much faster than stepping a cursor).
    void appendRecnosInOrder(std::vector<uint32_t> &out);

private:
    friend class MdxFile;
    friend class MdxCursor;
    struct Node;
    struct Impl;
    struct Check;
    struct Split
    {
        bool happened = false;
        std::string leftMax;
        uint32_t rightPage = 0;
    };
    MdxTag(MdxFile &file, int slot);
    void readHeader();
    void writeHeader();
    void requireWritable() const;
    const Node &node(uint32_t page, uint32_t depth);
    const Node &cursorLeaf(MdxCursor &c);
    const std::shared_ptr<Node> &sharedNode(uint32_t page, uint32_t depth);
    uint32_t readNodeBlock(uint32_t page, std::vector<uint8_t> &block);
    Node decodeNode(const uint8_t *block, uint32_t keys) const;
    void decodeNode(const uint8_t *block, uint32_t keys, Node &into) const;
    void encodeNode(const Node &nd, uint8_t *block) const;
    void putNode(uint32_t page, Node nd);
    void writeNode(uint32_t page, const Node &nd);
    uint32_t newNodePage();
    uint32_t edgeLeaf(bool last);
    std::string normalKey(std::string_view key) const;
    int cmpKey(std::string_view a, std::string_view b) const;
    int cmpPrefix(std::string_view entry, std::string_view prefix) const;
    int cmpEntry(std::string_view ak, uint32_t ar, std::string_view bk, uint32_t br) const;
    IndexEntry subtreeLast(uint32_t page, uint32_t depth);
    size_t childFor(const Node &n, std::string_view key, uint32_t recno, uint32_t depth);
    uint32_t childLastRecno(const Node &n, size_t child, uint32_t depth);
    size_t prefixPosition(const Node &n, size_t count, std::string_view prefix) const;
    size_t leafPosition(const Node &n, std::string_view key, uint32_t recno) const;
    void
    insertAt(uint32_t page, const std::string &key, uint32_t recno, uint32_t depth, Split &out);
    bool removeAt(uint32_t page, const std::string &key, uint32_t recno, uint32_t depth);
    uint64_t walkLimit() const;
    MdxCursor makeCursor();
    void descend(MdxCursor &c, uint32_t page, bool toLast);
    bool settle(MdxCursor &c, bool forward);
    void locate(MdxCursor &c, std::string_view key, uint32_t recno, bool prefix);

    std::unique_ptr<Impl> m_impl;
    MdxFile &m_file;
    int m_slot = 0;
    uint32_t m_headerPage = 0;
    std::string m_name;
    KeyExpression m_expr;
    bool m_unique = false;
    bool m_descending = false;
    bool m_evaluable = false;
    char m_keyType = 'C';
    uint16_t m_keyLength = 0;
    std::vector<uint8_t> m_block;     // a node being written
    std::vector<uint8_t> m_readBlock; // a node being read
    uint16_t m_maxKeys = 0;
    uint16_t m_itemLength = 0;
    uint64_t m_generation = 0;
};

// What a new index is made of: its table and its tags.
struct MdxCreateParams
{
    std::string tableBaseName; // the table's file name without extension
    uint8_t ldid = 0;          // the table's language driver byte
    FieldList fields;          // the table's fields and code page, for the key expressions
    CodePage codePage = CodePage::Cp1250;
    std::vector<TagDefinition> tags;
};

// State of our engine signature (header bytes 48-55) found when the file was opened.
enum class EngineMark { Absent, Clean, Writing };

class MdxFile
{
public:
    // Opens an index. fields/codePage come from the table (for the key expressions). Throws
    // OpenError, CorruptFileError (header, tag table or tag headers out of bounds).
    static std::unique_ptr<MdxFile> open(FileSystem &fs,
                                         const std::string &path,
                                         OpenMode mode,
                                         ShareMode share,
                                         const FieldList &fields,
                                         CodePage codePage);
    // Creates a new index (version 2, 1024-byte blocks) with empty tags. Throws IndexError
    // for a bad tag definition (name, expression not evaluable, key too long, too many tags,
    // duplicate names).
    static std::unique_ptr<MdxFile>
    create(FileSystem &fs, const std::string &path, ShareMode share, const MdxCreateParams &params);
    ~MdxFile();
    MdxFile(const MdxFile &) = delete;
    MdxFile &operator=(const MdxFile &) = delete;

    const std::string &path() const;
    int version() const { return m_version; }
    uint16_t blockSize() const { return m_blockSize; }
    uint8_t languageDriver() const { return m_ldid; }
    uint32_t totalPages() const { return m_totalPages; }
    bool writable() const { return m_writable; }

    size_t tagCount() const { return m_tags.size(); }
    MdxTag &tag(size_t i) { return *m_tags.at(i); }
    // Case-insensitive; nullptr when absent.
    MdxTag *findTag(std::string_view name);
    // True when every tag can be written.
    bool allEvaluable() const;

    // Crash marker.
    EngineMark markAtOpen() const { return m_markAtOpen; }
    // Writes state 1 (once per write sequence: a second call before markClean() does nothing).
    void markWriting();
    // Writes state 0 and hands the data to the system.
    void markClean();
    // True when the file carries our signature (found at open or written since): its keys
    // were made by our rules.
    bool signedByUs() const { return m_markAtOpen != EngineMark::Absent || m_signatureWritten; }
    // Drops every tag's cached nodes, so the next access reads the file (after a failed
    // write, before a rebuild).
    void discardCaches();

    void flush();
    // Durability barrier (File::sync): stores into the mapping included.
    void sync();

    // The node cache: its budget in bytes (a smaller one takes effect at once) and what it
    // holds now.
    void setNodeCacheBudget(size_t bytes);
    size_t nodeCacheBytes() const;

private:
    friend class MdxTag;
    friend class MdxCursor;
    struct NodeCache;
    MdxFile();
    void trimNodeCache();
    void readHeader();
    void writeHeaderCounts();
    void writeSignature(uint8_t state);
    uint32_t allocateBlock(); // appends one block, returns its first page
    void readBlock(uint32_t page, std::vector<uint8_t> &out);
    void writeBlock(uint32_t page, const std::vector<uint8_t> &data);
    [[noreturn]] void corrupt(const std::string &fault) const;
    void requireWritable() const;

    std::unique_ptr<File> m_file;
    std::unique_ptr<NodeCache> m_cache;
    std::vector<std::unique_ptr<MdxTag>> m_tags;
    FieldList m_fields;
    CodePage m_codePage = CodePage::Cp1250;
    int m_version = 2;
    uint16_t m_blockFactor = 2;
    uint16_t m_blockSize = 1024;
    uint16_t m_slotLength = 32;
    uint8_t m_ldid = 0;
    uint32_t m_totalPages = 0;
    uint32_t m_pagesOnDisk = 0; // the page count the header holds
    uint8_t m_headTail[4] = {}; // header bytes 44-47 (date of the last update) as on disk
    bool m_dateWritten = false; // the date was set in this session
    bool m_writable = false;
    bool m_markedWriting = false;
    bool m_signatureWritten = false;
    EngineMark m_markAtOpen = EngineMark::Absent;
};

} // namespace welarik
