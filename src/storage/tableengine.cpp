// SPDX-License-Identifier: GPL-3.0-or-later
#include "tableengine.h"

#include "coding.h"
#include "dbf.h"
#include "dbt.h"
#include "decode.h"
#include "filter.h"
#include "mdx.h"
#include "pack.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <malloc.h>

namespace welarik {

namespace {

std::string baseName(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// The companion's name in the letter case of the table's extension ("x.dbf" -> "x.dbt").
std::string companionName(const std::string &dbfPath, const char *upperExtension)
{
    std::string ext = upperExtension;
    const size_t dot = dbfPath.find_last_of('.');
    if (dot != std::string::npos && dot + 1 < dbfPath.size()
        && std::islower(static_cast<unsigned char>(dbfPath[dot + 1]))) {
        for (char &c : ext)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return withExtension(dbfPath, ext);
}

// A number typed for a level-7 field ("12", "-3.5", "1e+20"); blanks around it are allowed.
// Independent of the locale.
bool parseNumberText(const std::string &text, double &value)
{
    const size_t begin = text.find_first_not_of(' ');
    const size_t end = text.find_last_not_of(' ');
    if (begin == std::string::npos)
        return false;
    const char *first = text.data() + begin + (text[begin] == '+' ? 1 : 0);
    const char *last = text.data() + end + 1;
    const auto [ptr, ec] = std::from_chars(first, last, value);
    return ec == std::errc() && ptr == last && std::isfinite(value);
}

// Reads records for the index layer through a chunk cache, so walks in record order cost one
// read per chunk.
class ChunkReader
{
public:
    explicit ChunkReader(const DbfFile &dbf)
        : m_dbf(dbf)
        , m_perChunk(std::max<uint32_t>(1, dbf.recordsPerChunk()))
    {}
    void operator()(uint32_t recno, std::vector<uint8_t> &record)
    {
        const uint32_t length = m_dbf.recordLength();
        if (recno < m_first || recno >= m_first + m_loaded) {
            m_buffer.resize(size_t(m_perChunk) * length);
            m_first = recno;
            m_loaded = m_dbf.readRecords(recno, m_perChunk, m_buffer.data());
            if (m_loaded == 0)
                throw StateError(m_dbf.path(),
                                 "record " + std::to_string(recno) + " does not exist");
        }
        const uint8_t *p = m_buffer.data() + size_t(recno - m_first) * length;
        record.assign(p, p + length);
    }

private:
    const DbfFile &m_dbf;
    uint32_t m_perChunk;
    std::vector<uint8_t> m_buffer;
    uint32_t m_first = 0;
    uint32_t m_loaded = 0;
};

} // namespace

bool CheckReport::sound() const
{
    return faults() == 0;
}

int CheckReport::faults() const
{
    return static_cast<int>(std::count_if(
        findings.begin(), findings.end(), [](const CheckFinding &f) { return f.fault; }));
}

int CheckReport::notes() const
{
    return static_cast<int>(findings.size()) - faults();
}

// ---------------------------------------------------------------------------------------------
// Cursor: over the tag's tree, or over entries sorted in memory (an index left half written,
// opened read-only, whose tree cannot be trusted and may not be rebuilt on disk).

// Records fetched ahead when a walk arrives in a leaf: a leaf of 100-byte keys holds nine; the
// cap keeps a leaf of short keys from fetching more than the processor's caches keep.
constexpr uint32_t kReadAheadRecords = 16;

struct TagCursor::Impl
{
    MdxTag *tag = nullptr;
    const DbfFile *dbf = nullptr; // the table, for reading ahead in tag order
    MdxCursor cursor;
    std::shared_ptr<const std::vector<IndexEntry>> entries; // in-memory order
    char keyType = 'C';
    bool descending = false;
    size_t pos = 0;
    bool memValid = false;
    bool readAhead = true;
    std::string memKey;

    bool valid() const { return tag ? cursor.valid() : memValid; }
    bool setMem(size_t p)
    {
        memValid = p < entries->size();
        pos = p;
        memKey = memValid ? (*entries)[p].key : std::string();
        return memValid;
    }
    // Tag-order comparison of a stored key with a probe (a C probe compares over its length).
    int compare(const std::string &stored, const std::string &probe, bool prefix) const
    {
        int c;
        if (keyType == 'C' && prefix) {
            const size_t n = std::min(stored.size(), probe.size());
            c = stored.compare(0, n, probe, 0, n);
            if (c == 0 && stored.size() < probe.size())
                c = -1;
        } else {
            c = compareKeys(keyType, stored, probe);
        }
        return descending ? -c : c;
    }
    size_t lowerBound(const std::string &probe, bool prefix) const
    {
        auto it = std::partition_point(entries->begin(), entries->end(), [&](const IndexEntry &e) {
            return compare(e.key, probe, prefix) < 0;
        });
        return size_t(it - entries->begin());
    }
};

TagCursor::TagCursor(std::unique_ptr<Impl> impl)
    : d(std::move(impl))
{}
TagCursor::TagCursor(TagCursor &&) noexcept = default;
TagCursor &TagCursor::operator=(TagCursor &&) noexcept = default;
TagCursor::~TagCursor() = default;

bool TagCursor::first()
{
    if (d->tag) {
        d->cursor = d->tag->first();
        return d->cursor.valid();
    }
    return d->setMem(0);
}

bool TagCursor::last()
{
    if (d->tag) {
        d->cursor = d->tag->last();
        return d->cursor.valid();
    }
    return d->entries->empty() ? d->setMem(d->entries->size()) : d->setMem(d->entries->size() - 1);
}

void TagCursor::setReadAhead(bool on)
{
    d->readAhead = on;
}

bool TagCursor::next()
{
    if (d->tag) {
        if (!d->cursor.valid() || !d->cursor.next())
            return false;
        // Arrived in a leaf, the records of its next entries are likely read next, one after
        // another: they lie scattered over the table, and fetching them together lets their
        // waits for memory overlap (one at a time, each step waited for its own).
        if (d->dbf && d->readAhead && d->cursor.atLeafStart()) {
            uint32_t recno = 0;
            for (uint32_t k = 1; k <= kReadAheadRecords && (recno = d->cursor.peekAhead(k)); ++k)
                d->dbf->prefetchRecord(recno);
        }
        return true;
    }
    if (!d->memValid)
        return false;
    return d->setMem(d->pos + 1);
}

bool TagCursor::prior()
{
    if (d->tag)
        return d->cursor.valid() && d->cursor.prior();
    if (!d->memValid || d->pos == 0) {
        d->memValid = false;
        return false;
    }
    return d->setMem(d->pos - 1);
}

void TagCursor::appendAllRecnos(std::vector<uint32_t> &out) const
{
    if (d->tag) {
        d->tag->appendRecnosInOrder(out);
        return;
    }
    out.reserve(out.size() + d->entries->size());
    for (const IndexEntry &e : *d->entries)
        out.push_back(e.recno);
}

bool TagCursor::seek(const std::string &prefix)
{
    if (d->tag) {
        d->tag->seek(d->cursor, prefix);
        if (d->cursor.valid() && d->tag->matches(d->cursor, prefix))
            return true;
        d->cursor = MdxCursor();
        return false;
    }
    const size_t p = d->lowerBound(prefix, true);
    if (d->setMem(p) && d->compare(d->memKey, prefix, true) == 0)
        return true;
    d->memValid = false;
    return false;
}

bool TagCursor::nearest(const std::string &key)
{
    if (d->tag) {
        d->tag->seek(d->cursor, key);
        return d->cursor.valid();
    }
    return d->setMem(d->lowerBound(key, true));
}

bool TagCursor::seekEntry(const std::string &key, uint32_t recno)
{
    if (d->tag) {
        MdxCursor exact = d->tag->find(key, recno);
        if (exact.valid()) {
            d->cursor = exact;
            return true;
        }
        d->cursor = d->tag->seek(key);
        while (d->cursor.valid() && compareKeys(d->keyType, d->cursor.key(), key) == 0
               && d->cursor.recno() < recno)
            d->cursor.next();
        return d->cursor.valid();
    }
    size_t p = d->lowerBound(key, false);
    while (p < d->entries->size() && compareKeys(d->keyType, (*d->entries)[p].key, key) == 0
           && (*d->entries)[p].recno < recno)
        ++p;
    return d->setMem(p);
}

bool TagCursor::valid() const
{
    return d->valid();
}

uint32_t TagCursor::recno() const
{
    if (d->tag)
        return d->cursor.recno();
    return d->memValid ? (*d->entries)[d->pos].recno : 0;
}

const std::string &TagCursor::key() const
{
    return d->tag ? d->cursor.key() : d->memKey;
}

// ---------------------------------------------------------------------------------------------

struct TableEngine::Impl
{
    FileSystem *fs = nullptr;
    std::string path;
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MemoFile> memo;
    std::unique_ptr<MdxFile> mdx;
    std::vector<TagInfo> tags;
    bool writable = false;
    bool missingMemo = false;  // memo fields but no memo file
    bool missingIndex = false; // header promises an index that is not there
    bool crashedAtOpen = false;
    // A write failed after the index was marked "write in progress" (the files are as the
    // last successful write left them, but the tags may disagree with the table): every tag
    // is rebuilt from the table before the next write, and reads use orders computed in
    // memory until then.
    bool indexSuspect = false;
    bool foreignChecked = false;
    bool bulk = false;
    // The write session: its marks (the index's "write in progress" and the table header's
    // session mark) are on the disk, and what was synced before it is remembered in the mark.
    bool session = false;
    uint32_t syncedCount = 0;     // records on the disk at the last sync
    uint32_t syncedMemoBlock = 0; // the memo file's next free block then
    // What opening after a power cut dropped or blanked, reported by check() as notes.
    std::vector<CheckFinding> openNotes;
    // Read-only open of a half-written index: each tag's entries sorted in memory, on demand.
    std::vector<std::shared_ptr<const std::vector<IndexEntry>>> memoryOrder;

    void requireWritable() const
    {
        if (!writable)
            throw StateError(path, "the table is open for reading only");
    }
    void requireEvaluable() const
    {
        if (!mdx)
            return;
        for (size_t i = 0; i < mdx->tagCount(); ++i) {
            MdxTag &t = mdx->tag(i);
            if (!t.evaluable())
                throw IndexError(mdx->path(),
                                 "tag " + t.name() + ": key expression \"" + t.expressionText()
                                     + "\" cannot be evaluated, so the table cannot be changed");
        }
    }
    void requireSize(const RecordBuffer &record) const
    {
        if (record.size() != dbf->recordLength())
            throw FieldError(path,
                             "record buffer of " + std::to_string(record.size())
                                 + " bytes, the table's records have "
                                 + std::to_string(dbf->recordLength()));
    }

    // Keys of every tag for all records, in one pass over the table.
    std::vector<std::vector<IndexEntry>> collectEntries(const std::vector<size_t> &which) const
    {
        std::vector<std::vector<IndexEntry>> out(which.size());
        for (auto &v : out)
            v.reserve(dbf->recordCount());
        const size_t length = dbf->recordLength();
        DbfScanner scanner(*dbf);
        while (const uint8_t *record = scanner.next()) {
            for (size_t k = 0; k < which.size(); ++k)
                out[k].push_back({mdx->tag(which[k]).keyFor(record, length), scanner.recno()});
        }
        return out;
    }

    // Rebuilds the given tags (evaluable ones) inside one write sequence.
    void rebuild(std::vector<size_t> which)
    {
        which.erase(std::remove_if(which.begin(),
                                   which.end(),
                                   [&](size_t i) { return !mdx->tag(i).evaluable(); }),
                    which.end());
        if (which.empty())
            return;
        beginSession();
        indexWrite([&] {
            auto entries = collectEntries(which);
            for (size_t k = 0; k < which.size(); ++k)
                mdx->tag(which[k]).build(std::move(entries[k]));
        });
    }

    // Before the first change after an open or a clean point: the index's "write in progress"
    // and the table's session mark (holding what the last sync left), both synced, so that
    // after a power cut the next open knows what to distrust.
    void beginSession()
    {
        if (session)
            return;
        if (mdx)
            mdx->markWriting();
        // Past the index's mark, a failure is a failed write like any other.
        indexWrite([&] {
            dbf->writeSessionMark({syncedCount, syncedMemoBlock});
            if (mdx)
                mdx->sync();
            dbf->sync();
        });
        session = true;
    }

    // The end of a burst: table, memo and index on the disk, then the marks cleared and
    // synced. An index that cannot be trusted (a failed write not yet rebuilt, a crashed one
    // with a tag we cannot rebuild) keeps its mark.
    void settle()
    {
        if (!session || bulk)
            return;
        if (memo)
            memo->sync();
        dbf->sync();
        const bool cleanIndex = mdx && !indexSuspect && (!crashedAtOpen || mdx->allEvaluable());
        if (mdx)
            mdx->sync();
        if (cleanIndex)
            mdx->markClean();
        dbf->clearSessionMark();
        if (cleanIndex)
            mdx->sync();
        dbf->sync();
        syncedCount = dbf->recordCount();
        syncedMemoBlock = memo ? memo->nextBlock() : 0;
        session = false;
    }

    // Opening after a session that never ended (a kill or a power cut): records past the
    // synced count that never reached the disk whole are dropped by lowering the count, and
    // memo pointers at or past the synced next block whose text never arrived are blanked.
    // Read-only, the count is lowered in memory only and the pointers are reported.
    void recoverRecords(const DbfSessionMark &mark)
    {
        syncedCount = std::min(mark.syncedCount, dbf->recordCount());
        syncedMemoBlock = mark.syncedMemoBlock;
        if (writable)
            beginSession();
        dropTornRecords(syncedCount + 1);
        repairTornFields();
    }

    // Drops every record from the first torn one at or after first.
    void dropTornRecords(uint32_t first)
    {
        const uint32_t count = dbf->recordCount();
        DbfScanner scanner(*dbf, std::min(first, count + 1));
        while (const uint8_t *record = scanner.next()) {
            if (!dbf->tornRecord(record))
                continue;
            const uint32_t from = scanner.recno();
            dbf->dropRecordsFrom(from);
            openNotes.push_back({false,
                                 "table",
                                 std::to_string(count - from + 1) + " record(s) from record "
                                     + std::to_string(from)
                                     + " never reached the disk whole and were dropped"});
            return;
        }
        const uint32_t stated = dbf->statedCount();
        if (stated > count) {
            dbf->dropRecordsFrom(count + 1);
            openNotes.push_back({false,
                                 "table",
                                 "the header counted " + std::to_string(stated - count)
                                     + " record(s) more than reached the disk; dropped"});
        }
    }

    // After a cut, every record: a record rewritten in place since the last sync may be torn
    // at a sector bound inside a field, leaving a value that is no number, date or logical
    // (blanked), and a memo pointer at or past the synced next block may point at text that
    // never arrived (blanked). Read-only, they are only reported.
    void repairTornFields()
    {
        std::vector<uint8_t> record(dbf->recordLength());
        for (uint32_t recno = 1; recno <= dbf->recordCount(); ++recno) {
            dbf->readRecord(recno, record.data());
            bool changed = false;
            for (const FieldDesc &f : dbf->fields()) {
                const char *what = lostField(f, record.data());
                if (!what)
                    continue;
                openNotes.push_back(
                    {false,
                     "record " + std::to_string(recno),
                     "field " + f.name + ": " + what + (writable ? "; blanked" : "")});
                std::fill_n(record.begin() + f.offset, f.length, ' ');
                changed = true;
            }
            if (changed && writable)
                dbf->writeRecord(recno, record.data());
        }
    }

    // Why a field of a record after a cut cannot stay as it is; nullptr when it can.
    const char *lostField(const FieldDesc &f, const uint8_t *record) const
    {
        const FieldCodec &codec = dbf->codec();
        if (isMemoType(f.type)) {
            uint32_t block = 0;
            try {
                block = codec.memoBlock(f, record);
            } catch (const CorruptFileError &) {
                return "its memo pointer was torn by the cut";
            }
            if (!memo || block == 0 || block < syncedMemoBlock || memo->intact(block))
                return nullptr;
            return "its memo never reached the disk";
        }
        if (std::strchr("NFDL", f.type) == nullptr)
            return nullptr;
        try {
            decodeField(codec, f, record, DecodeMode::Stored);
        } catch (const StorageError &) {
            return "its value was torn by the cut";
        }
        return nullptr;
    }

    // Runs the index changes of one write sequence (after markWriting()); when one fails, the
    // index is suspect until it has been rebuilt.
    template<class F>
    void indexWrite(F &&change)
    {
        try {
            change();
        } catch (...) {
            indexSuspect = true;
            memoryOrder.assign(tags.size(), nullptr);
            throw;
        }
    }

    // Before any write: an index left suspect by a failed write is rebuilt first (and stays
    // suspect when that fails too).
    void recoverIndex()
    {
        if (!indexSuspect || !mdx)
            return;
        mdx->discardCaches();
        rebuild(allTags());
        indexSuspect = false;
        memoryOrder.assign(tags.size(), nullptr);
    }

    // The tags' trees cannot be trusted: orders come from keys computed in memory.
    bool treesUntrusted() const
    {
        return indexSuspect || (crashedAtOpen && (!writable || !mdx->allEvaluable()));
    }

    std::vector<size_t> allTags() const
    {
        std::vector<size_t> v;
        for (size_t i = 0; mdx && i < mdx->tagCount(); ++i)
            v.push_back(i);
        return v;
    }

    // Tags whose structure or keys disagree with the records.
    std::vector<size_t> unsoundTags()
    {
        std::vector<size_t> bad;
        for (size_t i = 0; mdx && i < mdx->tagCount(); ++i) {
            MdxTag &t = mdx->tag(i);
            if (!t.evaluable())
                continue;
            ChunkReader reader(*dbf);
            TagReport report;
            try {
                report = t.check(dbf->recordCount(), std::ref(reader));
            } catch (const CorruptFileError &) {
                report.health = TagHealth::Faulty;
            }
            if (report.health != TagHealth::Sound)
                bad.push_back(i);
        }
        return bad;
    }

    // An index another program wrote is checked tag by tag when the table is opened for
    // writing (and at the latest before the first write); what disagrees with our keys (also
    // numeric keys of another form) is rebuilt, so that every cursor walks keys we can
    // compute. Full interior nodes, a layout we would not write ourselves, are kept.
    void checkForeign()
    {
        if (!mdx || foreignChecked || mdx->markAtOpen() != EngineMark::Absent)
            return;
        foreignChecked = true;
        auto bad = unsoundTags();
        if (!bad.empty())
            rebuild(bad);
    }

    // Before the first write of the session: the foreign check, then our signature.
    void prepareIndex()
    {
        if (!mdx)
            return;
        checkForeign();
        foreignChecked = true;
        beginSession(); // the mark carries our signature
    }

    // Read-only (or unwritable) open of another program's index: a tag whose stored keys
    // disagree with ours cannot be searched or positioned by our keys, so its order is served
    // from keys computed in memory. Checked once per tag, at its first use.
    std::vector<int8_t> foreignVerdict; // per tag: 0 not checked, 1 tree, 2 memory
    bool servedFromMemory(size_t i)
    {
        if (!mdx || foreignChecked || mdx->signedByUs() || !mdx->tag(i).evaluable())
            return false;
        foreignVerdict.resize(mdx->tagCount(), 0);
        if (foreignVerdict[i] == 0) {
            ChunkReader reader(*dbf);
            TagHealth health = TagHealth::Faulty;
            try {
                health = mdx->tag(i).check(dbf->recordCount(), std::ref(reader)).health;
            } catch (const CorruptFileError &) {
            }
            foreignVerdict[i] = health == TagHealth::Sound ? 1 : 2;
        }
        return foreignVerdict[i] == 2;
    }

    void loadTags()
    {
        tags.clear();
        if (!mdx)
            return;
        for (size_t i = 0; i < mdx->tagCount(); ++i) {
            MdxTag &t = mdx->tag(i);
            TagInfo info;
            info.name = t.name();
            info.expression = t.expressionText();
            info.keyType = t.keyType();
            info.keyLength = t.keyLength();
            info.descending = t.descending();
            info.unique = t.unique();
            info.evaluable = t.evaluable();
            info.upperCase = t.expression().upperCased();
            info.firstField = t.firstField();
            tags.push_back(info);
        }
        memoryOrder.assign(tags.size(), nullptr);
    }

    MdxTag &tagAt(int tag) const
    {
        if (!mdx || tag < 0 || size_t(tag) >= mdx->tagCount())
            throw IndexError(path, "no tag number " + std::to_string(tag));
        return mdx->tag(size_t(tag));
    }

    // The steps of check().
    void checkTableSize(CheckReport &report) const;
    void checkRecords(CheckReport &report) const;
    void checkIndex(CheckReport &report) const;
    void checkTag(CheckReport &report, MdxTag &t, bool ours) const;
};

TableEngine::TableEngine(std::unique_ptr<Impl> impl)
    : d(std::move(impl))
{}

TableEngine::~TableEngine()
{
    try {
        close();
    } catch (const StorageError &) {
        // Closing after a failed write: the files stay as the last successful write left them.
    }
}

std::unique_ptr<TableEngine>
TableEngine::open(FileSystem &fs, const std::string &dbfPath, OpenMode mode, ShareMode share)
{
    auto d = std::make_unique<Impl>();
    d->fs = &fs;
    const auto resolved = fs.resolve(dbfPath);
    d->path = resolved ? *resolved : dbfPath;
    // A pack that a kill interrupted after its commit is completed first (pack.h).
    finishPendingPack(fs, d->path);
    d->dbf = DbfFile::open(fs, d->path, mode, share);
    d->writable = mode == OpenMode::ReadWrite;

    if (d->dbf->hasMemoFields()) {
        const auto memoPath = fs.resolve(withExtension(d->path, ".DBT"));
        if (!memoPath)
            throw OpenError(withExtension(d->path, ".DBT"),
                            "the memo file of the table is missing");
        d->memo
            = MemoFile::open(fs, *memoPath, memoStyleForVersion(d->dbf->version()), mode, share);
    }
    const auto mdxPath = fs.resolve(withExtension(d->path, ".MDX"));
    if (mdxPath) {
        d->mdx = MdxFile::open(fs, *mdxPath, mode, share, d->dbf->fields(), d->dbf->codePage());
    } else if (d->dbf->hasProductionIndex()) {
        d->missingIndex = true;
    }
    d->loadTags();
    d->syncedCount = d->dbf->recordCount();
    d->syncedMemoBlock = d->memo ? d->memo->nextBlock() : 0;
    // Opened for writing in shared mode, the mark may be another user's session at work: only
    // a reader or the exclusive owner trusts it as a session cut short.
    const auto &mark = d->dbf->sessionMarkAtOpen();
    if (mark && (share == ShareMode::Exclusive || !d->writable)) {
        try {
            d->recoverRecords(*mark);
        } catch (const IoError &) {
            // The disk refuses the repair: the table opens as it is (check() shows it).
        }
    }

    if (d->mdx && d->mdx->markAtOpen() == EngineMark::Writing) {
        d->crashedAtOpen = true;
        // A tag we cannot rebuild keeps the index marked: it is never trusted as clean.
        if (d->writable && d->mdx->allEvaluable()) {
            d->foreignChecked = true;
            try {
                d->rebuild(d->allTags());
            } catch (const IoError &) {
                // The disk refuses the rebuild: the table still opens, the index is suspect
                // (orders from memory, rebuilt again before the first write).
                d->indexSuspect = true;
                d->memoryOrder.assign(d->tags.size(), nullptr);
            }
        }
    } else if (d->writable && d->mdx && d->mdx->allEvaluable()) {
        try {
            d->checkForeign();
        } catch (const IoError &) {
            // The rebuild could not be written: the index is suspect (orders from memory,
            // rebuilt again before the first write).
            d->indexSuspect = true;
            d->memoryOrder.assign(d->tags.size(), nullptr);
        }
    }
    try {
        d->settle(); // what the open repaired reaches the disk before the first change
    } catch (const IoError &) {
        // Still marked: the next open repairs again.
    }
    return std::unique_ptr<TableEngine>(new TableEngine(std::move(d)));
}

std::unique_ptr<TableEngine> TableEngine::create(FileSystem &fs,
                                                 const std::string &dbfPath,
                                                 int level,
                                                 uint8_t ldid,
                                                 const FieldList &fields,
                                                 const std::vector<TagDefinition> &tags,
                                                 ShareMode share)
{
    DbfLayout layout;
    layout.level = level;
    layout.ldid = ldid;
    layout.fields = fields;
    auto dbf = DbfFile::create(fs, dbfPath, layout, share);
    const std::string memoPath = companionName(dbfPath, ".DBT");
    const std::string mdxPath = companionName(dbfPath, ".MDX");
    for (const std::string &old : {memoPath, mdxPath}) {
        if (auto existing = fs.resolve(old))
            fs.remove(*existing);
    }
    if (dbf->hasMemoFields()) {
        const MemoStyle style = memoStyleForVersion(dbf->version());
        MemoFile::create(fs,
                         memoPath,
                         style,
                         style == MemoStyle::DbaseIII ? kMemoBlockIII : kMemoBlockIVDefault,
                         baseName(dbfPath),
                         share)
            ->sync();
    }
    if (!tags.empty()) {
        MdxFile::create(
            fs, mdxPath, share, {baseName(dbfPath), ldid, dbf->fields(), dbf->codePage(), tags})
            ->sync();
        dbf->setProductionIndex(true);
    }
    dbf->sync(); // a new table is on the disk, empty, before its first record
    dbf.reset();
    return open(fs, dbfPath, OpenMode::ReadWrite, share);
}

void TableEngine::close()
{
    if (!d->dbf)
        return;
    if (d->bulk)
        endBulk();
    if (d->writable)
        d->settle();
    if (d->mdx && d->writable)
        d->mdx->flush();
    if (d->memo && d->writable)
        d->memo->flush();
    if (d->writable)
        d->dbf->flush();
    const bool hadIndex = d->mdx != nullptr;
    d->mdx.reset();
    d->memo.reset();
    d->dbf.reset();
#ifdef __GLIBC__
    // The index's node cache leaves many small blocks free all over the heap; the allocator
    // keeps them, so the program's memory would stay as high as the cache was. Give back the
    // free pages.
    if (hadIndex)
        malloc_trim(0);
#endif
}

void TableEngine::sync()
{
    if (!d->dbf || !d->writable)
        return;
    // A write session under way is settled (files synced, then marked clean); otherwise the
    // files are synced as they stand.
    if (d->session) {
        d->settle();
        return;
    }
    if (d->mdx)
        d->mdx->sync();
    if (d->memo)
        d->memo->sync();
    d->dbf->file().sync();
}

const std::string &TableEngine::path() const
{
    return d->path;
}
int TableEngine::level() const
{
    return d->dbf->level();
}
uint8_t TableEngine::versionByte() const
{
    return d->dbf->version();
}
uint8_t TableEngine::ldid() const
{
    return d->dbf->ldid();
}
CodePage TableEngine::codePage() const
{
    return d->dbf->codePage();
}
const FieldList &TableEngine::fields() const
{
    return d->dbf->fields();
}
int TableEngine::fieldIndex(const std::string &name) const
{
    return d->dbf->fieldIndex(name);
}
uint32_t TableEngine::recordLength() const
{
    return d->dbf->recordLength();
}
uint32_t TableEngine::recordCount() const
{
    return d->dbf->recordCount();
}
bool TableEngine::writable() const
{
    return d->writable;
}
bool TableEngine::hasMemo() const
{
    return d->memo != nullptr;
}
bool TableEngine::hasIndex() const
{
    return d->mdx != nullptr;
}

void TableEngine::readRecord(uint32_t recno, RecordBuffer &out) const
{
    out.resize(d->dbf->recordLength());
    d->dbf->readRecord(recno, out.data());
}

RecordBuffer TableEngine::blankRecord() const
{
    return d->dbf->blankRecord();
}

void TableEngine::scan(const std::function<bool(uint32_t, const uint8_t *)> &visit,
                       uint32_t first) const
{
    DbfScanner scanner(*d->dbf, first);
    while (const uint8_t *record = scanner.next()) {
        if (!visit(scanner.recno(), record))
            return;
    }
}

// --- field codec

std::string TableEngine::fieldText(const RecordBuffer &record, int field) const
{
    d->requireSize(record);
    return fieldText(record.data(), field);
}

std::string TableEngine::fieldText(const uint8_t *record, int field) const
{
    const FieldDesc &f = fields().at(size_t(field));
    const FieldCodec &codec = d->dbf->codec();
    switch (f.type) {
    case 'C':
        return codec.text(f, record);
    case 'N':
    case 'F':
        return codec.numberText(f, record);
    case 'L': {
        const auto v = codec.logical(f, record);
        return v ? (*v ? "T" : "F") : "";
    }
    case 'D': {
        const auto v = codec.date(f, record);
        if (!v)
            return {};
        char text[16];
        std::snprintf(
            text, sizeof text, "%04d%02d%02d", v->year % 10000, v->month % 100, v->day % 100);
        return text;
    }
    case 'M':
    case 'B':
    case 'G': {
        const uint32_t block = codec.memoBlock(f, record);
        if (block == 0)
            return {};
        if (!d->memo)
            throw CorruptFileError(d->path, "field " + f.name + " points into a missing memo file");
        return toUtf8(codePage(), d->memo->read(block));
    }
    case 'I':
    case '+': {
        const auto v = codec.long32(f, record);
        return v ? std::to_string(*v) : "";
    }
    case 'O': {
        const auto v = codec.doubleValue(f, record);
        if (!v)
            return {};
        char text[40];
        std::snprintf(text, sizeof text, "%.15g", *v);
        return text;
    }
    case '@': {
        const auto v = codec.timestamp(f, record);
        if (!v)
            return {};
        char text[40];
        std::snprintf(text, sizeof text, "%.0f", *v);
        return text;
    }
    default:
        return codec.text(f, record);
    }
}

namespace {

bool blank(const std::string &text)
{
    return text.find_first_not_of(' ') == std::string::npos;
}

[[noreturn]] void
refuse(const std::string &path, const FieldDesc &f, const std::string &utf8, const char *why)
{
    throw FieldError(path, "field " + f.name + ": \"" + utf8 + "\" " + why);
}

void setNumberText(const FieldCodec &codec,
                   const FieldDesc &f,
                   uint8_t *rec,
                   const std::string &utf8,
                   const std::string &path)
{
    if (blank(utf8)) {
        codec.setNumber(f, rec, std::nullopt);
        return;
    }
    double value = 0;
    if (!parseDbaseNumber(utf8.data(), utf8.size(), value) || !std::isfinite(value))
        refuse(path, f, utf8, "is not a number");
    if (f.decimals == 0 && std::floor(value) == value && std::fabs(value) < 9.0e15)
        codec.setInteger(f, rec, static_cast<int64_t>(value));
    else
        codec.setNumber(f, rec, value);
}

void setLogicalText(const FieldCodec &codec,
                    const FieldDesc &f,
                    uint8_t *rec,
                    const std::string &utf8,
                    const std::string &path)
{
    if (utf8.empty() || utf8 == " " || utf8 == "?") {
        codec.setLogical(f, rec, std::nullopt);
        return;
    }
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(utf8[0])));
    if (utf8.size() == 1 && (c == 'T' || c == 'Y'))
        codec.setLogical(f, rec, true);
    else if (utf8.size() == 1 && (c == 'F' || c == 'N'))
        codec.setLogical(f, rec, false);
    else
        refuse(path, f, utf8, "is not T or F");
}

void setDateText(const FieldCodec &codec,
                 const FieldDesc &f,
                 uint8_t *rec,
                 const std::string &utf8,
                 const std::string &path)
{
    if (blank(utf8)) {
        codec.setDate(f, rec, std::nullopt);
        return;
    }
    if (utf8.size() != 8 || utf8.find_first_not_of("0123456789") != std::string::npos)
        refuse(path, f, utf8, "is not YYYYMMDD");
    DbfDate date;
    date.year = std::stoi(utf8.substr(0, 4));
    date.month = std::stoi(utf8.substr(4, 2));
    date.day = std::stoi(utf8.substr(6, 2));
    codec.setDate(f, rec, date);
}

// Level 7's long (I, +), double (O) and timestamp (@) fields.
void setBinaryNumberText(const FieldCodec &codec,
                         const FieldDesc &f,
                         uint8_t *rec,
                         const std::string &utf8,
                         const std::string &path)
{
    const bool isBlank = blank(utf8);
    double value = 0;
    if (!isBlank && !parseNumberText(utf8, value))
        refuse(path, f, utf8, "is not a number");
    if (f.type == 'O') {
        codec.setDoubleValue(f, rec, isBlank ? std::nullopt : std::optional<double>(value));
    } else if (f.type == '@') { // milliseconds, as read
        codec.setTimestamp(f, rec, isBlank ? std::nullopt : std::optional<double>(value));
    } else if (isBlank) {
        codec.setLong32(f, rec, std::nullopt);
    } else {
        if (std::floor(value) != value || value < INT32_MIN || value > INT32_MAX)
            refuse(path, f, utf8, "is not a whole number of the field's range");
        codec.setLong32(f, rec, static_cast<int32_t>(value));
    }
}

} // namespace

void TableEngine::setFieldText(RecordBuffer &record, int field, const std::string &utf8)
{
    d->requireSize(record);
    const FieldDesc &f = fields().at(size_t(field));
    const FieldCodec &codec = d->dbf->codec();
    uint8_t *rec = record.data();
    switch (f.type) {
    case 'N':
    case 'F':
        return setNumberText(codec, f, rec, utf8, d->path);
    case 'L':
        return setLogicalText(codec, f, rec, utf8, d->path);
    case 'D':
        return setDateText(codec, f, rec, utf8, d->path);
    case 'I':
    case '+':
    case 'O':
    case '@':
        return setBinaryNumberText(codec, f, rec, utf8, d->path);
    case 'M':
    case 'B':
    case 'G': {
        if (utf8.empty()) {
            codec.setMemoBlock(f, rec, 0);
            return;
        }
        if (!d->memo)
            throw FieldError(d->path, "field " + f.name + ": the table has no memo file");
        d->requireWritable();
        std::string bytes;
        std::string bad;
        if (!fromUtf8(codePage(), utf8, bytes, bad))
            throw EncodingError(d->path,
                                "field " + f.name + ": the character \"" + bad
                                    + "\" has no place in " + codePageName(codePage()));
        codec.setMemoBlock(f, rec, d->memo->write(bytes));
        return;
    }
    default:
        codec.setText(f, rec, utf8);
    }
}

int64_t TableEngine::fieldInteger(const uint8_t *record, int field) const
{
    const FieldDesc &f = fields().at(size_t(field));
    try {
        if (f.type == 'I' || f.type == '+')
            return d->dbf->codec().long32(f, record).value_or(0);
        if (f.type == 'O' || f.type == '@') {
            const double v = (f.type == 'O' ? d->dbf->codec().doubleValue(f, record)
                                            : d->dbf->codec().timestamp(f, record))
                                 .value_or(0);
            return std::fabs(v) < 9.2e18 ? static_cast<int64_t>(v) : 0;
        }
        if (f.type == 'C') {
            double v = 0;
            const std::string_view raw = FieldCodec::raw(f, record);
            return parseDbaseNumber(raw.data(), raw.size(), v) ? static_cast<int64_t>(v) : 0;
        }
        return d->dbf->codec().integer(f, record).value_or(0);
    } catch (const CorruptFileError &) {
        return 0;
    }
}

void TableEngine::setFieldInteger(RecordBuffer &record, int field, int64_t value)
{
    d->requireSize(record);
    const FieldDesc &f = fields().at(size_t(field));
    if (f.type == 'N' || f.type == 'F')
        d->dbf->codec().setInteger(f, record.data(), value);
    else if (f.type == 'O')
        d->dbf->codec().setDoubleValue(f, record.data(), static_cast<double>(value));
    else if (f.type == '@')
        d->dbf->codec().setTimestamp(f, record.data(), static_cast<double>(value));
    else
        setFieldText(record, field, std::to_string(value));
}

std::optional<bool> TableEngine::fieldLogical(const uint8_t *record, int field) const
{
    return d->dbf->codec().logical(fields().at(size_t(field)), record);
}

void TableEngine::setFieldLogical(RecordBuffer &record, int field, std::optional<bool> value)
{
    d->requireSize(record);
    d->dbf->codec().setLogical(fields().at(size_t(field)), record.data(), value);
}

// --- writes

uint32_t TableEngine::append(const RecordBuffer &given)
{
    d->requireWritable();
    d->requireSize(given);
    d->requireEvaluable();
    d->recoverIndex();
    // A level-7 autoincrement field left blank takes the table's next value (the counter is
    // raised first: a crash leaves a gap in the numbers, never a number used twice).
    RecordBuffer filled;
    for (size_t i = 0; level() == 7 && i < fields().size(); ++i) {
        const FieldDesc &f = fields()[i];
        if (f.type != '+' || d->dbf->codec().long32(f, given.data()))
            continue;
        if (filled.empty())
            filled = given;
        d->dbf->codec().setLong32(
            f, filled.data(), static_cast<int32_t>(d->dbf->takeAutoIncrement(int(i))));
    }
    const RecordBuffer &record = filled.empty() ? given : filled;
    if (d->bulk)
        return d->dbf->appendRecord(record.data());
    d->prepareIndex();
    std::vector<std::string> keys;
    for (size_t i = 0; d->mdx && i < d->mdx->tagCount(); ++i)
        keys.push_back(d->mdx->tag(i).keyFor(record.data(), record.size()));
    d->beginSession();
    if (keys.empty())
        return d->dbf->appendRecord(record.data());
    uint32_t recno = 0;
    d->indexWrite([&] {
        recno = d->dbf->appendRecord(record.data());
        for (size_t i = 0; i < keys.size(); ++i)
            d->mdx->tag(i).insert(keys[i], recno);
    });
    return recno;
}

void TableEngine::update(uint32_t recno, const RecordBuffer &record)
{
    d->requireWritable();
    d->requireSize(record);
    d->requireEvaluable();
    d->recoverIndex();
    RecordBuffer old;
    readRecord(recno, old);
    if (d->bulk) {
        d->dbf->writeRecord(recno, record.data());
        return;
    }
    d->prepareIndex();
    struct Change
    {
        size_t tag;
        std::string oldKey, newKey;
    };
    std::vector<Change> changes;
    for (size_t i = 0; d->mdx && i < d->mdx->tagCount(); ++i) {
        MdxTag &t = d->mdx->tag(i);
        std::string oldKey = t.keyFor(old.data(), old.size());
        std::string newKey = t.keyFor(record.data(), record.size());
        if (oldKey != newKey)
            changes.push_back({i, std::move(oldKey), std::move(newKey)});
    }
    d->beginSession();
    if (changes.empty()) {
        d->dbf->writeRecord(recno, record.data());
        return;
    }
    d->indexWrite([&] {
        d->dbf->writeRecord(recno, record.data());
        for (const Change &c : changes) {
            MdxTag &t = d->mdx->tag(c.tag);
            t.remove(c.oldKey, recno);
            t.insert(c.newKey, recno);
        }
    });
}

void TableEngine::markDeleted(uint32_t recno)
{
    d->requireWritable();
    d->requireEvaluable();
    d->recoverIndex();
    if (recno == 0 || recno > recordCount())
        throw StateError(d->path, "record " + std::to_string(recno) + " does not exist");
    d->beginSession();
    d->dbf->setDeleted(recno, true);
}

void TableEngine::beginBulk()
{
    d->requireWritable();
    d->requireEvaluable();
    if (d->bulk)
        return;
    d->recoverIndex();
    d->prepareIndex();
    d->beginSession();
    d->bulk = true;
}

void TableEngine::settle()
{
    if (d->dbf && d->writable)
        d->settle();
}

bool TableEngine::settled() const
{
    return !d->session;
}

const std::vector<CheckFinding> &TableEngine::openNotes() const
{
    return d->openNotes;
}

void TableEngine::endBulk()
{
    if (!d->bulk)
        return;
    d->bulk = false;
    if (d->mdx)
        d->rebuild(d->allTags());
    d->dbf->flush();
}

// --- tags

const std::vector<TagInfo> &TableEngine::tags() const
{
    return d->tags;
}

int TableEngine::tagIndex(const std::string &name) const
{
    for (size_t i = 0; i < d->tags.size(); ++i) {
        const std::string &n = d->tags[i].name;
        if (n.size() == name.size()
            && std::equal(n.begin(), n.end(), name.begin(), [](char a, char b) {
                   return std::toupper(static_cast<unsigned char>(a))
                          == std::toupper(static_cast<unsigned char>(b));
               }))
            return int(i);
    }
    return -1;
}

std::string TableEngine::keyOf(int tag, const uint8_t *record) const
{
    return d->tagAt(tag).keyFor(record, recordLength());
}

std::string TableEngine::keyPrefix(int tag, const std::string &utf8Text) const
{
    MdxTag &t = d->tagAt(tag);
    std::string prefix = t.searchPrefix(utf8Text);
    if (prefix.empty() && t.keyType() != 'C' && !utf8Text.empty())
        throw FieldError(d->path,
                         "tag " + t.name() + ": \"" + utf8Text + "\" is not a "
                             + (t.keyType() == 'D' ? "date" : "number"));
    return prefix;
}

TagCursor TableEngine::cursor(int tag) const
{
    MdxTag &t = d->tagAt(tag);
    auto impl = std::make_unique<TagCursor::Impl>();
    impl->keyType = t.keyType();
    impl->descending = t.descending();
    if (d->treesUntrusted() || d->servedFromMemory(size_t(tag))) {
        if (!t.evaluable())
            throw IndexError(d->mdx->path(),
                             "tag " + t.name()
                                 + " was left half written and its key "
                                   "expression cannot be evaluated");
        auto &order = d->memoryOrder[size_t(tag)];
        if (!order) {
            auto entries = std::move(d->collectEntries({size_t(tag)})[0]);
            const char type = t.keyType();
            const bool desc = t.descending();
            std::stable_sort(entries.begin(),
                             entries.end(),
                             [type, desc](const IndexEntry &a, const IndexEntry &b) {
                                 int c = compareKeys(type, a.key, b.key);
                                 if (desc)
                                     c = -c;
                                 return c != 0 ? c < 0 : a.recno < b.recno;
                             });
            order = std::make_shared<const std::vector<IndexEntry>>(std::move(entries));
        }
        impl->entries = order;
    } else {
        impl->tag = &t;
        impl->dbf = d->dbf.get();
    }
    return TagCursor(std::move(impl));
}

// --- verification

namespace {

void addFault(CheckReport &report, const std::string &where, const std::string &text)
{
    report.findings.push_back({true, where, text});
}

void addNote(CheckReport &report, const std::string &where, const std::string &text)
{
    report.findings.push_back({false, where, text});
}

} // namespace

// The header's record count against the file's size.
void TableEngine::Impl::checkTableSize(CheckReport &report) const
{
    uint8_t header[8] = {};
    dbf->file().readExact(0, header, sizeof header);
    const uint32_t stated = decodeLe32(header + DbfHeaderLayout::recordCount);
    const uint64_t size = dbf->file().size();
    const uint64_t need = uint64_t(dbf->headerLength()) + uint64_t(stated) * dbf->recordLength();
    if (size < need)
        addFault(report,
                 "table",
                 "the header counts " + std::to_string(stated) + " records but the file holds only "
                     + std::to_string(dbf->recordCount()));
    else if (size > need + 1)
        addNote(report, "table", std::to_string(size - need) + " bytes after the last record");
}

// Every record's deletion flag and stored values, and the memo blocks they point to.
void TableEngine::Impl::checkRecords(CheckReport &report) const
{
    int badRecords = 0;
    const FieldCodec &codec = dbf->codec();
    DbfScanner scanner(*dbf);
    while (const uint8_t *record = scanner.next()) {
        const std::string where = "record " + std::to_string(scanner.recno());
        auto bad = [&](const std::string &text) {
            if (++badRecords <= 20)
                addFault(report, where, text);
        };
        if (record[0] != kRecordLive && record[0] != kRecordDeleted)
            bad("deletion flag is neither blank nor '*'");
        for (const FieldDesc &f : dbf->fields()) {
            try {
                const uint32_t block = decodeField(codec, f, record, DecodeMode::Stored);
                if (block != 0 && !memo)
                    bad("field " + f.name + " points into a missing memo file");
                else if (block != 0)
                    memo->read(block);
            } catch (const StorageError &e) {
                bad("field " + f.name + ": " + e.fault());
            }
        }
    }
    if (badRecords > 20)
        addFault(report, "table", std::to_string(badRecords - 20) + " further faults not listed");
    if (dbf->hasMemoFields() && !memo)
        addFault(report, "memo", "the table has memo fields but no memo file");
}

void TableEngine::Impl::checkIndex(CheckReport &report) const
{
    if (missingIndex)
        addFault(report, "index", "the header announces a production index, but there is none");
    if (!mdx)
        return;
    if (crashedAtOpen && (!writable || !mdx->allEvaluable()))
        addFault(
            report, "index", "left in the middle of a write (opening for writing rebuilds it)");
    if (indexSuspect)
        addFault(report, "index", "a write failed half way (the next write rebuilds the index)");
    // Keys that differ from ours in an index we wrote are damage, not another program's rule.
    const bool ours = mdx->signedByUs();
    for (size_t i = 0; i < mdx->tagCount(); ++i)
        checkTag(report, mdx->tag(i), ours);
}

void TableEngine::Impl::checkTag(CheckReport &report, MdxTag &t, bool ours) const
{
    const std::string where = "tag " + t.name();
    if (!t.evaluable()) {
        addNote(report,
                where,
                "key expression \"" + t.expressionText()
                    + "\" cannot be evaluated: keys not verified, writes refused");
        return;
    }
    ChunkReader reader(*dbf);
    // The tag's lines start with "tag NAME: ", which where already says.
    auto text = [&](const std::string &line) {
        return line.compare(0, where.size() + 2, where + ": ") == 0 ? line.substr(where.size() + 2)
                                                                    : line;
    };
    try {
        const TagReport r = t.check(dbf->recordCount(), std::ref(reader));
        for (const std::string &line : r.notes)
            addNote(report, where, text(line));
        if (r.health == TagHealth::Sound)
            return;
        const bool isFault = r.health == TagHealth::Faulty || ours;
        if (r.faults.empty() && isFault)
            report.findings.push_back({isFault, where, "keys disagree with the records"});
        for (size_t k = 0; k < r.faults.size() && k < 10; ++k)
            report.findings.push_back(
                {isFault,
                 where,
                 (r.health == TagHealth::Faulty
                      ? ""
                      : (ours ? "keys differ from the records in an index this program wrote: "
                              : "keys made by another program's upper-case rule (rebuilt when "
                                "the table is opened for writing): "))
                     + text(r.faults[k])});
    } catch (const StorageError &e) {
        addFault(report, where, e.fault());
    }
}

CheckReport TableEngine::check() const
{
    CheckReport report = {d->openNotes};
    d->checkTableSize(report);
    d->checkRecords(report);
    d->checkIndex(report);
    return report;
}

CheckReport TableEngine::repair()
{
    d->requireWritable();
    // Records at the end that never reached the disk whole (a power cut without our mark, or
    // another program's) are dropped.
    uint32_t first = d->dbf->recordCount() + 1;
    RecordBuffer record;
    while (first > 1) {
        readRecord(first - 1, record);
        if (!d->dbf->tornRecord(record.data()))
            break;
        --first;
    }
    if (first <= d->dbf->recordCount() || d->dbf->statedCount() > d->dbf->recordCount()) {
        d->beginSession();
        d->dropTornRecords(first);
    }
    if (d->mdx) {
        d->foreignChecked = true;
        // An index marked "write in progress" (a failed write of this session, or a crash that
        // opening could not rebuild) is rebuilt whole; otherwise only the tags that disagree.
        const bool marked = d->indexSuspect || (d->crashedAtOpen && !d->mdx->allEvaluable());
        auto bad = marked ? d->allTags() : d->unsoundTags();
        if (!bad.empty()) {
            d->mdx->discardCaches();
            d->rebuild(bad);
            d->indexSuspect = false;
            d->memoryOrder.assign(d->tags.size(), nullptr);
        } else if (d->mdx->markAtOpen() == EngineMark::Absent) {
            d->beginSession(); // writes our signature
        }
    }
    d->settle();
    return check();
}

} // namespace welarik
