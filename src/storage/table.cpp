// SPDX-License-Identifier: GPL-3.0-or-later
#include "table.h"

#include "filter.h"
#include "idletimer.h"
#include "keyexpr.h"
#include "tableengine.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cstring>
#include <future>
#include <map>
#include <optional>
#include <string_view>
#include <thread>
#include <unordered_set>

namespace welarik {

namespace {
// From this many records on, a pass over the table file runs on two threads.
constexpr uint32_t kParallelScanRecords = 50000;
// A grid's rows are taken entry by entry in tag order (enough for the first screens); a row
// further down has the whole order read at once.
constexpr uint32_t kRowStepsBeforeWholeOrder = 2000;
// While the first count of a table runs in the background, at most this many records are read
// one by one to tell whether they are visible (the first screens of a grid); the next question
// waits for the count.
constexpr uint32_t kReadsWhileCounting = 1000;
} // namespace

struct Table::Impl
{
    explicit Impl(Table &table)
        : q(table)
    {}

    Table &q;
    std::unique_ptr<TableEngine> engine;
    // The settle timer and what its task finds: the table while it lives.
    std::shared_ptr<Table *> self = std::make_shared<Table *>(&q);
    std::unique_ptr<IdleTimer> settleTimer;
    int settleDelay = 1000;
    FieldList fields;             // what callers see (the declared subset, or all)
    std::vector<int> engineField; // per entry of fields: the engine's field index
    std::vector<std::string> declared;
    std::map<std::string, std::function<std::string(Table &)>> hooks; // by upper-case name
    std::vector<DataLink *> links;

    int tag = -1; // engine tag index; -1: record order
    std::optional<TagCursor> cursor;
    CompiledFilter filter; // compiled m_filter (kept even while filtering is off)

    // live[recno - 1]: the record is not deleted. columns: the bytes of some fields of every
    // record (all numeric fields, and each field a filter has named), so that a new filter on
    // one of them is evaluated in memory. Both are filled by one chunked scan of the table and
    // then kept up to date by post and delete.
    struct Column
    {
        uint32_t offset = 0;
        uint32_t length = 0;
        std::vector<uint8_t> bytes; // length bytes per record
    };
    std::vector<uint8_t> live;
    std::vector<Column> columns;
    bool columnsChosen = false;

    // The first count of a big table, left running by open() on other threads: it fills live
    // and the columns, which nothing else touches until it is joined (joinCount). Until then
    // the visibility of a record is read from the record itself, for a bounded number of
    // records, and every write, and every question about the count, joins it first.
    std::future<void> countTask;
    std::atomic<bool> stopCount{false}; // set when the table closes: the pass stops early
    std::function<void()> countDone;    // run on the counting thread at its end
    bool countUnannounced = false;      // the data links have not been told of the final rows
    uint32_t readsWhileCounting = 0;
    RecordBuffer visibilityRecord;

    // visible[recno - 1]: live and passes the filter in force; count is the number of ones.
    std::vector<uint8_t> visible;
    bool visibleValid = false;
    int count = 0;

    // The visible records in the selected order, and the inverse map; built on demand for
    // grids, from the front only as far as they are asked for, and kept until the data, order
    // or filter change.
    mutable std::vector<uint32_t> rows;
    mutable std::vector<int> rowOf; // by recno; -1 when not visible or not reached yet
    mutable bool rowsValid = false; // rows holds the order from its start (maybe all of it)
    mutable bool rowsComplete = false;
    mutable std::optional<TagCursor> rowsWalk; // at the last entry taken into rows
    mutable uint32_t rowsNext = 1;             // record order: the next record to take

    uint32_t recno = 0; // current record, 0 when none
    bool bof = true;
    bool eof = true;
    RecordBuffer current;                       // bytes of the current record (browse state)
    RecordBuffer edited;                        // the record being edited or inserted
    uint32_t insertReturn = 0;                  // the current record before insert(), for cancel()
    const RecordBuffer *readOverride = nullptr; // asStringOf: reads go to this record
    bool inUpdateRecord = false;

    bool isOpen() const { return engine != nullptr; }
    const std::string &file() const { return q.m_fileName; }

    bool filterInForce() const { return q.m_filtered && !filter.isNone(); }

    // --- notifications
    template<typename Fn>
    void notify(Fn fn)
    {
        const std::vector<DataLink *> copy = links;
        for (DataLink *link : copy) {
            if (std::find(links.begin(), links.end(), link) != links.end())
                (link->*fn)(q);
        }
    }

    // --- visibility
    bool passes(const uint8_t *record) const
    {
        return record[0] != '*' && (!filterInForce() || filter.matches(record));
    }

    // Reads records from..count once, filling live (when withLive) and the given columns.
    // A big pass runs in two halves at once, the second on another thread: the halves fill
    // their own parts of the arrays, and the engine's reads of the table file are positioned
    // reads, which need no shared state.
    void scanInto(uint32_t from, bool withLive, const std::vector<Column *> &targets)
    {
        try {
            fillFromScan(from, engine->recordCount(), withLive, targets);
        } catch (...) {
            dropRecordCaches(); // the arrays are sized for all records but not all are read
            throw;
        }
    }

    // scanInto's pass over records from..total, touching nothing but live and the targets;
    // in two halves at once when split and big enough.
    void fillFromScan(uint32_t from,
                      uint32_t total,
                      bool withLive,
                      const std::vector<Column *> &targets,
                      bool split = true)
    {
        if (from < 1 || from > total)
            return;
        if (withLive)
            live.resize(total);
        for (Column *c : targets)
            c->bytes.resize(size_t{total} * c->length);
        const auto fill = [&](uint32_t first, uint32_t last) {
            engine->scan(
                [&](uint32_t r, const uint8_t *record) {
                    if (withLive)
                        live[r - 1] = record[0] != '*' ? 1 : 0;
                    for (Column *c : targets)
                        std::memcpy(
                            &c->bytes[size_t{r - 1} * c->length], record + c->offset, c->length);
                    return r < last && !stopCount.load(std::memory_order_relaxed);
                },
                first);
        };
        const uint32_t n = total - from + 1;
        if (!split || n < kParallelScanRecords || std::thread::hardware_concurrency() < 2) {
            fill(from, total);
            return;
        }
        const uint32_t middle = from + n / 2;
        auto second = std::async(std::launch::async, fill, middle, total);
        try {
            fill(from, middle - 1);
        } catch (...) {
            second.wait();
            throw;
        }
        second.get();
    }

    // The numeric fields, and the field of the filter, are kept in memory.
    void chooseColumns()
    {
        if (!columnsChosen) {
            for (const FieldDesc &f : fields) {
                if (f.type == 'N' || f.type == 'F')
                    columns.push_back({f.offset, f.length, {}});
            }
            columnsChosen = true;
        }
        if (live.empty() && !filter.isNone() && !filter.needsRecord()
            && !findColumn(filter.offset()))
            columns.push_back({filter.offset(), filter.length(), {}});
    }

    // At open: a big table is counted on another thread, so that the first rows show at once.
    // One thread only: the other core of a small machine is the one that paints them.
    void startCount()
    {
        const uint32_t total = engine->recordCount();
        if (total < kParallelScanRecords || std::thread::hardware_concurrency() < 2)
            return;
        chooseColumns();
        std::vector<Column *> all;
        for (Column &c : columns)
            all.push_back(&c);
        countUnannounced = true;
        readsWhileCounting = 0;
        stopCount = false;
        countTask = std::async(std::launch::async, [this, total, all] {
            try {
                fillFromScan(1, total, true, all, false);
            } catch (...) {
                if (countDone)
                    countDone();
                throw;
            }
            if (countDone)
                countDone();
        });
    }

    bool countRunning() const
    {
        return countTask.valid()
               && countTask.wait_for(std::chrono::seconds(0)) != std::future_status::ready;
    }

    // Waits for the count open() left running; its error (a read that failed) is thrown here.
    void joinCount()
    {
        if (!countTask.valid())
            return;
        std::future<void> task = std::move(countTask);
        try {
            task.get();
        } catch (...) {
            dropRecordCaches();
            throw;
        }
    }

    // Stops the count open() left running and keeps nothing of it.
    void abandonCount() noexcept
    {
        if (!countTask.valid())
            return;
        std::future<void> task = std::move(countTask);
        stopCount = true;
        try {
            task.get();
        } catch (...) { // NOLINT(bugprone-empty-catch): what it read is dropped
        }
        stopCount = false;
        live.clear();
        columns.clear();
        columnsChosen = false;
    }

    Column *findColumn(uint32_t offset)
    {
        for (Column &c : columns) {
            if (c.offset == offset)
                return &c;
        }
        return nullptr;
    }

    // Brings live and the columns to the table's record count (a shared table may have grown
    // by another user's appends).
    void ensureLiveRecords()
    {
        joinCount();
        chooseColumns();
        const uint32_t total = engine->recordCount();
        if (live.size() < total) {
            std::vector<Column *> all;
            for (Column &c : columns)
                all.push_back(&c);
            scanInto(static_cast<uint32_t>(live.size()) + 1, true, all);
        }
    }

    // The same, and a column for the filter's field.
    void ensureLive()
    {
        ensureLiveRecords();
        if (!filter.isNone() && !filter.needsRecord() && !findColumn(filter.offset())) {
            columns.push_back({filter.offset(), filter.length(), {}});
            scanInto(1, false, {&columns.back()});
        }
    }

    void ensureVisible()
    {
        if (visibleValid && visible.size() == engine->recordCount())
            return;
        // A filter a tag answers reads only its own records, whose deletion flags say what the
        // count would: it does not wait for the count open() left running. Once that count
        // has kept the filter's column, the column answers.
        if (filterInForce() && !filter.needsRecord()) {
            const bool counting = countRunning();
            if (!counting)
                ensureLiveRecords();
            if ((counting || !findColumn(filter.offset())) && visibleFromTag()) {
                visibleValid = true;
                rowsValid = false;
                return;
            }
        }
        ensureLiveRecords();
        ensureLive();
        if (filterInForce() && filter.needsRecord()) {
            evaluateRecords();
            visibleValid = true;
            rowsValid = false;
            return;
        }
        const Column *column = filterInForce() ? findColumn(filter.offset()) : nullptr;
        visible.resize(live.size());
        count = 0;
        for (size_t i = 0; i < live.size(); ++i) {
            const bool ok = live[i] != 0
                            && (!column || filter.matchesValue(&column->bytes[i * column->length]));
            visible[i] = ok ? 1 : 0;
            count += ok ? 1 : 0;
        }
        visibleValid = true;
        rowsValid = false;
    }

    // A tag whose keys are made from the filter's field alone (the field, upper-cased, its
    // first characters) and hold every record: the records whose value equals the filter's
    // text all carry one key, so only they are read instead of the whole column. -1 when none.
    int tagForTextFilter() const
    {
        if (!filter.comparesText() || filter.textBytes().empty())
            return -1;
        std::string field;
        for (const FieldDesc &f : engine->fields())
            if (f.offset == filter.offset())
                field = f.name;
        const auto &tags = engine->tags();
        for (size_t i = 0; i < tags.size(); ++i) {
            const TagInfo &t = tags[i];
            if (t.keyType != 'C' || t.descending || t.unique || !t.evaluable
                || !t.forExpression.empty() || !keyOfFieldAlone(t.expression, field))
                continue;
            // Another program may upper-case only a to z: trust such a tag for plain letters.
            const std::string &text = filter.textBytes();
            if (t.upperCase
                && std::any_of(text.begin(), text.end(), [](char c) { return (c & 0x80) != 0; }))
                continue;
            return static_cast<int>(i);
        }
        return -1;
    }

    // "F", "UPPER(F)", "LEFT(F,n)", "UPPER(LEFT(F,n))" or "LEFT(UPPER(F),n)", letter case and
    // blanks aside.
    static bool keyOfFieldAlone(const std::string &expression, const std::string &field)
    {
        std::string e;
        for (char c : expression)
            if (c != ' ')
                e += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        std::string f;
        for (char c : field)
            f += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const auto stripLeft = [](std::string &x, const std::string &inner) {
            if (x.rfind("LEFT(", 0) != 0 || x.back() != ')')
                return false;
            const size_t comma = x.rfind(',');
            if (comma == std::string::npos || comma + 2 >= x.size()
                || !std::all_of(x.begin() + static_cast<std::ptrdiff_t>(comma) + 1,
                                x.end() - 1,
                                [](char c) { return c >= '0' && c <= '9'; }))
                return false;
            x = x.substr(5, comma - 5);
            return x == inner || x == "UPPER(" + inner + ")";
        };
        if (e == f || e == "UPPER(" + f + ")")
            return true;
        if (e.rfind("UPPER(LEFT(", 0) == 0 && e.back() == ')') {
            std::string inside = e.substr(6, e.size() - 7);
            return stripLeft(inside, f) && inside == f;
        }
        return stripLeft(e, f);
    }

    // Visibility under a filter FIELD='text' read from a tag on the field (tagForTextFilter):
    // the entries whose key is the text's key, trailing blanks aside, and of those the live
    // records whose value passes. False (nothing changed) when no tag serves.
    bool visibleFromTag()
    {
        const int tag = tagForTextFilter();
        if (tag < 0 || !filter.textStorable())
            return false;
        RecordBuffer probe = engine->blankRecord();
        const std::string &text = filter.textBytes();
        std::memcpy(probe.data() + filter.offset(), text.data(), text.size());
        std::string prefix = engine->keyOf(tag, probe.data());
        while (!prefix.empty() && (prefix.back() == ' ' || prefix.back() == '\0'))
            prefix.pop_back();
        if (prefix.empty())
            return false;
        const uint32_t total = engine->recordCount();
        visible.assign(total, 0);
        count = 0;
        TagCursor cursor = engine->cursor(tag);
        RecordBuffer record;
        for (bool on = cursor.seek(prefix);
             on && cursor.key().compare(0, prefix.size(), prefix) == 0;
             on = cursor.next()) {
            const std::string &key = cursor.key();
            const uint32_t r = cursor.recno();
            if (std::any_of(key.begin() + static_cast<std::ptrdiff_t>(prefix.size()),
                            key.end(),
                            [](char c) { return c != ' ' && c != '\0'; })
                || r < 1 || r > total || visible[r - 1] != 0)
                continue;
            engine->readRecord(r, record);
            if (record[0] != '*' && filter.matchesValue(record.data() + filter.offset())) {
                visible[r - 1] = 1;
                ++count;
            }
        }
        return true;
    }

    // A filter of the dBase language reads several fields: one pass over the table file (in two
    // halves at once when big) evaluates it on every live record.
    void evaluateRecords()
    {
        const auto total = static_cast<uint32_t>(live.size());
        visible.assign(total, 0);
        std::atomic<int> found{0};
        const auto pass = [&](uint32_t first, uint32_t last) {
            int n = 0;
            engine->scan(
                [&](uint32_t r, const uint8_t *record) {
                    const bool ok = live[r - 1] != 0 && filter.matches(record);
                    visible[r - 1] = ok ? 1 : 0;
                    n += ok ? 1 : 0;
                    return r < last;
                },
                first);
            found += n;
        };
        if (total < kParallelScanRecords || std::thread::hardware_concurrency() < 2) {
            if (total > 0)
                pass(1, total);
        } else {
            const uint32_t middle = total / 2;
            auto second = std::async(std::launch::async, pass, middle + 1, total);
            try {
                pass(1, middle);
            } catch (...) {
                second.wait();
                throw;
            }
            second.get();
        }
        count = found;
    }

    bool isVisible(uint32_t r)
    {
        if (countTask.valid() && ++readsWhileCounting <= kReadsWhileCounting) {
            if (r < 1 || r > engine->recordCount())
                return false;
            engine->readRecord(r, visibilityRecord);
            return passes(visibilityRecord.data());
        }
        ensureVisible();
        return r >= 1 && r <= visible.size() && visible[r - 1] != 0;
    }

    // Record r was written (post) or deleted: refresh what is kept of it.
    void recordChanged(uint32_t r, const uint8_t *record)
    {
        rowsValid = false;
        if (!columnsChosen || r > live.size() + 1) {
            visibleValid = false;
            return;
        }
        if (r == live.size() + 1) { // appended
            live.push_back(0);
            for (Column &c : columns)
                c.bytes.resize(c.bytes.size() + c.length, ' ');
        }
        live[r - 1] = record[0] != '*' ? 1 : 0;
        for (Column &c : columns)
            std::copy(record + c.offset,
                      record + c.offset + c.length,
                      c.bytes.begin() + static_cast<std::ptrdiff_t>(size_t{r - 1} * c.length));
        if (!visibleValid)
            return;
        if (r > visible.size())
            visible.resize(r, 0);
        const bool ok = passes(record);
        uint8_t &slot = visible[r - 1];
        count += (ok ? 1 : 0) - (slot != 0 ? 1 : 0);
        slot = ok ? 1 : 0;
    }

    // After a write that failed half way, the record may be on disk while some tags are not,
    // and an append may have become live. The engine is then reopened before the next write:
    // opening for writing rebuilds an index left in the middle of a write, and a record count
    // that grew tells that the pending insertion is already in the table, so that posting
    // again updates it instead of appending a second copy.
    bool writeFailed = false;
    uint32_t appendBase = 0;    // record count before the last append attempt
    uint32_t insertedRecno = 0; // the pending insertion's record, once it is live on disk

    void dropRecordCaches()
    {
        abandonCount();
        live.clear();
        columns.clear();
        columnsChosen = false;
        visibleValid = false;
        rowsValid = false;
    }

    // Throws when the file cannot be opened again; the table is then closed.
    void reopenAfterFailedWrite()
    {
        if (!writeFailed)
            return;
        cursor.reset();
        engine.reset();
        try {
            engine = TableEngine::open(q.m_fs,
                                       q.m_fileName,
                                       q.m_readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite,
                                       q.m_exclusive ? ShareMode::Exclusive : ShareMode::Shared);
            selectTag(q.m_indexName);
            compileFilter(q.m_filter);
        } catch (...) {
            reset();
            notify(&DataLink::closed);
            if (q.afterClose)
                q.afterClose(q);
            throw;
        }
        writeFailed = false;
        if (q.m_state == TableState::Insert && insertedRecno == 0
            && engine->recordCount() > appendBase)
            insertedRecno = appendBase + 1;
        dropRecordCaches();
        if (recno != 0)
            placeCursor(recno, current.data());
    }

    // After a failed post: takes back what reached the file (an appended record is deleted,
    // a record updated in part is written back as it was). Throws StorageError when the file
    // refuses; the table is closed when it cannot be reopened.
    uint32_t strayRecno = 0; // an appended record whose deletion the file refused
    void takeBackFailedPost(bool inserting)
    {
        if (!writeFailed && insertedRecno == 0 && strayRecno == 0)
            return;
        reopenAfterFailedWrite();
        if (strayRecno != 0) {
            engine->markDeleted(strayRecno);
            strayRecno = 0;
        }
        if (insertedRecno != 0) {
            const uint32_t r = insertedRecno;
            insertedRecno = 0;
            strayRecno = r;
            engine->markDeleted(r);
            strayRecno = 0;
        } else if (!inserting && recno != 0 && !current.empty()) {
            RecordBuffer onDisk;
            engine->readRecord(recno, onDisk);
            if (onDisk != current)
                engine->update(recno, current);
        }
        wrote();
    }

    void filterChanged()
    {
        visibleValid = false;
        rowsValid = false;
    }

    // --- positioning
    void loadCurrent()
    {
        if (recno != 0)
            engine->readRecord(recno, current);
        else
            current.clear();
    }

    // Puts the tag cursor on the entry of record r (whose bytes are given).
    void placeCursor(uint32_t r, const uint8_t *record)
    {
        if (tag < 0 || !cursor || r == 0)
            return;
        cursor->seekEntry(engine->keyOf(tag, record), r);
    }

    // Moves the cursor (or the record number) from its place to the next visible record in
    // direction dir; includeHere also considers the entry it stands on.
    uint32_t stepVisible(int dir, bool includeHere, uint32_t from)
    {
        if (tag < 0 || !countTask.valid())
            ensureVisible(); // in tag order, isVisible may tell while the first count runs
        if (tag < 0) {
            int64_t r = includeHere ? static_cast<int64_t>(from) : static_cast<int64_t>(from) + dir;
            const int64_t n = static_cast<int64_t>(visible.size());
            for (; r >= 1 && r <= n; r += dir) {
                if (visible[static_cast<size_t>(r - 1)] != 0)
                    return static_cast<uint32_t>(r);
            }
            return 0;
        }
        bool on = cursor->valid();
        if (on && includeHere && isVisible(cursor->recno()))
            return cursor->recno();
        for (;;) {
            on = dir > 0 ? cursor->next() : cursor->prior();
            if (!on)
                return 0;
            if (isVisible(cursor->recno()))
                return cursor->recno();
        }
    }

    void setCurrent(uint32_t r)
    {
        recno = r;
        loadCurrent();
        if (r != 0)
            placeCursor(r, current.data());
    }

    void moveFirst()
    {
        uint32_t r = 0;
        if (tag < 0) {
            r = stepVisible(+1, true, 1);
        } else if (cursor->first()) {
            r = stepVisible(+1, true, 0);
        }
        setCurrent(r);
        bof = true;
        eof = r == 0;
    }

    void moveLast()
    {
        uint32_t r = 0;
        if (tag < 0) {
            ensureVisible();
            r = stepVisible(-1, true, static_cast<uint32_t>(visible.size()));
        } else if (cursor->last()) {
            r = stepVisible(-1, true, 0);
        }
        setCurrent(r);
        eof = true;
        bof = r == 0;
    }

    void moveBy(int dir)
    {
        if (recno == 0) {
            bof = eof = true;
            return;
        }
        if (tag >= 0)
            placeCursor(recno, current.data());
        const uint32_t r = stepVisible(dir, false, recno);
        if (r == 0) {
            // At the end of the view: stay on the record, and say so.
            if (tag >= 0)
                placeCursor(recno, current.data());
            (dir > 0 ? eof : bof) = true;
            return;
        }
        setCurrent(r);
        bof = eof = false;
    }

    // After the current record left the view (post, delete): make a neighbour current, the
    // next one after the place the record had, or the one before when none follows.
    void moveToNeighbour(uint32_t oldRecno, const std::optional<std::string> &oldKey)
    {
        uint32_t r = 0;
        if (tag < 0) {
            r = stepVisible(+1, false, oldRecno);
            if (r == 0)
                r = stepVisible(-1, false, oldRecno);
        } else {
            if (oldKey && cursor->seekEntry(*oldKey, oldRecno))
                r = stepVisible(+1, true, 0);
            if (r == 0) {
                if (!oldKey || !cursor->seekEntry(*oldKey, oldRecno))
                    cursor->last();
                if (cursor->valid())
                    r = stepVisible(-1, true, 0);
            }
        }
        setCurrent(r);
        bof = eof = r == 0;
    }

    // --- rows for grids
    // Extends rows until it holds row upTo, or until it reaches record recno (when not 0),
    // or to the end of the order.
    void ensureRows(size_t upTo, uint32_t recno) const
    {
        auto *self = const_cast<Impl *>(this);
        if (tag < 0 || !countTask.valid())
            self->ensureVisible(); // in tag order, isVisible may tell while the first count runs
        if (!rowsValid) {
            rows.clear();
            rowOf.assign(size_t{engine->recordCount()} + 1, -1);
            rowsComplete = false;
            rowsWalk.reset();
            rowsNext = 1;
            rowsValid = true;
        }
        uint32_t steps = 0;
        while (!rowsComplete && (recno != 0 ? rowOf[recno] < 0 : rows.size() <= upTo)) {
            if (tag >= 0 && ++steps > kRowStepsBeforeWholeOrder) {
                // Far down the order: all the rows at once, from the tag's pages.
                self->ensureVisible();
                takeWholeOrder();
                rowsValid = true;
                break;
            }
            uint32_t r = 0;
            if (tag < 0) {
                if (rowsNext > visible.size()) {
                    rowsComplete = true;
                    break;
                }
                r = rowsNext++;
            } else {
                bool on = false;
                if (rowsWalk) {
                    on = rowsWalk->next();
                } else {
                    // Rows are counted, not read: no reading ahead.
                    rowsWalk.emplace(engine->cursor(tag));
                    rowsWalk->setReadAhead(false);
                    on = rowsWalk->first();
                }
                if (!on) {
                    rowsComplete = true;
                    break;
                }
                r = rowsWalk->recno();
            }
            if (r >= 1 && r < rowOf.size() && rowOf[r] < 0 && self->isVisible(r)) {
                rowOf[r] = static_cast<int>(rows.size());
                rows.push_back(r);
            }
        }
    }

    // Rows from the whole tag order read at once (record numbers only).
    void takeWholeOrder() const
    {
        std::vector<uint32_t> order;
        order.reserve(visible.size());
        engine->cursor(tag).appendAllRecnos(order);
        rows.clear();
        rowOf.assign(visible.size() + 1, -1);
        for (const uint32_t r : order) {
            if (r >= 1 && r <= visible.size() && visible[r - 1] != 0 && rowOf[r] < 0) {
                rowOf[r] = static_cast<int>(rows.size());
                rows.push_back(r);
            }
        }
        rowsComplete = true;
        rowsWalk.reset();
    }

    // --- fields
    int fieldSlot(const std::string &name) const { return findField(fields, name); }

    int engineFieldOf(const std::string &name) const
    {
        const int slot = fieldSlot(name);
        if (slot < 0)
            throw FieldError(file(), q.m_name + ": field " + name + " not found");
        return engineField[static_cast<size_t>(slot)];
    }

    const RecordBuffer *readBuffer() const
    {
        if (readOverride)
            return readOverride;
        if (q.m_state == TableState::Edit || q.m_state == TableState::Insert)
            return &edited;
        if (recno == 0 || current.empty())
            return nullptr;
        return &current;
    }

    RecordBuffer &writeBuffer()
    {
        if (q.m_state != TableState::Edit && q.m_state != TableState::Insert)
            throw StateError(file(), q.m_name + ": not in edit or insert state");
        return edited;
    }

    void fieldWritten()
    {
        q.m_modified = true;
        if (!inUpdateRecord)
            notify(&DataLink::dataChanged);
    }

    void setState(TableState state)
    {
        if (q.m_state == state)
            return;
        q.m_state = state;
        notify(&DataLink::stateChanged);
    }

    void compileFilter(const std::string &expression)
    {
        filter
            = CompiledFilter(parseFilterExpression(expression), fields, engine->codePage(), file());
    }

    void openFields()
    {
        const FieldList &all = engine->fields();
        fields.clear();
        engineField.clear();
        if (declared.empty()) {
            fields = all;
            for (size_t i = 0; i < all.size(); ++i)
                engineField.push_back(static_cast<int>(i));
            return;
        }
        for (const std::string &name : declared) {
            const int i = engine->fieldIndex(name);
            if (i < 0)
                throw FieldError(file(), q.m_name + ": field " + name + " not found");
            if (all[static_cast<size_t>(i)].type != 'C')
                throw FieldError(file(),
                                 q.m_name + ": field " + name + " is not a character field");
            fields.push_back(all[static_cast<size_t>(i)]);
            engineField.push_back(i);
        }
    }

    void selectTag(const std::string &name)
    {
        if (name.empty()) {
            tag = -1;
            cursor.reset();
            return;
        }
        const int index = engine->tagIndex(name);
        if (index < 0)
            throw IndexError(file(), q.m_name + ": index tag " + name + " not found");
        TagCursor fresh = engine->cursor(index); // IndexError when the tag cannot be used
        tag = index;
        cursor.emplace(std::move(fresh));
    }

    // After each write: the session ends a settle delay after the last one.
    void wrote();

    void reset()
    {
        if (settleTimer)
            settleTimer->cancel();
        abandonCount(); // before the engine it reads goes
        countUnannounced = false;
        engine.reset();
        cursor.reset();
        tag = -1;
        fields.clear();
        engineField.clear();
        filter = CompiledFilter();
        live.clear();
        columns.clear();
        columnsChosen = false;
        visible.clear();
        visibleValid = false;
        count = 0;
        rowsValid = false;
        rows.clear();
        rowsWalk.reset();
        rowOf.clear();
        recno = 0;
        bof = eof = true;
        current.clear();
        edited.clear();
        q.m_modified = false;
        q.m_state = TableState::Inactive;
        writeFailed = false;
        insertedRecno = 0;
        strayRecno = 0;
    }

    // Ends an edit before the order, filter or position changes: posted if a field changed.
    void finishEdit()
    {
        if (q.m_state != TableState::Edit && q.m_state != TableState::Insert)
            return;
        if (q.m_modified)
            q.post();
        else
            q.cancel();
    }

    // Key for a typed search text; none when no key can match it (letters typed for a
    // numeric tag, a character the code page lacks).
    std::optional<std::string> searchKey(const std::string &text) const
    {
        try {
            return engine->keyPrefix(tag, text);
        } catch (const FieldError &) {
            return std::nullopt;
        } catch (const EncodingError &) {
            return std::nullopt;
        }
    }

    void requireOpen(const char *what) const
    {
        if (!isOpen())
            throw StateError(file(), q.m_name + ": " + what + " needs an open table");
    }
};

namespace {
std::function<void(std::function<void()>)> g_settleRunner;
}

void Table::Impl::wrote()
{
    if (!g_settleRunner)
        return;
    if (!settleTimer) {
        std::weak_ptr<Table *> table = self;
        settleTimer = std::make_unique<IdleTimer>(std::chrono::milliseconds(settleDelay), [table] {
            g_settleRunner([table] {
                if (const auto t = table.lock())
                    (*t)->settle();
            });
        });
    }
    settleTimer->touch();
}

void Table::setSettleRunner(std::function<void(std::function<void()>)> runner)
{
    g_settleRunner = std::move(runner);
}

void Table::setSettleDelay(int milliseconds)
{
    d->settleDelay = milliseconds;
    if (d->settleTimer)
        d->settleTimer->setDelay(std::chrono::milliseconds(milliseconds));
}

void Table::settle()
{
    if (!d->engine || m_readOnly)
        return;
    try {
        d->engine->settle();
    } catch (const StorageError &) {
        // The disk refuses: the session stays open, the next settle (or close) tries again.
    }
}

std::vector<std::string> Table::openNotes() const
{
    std::vector<std::string> notes;
    if (d->engine) {
        for (const CheckFinding &f : d->engine->openNotes())
            notes.push_back(f.where + ": " + f.text);
    }
    return notes;
}

Table::Table(std::string name, FileSystem &fs)
    : m_name(std::move(name))
    , m_fs(fs)
    , d(std::make_unique<Impl>(*this))
{}

Table::~Table()
{
    // Not close(): no events from a destructor. The links outliving the table let go of it.
    for (DataLink *link : std::vector<DataLink *>(d->links))
        link->tableDestroyed(*this);
    d->links.clear();
    d->reset();
}

// --- binding, opening

void Table::setFileName(const std::string &path)
{
    if (path == m_fileName)
        return;
    if (isOpen())
        throw StateError(m_fileName, m_name + ": cannot bind an open table to another file");
    m_fileName = path;
}

void Table::setExclusive(bool exclusive)
{
    if (isOpen() && exclusive != m_exclusive)
        throw StateError(m_fileName, m_name + ": cannot change the exclusive flag while open");
    m_exclusive = exclusive;
}

void Table::setReadOnly(bool readOnly)
{
    if (isOpen() && readOnly != m_readOnly)
        throw StateError(m_fileName, m_name + ": cannot change the read-only flag while open");
    m_readOnly = readOnly;
}

void Table::setDeclaredCharFields(std::vector<std::string> names)
{
    if (isOpen())
        throw StateError(m_fileName, m_name + ": cannot change the declared fields while open");
    d->declared = std::move(names);
}

void Table::open()
{
    if (isOpen())
        return;
    if (m_fileName.empty())
        throw OpenError({}, m_name + ": no file name");
    try {
        d->engine = TableEngine::open(m_fs,
                                      m_fileName,
                                      m_readOnly ? OpenMode::ReadOnly : OpenMode::ReadWrite,
                                      m_exclusive ? ShareMode::Exclusive : ShareMode::Shared);
        d->openFields();
        d->selectTag(m_indexName);
        d->compileFilter(m_filter);
        for (DataLink *link : std::vector<DataLink *>(d->links))
            link->checkFields(*this);
        m_state = TableState::Browse;
        m_modified = false;
        d->startCount();
        d->moveFirst();
    } catch (...) {
        d->reset();
        throw;
    }
    d->notify(&DataLink::opened);
    if (afterOpen)
        afterOpen(*this);
}

void Table::close()
{
    if (!isOpen())
        return;
    // A pending edit is discarded, and with it what a failed post left in the file (an
    // appended record above all); when the file refuses, it stays as it is.
    try {
        d->takeBackFailedPost(m_state == TableState::Insert);
    } catch (const StorageError &) {
        if (!isOpen())
            return; // closed (and announced) when it could not be reopened
    }
    d->reset();
    d->notify(&DataLink::closed);
    if (afterClose)
        afterClose(*this);
}

bool Table::isOpen() const
{
    return d->isOpen();
}

void Table::sync()
{
    if (d->engine)
        d->engine->sync();
}

// --- order

void Table::setIndexName(const std::string &tag)
{
    if (!isOpen()) {
        m_indexName = tag;
        return;
    }
    d->finishEdit();
    d->selectTag(tag); // throws before anything changed
    m_indexName = tag;
    d->rowsValid = false;
    if (d->recno != 0)
        d->placeCursor(d->recno, d->current.data());
    d->notify(&DataLink::dataChanged);
}

std::vector<std::string> Table::tagNames() const
{
    std::vector<std::string> names;
    if (isOpen()) {
        for (const TagInfo &info : d->engine->tags())
            names.push_back(info.name);
    }
    return names;
}

std::string Table::tagFieldName(const std::string &tag) const
{
    if (!isOpen())
        return {};
    const int index = d->engine->tagIndex(tag);
    if (index < 0)
        return {};
    return d->engine->tags()[static_cast<size_t>(index)].firstField;
}

const TagInfo *Table::tagInfo(const std::string &tag) const
{
    if (!isOpen())
        return nullptr;
    const int index = d->engine->tagIndex(tag);
    return index < 0 ? nullptr : &d->engine->tags()[static_cast<size_t>(index)];
}

// --- navigation

void Table::first()
{
    d->requireOpen("first");
    d->finishEdit();
    d->moveFirst();
    d->notify(&DataLink::recordMoved);
}

void Table::last()
{
    d->requireOpen("last");
    d->finishEdit();
    d->moveLast();
    d->notify(&DataLink::recordMoved);
}

void Table::next()
{
    d->requireOpen("next");
    d->finishEdit();
    d->moveBy(+1);
    d->notify(&DataLink::recordMoved);
}

void Table::prior()
{
    d->requireOpen("prior");
    d->finishEdit();
    d->moveBy(-1);
    d->notify(&DataLink::recordMoved);
}

bool Table::bof() const
{
    return d->bof;
}

bool Table::eof() const
{
    return d->eof;
}

uint32_t Table::recNo() const
{
    return m_state == TableState::Insert ? 0 : d->recno;
}

bool Table::gotoRecord(uint32_t recno)
{
    if (!isOpen() || !d->isVisible(recno))
        return false;
    d->finishEdit();
    if (!d->isVisible(recno)) // the post may have moved it out of the view
        return false;
    d->setCurrent(recno);
    d->bof = d->eof = false;
    d->notify(&DataLink::recordMoved);
    return true;
}

uint32_t Table::lastInTag(const std::string &tag) const
{
    d->requireOpen("lastInTag");
    const int index = d->engine->tagIndex(tag);
    if (index < 0)
        throw IndexError(m_fileName, m_name + ": index tag " + tag + " not found");
    Impl &impl = const_cast<Impl &>(*d);
    impl.ensureLive();
    TagCursor cursor = d->engine->cursor(index);
    for (bool ok = cursor.last(); ok; ok = cursor.prior()) {
        const uint32_t r = cursor.recno();
        if (r >= 1 && r <= impl.live.size() && impl.live[r - 1] != 0)
            return r;
    }
    return 0;
}

std::vector<uint32_t> Table::recordsWithKey(const std::string &tag, const std::string &text) const
{
    d->requireOpen("recordsWithKey");
    const int index = d->engine->tagIndex(tag);
    if (index < 0)
        throw IndexError(m_fileName, m_name + ": index tag " + tag + " not found");
    std::string prefix;
    try {
        prefix = d->engine->keyPrefix(index, text);
    } catch (const FieldError &) {
        return {};
    } catch (const EncodingError &) {
        return {};
    }
    Impl &impl = const_cast<Impl &>(*d);
    impl.ensureLive();
    // Numeric and date keys compare by value: another program may store the same value in
    // another form.
    const char type = d->engine->tags()[static_cast<size_t>(index)].keyType;
    const auto same = [&](const std::string &key) {
        return type == 'C' ? key.compare(0, prefix.size(), prefix) == 0
                           : compareKeys(type, key, prefix) == 0;
    };
    std::vector<uint32_t> found;
    TagCursor cursor = d->engine->cursor(index);
    for (bool on = cursor.seek(prefix); on; on = cursor.next()) {
        if (!same(cursor.key()))
            break;
        const uint32_t r = cursor.recno();
        if (r >= 1 && r <= impl.live.size() && impl.live[r - 1] != 0)
            found.push_back(r);
    }
    return found;
}

uint32_t Table::findInTag(const std::string &tag, const std::string &text) const
{
    d->requireOpen("findInTag");
    const int index = d->engine->tagIndex(tag);
    if (index < 0)
        throw IndexError(m_fileName, m_name + ": index tag " + tag + " not found");
    Impl &impl = const_cast<Impl &>(*d);
    impl.ensureLive();
    const std::string key = d->engine->keyPrefix(index, text);
    TagCursor cursor = d->engine->cursor(index);
    for (bool ok = cursor.seek(key); ok && cursor.key().compare(0, key.size(), key) == 0;
         ok = cursor.next()) {
        const uint32_t r = cursor.recno();
        if (r >= 1 && r <= impl.live.size() && impl.live[r - 1] != 0)
            return r;
    }
    return 0;
}

bool Table::counting() const
{
    return isOpen() && d->countRunning();
}

int Table::provisionalRowCount() const
{
    if (isOpen() && d->countTask.valid())
        return static_cast<int>(d->engine->recordCount());
    return rowCount();
}

void Table::finishCount()
{
    if (!isOpen() || !d->countUnannounced || d->countRunning())
        return;
    d->joinCount();
    d->countUnannounced = false;
    d->notify(&DataLink::dataChanged);
}

void Table::setBackgroundCountDone(std::function<void()> handler)
{
    if (d->countRunning())
        d->countTask.wait(); // the counting thread may be calling the handler now
    d->countDone = std::move(handler);
}

int Table::recordCount() const
{
    if (!isOpen())
        return 0;
    const_cast<Impl &>(*d).ensureVisible();
    return d->count;
}

bool Table::isEmpty() const
{
    return recordCount() <= 0;
}

bool Table::findNearest(const std::string &text)
{
    if (!isOpen() || d->tag < 0)
        return false;
    d->finishEdit();
    const std::optional<std::string> key = d->searchKey(text);
    if (!key || !d->cursor->nearest(*key)) {
        d->placeCursor(d->recno, d->current.data());
        return false;
    }
    const uint32_t r = d->stepVisible(+1, true, 0);
    if (r == 0) {
        if (d->recno != 0)
            d->placeCursor(d->recno, d->current.data());
        return false;
    }
    d->setCurrent(r);
    d->bof = d->eof = false;
    d->notify(&DataLink::recordMoved);
    return true;
}

bool Table::findPrefix(const std::string &text)
{
    if (!isOpen() || d->tag < 0)
        return false;
    d->finishEdit();
    const std::optional<std::string> key = d->searchKey(text);
    if (!key)
        return false;
    const std::string &prefix = *key;
    uint32_t found = 0;
    for (bool on = d->cursor->seek(prefix); on; on = d->cursor->next()) {
        if (d->cursor->key().compare(0, prefix.size(), prefix) != 0)
            break;
        if (d->isVisible(d->cursor->recno())) {
            found = d->cursor->recno();
            break;
        }
    }
    if (found == 0) {
        if (d->recno != 0)
            d->placeCursor(d->recno, d->current.data());
        return false;
    }
    d->setCurrent(found);
    d->bof = d->eof = false;
    d->notify(&DataLink::recordMoved);
    return true;
}

// --- rows

int Table::rowCount() const
{
    return recordCount();
}

uint32_t Table::recordAtRow(int row) const
{
    if (!isOpen() || row < 0)
        return 0;
    d->ensureRows(static_cast<size_t>(row), 0);
    return static_cast<size_t>(row) < d->rows.size() ? d->rows[static_cast<size_t>(row)] : 0;
}

int Table::rowOfRecord(uint32_t recno) const
{
    if (!isOpen())
        return -1;
    if (!d->isVisible(recno))
        return -1;
    d->ensureRows(0, recno);
    return recno < d->rowOf.size() ? d->rowOf[recno] : -1;
}

int Table::currentRow() const
{
    if (m_state == TableState::Insert || d->recno == 0)
        return -1;
    return rowOfRecord(d->recno);
}

// --- fields

const FieldList &Table::fields() const
{
    return d->fields;
}

bool Table::hasField(const std::string &name) const
{
    return d->fieldSlot(name) >= 0;
}

const FieldDesc &Table::fieldByName(const std::string &name) const
{
    const int slot = d->fieldSlot(name);
    if (slot < 0)
        throw FieldError(m_fileName, m_name + ": field " + name + " not found");
    return d->fields[static_cast<size_t>(slot)];
}

std::string Table::asString(const std::string &field) const
{
    d->engineFieldOf(field); // FieldError when absent
    const auto hook = d->hooks.find(upperAscii(field));
    if (hook != d->hooks.end() && hook->second)
        return hook->second(const_cast<Table &>(*this));
    return rawString(field);
}

namespace {

struct BytesHash
{
    using is_transparent = void;
    size_t operator()(std::string_view s) const noexcept
    {
        return std::hash<std::string_view>{}(s);
    }
};

std::string_view trimmedBytes(const uint8_t *bytes, size_t length)
{
    std::string_view s(reinterpret_cast<const char *>(bytes), length);
    const size_t begin = s.find_first_not_of(' ');
    if (begin == std::string_view::npos)
        return {};
    return s.substr(begin, s.find_last_not_of(' ') - begin + 1);
}

std::string trimmedText(const std::string &text)
{
    const size_t begin = text.find_first_not_of(' ');
    if (begin == std::string::npos)
        return {};
    return text.substr(begin, text.find_last_not_of(' ') - begin + 1);
}

} // namespace

uint32_t Table::physicalRecordCount() const
{
    return d->isOpen() ? d->engine->recordCount() : 0;
}

std::vector<std::vector<std::string>>
Table::distinctTexts(const std::vector<std::vector<std::string>> &columns,
                     char separator,
                     uint32_t first,
                     uint32_t last) const
{
    if (!d->isOpen())
        throw StateError(m_fileName, m_name + ": table is not open");
    std::vector<std::vector<int>> index(columns.size());
    for (size_t k = 0; k < columns.size(); ++k) {
        for (const std::string &name : columns[k]) {
            index[k].push_back(d->engineFieldOf(name));
            if (d->engine->fields()[size_t(index[k].back())].type != 'C')
                throw FieldError(m_fileName,
                                 m_name + ": field " + name + " is not a character field");
        }
    }
    std::vector<std::unordered_set<std::string, BytesHash, std::equal_to<>>> seen(columns.size());
    std::vector<std::vector<std::string>> out(columns.size());
    last = std::min(last, d->engine->recordCount());
    if (first < 1 || first > last)
        return out;
    const FieldList &fields = d->engine->fields();
    std::string key;
    const auto joined = [&](const std::vector<int> &parts, auto &&part) {
        key.clear();
        bool any = false;
        for (size_t p = 0; p < parts.size(); ++p) {
            if (p > 0)
                key += separator;
            const std::string_view text = part(parts[p]);
            any = any || !text.empty();
            key += text;
        }
        return any;
    };
    d->engine->scan(
        [&](uint32_t r, const uint8_t *record) {
            if (record[0] == '*')
                return r < last;
            for (size_t k = 0; k < index.size(); ++k) {
                const bool any = joined(index[k], [&](int f) {
                    const FieldDesc &desc = fields[size_t(f)];
                    return trimmedBytes(record + desc.offset, desc.length);
                });
                if (!any || seen[k].find(std::string_view(key)) != seen[k].end())
                    continue;
                seen[k].insert(key);
                std::vector<std::string> texts;
                for (int f : index[k])
                    texts.push_back(trimmedText(d->engine->fieldText(record, f)));
                size_t t = 0;
                joined(index[k], [&](int) { return std::string_view(texts[t++]); });
                out[k].push_back(key);
            }
            return r < last;
        },
        first);
    return out;
}

std::string Table::rawString(const std::string &field) const
{
    const int index = d->engineFieldOf(field);
    const RecordBuffer *record = d->readBuffer();
    if (!record)
        return {};
    std::string text = d->engine->fieldText(*record, index);
    if (d->engine->fields()[static_cast<size_t>(index)].type == 'C') {
        while (!text.empty() && text.back() == ' ')
            text.pop_back();
    }
    return text;
}

int64_t Table::asInteger(const std::string &field) const
{
    const int index = d->engineFieldOf(field);
    const RecordBuffer *record = d->readBuffer();
    return record ? d->engine->fieldInteger(record->data(), index) : 0;
}

bool Table::asBoolean(const std::string &field) const
{
    const int index = d->engineFieldOf(field);
    const RecordBuffer *record = d->readBuffer();
    return record ? d->engine->fieldLogical(record->data(), index).value_or(false) : false;
}

std::string Table::asStringOf(uint32_t recno, const std::string &field) const
{
    d->engineFieldOf(field); // FieldError when absent
    if (recno == 0 || recno > d->engine->recordCount())
        return {};
    RecordBuffer record;
    d->engine->readRecord(recno, record);
    const RecordBuffer *saved = d->readOverride;
    d->readOverride = &record;
    try {
        std::string text = asString(field);
        d->readOverride = saved;
        return text;
    } catch (...) {
        d->readOverride = saved;
        throw;
    }
}

std::vector<std::string> Table::stringsOf(uint32_t recno,
                                          const std::vector<std::string> &fields) const
{
    std::vector<std::string> texts;
    texts.reserve(fields.size());
    for (const std::string &field : fields)
        d->engineFieldOf(field); // FieldError when absent
    if (recno == 0 || recno > d->engine->recordCount()) {
        texts.resize(fields.size());
        return texts;
    }
    RecordBuffer record;
    d->engine->readRecord(recno, record);
    const RecordBuffer *saved = d->readOverride;
    d->readOverride = &record;
    try {
        for (const std::string &field : fields)
            texts.push_back(asString(field));
    } catch (...) {
        d->readOverride = saved;
        throw;
    }
    d->readOverride = saved;
    return texts;
}

void Table::scanAll(
    const std::vector<std::string> &fields,
    const std::function<bool(uint32_t, const std::vector<std::string> &)> &visit) const
{
    if (!isOpen())
        return;
    d->joinCount(); // the count's pass reads the file alone
    std::vector<int> index;
    for (const std::string &field : fields)
        index.push_back(d->engineFieldOf(field));
    std::vector<std::string> texts(fields.size());
    d->engine->scan([&](uint32_t recno, const uint8_t *record) {
        if (record[0] == '*')
            return true;
        for (size_t i = 0; i < index.size(); ++i) {
            texts[i] = d->engine->fieldText(record, index[i]);
            if (d->engine->fields()[static_cast<size_t>(index[i])].type == 'C') {
                while (!texts[i].empty() && texts[i].back() == ' ')
                    texts[i].pop_back();
            }
        }
        return visit(recno, texts);
    });
}

void Table::setString(const std::string &field, const std::string &value)
{
    const int index = d->engineFieldOf(field);
    d->engine->setFieldText(d->writeBuffer(), index, value);
    d->fieldWritten();
}

void Table::setInteger(const std::string &field, int64_t value)
{
    const int index = d->engineFieldOf(field);
    d->engine->setFieldInteger(d->writeBuffer(), index, value);
    d->fieldWritten();
}

void Table::setBoolean(const std::string &field, bool value)
{
    const int index = d->engineFieldOf(field);
    d->engine->setFieldLogical(d->writeBuffer(), index, value);
    d->fieldWritten();
}

void Table::setFieldTextHook(const std::string &field, std::function<std::string(Table &)> hook)
{
    if (hook)
        d->hooks[upperAscii(field)] = std::move(hook);
    else
        d->hooks.erase(upperAscii(field));
}

// --- states

void Table::edit()
{
    d->requireOpen("edit");
    if (m_state == TableState::Edit || m_state == TableState::Insert)
        return;
    if (m_readOnly)
        throw StateError(m_fileName, m_name + ": the table is read-only");
    if (d->recno == 0 || isEmpty()) {
        insert();
        return;
    }
    d->edited = d->current;
    m_modified = false;
    d->setState(TableState::Edit);
}

void Table::insert()
{
    d->requireOpen("insert");
    if (m_readOnly)
        throw StateError(m_fileName, m_name + ": the table is read-only");
    d->finishEdit();
    d->insertReturn = d->recno;
    d->edited = d->engine->blankRecord();
    m_modified = false;
    d->setState(TableState::Insert);
    d->notify(&DataLink::dataChanged);
}

void Table::post()
{
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return;
    // Controls write their pending text first; their writes must not make the other controls
    // reload (and lose what was typed into them) before those have written theirs.
    d->inUpdateRecord = true;
    try {
        d->notify(&DataLink::updateRecord);
    } catch (...) {
        d->inUpdateRecord = false;
        throw;
    }
    d->inUpdateRecord = false;

    const bool inserting = m_state == TableState::Insert;
    std::optional<std::string> oldKey;
    uint32_t r = d->recno;
    d->joinCount(); // no write while the first count reads the file
    d->reopenAfterFailedWrite();
    try {
        if (d->strayRecno != 0) { // left live by an earlier cancel the file refused
            d->engine->markDeleted(d->strayRecno);
            d->strayRecno = 0;
            d->dropRecordCaches();
        }
        if (inserting && d->insertedRecno == 0) {
            d->appendBase = d->engine->recordCount();
            r = d->engine->append(d->edited); // throws: state and typed values stay
            if (d->engine->level() == 7) {
                // An autoincrement field was given its number by the append.
                try {
                    d->engine->readRecord(r, d->edited);
                } catch (const StorageError &) {
                }
            }
        } else if (inserting) {
            r = d->insertedRecno;
            d->engine->update(r, d->edited);
        } else {
            if (d->tag >= 0)
                oldKey = d->engine->keyOf(d->tag, d->current.data());
            d->engine->update(r, d->edited);
        }
    } catch (const StorageError &) {
        d->writeFailed = true;
        d->wrote();
        throw;
    }
    d->wrote();
    d->insertedRecno = 0;
    d->recordChanged(r, d->edited.data());
    d->current = d->edited;
    d->edited.clear();
    m_modified = false;
    m_state = TableState::Browse;

    if (d->isVisible(r)) {
        d->recno = r;
        d->placeCursor(r, d->current.data());
        d->bof = d->eof = false;
    } else if (inserting) {
        // A new record outside the view: back to where the insertion started.
        const uint32_t back = d->insertReturn;
        if (back != 0 && d->isVisible(back)) {
            d->setCurrent(back);
            d->bof = d->eof = false;
        } else {
            d->moveFirst();
        }
    } else {
        d->moveToNeighbour(r, oldKey);
    }
    d->notify(&DataLink::stateChanged);
    d->notify(&DataLink::dataChanged);
    d->notify(&DataLink::recordMoved);
}

void Table::cancel()
{
    if (m_state != TableState::Edit && m_state != TableState::Insert)
        return;
    const bool inserting = m_state == TableState::Insert;
    bool reload = false;
    if (d->writeFailed || d->insertedRecno != 0 || d->strayRecno != 0) {
        // A failed post may have put some of the typed values on disk: take them back. When
        // the file refuses, the table still returns to browse, showing what the file holds;
        // the next write tries again.
        try {
            d->takeBackFailedPost(inserting);
        } catch (const StorageError &) {
            if (!isOpen())
                throw;
            d->writeFailed = true;
        }
        d->dropRecordCaches();
        reload = true;
    }
    d->edited.clear();
    m_modified = false;
    m_state = TableState::Browse;
    if (inserting && d->insertReturn != d->recno) {
        d->setCurrent(d->isVisible(d->insertReturn) ? d->insertReturn : 0);
    } else if (reload && d->recno != 0) {
        if (d->isVisible(d->recno))
            d->setCurrent(d->recno);
        else
            d->moveToNeighbour(d->recno, std::nullopt);
    }
    d->notify(&DataLink::stateChanged);
    d->notify(&DataLink::dataChanged);
}

void Table::deleteRecord()
{
    d->requireOpen("delete");
    if (m_readOnly)
        throw StateError(m_fileName, m_name + ": the table is read-only");
    if (m_state == TableState::Insert) {
        cancel(); // the record being inserted is not in the table yet: dropping it is all
        return;
    }
    if (m_state == TableState::Edit)
        cancel();
    d->joinCount(); // no write while the first count reads the file
    if (d->recno == 0 || isEmpty())
        throw StateError(m_fileName, m_name + ": cannot delete from an empty table");
    const uint32_t r = d->recno;
    std::optional<std::string> key;
    if (d->tag >= 0)
        key = d->engine->keyOf(d->tag, d->current.data());
    d->engine->markDeleted(r);
    d->wrote();
    d->current[0] = '*';
    d->recordChanged(r, d->current.data());
    d->moveToNeighbour(r, key);
    d->notify(&DataLink::dataChanged);
    d->notify(&DataLink::recordMoved);
    if (afterDelete)
        afterDelete(*this);
}

// --- filter

void Table::setFilter(const std::string &expression)
{
    if (!isOpen()) {
        parseFilterExpression(expression); // StateError when it does not parse
        m_filter = expression;
        return;
    }
    d->finishEdit();
    CompiledFilter compiled(parseFilterExpression(expression),
                            d->fields,
                            d->engine->codePage(),
                            m_fileName); // throws before anything changed
    const bool wasInForce = d->filterInForce();
    d->filter = std::move(compiled);
    m_filter = expression;
    if (!m_filtered)
        return;
    if (wasInForce || d->filterInForce())
        d->filterChanged();
    d->moveFirst();
    d->notify(&DataLink::dataChanged);
    d->notify(&DataLink::recordMoved);
}

void Table::setFiltered(bool on)
{
    if (!isOpen()) {
        m_filtered = on;
        return;
    }
    d->finishEdit();
    if (on != m_filtered) {
        m_filtered = on;
        if (!d->filter.isNone())
            d->filterChanged();
    }
    d->moveFirst();
    d->notify(&DataLink::dataChanged);
    d->notify(&DataLink::recordMoved);
}

// --- data links

void Table::addLink(DataLink *link)
{
    if (link && std::find(d->links.begin(), d->links.end(), link) == d->links.end())
        d->links.push_back(link);
}

void Table::removeLink(DataLink *link)
{
    d->links.erase(std::remove(d->links.begin(), d->links.end(), link), d->links.end());
}

} // namespace welarik
