// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The demo catalogue: a films table with memo and index beside a BAZY folder with the five side
// tables, filled with Polish sample data (about 40 films, people of every role, genres, a pool
// of free CD numbers, friends) or with N generated films followed by K random corrections and
// deletions. Used by `welarik-dbf demo`, the tests and the benchmarks.
//
// The tables are created empty here (TableEngine::create); every record then goes through a
// DemoWriter, so the same generation loop can run over the engine or over the table component.

#include "file.h"
#include "table.h"
#include "tableengine.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace welarik {

// Field name -> value as UTF-8 text ("" blank; numbers in decimal; logicals "T"/"F").
using DemoValues = std::vector<std::pair<std::string, std::string>>;

// The path through which the generator writes records, one table at a time.
class DemoWriter
{
public:
    virtual ~DemoWriter() = default;
    // Opens a table that create() has just made (empty, closed again) for writing.
    virtual void openTable(FileSystem &fs, const std::string &path) = 0;
    // Hints that about count inserts follow (the engine writer switches to bulk loading).
    virtual void beginBatch(uint64_t count) { (void)count; }
    virtual void endBatch() {}
    // Returns the new record's number.
    virtual uint32_t insert(const DemoValues &values) = 0;
    // Changes only the fields named in values.
    virtual void update(uint32_t recno, const DemoValues &values) = 0;
    virtual void remove(uint32_t recno) = 0;
    virtual void closeTable() = 0;
};

// Writes through TableEngine appends, updates and markDeleted (tags kept on disk).
class EngineDemoWriter : public DemoWriter
{
public:
    // bulkThreshold: batches of at least this many inserts are bulk-loaded (tags built once
    // at the end).
    explicit EngineDemoWriter(uint64_t bulkThreshold = 2000)
        : m_bulkThreshold(bulkThreshold)
    {}
    void openTable(FileSystem &fs, const std::string &path) override;
    void beginBatch(uint64_t count) override;
    void endBatch() override;
    uint32_t insert(const DemoValues &values) override;
    void update(uint32_t recno, const DemoValues &values) override;
    void remove(uint32_t recno) override;
    void closeTable() override;

private:
    void fill(RecordBuffer &record, const DemoValues &values);
    uint64_t m_bulkThreshold;
    bool m_bulk = false;
    std::unique_ptr<TableEngine> m_engine;
    RecordBuffer m_record;
};

// Writes the demo catalogue through the table component, the path the program's own commands
// take: each record by insert()/edit(), field writes and post(), deletions by deleteRecord().
// The table is opened exclusive, in record order, without a filter.
class TableDemoWriter : public DemoWriter
{
public:
    // bulkThreshold: a batch of at least this many inserts is bulk-loaded through the engine
    // instead (tags built once at its end); 0: every insert goes through the component.
    explicit TableDemoWriter(uint64_t bulkThreshold = 0)
        : m_bulkThreshold(bulkThreshold)
        , m_bulkWriter(0)
    {}
    void openTable(FileSystem &fs, const std::string &path) override;
    void beginBatch(uint64_t count) override;
    void endBatch() override;
    uint32_t insert(const DemoValues &values) override;
    void update(uint32_t recno, const DemoValues &values) override;
    void remove(uint32_t recno) override;
    void closeTable() override;

private:
    void moveTo(uint32_t recno);
    void fill(const DemoValues &values);
    // Fills the record being edited or inserted and posts it; cancels when either fails.
    void fillAndPost(const DemoValues &values);
    std::unique_ptr<Table> m_table;
    uint64_t m_bulkThreshold;
    EngineDemoWriter m_bulkWriter; // open while a bulk batch runs (the table is closed then)
    bool m_inBulk = false;
    FileSystem *m_fs = nullptr;
    std::string m_path;
};

struct DemoOptions
{
    // 0 or at most 40: the hand-made sample films; more: that many generated films.
    uint32_t films = 0;
    uint64_t seed = 1;
    // Random corrections (key fields included) and deletions after the films are in.
    uint32_t churn = 0;
    // Called now and then while films are generated: (what, done, total).
    std::function<void(const std::string &, uint64_t, uint64_t)> progress;
};

struct DemoSummary
{
    std::string filmsPath; // DIR/FILMY.DBF
    uint32_t films = 0;    // film records written (deleted ones included)
    uint32_t deleted = 0;
    uint32_t corrected = 0;
};

// The films table's fields and tags (filmsLayout(); also used by the tests and benchmarks).
FieldList demoFilmFields();
std::vector<TagDefinition> demoFilmTags();

// Lays the catalogue out in dir (created when missing on the real file system; on another
// file system dir must be usable as a path prefix). Existing files of the same names are
// replaced. Throws StorageError on failure.
DemoSummary createDemoCatalogue(FileSystem &fs,
                                const std::string &dir,
                                const DemoOptions &options,
                                DemoWriter &writer);

} // namespace welarik
