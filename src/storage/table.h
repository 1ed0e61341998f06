// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The table component: one dBase table with a current record, a selected index tag (or record
// order), a filter with an on/off switch, edit states, events, and data links through which
// data-aware controls follow it. Every window of the program works on these components.
//
// Promises callers rely on:
// - setFileName(same path) changes nothing, even while open; open() on an open table and
//   close() on a closed one change nothing; a failed open() throws and leaves the table closed.
// - setIndexName(""): record order; the current record stays current; an unknown tag throws
//   IndexError and the previous order stays.
// - first/last/next/prior move in the selected order and only over records that pass the
//   filter (while filtering is on); deleted records are never visible.
// - recordCount() counts the visible records; it is cached, so it is cheap to call often.
//   The first count (or move) after an open reads the table once in chunks, keeping the
//   deletion flags and the bytes of the numeric and filtered fields in memory; later filters
//   on those fields, posts and deletes update them without rereading the table.
// - Reads of an empty field give "", 0, false. Writes only in edit or insert state (else
//   StateError); a text longer than a character field is cut to the field's width.
// - edit() on an empty table starts an insertion. post() writes the record or throws and stays
//   in its edit state with the typed values; after a post the record stands at its place in the
//   selected order and stays current; one that no longer passes the filter leaves the view and
//   a neighbour becomes current. cancel() discards and is harmless in browse state; after a
//   failed post it takes back what reached the file and always ends in browse state, the
//   record showing what the file holds (when the file refuses, the next write tries again).
// - deleteRecord() deletes the current record (in insert state it only drops the new one);
//   throws StateError on an empty table. A neighbour becomes current.
// - Moving (first, next, gotoRecord, a search), like the three settings below, first ends a
//   pending edit. close() discards it, and an appended record of a failed post with it.
// - setIndexName, setFilter and setFiltered first end a pending edit (posted if a field
//   changed, cancelled otherwise); setFilter while filtering is on, and setFiltered, move to
//   the first record.

#include "errors.h"
#include "field.h"
#include "file.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace welarik {

class Table;

enum class TableState { Inactive, Browse, Edit, Insert };

// Observer of one table, the seam under the data-aware controls.
class DataLink
{
public:
    virtual ~DataLink() = default;
    // Called while the table opens, before it counts as open: throw FieldError (naming the
    // control and the field) to veto the opening; the table then stays closed.
    virtual void checkFields(Table &) {}
    virtual void opened(Table &) {}
    virtual void closed(Table &) {}
    // The current record changed (navigation), the data changed (post, delete, order, filter:
    // rows may have moved; also a field written in edit or insert state), or the state changed
    // (edit, insert, browse).
    virtual void recordMoved(Table &) {}
    virtual void dataChanged(Table &) {}
    virtual void stateChanged(Table &) {}
    // Called at the start of post(): write any pending typed text into the record. Writes made
    // here do not send dataChanged (the other controls have not written theirs yet); throwing
    // here aborts the post, which leaves the table in its edit state.
    virtual void updateRecord(Table &) {}
    // The table is being destroyed: forget it (no other call follows).
    virtual void tableDestroyed(Table &) {}
};

class TableEngine; // the file layer behind an open table (DBF + DBT + MDX)
struct TagInfo;    // a tag's name, expression and flags (tableengine.h)

// How grids that take their columns from the table itself show one field: its label, its
// display width in characters and whether it shows at all.
struct FieldDisplay
{
    std::string field;
    std::string label;
    int width = 0;
    bool visible = true;
};

class Table
{
public:
    explicit Table(std::string name = {}, FileSystem &fs = FileSystem::real());
    ~Table();
    Table(const Table &) = delete;
    Table &operator=(const Table &) = delete;

    const std::string &name() const { return m_name; }

    // --- binding, opening
    void setFileName(const std::string &path); // StateError when another path while open
    const std::string &fileName() const { return m_fileName; }
    void setExclusive(bool exclusive);
    bool exclusive() const { return m_exclusive; }
    void setReadOnly(bool readOnly);
    bool readOnly() const { return m_readOnly; }
    // Restricts the fields the component sees to these character fields; opening fails with
    // FieldError when one is missing or not a character field. Empty: all fields.
    void setDeclaredCharFields(std::vector<std::string> names);
    void open();
    void close();
    bool isOpen() const;
    // Waits until the open table's files are on the disk (fsync); nothing when closed.
    void sync();

    // --- order
    void setIndexName(const std::string &tag);
    const std::string &indexName() const { return m_indexName; }
    std::vector<std::string> tagNames() const; // of the open table
    // The first field named in a tag's key expression ("UPPER(T_PL)" -> "T_PL"), or "".
    std::string tagFieldName(const std::string &tag) const;
    // Name, expression and flags (descending, upper-cased keys) of a tag of the open table;
    // nullptr when closed or absent. Valid until the table closes.
    const TagInfo *tagInfo(const std::string &tag) const;

    // --- navigation
    void first();
    void last();
    void next();
    void prior();
    bool bof() const;
    bool eof() const;
    // Physical record number of the current record (1-based), 0 when there is none.
    uint32_t recNo() const;
    // Makes the record current if it is visible; returns false (and stays) otherwise.
    bool gotoRecord(uint32_t recno);
    int recordCount() const;
    bool isEmpty() const;
    // A big table (from 50,000 records on) is counted at open() on another thread, so that
    // its first rows can show at once. Meanwhile the rows near the start of the order, the
    // current record and the moves in tag order are answered from the records themselves;
    // recordCount(), the rows further down, moves in record order and every write wait
    // for the count; a read that fails in that pass is thrown by what waits for it, not by
    // open(). counting(): it still runs (asking it does not wait).
    bool counting() const;
    // rowCount() without waiting: while a count started by open() has not been joined, the
    // table's physical record count, which the number of rows never exceeds.
    int provisionalRowCount() const;
    // Run on the counting thread when such a count ends (also when it failed): it may only
    // hand over to the thread that owns the table, which then calls finishCount(). Setting it
    // waits for a count that runs.
    void setBackgroundCountDone(std::function<void()> handler);
    // Takes the finished count (its read error is thrown here) and tells the data links
    // (dataChanged) once, so that what showed the provisional row count shows the final one.
    // Does nothing while the count runs or when there is nothing left to tell.
    void finishCount();
    // The record that comes last in the given tag's order among the records that are not
    // deleted, whatever the filter and the selected order; 0 when there is none. Moves nothing.
    // IndexError when the table has no such tag.
    uint32_t lastInTag(const std::string &tag) const;
    // The records (not deleted) whose key in the given tag begins with the key made from text
    // (for a numeric tag: equals the number), in the tag's order, whatever the filter and the
    // selected order. Moves nothing. IndexError when the table has no such tag; a text that
    // makes no key (not a number for a numeric tag) finds nothing.
    std::vector<uint32_t> recordsWithKey(const std::string &tag, const std::string &text) const;
    // The first record not deleted whose key in the given tag begins with the key made from
    // text (a number's key must equal it), whatever the filter and the selected order; 0 when
    // there is none. Moves nothing. IndexError when the table has no such tag, FieldError when
    // text makes no key of that tag.
    uint32_t findInTag(const std::string &tag, const std::string &text) const;
    // Selected tag: makes current the first visible record whose key is at least the key made
    // from text (upper-cased when the tag's expression is UPPER(...)); false (and the current
    // record stays) when there is none or no tag is selected.
    bool findNearest(const std::string &text);
    // Selected tag: makes current the first visible record whose key begins with the key made
    // from text; false (and the current record stays) when none does.
    bool findPrefix(const std::string &text);

    // --- positional view for grids: the visible records in the selected order.
    int rowCount() const;                  // == recordCount()
    uint32_t recordAtRow(int row) const;   // 0 when out of range
    int rowOfRecord(uint32_t recno) const; // -1 when not visible
    int currentRow() const;                // -1 when none

    // --- fields of the current record (or the record being edited)
    const FieldList &fields() const;
    bool hasField(const std::string &name) const;
    const FieldDesc &fieldByName(const std::string &name) const; // FieldError when absent
    // Reads give a character field's text without the blanks that pad it to its width; a
    // field name the table lacks throws FieldError; with no current record they give "", 0,
    // false.
    std::string asString(const std::string &field) const;  // through the text hook, if any
    std::string rawString(const std::string &field) const; // stored text, no hook
    int64_t asInteger(const std::string &field) const;
    bool asBoolean(const std::string &field) const;
    // The same reads on any record without moving (for grids and lists); a text hook runs
    // with the table's reads pointed at that record.
    std::string asStringOf(uint32_t recno, const std::string &field) const;
    // Several fields of one record, read once (texts as asStringOf gives them, no move).
    std::vector<std::string> stringsOf(uint32_t recno,
                                       const std::vector<std::string> &fields) const;
    // Every record that is not deleted, in record order, whatever the filter: visit gets its
    // number and the stored texts of fields (as rawString gives them); false stops the walk.
    void
    scanAll(const std::vector<std::string> &fields,
            const std::function<bool(uint32_t, const std::vector<std::string> &)> &visit) const;
    // The records in the file, deleted ones included (the last record number); 0 when closed.
    uint32_t physicalRecordCount() const;
    // The distinct values of columns over the records first..last in record order (deleted
    // records skipped, the filter ignored). A column is one or more character fields; its value
    // in a record is their texts without leading and trailing blanks, joined by separator. For
    // each column every value once, in no particular order; a value whose parts are all empty
    // is left out. One pass in chunks over the table file; each distinct value is decoded once.
    // FieldError for a field the table lacks or that is no character field.
    std::vector<std::vector<std::string>>
    distinctTexts(const std::vector<std::vector<std::string>> &columns,
                  char separator = ' ',
                  uint32_t first = 1,
                  uint32_t last = UINT32_MAX) const;
    void setString(const std::string &field, const std::string &value);
    void setInteger(const std::string &field, int64_t value);
    void setBoolean(const std::string &field, bool value);
    void setFieldTextHook(const std::string &field, std::function<std::string(Table &)> hook);
    // Field descriptions, in display order, for the grids that list the table's own fields.
    // Kept across close and open; empty means every field under its name at its own width.
    void setFieldDisplays(std::vector<FieldDisplay> displays)
    {
        m_fieldDisplays = std::move(displays);
    }
    const std::vector<FieldDisplay> &fieldDisplays() const { return m_fieldDisplays; }

    // --- states
    TableState state() const { return m_state; }
    bool modified() const { return m_modified; }
    void edit();
    void insert();
    void post();
    void cancel();
    void deleteRecord();

    // Durability: the writes of a burst reach the disk together when it ends (TableEngine::
    // settle), on close and, when the program has given a runner, a second (settleDelay)
    // after the last write: a timer thread hands runner a task that the runner runs on the
    // table's own thread (the program: its event loop). Without a runner, only close settles.
    // settle() does it now; a disk that refuses leaves it for the next time.
    static void setSettleRunner(std::function<void(std::function<void()>)> runner);
    void setSettleDelay(int milliseconds);
    void settle();
    // What the open repaired after a power cut (TableEngine::openNotes), as texts.
    std::vector<std::string> openNotes() const;

    // --- filter: "FIELD=number", "FIELD='text'" or "" (no filter)
    void setFilter(const std::string &expression);
    const std::string &filter() const { return m_filter; }
    void setFiltered(bool on);
    bool filtered() const { return m_filtered; }

    // --- events, run after each such change
    std::function<void(Table &)> afterOpen;
    std::function<void(Table &)> afterClose;
    std::function<void(Table &)> afterDelete;

    // --- data links
    void addLink(DataLink *link);
    void removeLink(DataLink *link);

private:
    struct Impl;
    std::string m_name;
    FileSystem &m_fs;
    std::string m_fileName;
    std::string m_indexName;
    std::string m_filter;
    std::vector<FieldDisplay> m_fieldDisplays;
    bool m_exclusive = true;
    bool m_readOnly = false;
    bool m_filtered = false;
    bool m_modified = false;
    TableState m_state = TableState::Inactive;
    std::unique_ptr<Impl> d;
};

} // namespace welarik
