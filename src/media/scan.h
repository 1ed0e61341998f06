// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The disc scan: finds the video files under a folder, reads each one's technical data, guesses
// the titles and joins the parts of one film (cd1, cd2...) into one row; then adds the chosen
// rows to the films table, numbered as the add command numbers a film. No window: the scan
// dialog and `welarik-dbf scan` both run these.

#include "titles.h"
#include "videoprobe.h"

#include <array>
#include <atomic>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace welarik {

class Table;

// The names the scan takes for video files (lower case, without the dot).
const std::vector<std::string> &videoExtensions();
bool hasVideoExtension(const std::filesystem::path &path);

// The video files under dir, recursively, sorted by path: hidden folders (a name starting with
// a dot) are skipped, a symbolic link to a folder is followed once (a loop ends there).
// Unreadable folders are passed over. Stops early, returning what it has, when cancel is set.
std::vector<std::filesystem::path> findVideoFiles(const std::filesystem::path &dir,
                                                  const std::atomic<bool> *cancel = nullptr);

// One file as read.
struct ScannedFile
{
    std::filesystem::path path;
    VideoData data;
};

// One film of the preview.
struct ScanRow
{
    bool checked = true;
    std::string polish;
    std::string original;
    std::string year;
    std::string remarks;
    int parts = 1;                                    // ILOSC_CD
    std::array<std::string, kProbeEditCount> texts{}; // by ProbeEdit
    std::vector<std::filesystem::path> files;         // the parts in order
};

// Reports progress before each file: done so far, total, the file about to be read.
using ScanProgress = std::function<void(size_t done, size_t total, const std::filesystem::path &)>;

// Reads every file with reader; stops between files when cancel is set.
std::vector<ScannedFile> readVideoFiles(const std::vector<std::filesystem::path> &files,
                                        MediaReader &reader,
                                        const ScanProgress &progress = {},
                                        const std::atomic<bool> *cancel = nullptr);

// The preview rows: one per film, parts joined (sizes and durations added), in path order.
// Files that are no video (or cannot be read) give no row; skipped lists them with the reason.
std::vector<ScanRow> scanRows(const std::vector<ScannedFile> &files,
                              const std::filesystem::path &dir,
                              std::vector<std::string> *skipped = nullptr);

// The rows as tab-separated lines after a header line of field names: T_PL, T_ORG, D_PROD,
// ILOSC_CD, UWAGI, the ten technical fields, then the files (relative to dir, joined by " + ").
std::string scanRowsText(const std::vector<ScanRow> &rows, const std::filesystem::path &dir);

enum class ScanNumbering {
    OwnNumbers, // each film its own number: the pool's first, then the highest plus one
    OneNumber,  // every film the same number (the disc being catalogued), taken the same way
};

// Called after each film with the number added so far; false stops before the next film.
using AddProgress = std::function<bool(size_t added, size_t total)>;

// Adds the checked rows to films, taking numbers from pool as the add command does. Each film
// is whole or absent: its pool number is taken first and given back when the film cannot be
// stored. Films added before a failure or a stop stay. Returns the numbers given, one per film.
std::vector<int32_t> addScanRows(Table &films,
                                 Table &pool,
                                 const std::vector<ScanRow> &rows,
                                 ScanNumbering numbering,
                                 const AddProgress &progress = {});

} // namespace welarik
