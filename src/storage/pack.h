// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Packing a table: writing it anew without its deleted records, its memo file without the
// blocks no record points to any more, and its production index rebuilt from the records that
// stay. The records that stay keep every byte (only memo block numbers change), in their order.
// The same writer makes a consistent copy of a table under another name, and empties a table.
//
// Crash safety
// ------------
// Nothing of the old files is touched until the new set is complete:
//   1. the new table, memo and index are written beside the old ones under temporary names
//      (the final name + ".new") and synced to the disk;
//   2. a commit note (the table's name + ".commit", written as ".commit.new", synced and
//      renamed into place) lists the renames still to do: this is the moment of commitment;
//   3. each new file is renamed over its old one (the rename replaces in one step);
//   4. the commit note is removed.
// A kill before step 2 leaves the old files with some leftovers that are removed; a kill
// after it leaves a note that finishPendingPack() completes. Opening a table runs that first
// (TableEngine::open), so whoever opens next sees either the old set or the new one, whole.

#include "errors.h"
#include "file.h"

#include <cstdint>
#include <functional>
#include <string>

namespace welarik {

// The files behind one table as the folder holds them; memo and index are empty when absent.
struct TableFiles
{
    std::string table;
    std::string memo;
    std::string index;
};
TableFiles tableFiles(FileSystem &fs, const std::string &dbfPath);
// Sum of the sizes of the files that exist.
uint64_t tableFilesSize(FileSystem &fs, const TableFiles &files);

struct PackResult
{
    uint32_t recordsBefore = 0; // physical records, deleted ones included
    uint32_t recordsAfter = 0;
    uint64_t bytesBefore = 0; // table, memo and index together
    uint64_t bytesAfter = 0;
};

// Told how many records of the table have been written (done of total); returning false
// cancels the work at that point, before anything was committed.
using PackProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Thrown when the progress callback asked to stop; the files are as they were.
class PackCancelled : public StorageError
{
public:
    using StorageError::StorageError;
};

enum class PackKeep { LiveRecords, Nothing };

// Packs the table at dbfPath in place (PackKeep::Nothing empties it, keeping its fields and
// tags). It must not be open elsewhere (it is opened exclusively). Throws StorageError with the
// old files unchanged when a step fails before the commit; IndexError when a tag has a FOR
// condition (the rebuilt index could not keep it).
PackResult packTable(FileSystem &fs,
                     const std::string &dbfPath,
                     const PackProgress &progress = {},
                     PackKeep keep = PackKeep::LiveRecords);

// Writes a packed copy of the table at sourcePath as destPath, with its memo and index beside
// it named after it; files of those names are replaced only when the copy is complete.
PackResult copyTable(FileSystem &fs,
                     const std::string &sourcePath,
                     const std::string &destPath,
                     const PackProgress &progress = {});

// Completes a pack that a kill interrupted after its commit, or removes the leftovers of one
// interrupted before it. Returns true when it completed a commit. Cheap when there is nothing.
bool finishPendingPack(FileSystem &fs, const std::string &dbfPath);

// Copies a file byte for byte and syncs the copy (replacing a file of that name).
void copyFile(FileSystem &fs, const std::string &from, const std::string &to);
// Creates a folder and its parents on the real file system (a memory file system needs none).
void makeFolder(FileSystem &fs, const std::string &path);

} // namespace welarik
