// SPDX-License-Identifier: GPL-3.0-or-later
#include "mdx.h"

#include "bcd.h"
#include "coding.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <ctime>
#include <unordered_set>

namespace welarik {
namespace {

constexpr size_t kHeaderSize = 512; // the tag table follows
constexpr size_t kSlotCount = 48;
constexpr size_t kSlotLength = 32; // levels 4/5 (level 7: as the header says)
constexpr uint32_t kMaxDepth = 40;
constexpr size_t kMaxCreateKeyLength = 100;
constexpr uint8_t kFlagDescending = 0x08;
constexpr uint8_t kFlagNormal = 0x10;
constexpr uint8_t kFlagUnique = 0x40;
const char kSignature[4] = {'W', 'L', 'R', 'K'};

// Where the values of the file header (page 0) lie, for the reader and the writer alike.
struct MdxHeaderLayout
{
    static constexpr size_t version = 0;
    static constexpr size_t created = 1;      // 3 bytes YY MM DD
    static constexpr size_t tableName = 4;    // 16 bytes, NUL padded
    static constexpr size_t blockFactor = 20; // u16
    static constexpr size_t blockSize = 22;   // u16
    static constexpr size_t production = 24;
    static constexpr size_t slotCount = 25;
    static constexpr size_t slotLength = 26; // u16
    static constexpr size_t tagsInUse = 28;  // u16
    static constexpr size_t ldid = 31;
    static constexpr size_t totalPages = 32; // u32
    static constexpr size_t updated = 44;    // 3 bytes YY MM DD, then one kept as found
    static constexpr size_t signature = 48;  // 4 bytes, ours
    static constexpr size_t state = 52;      // engine state after the signature
};

// Where the values of a tag header lie.
struct TagHeaderLayout
{
    static constexpr size_t root = 0;      // u32
    static constexpr size_t pagesUsed = 4; // u32
    static constexpr size_t flags = 8;
    static constexpr size_t keyType = 9;
    static constexpr size_t ldid = 11;
    static constexpr size_t keyLength = 12;  // u16
    static constexpr size_t maxKeys = 14;    // u16
    static constexpr size_t dateKeys = 16;   // u16: 1 for date keys
    static constexpr size_t itemLength = 18; // u16
    static constexpr size_t counter = 20;
    static constexpr size_t unique = 23;
    static constexpr size_t expression = 24; // ASCIIZ
    static constexpr size_t expressionSize = 220;
    static constexpr size_t hasKeys = 246;
    static constexpr size_t firstLeaf = 248; // u32
    static constexpr size_t lastLeaf = 252;  // u32
    static constexpr size_t date = 257;      // 3 bytes YY MM DD
    static constexpr size_t singleField = 480;
};

struct SlotLayout
{
    size_t name, nameSize, format, left, right, parent, two, type;
};
constexpr SlotLayout kSlot4 = {4, 11, 15, 16, 17, 18, 19, 20};
constexpr SlotLayout kSlot7 = {4, 33, 37, 38, 39, 40, 41, 42};

void writeDate(uint8_t *p)
{
    std::time_t now = std::time(nullptr);
    std::tm tm{};
    localtime_r(&now, &tm);
    p[0] = static_cast<uint8_t>(tm.tm_year);
    p[1] = static_cast<uint8_t>(tm.tm_mon + 1);
    p[2] = static_cast<uint8_t>(tm.tm_mday);
}

} // namespace

// One node block as kept in the cache. For an interior node the last entry is the extra
// pointer (rightmost child); its key is not stored on disk and is not kept here.
struct MdxTag::Node
{
    // The entries as the block holds them, one item each: a u32 pointer (a record number in a
    // leaf, the page of a child in an interior node) and the key, padded to the item length.
    // An interior node's last item is its extra pointer (rightmost child); its key bytes are
    // not written. Decoding a block is one copy, and a node is two allocations whatever its
    // key count.
    bool leaf = true;
    uint16_t itemLength = 0;
    uint16_t keyLength = 0;
    std::vector<uint8_t> items;
    // Interior nodes, memory only: the record number of each child's highest entry (0 = not
    // known yet), so that equal keys do not send every insert down to the leaves.
    mutable std::vector<uint32_t> lastRecno;
    // Memory only, filled by the first search that wants them: each key's first sixteen bytes
    // as two big-endian numbers, so that a search compares numbers in one array and reads a
    // whole key only where those bytes agree.
    mutable std::vector<uint64_t> heads; // two per entry

    Node() = default;
    Node(bool isLeaf, uint16_t item, uint16_t key)
        : leaf(isLeaf)
        , itemLength(item)
        , keyLength(key)
    {}
    size_t size() const { return itemLength ? items.size() / itemLength : 0; }
    bool empty() const { return items.empty(); }
    const uint8_t *item(size_t i) const { return items.data() + i * itemLength; }
    uint8_t *item(size_t i) { return items.data() + i * itemLength; }
    std::string_view key(size_t i) const
    {
        return {reinterpret_cast<const char *>(item(i) + 4), keyLength};
    }
    uint32_t pointer(size_t i) const { return decodeLe32(item(i)); }
    uint32_t recno(size_t i) const { return pointer(i); }     // leaf
    uint32_t childPage(size_t i) const { return pointer(i); } // interior node
    void setPointer(size_t i, uint32_t p) { encodeLe32(item(i), p); }
    // The key's bytes (a shorter key padded with zeros, as the block would hold it).
    void setKey(size_t i, std::string_view k)
    {
        uint8_t *at = item(i) + 4;
        const size_t n = std::min<size_t>(keyLength, k.size());
        if (n > 0)
            std::memcpy(at, k.data(), n);
        std::memset(at + n, 0, size_t(itemLength) - 4 - n);
    }
    void insert(size_t i, std::string_view k, uint32_t p)
    {
        items.insert(items.begin() + static_cast<std::ptrdiff_t>(i * itemLength), itemLength, 0);
        setPointer(i, p);
        setKey(i, k);
    }
    void push_back(std::string_view k, uint32_t p) { insert(size(), k, p); }
    void erase(size_t i)
    {
        const auto at = items.begin() + static_cast<std::ptrdiff_t>(i * itemLength);
        items.erase(at, at + itemLength);
    }
    void resize(size_t n) { items.resize(n * itemLength); }
    // Appends entries [from, to) of another node of the same tag.
    void append(const Node &other, size_t from, size_t to)
    {
        items.insert(items.end(), other.item(from), other.item(to));
    }
};

namespace {

// Eight bytes of a key from offset as a big-endian number, zero-padded: numbers compare like
// the bytes do.
uint64_t keyBytes(std::string_view key, size_t offset)
{
    if (offset + 8 <= key.size()) {
        uint64_t word;
        std::memcpy(&word, key.data() + offset, 8);
        if constexpr (std::endian::native == std::endian::little)
            word = __builtin_bswap64(word);
        return word;
    }
    uint64_t h = 0;
    for (size_t i = offset; i < offset + 8; ++i)
        h = (h << 8) | (i < key.size() ? static_cast<uint8_t>(key[i]) : 0u);
    return h;
}

} // namespace

// Decoded nodes of every tag of one file. Once their bytes pass the budget, the least
// recently used go first, down to three quarters of the budget (so that evicting, which sorts
// the nodes by last use, is rare). Nodes leave only in trim(), which runs where no reference
// into the cache is held (at the start of each tag operation and cursor step); a cursor
// shares ownership of its leaf, so an evicted leaf lives on until the cursor moves.
struct MdxFile::NodeCache
{
    // Open addressing with linear probing; key 0 marks a free slot (tag slots start at 1).
    struct Slot
    {
        uint64_t key = 0; // tag slot << 32 | page
        std::shared_ptr<MdxTag::Node> node;
        size_t bytes = 0;
        uint64_t used = 0; // the clock at the last use
    };
    std::vector<Slot> slots = std::vector<Slot>(64); // grows by doubling
    size_t count = 0;
    uint64_t clock = 0;
    size_t bytes = 0;
    size_t budget = kMdxNodeCacheBudget;

    static uint64_t key(int slot, uint32_t page) { return uint64_t(uint32_t(slot)) << 32 | page; }

    size_t home(uint64_t k) const
    {
        return size_t((k * 0x9E3779B97F4A7C15ull) >> 32) & (slots.size() - 1);
    }
    size_t position(uint64_t k) const // of k, or of the free slot where it would go
    {
        size_t i = home(k);
        while (slots[i].key != 0 && slots[i].key != k)
            i = (i + 1) & (slots.size() - 1);
        return i;
    }

    // Memory a decoded node takes, with the bookkeeping around it.
    static size_t footprint(const MdxTag::Node &nd)
    {
        size_t n = 2 * sizeof(Slot) + sizeof(MdxTag::Node) + 32 // table and control block
                   + nd.items.capacity() + nd.lastRecno.capacity() * sizeof(uint32_t)
                   + nd.heads.capacity() * sizeof(uint64_t);
        return n;
    }

    const std::shared_ptr<MdxTag::Node> *find(uint64_t k)
    {
        Slot &s = slots[position(k)];
        if (s.key == 0)
            return nullptr;
        s.used = ++clock;
        return &s.node;
    }

    const std::shared_ptr<MdxTag::Node> &store(uint64_t k, MdxTag::Node &&nd)
    {
        if ((count + 1) * 2 > slots.size())
            resize(slots.size() * 2);
        Slot &s = slots[position(k)];
        if (s.key == 0) {
            s.key = k;
            ++count;
        }
        bytes -= s.bytes;
        s.node = std::make_shared<MdxTag::Node>(std::move(nd));
        s.bytes = footprint(*s.node);
        s.used = ++clock;
        bytes += s.bytes;
        return s.node;
    }

    // A node changed in place: its bytes counted again.
    void measure(uint64_t k)
    {
        Slot &s = slots[position(k)];
        if (s.key == 0)
            return;
        bytes -= s.bytes;
        s.bytes = footprint(*s.node);
        bytes += s.bytes;
    }

    void resize(size_t size)
    {
        std::vector<Slot> old(size);
        old.swap(slots);
        for (Slot &s : old)
            if (s.key != 0)
                slots[position(s.key)] = std::move(s);
    }

    // Removes the slot at i, moving later slots of the same run back into the gap.
    void erase(size_t i)
    {
        bytes -= slots[i].bytes;
        slots[i] = Slot();
        --count;
        const size_t mask = slots.size() - 1;
        for (size_t j = (i + 1) & mask; slots[j].key != 0; j = (j + 1) & mask) {
            const size_t h = home(slots[j].key);
            // Slot j may fill the gap unless its home lies cyclically in (i, j].
            if (i <= j ? (i < h && h <= j) : (i < h || h <= j))
                continue;
            slots[i] = std::move(slots[j]);
            slots[j] = Slot();
            i = j;
        }
    }

    void trim()
    {
        if (bytes <= budget)
            return;
        std::vector<std::pair<uint64_t, uint64_t>> byUse; // (last use, key)
        byUse.reserve(count);
        for (const Slot &s : slots)
            if (s.key != 0)
                byUse.push_back({s.used, s.key});
        std::sort(byUse.begin(), byUse.end());
        const size_t target = budget / 4 * 3;
        for (const auto &[used, k] : byUse) {
            if (bytes <= target)
                break;
            erase(position(k));
        }
    }

    // Drops the nodes of one tag (slot), or of all when slot is 0.
    void drop(int slot)
    {
        std::vector<uint64_t> keys;
        for (const Slot &s : slots)
            if (s.key != 0 && (slot == 0 || s.key >> 32 == uint32_t(slot)))
                keys.push_back(s.key);
        for (uint64_t k : keys)
            erase(position(k));
    }
};

struct MdxTag::Impl
{
    uint32_t root = 0;
    uint32_t pagesUsed = 0;
    uint8_t counter = 0;
    std::vector<uint8_t> header; // the tag header block as on disk
    bool edgesKnown = false;     // firstLeaf/lastLeaf hold the tree's edge leaves
    uint32_t firstLeaf = 0;
    uint32_t lastLeaf = 0;
};

// ---------------------------------------------------------------------------------------
// MdxFile

std::unique_ptr<MdxFile> MdxFile::open(FileSystem &fs,
                                       const std::string &path,
                                       OpenMode mode,
                                       ShareMode share,
                                       const FieldList &fields,
                                       CodePage codePage)
{
    std::unique_ptr<MdxFile> f(new MdxFile);
    f->m_file = fs.open(path, mode, share);
    f->m_file->mapWrites(); // every write lies between the marks that make a crash rebuild it
    f->m_writable = mode == OpenMode::ReadWrite;
    f->m_fields = fields;
    f->m_codePage = codePage;
    f->readHeader();
    return f;
}

void MdxFile::readHeader()
{
    uint8_t h[kHeaderSize];
    m_file->readExact(0, h, kHeaderSize);
    using H = MdxHeaderLayout;
    m_version = h[H::version];
    if (m_version != 2 && m_version != 3)
        corrupt("unknown index version " + std::to_string(m_version));
    m_blockFactor = decodeLe16(h + H::blockFactor);
    m_blockSize = decodeLe16(h + H::blockSize);
    if (m_blockFactor < 1 || m_blockFactor > 32 || m_blockSize != m_blockFactor * kMdxPageSize)
        corrupt("bad block size " + std::to_string(m_blockSize) + " (factor "
                + std::to_string(m_blockFactor) + ")");
    m_slotLength = decodeLe16(h + H::slotLength);
    size_t minSlot = m_version == 3 ? kSlot7.type + 1 : kSlot4.type + 1;
    if (m_slotLength < minSlot || m_slotLength > 255)
        corrupt("bad tag slot length " + std::to_string(m_slotLength));
    uint16_t tags = decodeLe16(h + H::tagsInUse);
    if (tags > kMdxMaxTags)
        corrupt("more than 47 tags (" + std::to_string(tags) + ")");
    m_ldid = h[H::ldid];
    m_totalPages = decodeLe32(h + H::totalPages);
    m_pagesOnDisk = m_totalPages;
    std::memcpy(m_headTail, h + H::updated, sizeof m_headTail);
    uint64_t filePages = m_file->size() / kMdxPageSize;
    if (m_totalPages > filePages)
        corrupt("header counts " + std::to_string(m_totalPages) + " pages, the file holds "
                + std::to_string(filePages));
    if (std::memcmp(h + H::signature, kSignature, 4) == 0)
        m_markAtOpen = h[H::state] == 0 ? EngineMark::Clean : EngineMark::Writing;

    std::vector<uint8_t> table(kSlotCount * m_slotLength);
    m_file->readExact(kHeaderSize, table.data(), table.size());
    const SlotLayout &L = m_version == 3 ? kSlot7 : kSlot4;
    for (int slot = 1; slot <= tags; ++slot) {
        const uint8_t *s = table.data() + static_cast<size_t>(slot) * m_slotLength;
        std::unique_ptr<MdxTag> tag(new MdxTag(*this, slot));
        tag->m_headerPage = decodeLe32(s);
        const char *name = reinterpret_cast<const char *>(s + L.name);
        tag->m_name = std::string(name, strnlen(name, L.nameSize));
        while (!tag->m_name.empty() && tag->m_name.back() == ' ')
            tag->m_name.pop_back();
        m_tags.push_back(std::move(tag));
        m_tags.back()->readHeader();
    }
}

namespace {

// The key expressions of the tags of a new index; throws IndexError for a definition the
// index cannot hold.
std::vector<KeyExpression> tagExpressions(const std::string &path, const MdxCreateParams &p)
{
    const std::vector<TagDefinition> &tags = p.tags;
    if (tags.size() > kMdxMaxTags)
        throw IndexError(path, "more than 47 tags");
    std::vector<KeyExpression> exprs;
    for (size_t i = 0; i < tags.size(); ++i) {
        const TagDefinition &t = tags[i];
        std::string name = upperAscii(t.name);
        if (name.empty() || name.size() > kMdxMaxTagName
            || name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_") != std::string::npos)
            throw IndexError(path, "bad tag name \"" + t.name + "\"");
        for (size_t j = 0; j < i; ++j)
            if (upperAscii(tags[j].name) == name)
                throw IndexError(path, "tag " + name + " given twice");
        KeyExpression e(t.expression, p.fields, p.codePage);
        if (!e.evaluable())
            throw IndexError(path,
                             "tag " + name + ": key expression " + t.expression
                                 + " cannot be evaluated: " + e.error());
        if (e.keyLength() > kMaxCreateKeyLength)
            throw IndexError(path,
                             "tag " + name + ": key longer than 100 bytes ("
                                 + std::to_string(e.keyLength()) + ")");
        if (t.expression.size() >= TagHeaderLayout::expressionSize)
            throw IndexError(path, "tag " + name + ": key expression too long");
        exprs.push_back(std::move(e));
    }
    return exprs;
}

// The header page of a new tag, tag i of a new index (two blocks a tag after the tag table).
uint32_t newTagHeaderPage(size_t i, uint32_t factor)
{
    return static_cast<uint32_t>(4 + i * 2 * factor);
}

// Fills the tag table of a new index (levels 4/5 slots) and links the tags into the binary
// tree of tag names, rooted at slot 1.
void fillTagTable(uint8_t *table,
                  const MdxCreateParams &p,
                  const std::vector<KeyExpression> &exprs,
                  uint32_t factor)
{
    if (!p.tags.empty())
        table[kSlot4.right] = 1; // anchor: root of the tag-name tree
    std::vector<std::string> names;
    for (size_t i = 0; i < p.tags.size(); ++i) {
        uint8_t *s = table + kSlotLength * (i + 1);
        std::string name = upperAscii(p.tags[i].name);
        names.push_back(name);
        encodeLe32(s, newTagHeaderPage(i, factor));
        std::memcpy(s + kSlot4.name, name.data(), name.size());
        s[kSlot4.format] = exprs[i].singleField() ? kFlagNormal : 0;
        s[kSlot4.two] = 2;
        s[kSlot4.type] = static_cast<uint8_t>(exprs[i].type());
        if (i == 0)
            continue;
        size_t cur = 1;
        for (;;) {
            uint8_t *c = table + kSlotLength * cur;
            size_t link = name < names[cur - 1] ? kSlot4.left : kSlot4.right;
            if (c[link] == 0) {
                c[link] = static_cast<uint8_t>(i + 1);
                s[kSlot4.parent] = static_cast<uint8_t>(cur);
                break;
            }
            cur = c[link];
        }
    }
}

// The file header and tag table of a new index.
std::vector<uint8_t> newFileHeader(const MdxCreateParams &p,
                                   const std::vector<KeyExpression> &exprs,
                                   uint16_t factor,
                                   uint16_t blockSize,
                                   uint32_t totalPages)
{
    using H = MdxHeaderLayout;
    std::vector<uint8_t> head(kHeaderSize + kSlotCount * kSlotLength, 0);
    head[H::version] = 2;
    writeDate(head.data() + H::created);
    std::string base = p.tableBaseName.substr(0, 8);
    std::memcpy(head.data() + H::tableName, base.data(), base.size());
    encodeLe16(head.data() + H::blockFactor, factor);
    encodeLe16(head.data() + H::blockSize, blockSize);
    head[H::production] = 1;
    head[H::slotCount] = kSlotCount;
    head[H::slotLength] = kSlotLength;
    encodeLe16(head.data() + H::tagsInUse, static_cast<uint16_t>(p.tags.size()));
    head[H::ldid] = p.ldid;
    encodeLe32(head.data() + H::totalPages, totalPages);
    writeDate(head.data() + H::updated);
    std::memcpy(head.data() + H::signature, kSignature, 4);
    fillTagTable(head.data() + kHeaderSize, p, exprs, factor);
    return head;
}

// The header block of a new, empty tag whose root leaf is at page root.
std::vector<uint8_t> newTagHeader(const TagDefinition &t,
                                  const KeyExpression &e,
                                  uint32_t root,
                                  uint16_t factor,
                                  uint16_t blockSize,
                                  uint8_t ldid)
{
    using T = TagHeaderLayout;
    std::vector<uint8_t> th(blockSize, 0);
    uint16_t keyLen = e.keyLength();
    uint16_t item = static_cast<uint16_t>(4 + ((keyLen + 3) / 4) * 4);
    encodeLe32(th.data() + T::root, root);
    encodeLe32(th.data() + T::pagesUsed, factor);
    th[T::flags] = static_cast<uint8_t>(kFlagNormal | (t.descending ? kFlagDescending : 0)
                                        | (t.unique ? kFlagUnique : 0));
    th[T::keyType] = static_cast<uint8_t>(e.type());
    th[T::ldid] = ldid;
    encodeLe16(th.data() + T::keyLength, keyLen);
    encodeLe16(th.data() + T::maxKeys, static_cast<uint16_t>((blockSize - 12) / item));
    encodeLe16(th.data() + T::dateKeys, e.type() == 'D' ? 1 : 0);
    encodeLe16(th.data() + T::itemLength, item);
    th[T::counter] = 1;
    th[T::unique] = t.unique ? kFlagUnique : 0;
    std::memcpy(th.data() + T::expression, t.expression.data(), t.expression.size());
    encodeLe32(th.data() + T::firstLeaf, root);
    encodeLe32(th.data() + T::lastLeaf, root);
    writeDate(th.data() + T::date);
    th[T::singleField] = e.singleField() ? 1 : 0;
    return th;
}

} // namespace

std::unique_ptr<MdxFile> MdxFile::create(FileSystem &fs,
                                         const std::string &path,
                                         ShareMode share,
                                         const MdxCreateParams &params)
{
    const std::vector<KeyExpression> exprs = tagExpressions(path, params);

    std::unique_ptr<MdxFile> f(new MdxFile);
    f->m_file = fs.create(path, share);
    f->m_file->mapWrites();
    f->m_writable = true;
    f->m_fields = params.fields;
    f->m_codePage = params.codePage;
    f->m_version = 2;
    f->m_blockFactor = 2;
    f->m_blockSize = 1024;
    f->m_slotLength = kSlotLength;
    f->m_ldid = params.ldid;
    f->m_markAtOpen = EngineMark::Clean;
    const uint32_t factor = f->m_blockFactor;
    f->m_totalPages = 4 + static_cast<uint32_t>(params.tags.size()) * 2 * factor;
    f->m_pagesOnDisk = f->m_totalPages;

    const std::vector<uint8_t> head
        = newFileHeader(params, exprs, f->m_blockFactor, f->m_blockSize, f->m_totalPages);
    std::memcpy(f->m_headTail, head.data() + MdxHeaderLayout::updated, sizeof f->m_headTail);
    f->m_dateWritten = true;
    f->m_file->writeAt(0, head.data(), head.size());

    for (size_t i = 0; i < params.tags.size(); ++i) {
        const uint32_t headerPage = newTagHeaderPage(i, factor);
        const uint32_t root = headerPage + factor;
        const std::vector<uint8_t> th = newTagHeader(
            params.tags[i], exprs[i], root, f->m_blockFactor, f->m_blockSize, params.ldid);
        f->m_file->writeAt(uint64_t(headerPage) * kMdxPageSize, th.data(), th.size());
        std::vector<uint8_t> node(f->m_blockSize, 0);
        f->m_file->writeAt(uint64_t(root) * kMdxPageSize, node.data(), node.size());
        std::unique_ptr<MdxTag> tag(new MdxTag(*f, static_cast<int>(i + 1)));
        tag->m_headerPage = headerPage;
        tag->m_name = upperAscii(params.tags[i].name);
        f->m_tags.push_back(std::move(tag));
        f->m_tags.back()->readHeader();
    }
    f->m_file->flush();
    return f;
}

MdxFile::MdxFile()
    : m_cache(std::make_unique<NodeCache>())
{}

MdxFile::~MdxFile() = default;

void MdxFile::setNodeCacheBudget(size_t bytes)
{
    m_cache->budget = bytes;
    m_cache->trim();
}

size_t MdxFile::nodeCacheBytes() const
{
    return m_cache->bytes;
}

void MdxFile::trimNodeCache()
{
    m_cache->trim();
}

const std::string &MdxFile::path() const
{
    return m_file->path();
}

MdxTag *MdxFile::findTag(std::string_view name)
{
    std::string n = upperAscii(name);
    for (auto &t : m_tags)
        if (upperAscii(t->name()) == n)
            return t.get();
    return nullptr;
}

bool MdxFile::allEvaluable() const
{
    return std::all_of(m_tags.begin(), m_tags.end(), [](const auto &t) { return t->evaluable(); });
}

void MdxFile::markWriting()
{
    if (m_markedWriting)
        return;
    requireWritable();
    writeSignature(1);
    m_markedWriting = true;
}

void MdxFile::markClean()
{
    requireWritable();
    writeSignature(0);
    m_markedWriting = false;
    m_file->flush();
}

void MdxFile::discardCaches()
{
    m_cache->drop(0);
    for (auto &t : m_tags) {
        t->m_impl->edgesKnown = false;
        ++t->m_generation;
    }
}

void MdxFile::writeSignature(uint8_t state)
{
    // Bytes 44-55: the date of the last update (written with the first mark of the session),
    // byte 47 as found, then the signature and the state.
    uint8_t b[12] = {m_headTail[0],
                     m_headTail[1],
                     m_headTail[2],
                     m_headTail[3],
                     'W',
                     'L',
                     'R',
                     'K',
                     state,
                     0,
                     0,
                     0};
    if (!m_dateWritten && state == 1) {
        writeDate(b);
        m_file->writeAt(MdxHeaderLayout::updated, b, sizeof b);
        std::memcpy(m_headTail, b, 4);
        m_dateWritten = true;
    } else {
        m_file->writeAt(MdxHeaderLayout::signature, b + 4, 8);
    }
    m_signatureWritten = true;
}

void MdxFile::flush()
{
    if (m_writable)
        m_file->flush();
}

void MdxFile::sync()
{
    if (m_writable)
        m_file->sync();
}

void MdxFile::writeHeaderCounts()
{
    if (m_totalPages == m_pagesOnDisk)
        return;
    uint8_t b[4];
    encodeLe32(b, m_totalPages);
    m_file->writeAt(MdxHeaderLayout::totalPages, b, 4);
    m_pagesOnDisk = m_totalPages;
}

uint32_t MdxFile::allocateBlock()
{
    uint32_t page = m_totalPages;
    if (uint64_t(page) + m_blockFactor > 0xFFFFFFFFull / kMdxPageSize)
        throw IndexError(path(), "index file too large");
    m_totalPages += m_blockFactor;
    return page;
}

void MdxFile::readBlock(uint32_t page, std::vector<uint8_t> &out)
{
    if (page == 0 || uint64_t(page) + m_blockFactor > m_totalPages)
        corrupt("page " + std::to_string(page) + " outside the file");
    out.resize(m_blockSize);
    if (!m_file->readViewed(uint64_t(page) * kMdxPageSize, out.data(), m_blockSize))
        m_file->readExact(uint64_t(page) * kMdxPageSize, out.data(), m_blockSize);
}

void MdxFile::writeBlock(uint32_t page, const std::vector<uint8_t> &data)
{
    m_file->writeAt(uint64_t(page) * kMdxPageSize, data.data(), data.size());
}

void MdxFile::corrupt(const std::string &fault) const
{
    throw CorruptFileError(m_file ? m_file->path() : std::string(), fault);
}

void MdxFile::requireWritable() const
{
    if (!m_writable)
        throw IndexError(path(), "the index is open for reading only");
}

// ---------------------------------------------------------------------------------------
// MdxTag

MdxTag::MdxTag(MdxFile &file, int slot)
    : m_impl(std::make_unique<Impl>())
    , m_file(file)
    , m_slot(slot)
    , m_expr("", FieldList{}, file.m_codePage)
{}

MdxTag::~MdxTag() = default;

void MdxTag::readHeader()
{
    std::vector<uint8_t> h;
    try {
        m_file.readBlock(m_headerPage, h);
    } catch (const CorruptFileError &) {
        m_file.corrupt("tag " + m_name + ": header page " + std::to_string(m_headerPage)
                       + " outside the file");
    }
    m_impl->header = h;
    using T = TagHeaderLayout;
    m_impl->root = decodeLe32(h.data() + T::root);
    m_impl->pagesUsed = decodeLe32(h.data() + T::pagesUsed);
    m_descending = (h[T::flags] & kFlagDescending) != 0;
    m_unique = (h[T::flags] & kFlagUnique) != 0;
    m_keyType = static_cast<char>(h[T::keyType]);
    if (m_keyType == 'F')
        m_keyType = 'N';
    m_keyLength = decodeLe16(h.data() + T::keyLength);
    m_maxKeys = decodeLe16(h.data() + T::maxKeys);
    m_itemLength = decodeLe16(h.data() + T::itemLength);
    m_impl->counter = h[T::counter];
    auto bad = [&](const std::string &what) {
        m_file.corrupt("tag " + m_name + ": " + what);
    };
    if (m_keyType != 'C' && m_keyType != 'N' && m_keyType != 'D')
        bad("unknown key type");
    if (m_keyLength == 0 || m_keyLength > kMdxMaxKeyLength)
        bad("bad key length " + std::to_string(m_keyLength));
    if (m_itemLength < m_keyLength + 4u || m_maxKeys == 0
        || 12u + uint32_t(m_maxKeys) * m_itemLength > m_file.m_blockSize)
        bad("key count " + std::to_string(m_maxKeys) + " and item length "
            + std::to_string(m_itemLength) + " do not fit a node");
    const char *expr = reinterpret_cast<const char *>(h.data() + T::expression);
    m_expr = KeyExpression(std::string_view(expr, strnlen(expr, T::expressionSize)),
                           m_file.m_fields,
                           m_file.m_codePage);
    m_evaluable = m_expr.evaluable() && m_expr.type() == m_keyType
                  && m_expr.keyLength() == m_keyLength && m_maxKeys >= 3;
}

void MdxTag::writeHeader()
{
    ++m_generation;
    // The file's page count first (new nodes are already written), then the tag header, and
    // each only when its contents change: most inserts touch one leaf and nothing else.
    m_file.writeHeaderCounts();
    const std::vector<uint8_t> &h = m_impl->header;
    // The edge leaves change only when nodes are added, merged or rebuilt.
    if (!m_impl->edgesKnown) {
        m_impl->firstLeaf = edgeLeaf(false);
        m_impl->lastLeaf = edgeLeaf(true);
        m_impl->edgesKnown = true;
    }
    const uint32_t firstLeaf = m_impl->firstLeaf, lastLeaf = m_impl->lastLeaf;
    using T = TagHeaderLayout;
    if (decodeLe32(h.data() + T::root) == m_impl->root
        && decodeLe32(h.data() + T::pagesUsed) == m_impl->pagesUsed && h[T::hasKeys] == 1
        && decodeLe32(h.data() + T::firstLeaf) == firstLeaf
        && decodeLe32(h.data() + T::lastLeaf) == lastLeaf)
        return;
    std::vector<uint8_t> next = h;
    encodeLe32(next.data() + T::root, m_impl->root);
    encodeLe32(next.data() + T::pagesUsed, m_impl->pagesUsed);
    next[T::counter] = static_cast<uint8_t>(m_impl->counter + 1);
    next[T::hasKeys] = 1;
    encodeLe32(next.data() + T::firstLeaf, firstLeaf);
    encodeLe32(next.data() + T::lastLeaf, lastLeaf);
    writeDate(next.data() + T::date);
    m_file.writeBlock(m_headerPage, next);
    m_impl->counter = next[T::counter];
    m_impl->header = std::move(next);
}

uint32_t MdxTag::edgeLeaf(bool last)
{
    uint32_t page = m_impl->root;
    for (uint32_t depth = 0;; ++depth) {
        const Node &n = node(page, depth);
        if (n.leaf || n.empty())
            return page;
        page = last ? n.childPage(n.size() - 1) : n.childPage(0);
    }
}

const MdxTag::Node &MdxTag::node(uint32_t page, uint32_t depth)
{
    return *sharedNode(page, depth);
}

// Reads a node's block (copied out of the mapping when the file is mapped, which survives the
// file cut short) and returns its key count, checked against what the block can hold.
uint32_t MdxTag::readNodeBlock(uint32_t page, std::vector<uint8_t> &block)
{
    try {
        m_file.readBlock(page, block);
    } catch (const CorruptFileError &) {
        m_file.corrupt("tag " + m_name + ": node page " + std::to_string(page)
                       + " outside the file");
    }
    const uint32_t n = decodeLe32(block.data());
    if (n > m_maxKeys || 12u + uint64_t(n) * m_itemLength > m_file.m_blockSize)
        m_file.corrupt("tag " + m_name + ": node at page " + std::to_string(page) + " holds "
                       + std::to_string(n) + " keys, more than fit");
    return n;
}

const std::shared_ptr<MdxTag::Node> &MdxTag::sharedNode(uint32_t page, uint32_t depth)
{
    if (depth >= kMaxDepth)
        m_file.corrupt("tag " + m_name + ": index pages nested deeper than "
                       + std::to_string(kMaxDepth) + " levels (loop?) at page "
                       + std::to_string(page));
    const uint64_t key = MdxFile::NodeCache::key(m_slot, page);
    if (const auto *cached = m_file.m_cache->find(key))
        return *cached;
    const uint32_t n = readNodeBlock(page, m_readBlock);
    return m_file.m_cache->store(key, decodeNode(m_readBlock.data(), n));
}

MdxTag::Node MdxTag::decodeNode(const uint8_t *block, uint32_t n) const
{
    Node nd;
    nd.items.reserve(size_t{m_maxKeys + 1u} * m_itemLength); // room for an insert in place
    decodeNode(block, n, nd);
    return nd;
}

// Decodes into nd, reusing its buffer.
void MdxTag::decodeNode(const uint8_t *block, uint32_t n, Node &nd) const
{
    const uint32_t extra = decodeLe32(block + 8 + n * m_itemLength);
    nd.leaf = extra == 0;
    nd.itemLength = m_itemLength;
    nd.keyLength = m_keyLength;
    nd.lastRecno.clear();
    nd.heads.clear();
    nd.items.assign(block + 8, block + 8 + size_t{n} * m_itemLength);
    if (m_itemLength > m_keyLength + 4u) // padding as we write it: zeros
        for (uint32_t i = 0; i < n; ++i)
            std::memset(nd.item(i) + 4 + m_keyLength, 0, m_itemLength - 4u - m_keyLength);
    if (!nd.leaf)
        nd.push_back({}, extra);
}

// The node at the end of a cursor's path. A leaf is held by the cursor: the one it holds when
// still that page's, else the cache's, else read and decoded into the cursor's own buffer and
// not cached (a walk or a run of seeks passes most leaves once; caching them would only churn
// the cache and grow the heap). An interior node is the cache's, read into it when missing,
// and not held (nothing is evicted before the next operation starts).
const MdxTag::Node &MdxTag::cursorLeaf(MdxCursor &c)
{
    const uint32_t page = c.m_path.back().page;
    const uint32_t depth = static_cast<uint32_t>(c.m_path.size() - 1);
    if (depth >= kMaxDepth)
        sharedNode(page, depth); // raises
    if (c.m_leaf && c.m_leafPage == page && c.m_generation == m_generation)
        return *static_cast<const Node *>(c.m_leaf.get());
    const uint64_t key = MdxFile::NodeCache::key(m_slot, page);
    if (const auto *cached = m_file.m_cache->find(key)) {
        if ((*cached)->leaf) {
            c.m_leaf = *cached;
            c.m_leafPage = page;
        }
        return **cached;
    }
    const uint32_t n = readNodeBlock(page, m_readBlock);
    if (decodeLe32(m_readBlock.data() + 8 + n * m_itemLength) != 0) // interior
        return *m_file.m_cache->store(key, decodeNode(m_readBlock.data(), n));
    c.m_leaf.reset();
    auto own = std::static_pointer_cast<Node>(c.m_own);
    if (!own || own.use_count() > 2) { // a copy of this cursor holds it
        own = std::make_shared<Node>();
        c.m_own = own;
    }
    decodeNode(m_readBlock.data(), n, *own);
    c.m_leaf = own;
    c.m_leafPage = page;
    return *own;
}

void MdxTag::putNode(uint32_t page, Node nd)
{
    writeNode(page, nd);
    nd.lastRecno.clear();
    nd.heads.clear();
    m_file.m_cache->store(MdxFile::NodeCache::key(m_slot, page), std::move(nd));
}

// The block of a node: the key count, the items, an interior node's extra pointer, zeros.
void MdxTag::encodeNode(const Node &nd, uint8_t *b) const
{
    std::memset(b, 0, m_file.m_blockSize);
    const uint32_t n = static_cast<uint32_t>(nd.size()) - (nd.leaf ? 0 : 1);
    encodeLe32(b, n);
    if (n > 0)
        std::memcpy(b + 8, nd.items.data(), size_t{n} * m_itemLength);
    if (!nd.leaf)
        encodeLe32(b + 8 + n * m_itemLength, nd.pointer(n));
}

void MdxTag::writeNode(uint32_t page, const Node &nd)
{
    m_block.resize(m_file.m_blockSize);
    encodeNode(nd, m_block.data());
    ++m_generation; // cursors drop their pointers into the cache
    m_file.writeBlock(page, m_block);
}

uint32_t MdxTag::newNodePage()
{
    uint32_t page = m_file.allocateBlock();
    m_impl->pagesUsed += m_file.m_blockFactor;
    m_impl->edgesKnown = false;
    return page;
}

int MdxTag::cmpKey(std::string_view a, std::string_view b) const
{
    int c = compareKeys(m_keyType, a, b);
    return m_descending ? -c : c;
}

int MdxTag::cmpPrefix(std::string_view entry, std::string_view prefix) const
{
    if (m_keyType == 'C' && prefix.size() < entry.size())
        entry = entry.substr(0, prefix.size());
    return cmpKey(entry, prefix);
}

int MdxTag::cmpEntry(std::string_view ak, uint32_t ar, std::string_view bk, uint32_t br) const
{
    int c = cmpKey(ak, bk);
    if (c != 0)
        return c;
    return ar < br ? -1 : (ar > br ? 1 : 0);
}

IndexEntry MdxTag::subtreeLast(uint32_t page, uint32_t depth)
{
    for (;; ++depth) {
        const Node &n = node(page, depth);
        if (n.empty())
            return {};
        if (n.leaf)
            return {std::string(n.key(n.size() - 1)), n.recno(n.size() - 1)};
        page = n.childPage(n.size() - 1);
    }
}

uint32_t MdxTag::childLastRecno(const Node &n, size_t child, uint32_t depth)
{
    if (n.lastRecno.size() != n.size())
        n.lastRecno.assign(n.size(), 0);
    if (n.lastRecno[child] == 0)
        n.lastRecno[child] = subtreeLast(n.childPage(child), depth + 1).recno;
    return n.lastRecno[child];
}

// Index of the child of an interior node under which (key, recno) belongs.
size_t MdxTag::childFor(const Node &n, std::string_view key, uint32_t recno, uint32_t depth)
{
    // The first child whose highest entry is not before (key, recno); the highest record
    // number of a subtree is looked up only where the keys are equal.
    size_t lo = 0, hi = n.size() - 1;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const int c = cmpKey(n.key(mid), key);
        if (c < 0 || (c == 0 && childLastRecno(n, mid, depth) < recno))
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// The first leaf entry not before (key, recno).
size_t MdxTag::leafPosition(const Node &n, std::string_view key, uint32_t recno) const
{
    size_t lo = 0, hi = n.size();
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        if (cmpEntry(n.key(mid), n.recno(mid), key, recno) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

std::string MdxTag::keyFor(const uint8_t *record, size_t recordLength) const
{
    if (!m_evaluable)
        throw IndexError(m_file.path(),
                         "tag " + m_name + ": key expression " + m_expr.text()
                             + " cannot be evaluated");
    std::string key(m_keyLength, '\0');
    m_expr.evaluate(record, recordLength, reinterpret_cast<uint8_t *>(key.data()));
    return key;
}

void MdxTag::requireWritable() const
{
    m_file.requireWritable();
    if (!m_evaluable)
        throw IndexError(m_file.path(),
                         "tag " + m_name + " cannot be updated: its key " + "expression "
                             + m_expr.text() + " cannot be evaluated");
}

std::string MdxTag::normalKey(std::string_view key) const
{
    std::string k(key.substr(0, m_keyLength));
    k.resize(m_keyLength, m_keyType == 'C' ? ' ' : '\0');
    return k;
}

// ---------------------------------------------------------------------------------------
// Insertion

bool MdxTag::insert(std::string_view rawKey, uint32_t recno)
{
    requireWritable();
    m_file.trimNodeCache();
    std::string key = normalKey(rawKey);
    if (m_unique) {
        MdxCursor c = seek(key);
        if (c.valid() && cmpKey(c.key(), key) == 0)
            return false;
    }
    Split split;
    insertAt(m_impl->root, key, recno, 0, split);
    if (split.happened) {
        uint32_t page = newNodePage();
        Node root(false, m_itemLength, m_keyLength);
        root.push_back(split.leftMax, m_impl->root);
        root.push_back({}, split.rightPage);
        putNode(page, std::move(root));
        m_impl->root = page;
    }
    writeHeader();
    return true;
}

void MdxTag::insertAt(
    uint32_t page, const std::string &key, uint32_t recno, uint32_t depth, Split &out)
{
    const std::shared_ptr<Node> &shared = sharedNode(page, depth);
    if (shared->leaf && shared.use_count() == 1 && shared->size() < m_maxKeys) {
        // A leaf nobody else holds (no cursor stands on it) that takes the entry without a
        // split changes in place, without copying its keys; a failed write takes it back.
        Node &leaf = *shared;
        const size_t at = leafPosition(leaf, key, recno);
        leaf.insert(at, key, recno);
        leaf.heads.clear();
        try {
            writeNode(page, leaf);
        } catch (...) {
            leaf.erase(at);
            throw;
        }
        m_file.m_cache->measure(MdxFile::NodeCache::key(m_slot, page));
        return;
    }
    Node nd(shared->leaf, m_itemLength, m_keyLength);
    if (const Node &cached = *shared; cached.leaf) {
        const size_t j = leafPosition(cached, key, recno);
        nd.items.reserve(cached.items.size() + m_itemLength);
        nd.append(cached, 0, j);
        nd.push_back(key, recno);
        nd.append(cached, j, cached.size());
    } else {
        const size_t i = childFor(cached, key, recno, depth);
        const uint32_t left = cached.childPage(i);
        Split child;
        insertAt(left, key, recno, depth + 1, child);
        if (!child.happened) {
            // A child's highest key only grows when it is the last child; its highest record
            // number grows when the new entry has that key and a higher number.
            const Node &again = node(page, depth);
            if (i + 1 < again.size() && i < again.lastRecno.size() && again.lastRecno[i] != 0
                && again.lastRecno[i] < recno && cmpKey(again.key(i), key) == 0)
                again.lastRecno[i] = recno;
            return;
        }
        nd = node(page, depth); // copied only when this node changes
        nd.setPointer(i, child.rightPage);
        nd.insert(i, child.leftMax, left);
    }
    // A leaf holds up to maxKeys keys; an interior node up to maxKeys children, i.e. at most
    // maxKeys - 1 keys besides its extra pointer, so that it is never full (a full node would
    // be taken for a leaf). In memory both are entries.size() <= maxKeys.
    if (nd.size() <= m_maxKeys) {
        putNode(page, std::move(nd));
        return;
    }
    size_t mid = nd.size() / 2;
    Node right(nd.leaf, m_itemLength, m_keyLength);
    right.append(nd, mid, nd.size());
    nd.resize(mid);
    out.happened = true;
    out.leftMax = nd.key(nd.size() - 1);
    out.rightPage = newNodePage();
    putNode(out.rightPage, std::move(right));
    putNode(page, std::move(nd));
}

// ---------------------------------------------------------------------------------------
// Removal

bool MdxTag::remove(std::string_view rawKey, uint32_t recno)
{
    requireWritable();
    m_file.trimNodeCache();
    std::string key = normalKey(rawKey);
    m_impl->edgesKnown = false; // merges may drop an edge leaf
    if (!removeAt(m_impl->root, key, recno, 0))
        return false;
    for (;;) {
        const Node &r = node(m_impl->root, 0);
        if (r.leaf || r.size() != 1)
            break;
        m_impl->root = r.childPage(0); // the old root is left unused
    }
    writeHeader();
    return true;
}

bool MdxTag::removeAt(uint32_t page, const std::string &key, uint32_t recno, uint32_t depth)
{
    Node nd = node(page, depth);
    if (nd.leaf) {
        const size_t j = leafPosition(nd, key, recno);
        if (j == nd.size() || nd.recno(j) != recno || cmpKey(nd.key(j), key) != 0)
            return false;
        nd.erase(j);
        putNode(page, std::move(nd));
        return true;
    }
    size_t i = childFor(nd, key, recno, depth);
    if (!removeAt(nd.childPage(i), key, recno, depth + 1))
        return false;
    size_t last = nd.size() - 1;
    const Node &child = node(nd.childPage(i), depth + 1);
    if (i < last && !child.empty()) {
        if (child.leaf)
            nd.setKey(i, child.key(child.size() - 1));
        else
            nd.setKey(i, subtreeLast(nd.childPage(i), depth + 1).key);
    }
    size_t size = child.size();
    size_t capacity = m_maxKeys;
    bool underfull = child.leaf ? size < std::max<size_t>(1, capacity / 2)
                                : size < std::max<size_t>(2, capacity / 2);
    if (underfull && nd.size() > 1) {
        size_t l = i > 0 ? i - 1 : i;
        size_t r = l + 1;
        Node a = node(nd.childPage(l), depth + 1);
        Node b = node(nd.childPage(r), depth + 1);
        if (!a.leaf) // a's last child's key is a's highest key, which the parent holds
            a.setKey(a.size() - 1, nd.key(l));
        const bool rIsLast = r == nd.size() - 1;
        if (a.size() + b.size() <= capacity) {
            // Merge b into a; b's page is left unused.
            a.append(b, 0, b.size());
            if (!rIsLast)
                nd.setKey(l, a.leaf && !a.empty() ? a.key(a.size() - 1) : nd.key(r));
            nd.erase(r);
            putNode(nd.childPage(l), std::move(a));
        } else {
            // Share the entries evenly.
            a.append(b, 0, b.size());
            const size_t mid = a.size() / 2;
            Node left(a.leaf, m_itemLength, m_keyLength), right(a.leaf, m_itemLength, m_keyLength);
            left.append(a, 0, mid);
            right.append(a, mid, a.size());
            nd.setKey(l, left.key(left.size() - 1));
            putNode(nd.childPage(l), std::move(left));
            putNode(nd.childPage(r), std::move(right));
        }
    }
    putNode(page, std::move(nd));
    return true;
}

bool MdxTag::insertRecord(const uint8_t *record, size_t recordLength, uint32_t recno)
{
    return insert(keyFor(record, recordLength), recno);
}

bool MdxTag::removeRecord(const uint8_t *record, size_t recordLength, uint32_t recno)
{
    return remove(keyFor(record, recordLength), recno);
}

void MdxTag::updateRecord(const uint8_t *oldRecord,
                          const uint8_t *newRecord,
                          size_t recordLength,
                          uint32_t recno)
{
    std::string a = keyFor(oldRecord, recordLength), b = keyFor(newRecord, recordLength);
    if (a == b)
        return;
    remove(a, recno);
    insert(b, recno);
}

// ---------------------------------------------------------------------------------------
// Bulk build

void MdxTag::build(std::vector<IndexEntry> entries)
{
    requireWritable();
    for (auto &e : entries)
        e.key = normalKey(e.key);
    std::sort(entries.begin(), entries.end(), [this](const IndexEntry &a, const IndexEntry &b) {
        return cmpEntry(a.key, a.recno, b.key, b.recno) < 0;
    });
    if (m_unique)
        entries.erase(std::unique(entries.begin(),
                                  entries.end(),
                                  [this](const IndexEntry &a, const IndexEntry &b) {
                                      return cmpKey(a.key, b.key) == 0;
                                  }),
                      entries.end());

    // Plan all levels first, then write the new nodes as one run at the end of the file.
    std::vector<std::vector<Node>> levels;
    std::vector<std::string> maxima;
    {
        size_t count = entries.size();
        size_t leaves = std::max<size_t>(1, (count + m_maxKeys - 1) / m_maxKeys);
        std::vector<Node> level(leaves, Node(true, m_itemLength, m_keyLength));
        for (size_t k = 0; k < leaves; ++k) {
            size_t from = count * k / leaves, to = count * (k + 1) / leaves;
            level[k].items.reserve((to - from) * m_itemLength);
            for (size_t e = from; e < to; ++e)
                level[k].push_back(entries[e].key, entries[e].recno);
            maxima.push_back(level[k].empty() ? std::string()
                                              : std::string(level[k].key(level[k].size() - 1)));
        }
        entries = {};
        levels.push_back(std::move(level));
    }
    while (levels.back().size() > 1) {
        size_t count = levels.back().size();
        size_t fan = m_maxKeys; // children per interior node; keys = children - 1
        size_t nodes = (count + fan - 1) / fan;
        std::vector<Node> level(nodes, Node(false, m_itemLength, m_keyLength));
        std::vector<std::string> upper;
        for (size_t k = 0; k < nodes; ++k) {
            size_t from = count * k / nodes, to = count * (k + 1) / nodes;
            for (size_t c = from; c < to; ++c)
                level[k].push_back(maxima[c], static_cast<uint32_t>(c));
            upper.push_back(maxima[to - 1]);
        }
        maxima = std::move(upper);
        levels.push_back(std::move(level));
    }
    // Pages: level by level from the leaves up.
    uint32_t factor = m_file.m_blockFactor;
    uint32_t first = m_file.m_totalPages;
    size_t total = 0;
    for (auto &l : levels)
        total += l.size();
    if (uint64_t(first) + uint64_t(total) * factor > 0xFFFFFFFFull / kMdxPageSize)
        throw IndexError(m_file.path(), "index file too large");
    std::vector<uint32_t> base;
    uint32_t next = first;
    for (auto &l : levels) {
        base.push_back(next);
        next += static_cast<uint32_t>(l.size()) * factor;
    }
    std::vector<uint8_t> run(total * m_file.m_blockSize, 0);
    m_file.m_cache->drop(m_slot);
    m_impl->edgesKnown = false;
    ++m_generation;
    size_t at = 0;
    for (size_t lv = 0; lv < levels.size(); ++lv) {
        for (size_t k = 0; k < levels[lv].size(); ++k, ++at) {
            Node &nd = levels[lv][k];
            if (!nd.leaf)
                for (size_t i = 0; i < nd.size(); ++i)
                    nd.setPointer(i, base[lv - 1] + nd.pointer(i) * factor);
            encodeNode(nd, run.data() + at * m_file.m_blockSize);
        }
    }
    m_file.m_file->writeAt(uint64_t(first) * kMdxPageSize, run.data(), run.size());
    m_file.m_totalPages = next;
    m_impl->root = base.back();
    m_impl->pagesUsed = static_cast<uint32_t>(total) * factor;
    writeHeader();
}

void MdxTag::rebuild(uint32_t recordCount, const RecordReader &read)
{
    requireWritable();
    std::vector<IndexEntry> entries;
    entries.reserve(recordCount);
    std::vector<uint8_t> record;
    for (uint32_t r = 1; r <= recordCount; ++r) {
        read(r, record);
        entries.push_back({keyFor(record.data(), record.size()), r});
    }
    build(std::move(entries));
}

// ---------------------------------------------------------------------------------------
// Navigation

uint64_t MdxTag::walkLimit() const
{
    return (uint64_t(m_file.m_totalPages) / m_file.m_blockFactor + 1) * (uint64_t(m_maxKeys) + 1)
           + 16;
}

void MdxTag::descend(MdxCursor &c, uint32_t page, bool toLast)
{
    for (;;) {
        c.m_path.push_back({page, 0});
        const Node &n = cursorLeaf(c);
        const uint32_t idx = toLast && !n.empty() ? static_cast<uint32_t>(n.size() - 1) : 0;
        c.m_path.back().index = idx;
        if (n.leaf)
            return;
        if (n.empty())
            return;
        page = n.childPage(idx);
    }
}

bool MdxTag::settle(MdxCursor &c, bool forward)
{
    // The cursor's leaf index may be past its leaf (or the leaf empty): move on.
    const Node &leaf = cursorLeaf(c);
    if (c.m_path.back().index < leaf.size() && leaf.leaf) {
        const size_t i = c.m_path.back().index;
        c.m_key.assign(leaf.key(i));
        c.m_recno = leaf.recno(i);
        c.m_valid = true;
        return true;
    }
    return c.step(forward);
}

MdxCursor MdxTag::makeCursor()
{
    MdxCursor c;
    c.m_tag = this;
    c.m_generation = m_generation;
    return c;
}

MdxCursor MdxTag::first()
{
    m_file.trimNodeCache();
    MdxCursor c = makeCursor();
    descend(c, m_impl->root, false);
    settle(c, true);
    return c;
}

MdxCursor MdxTag::last()
{
    m_file.trimNodeCache();
    MdxCursor c = makeCursor();
    descend(c, m_impl->root, true);
    const Node &leaf = cursorLeaf(c);
    if (leaf.empty())
        c.step(false);
    else
        settle(c, false);
    return c;
}

// Places c at the first entry not before (key, recno) (recno 0 with prefix: first with key).
// Index of the first of the node's first count entries that does not begin before prefix.
size_t MdxTag::prefixPosition(const Node &n, size_t count, std::string_view prefix) const
{
    const auto slow = [&](size_t i) {
        return cmpPrefix(n.key(i), prefix) < 0;
    };
    size_t lo = 0, hi = count;
    // A leaf is searched once or twice before the cursor moves on (and may be the cursor's
    // own, decoded again next time): its heads would cost more than they save.
    if (m_keyType != 'C' || m_keyLength < 16 || prefix.empty() || n.leaf) {
        while (lo < hi) {
            const size_t mid = lo + (hi - lo) / 2;
            if (slow(mid))
                lo = mid + 1;
            else
                hi = mid;
        }
        return lo;
    }
    if (n.heads.size() != 2 * n.size()) {
        n.heads.resize(2 * n.size());
        for (size_t i = 0; i < n.size(); ++i) {
            n.heads[2 * i] = keyBytes(n.key(i), 0);
            n.heads[2 * i + 1] = keyBytes(n.key(i), 8);
        }
    }
    // The first min(16, prefix length) bytes compared as numbers; a whole key only on a tie.
    const size_t bytes = std::min<size_t>(16, prefix.size());
    const unsigned shift1 = bytes >= 8 ? 0 : unsigned(8 * (8 - bytes));
    const unsigned shift2 = bytes <= 8 ? 64 : unsigned(8 * (16 - bytes));
    const uint64_t want1 = keyBytes(prefix, 0) >> shift1;
    const uint64_t want2 = shift2 == 64 ? 0 : keyBytes(prefix, 8) >> shift2;
    while (lo < hi) {
        const size_t mid = lo + (hi - lo) / 2;
        const uint64_t have1 = n.heads[2 * mid] >> shift1;
        const uint64_t have2 = shift2 == 64 ? 0 : n.heads[2 * mid + 1] >> shift2;
        bool before;
        if (have1 != want1)
            before = (have1 < want1) != m_descending;
        else if (have2 != want2)
            before = (have2 < want2) != m_descending;
        else
            before = prefix.size() > 16 && slow(mid);
        if (before)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

void MdxTag::locate(MdxCursor &c, std::string_view key, uint32_t recno, bool prefix)
{
    uint32_t page = m_impl->root;
    for (;;) {
        const uint32_t depth = static_cast<uint32_t>(c.m_path.size());
        c.m_path.push_back({page, 0});
        const Node &n = cursorLeaf(c);
        if (n.leaf) {
            const size_t j
                = prefix ? prefixPosition(n, n.size(), key) : leafPosition(n, key, recno);
            c.m_path.back().index = static_cast<uint32_t>(j);
            return;
        }
        if (n.empty())
            return;
        const size_t i
            = prefix ? prefixPosition(n, n.size() - 1, key) : childFor(n, key, recno, depth);
        c.m_path.back().index = static_cast<uint32_t>(i);
        page = n.childPage(i);
    }
}

MdxCursor MdxTag::seek(std::string_view key)
{
    MdxCursor c;
    seek(c, key);
    return c;
}

void MdxTag::seek(MdxCursor &c, std::string_view key)
{
    m_file.trimNodeCache();
    c.m_tag = this;
    c.m_generation = m_generation;
    c.m_path.clear();
    c.m_recno = 0;
    c.m_steps = 0;
    c.m_leaf.reset();
    c.m_valid = false;
    locate(c, key, 0, true);
    settle(c, true);
}

MdxCursor MdxTag::find(std::string_view key, uint32_t recno)
{
    m_file.trimNodeCache();
    std::string k = normalKey(key);
    MdxCursor c = makeCursor();
    locate(c, k, recno, false);
    if (settle(c, true) && (c.m_recno != recno || cmpKey(c.m_key, k) != 0))
        c.m_valid = false;
    return c;
}

bool MdxTag::matches(const MdxCursor &cursor, std::string_view key) const
{
    if (!cursor.valid())
        return false;
    if (m_keyType == 'C')
        return cursor.key().compare(0, key.size(), key) == 0 && key.size() <= cursor.key().size();
    return compareKeys(m_keyType, cursor.key(), key) == 0;
}

uint32_t MdxTag::countKeys()
{
    uint32_t n = 0;
    for (MdxCursor c = first(); c.valid(); c.next())
        ++n;
    return n;
}

void MdxTag::appendRecnosInOrder(std::vector<uint32_t> &out)
{
    // Depth first over the pages; each interior level keeps the children still to visit.
    struct Level
    {
        std::vector<uint32_t> children;
        size_t next = 0;
    };
    std::vector<Level> stack;
    std::vector<uint8_t> block;
    const uint64_t pageLimit = uint64_t(m_file.m_totalPages) / m_file.m_blockFactor + 1;
    uint64_t pages = 0;
    const auto visit = [&](uint32_t page) {
        if (++pages > pageLimit || stack.size() >= kMaxDepth)
            m_file.corrupt("tag " + m_name + ": walk does not end (loop in the index pages)");
        const uint32_t n = readNodeBlock(page, block);
        const uint8_t *b = block.data();
        const uint32_t extra = decodeLe32(b + 8 + size_t{n} * m_itemLength);
        if (extra == 0) { // a leaf
            for (uint32_t i = 0; i < n; ++i)
                out.push_back(decodeLe32(b + 8 + size_t{i} * m_itemLength));
            return;
        }
        Level level;
        level.children.reserve(n + 1);
        for (uint32_t i = 0; i < n; ++i)
            level.children.push_back(decodeLe32(b + 8 + size_t{i} * m_itemLength));
        level.children.push_back(extra);
        stack.push_back(std::move(level));
    };
    visit(m_impl->root);
    while (!stack.empty()) {
        Level &top = stack.back();
        if (top.next == top.children.size()) {
            stack.pop_back();
            continue;
        }
        const uint32_t child = top.children[top.next++];
        visit(child);
    }
}

bool MdxCursor::next()
{
    return step(true);
}

bool MdxCursor::prior()
{
    return step(false);
}

uint32_t MdxCursor::peekAhead(uint32_t k) const
{
    if (!m_valid || !m_leaf || !m_tag || m_generation != m_tag->m_generation || m_path.empty())
        return 0;
    const auto *leaf = static_cast<const MdxTag::Node *>(m_leaf.get());
    const size_t at = size_t{m_path.back().index} + k;
    return at < leaf->size() ? leaf->recno(at) : 0;
}

bool MdxCursor::atLeafStart() const
{
    return m_valid && !m_path.empty() && m_path.back().index == 0;
}

bool MdxCursor::step(bool forward)
{
    if (!m_tag || m_path.empty())
        return m_valid = false;
    MdxTag &t = *m_tag;
    t.m_file.trimNodeCache();
    if (m_generation != t.m_generation) {
        // The tag changed since the cursor was placed: find our entry again.
        if (!m_valid)
            return false;
        std::string key = m_key;
        uint32_t recno = m_recno;
        m_path.clear();
        m_leaf.reset();
        m_generation = t.m_generation;
        t.locate(*this, key, recno, false);
        const MdxTag::Node &leaf = t.cursorLeaf(*this);
        bool exact = m_path.back().index < leaf.size() && leaf.recno(m_path.back().index) == recno
                     && t.cmpKey(leaf.key(m_path.back().index), key) == 0;
        if (!exact && forward)
            return t.settle(*this, true);
    }
    ++m_steps;
    // Fast path: the next entry is in the same leaf (a loop needs a move between nodes, so the
    // step count is held against its limit only below).
    if (m_valid && m_leaf && m_generation == t.m_generation) {
        const auto *leaf = static_cast<const MdxTag::Node *>(m_leaf.get());
        uint32_t &idx = m_path.back().index;
        if (forward ? idx + 1 < leaf->size() : (idx > 0 && idx <= leaf->size())) {
            idx = forward ? idx + 1 : idx - 1;
            m_key.assign(leaf->key(idx));
            m_recno = leaf->recno(idx);
            return true;
        }
    }
    if (m_steps > t.walkLimit())
        t.m_file.corrupt("tag " + t.m_name + ": walk does not end (loop in the index pages)");
    m_valid = false;
    // Move up until a level can move, then down to the nearest leaf entry. The bottom level
    // is the node the cursor holds; the levels above come from the cache.
    for (;;) {
        size_t level = m_path.size();
        bool moved = false;
        while (level > 0) {
            --level;
            const MdxTag::Node &n = level + 1 == m_path.size()
                                        ? t.cursorLeaf(*this)
                                        : t.node(m_path[level].page, static_cast<uint32_t>(level));
            uint32_t &idx = m_path[level].index;
            size_t size = n.size();
            if (forward ? (size > 0 && idx + 1 < size) : (idx > 0 && size > 0)) {
                idx = forward ? idx + 1
                              : std::min<uint32_t>(idx - 1, static_cast<uint32_t>(size - 1));
                if (n.leaf) {
                    m_path.resize(level + 1);
                    m_key = n.key(idx);
                    m_recno = n.recno(idx);
                    return m_valid = true;
                }
                uint32_t child = n.childPage(idx);
                m_path.resize(level + 1);
                t.descend(*this, child, !forward);
                moved = true;
                break;
            }
        }
        if (!moved) {
            m_path.clear();
            return false;
        }
        const MdxTag::Node &leaf = t.cursorLeaf(*this);
        if (leaf.leaf && !leaf.empty()) {
            const size_t i = m_path.back().index;
            m_key.assign(leaf.key(i));
            m_recno = leaf.recno(i);
            return m_valid = true;
        }
        if (++m_steps > t.walkLimit())
            t.m_file.corrupt("tag " + t.m_name + ": walk does not end (loop in the index pages)");
        // Empty leaf (only in damaged or foreign trees): keep moving.
    }
}

// ---------------------------------------------------------------------------------------
// Check

// The steps of check(): the tree walked once, then its leaf entries held against the table.
struct MdxTag::Check
{
    MdxTag &tag;
    uint32_t recordCount;
    TagReport report;
    std::unordered_set<uint32_t> visited;
    std::vector<IndexEntry> walk;  // the leaf entries in tree order
    std::vector<uint8_t> seen;     // by record number: how often listed
    std::vector<std::string> keys; // by record number: the key we compute
    uint32_t fullInterior = 0;
    uint32_t leafDepth = 0;
    bool leafSeen = false;
    uint32_t foreign = 0;   // keys that differ only by another program's upper-case rule
    uint32_t otherForm = 0; // numeric keys of the same value in bytes we would not write

    Check(MdxTag &t, uint32_t count)
        : tag(t)
        , recordCount(count)
    {}

    void fault(const std::string &f)
    {
        report.health = TagHealth::Faulty;
        if (report.faults.size() < 20)
            report.faults.push_back("tag " + tag.m_name + ": " + f);
    }

    // Depth-first walk; false when the subtree could not be read.
    bool visit(uint32_t page, uint32_t depth, IndexEntry *highest)
    {
        if (!visited.insert(page).second) {
            fault("page " + std::to_string(page) + " reached twice (loop or shared node)");
            return false;
        }
        const Node *n;
        try {
            n = &tag.node(page, depth);
        } catch (const CorruptFileError &e) {
            fault(e.fault());
            return false;
        }
        Node copy = *n;
        tag.m_file.trimNodeCache(); // nothing of the cache is held from here on
        if (copy.leaf) {
            visitLeaf(page, depth, copy, highest);
            return true;
        }
        // Another writer may fill interior nodes to the last slot; ours never do.
        if (copy.size() - 1 >= tag.m_maxKeys)
            ++fullInterior;
        for (size_t i = 0; i < copy.size(); ++i) {
            IndexEntry top;
            if (!visit(copy.childPage(i), depth + 1, &top))
                return false;
            if (i + 1 < copy.size() && top.key != copy.key(i))
                fault("interior key at page " + std::to_string(page)
                      + " is not the highest key of its subtree");
            if (highest && i + 1 == copy.size())
                *highest = top;
        }
        return true;
    }

    void visitLeaf(uint32_t page, uint32_t depth, const Node &leaf, IndexEntry *highest)
    {
        if (leafSeen && depth != leafDepth)
            fault("leaves at different depths (page " + std::to_string(page) + ")");
        leafSeen = true;
        leafDepth = depth;
        if (leaf.empty() && page != tag.m_impl->root)
            fault("empty leaf at page " + std::to_string(page));
        for (size_t i = 0; i < leaf.size(); ++i)
            walk.push_back({std::string(leaf.key(i)), leaf.recno(i)});
        if (highest && !leaf.empty())
            *highest = walk.back();
    }

    void walkTree()
    {
        visit(tag.m_impl->root, 0, nullptr);
        if (fullInterior > 0)
            report.notes.push_back("tag " + tag.m_name + ": " + std::to_string(fullInterior)
                                   + " interior node(s) filled to the last slot (a layout this "
                                     "program does not write)");
        report.keys = static_cast<uint32_t>(walk.size());
        report.depth = leafSeen ? leafDepth + 1 : 0;
    }

    // Entries in order, record numbers in range and each listed once.
    void checkEntries()
    {
        for (size_t i = 1; i < walk.size(); ++i)
            if (tag.cmpEntry(walk[i - 1].key, walk[i - 1].recno, walk[i].key, walk[i].recno) >= 0) {
                fault("keys out of order at record " + std::to_string(walk[i].recno));
                break;
            }
        seen.assign(size_t(recordCount) + 1, 0);
        for (const auto &e : walk) {
            if (e.recno == 0 || e.recno > recordCount) {
                fault("record number " + std::to_string(e.recno) + " out of range");
                continue;
            }
            if (seen[e.recno]++)
                fault("record " + std::to_string(e.recno) + " listed twice");
        }
    }

    void missingRecords()
    {
        for (uint32_t r = 1; r <= recordCount; ++r)
            if (!seen[r]) {
                fault("record " + std::to_string(r) + " missing");
                break;
            }
    }

    // A stored key that differs from ours is another encoding of the same value (a note), or
    // our key but for the case of letters where the expression upper-cases (another
    // program's UPPER rule), or else a key that disagrees with its record (a fault).
    void compareKeys(const RecordReader &read)
    {
        keys.assign(size_t(recordCount) + 1, std::string());
        std::vector<uint8_t> record;
        for (uint32_t r = 1; r <= recordCount; ++r) {
            read(r, record);
            keys[r] = tag.keyFor(record.data(), record.size());
        }
        const bool upperRule = tag.m_keyType == 'C'
                               && upperAscii(tag.m_expr.text()).find("UPPER") != std::string::npos;
        auto folded = [this](std::string k) {
            for (char &c : k)
                c = static_cast<char>(upperByte(tag.m_file.m_codePage, static_cast<uint8_t>(c)));
            return k;
        };
        uint32_t disagreeing = 0;
        for (const auto &e : walk) {
            if (e.recno < 1 || e.recno > recordCount || keys[e.recno] == e.key)
                continue;
            if (welarik::compareKeys(tag.m_keyType, keys[e.recno], e.key) == 0)
                ++otherForm;
            else if (upperRule && folded(keys[e.recno]) == folded(e.key))
                ++foreign;
            else if (++disagreeing == 1)
                fault("the key of record " + std::to_string(e.recno)
                      + " disagrees with the record");
        }
        if (disagreeing > 1)
            fault(std::to_string(disagreeing) + " keys disagree with their records");
        if (otherForm > 0)
            report.notes.push_back("tag " + tag.m_name + ": " + std::to_string(otherForm)
                                   + " keys stored in another form of the same value (rebuilt "
                                     "when the table is opened for writing)");
    }

    // In a unique tag: every record's key present (unless keys of another rule make that
    // unknowable) and no key twice.
    void checkUniqueKeys()
    {
        std::vector<std::string> stored;
        for (const auto &e : walk)
            stored.push_back(e.key);
        for (uint32_t r = 1; r <= recordCount && foreign == 0; ++r)
            if (!seen[r]
                && !std::binary_search(stored.begin(),
                                       stored.end(),
                                       keys[r],
                                       [this](const std::string &a, const std::string &b) {
                                           return tag.cmpKey(a, b) < 0;
                                       })) {
                fault("key of record " + std::to_string(r) + " missing");
                break;
            }
        for (size_t i = 1; i < walk.size(); ++i)
            if (tag.cmpKey(walk[i - 1].key, walk[i].key) == 0) {
                fault("key listed twice in a unique tag");
                break;
            }
    }
};

TagReport MdxTag::check(uint32_t recordCount, const RecordReader &read)
{
    Check c(*this, recordCount);
    c.walkTree();
    c.checkEntries();
    if (!m_expr.evaluable() || m_expr.type() != m_keyType || m_expr.keyLength() != m_keyLength) {
        if (!m_unique)
            c.missingRecords();
        return c.report;
    }
    c.compareKeys(read);
    if (m_unique)
        c.checkUniqueKeys();
    else
        c.missingRecords();
    // Keys of another form are found by value but not by their bytes (a search's prefix, a
    // key compared with ours): the tag is rebuilt or served from our keys like a foreign one.
    if (c.otherForm > 0 && c.report.health == TagHealth::Sound)
        c.report.health = TagHealth::ForeignKeys;
    if (c.foreign > 0 && c.report.health != TagHealth::Faulty) {
        c.report.health = TagHealth::ForeignKeys;
        c.report.faults.push_back("tag " + m_name + ": " + std::to_string(c.foreign)
                                  + " stored keys differ from the keys computed from the records");
    }
    return c.report;
}

} // namespace welarik
