// SPDX-License-Identifier: GPL-3.0-or-later
#include "scan.h"

#include "cdnumber.h"
#include "table.h"

#include <algorithm>
#include <map>
#include <set>
#include <sys/stat.h>

namespace welarik {

namespace fs = std::filesystem;

namespace {

std::string lowerAscii(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) {
        return static_cast<char>(std::tolower(c));
    });
    return text;
}

struct Walker
{
    const std::atomic<bool> *cancel;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<fs::path> found;

    bool cancelled() const { return cancel && cancel->load(std::memory_order_relaxed); }

    void walk(const fs::path &dir)
    {
        struct stat st
        {};
        if (cancelled() || ::stat(dir.c_str(), &st) != 0
            || !seen.insert({st.st_dev, st.st_ino}).second)
            return;
        std::error_code error;
        fs::directory_iterator it(dir, fs::directory_options::skip_permission_denied, error);
        if (error)
            return;
        std::vector<fs::path> folders;
        for (const fs::directory_entry &entry : it) {
            const std::string name = entry.path().filename().string();
            if (name.empty() || name[0] == '.')
                continue;
            std::error_code kind;
            if (entry.is_directory(kind))
                folders.push_back(entry.path());
            else if (entry.is_regular_file(kind) && hasVideoExtension(entry.path()))
                found.push_back(entry.path());
        }
        std::sort(folders.begin(), folders.end());
        for (const fs::path &folder : folders)
            walk(folder);
    }
};

// The folder that names a film: the file's own, or the one above a DVD's VIDEO_TS.
std::string titleFolder(const fs::path &file)
{
    fs::path folder = file.parent_path();
    if (lowerAscii(folder.filename().string()) == "video_ts" && folder.has_parent_path())
        folder = folder.parent_path();
    return folder.filename().string();
}

std::string relativeText(const fs::path &file, const fs::path &dir)
{
    std::error_code error;
    const fs::path relative = fs::relative(file, dir, error);
    return (error || relative.empty() ? file : relative).string();
}

void addUp(ScanRow &row, const std::vector<const ScannedFile *> &parts)
{
    int64_t bytes = 0;
    int64_t seconds = 0;
    bool allBytes = true;
    bool allSeconds = true;
    for (const ScannedFile *part : parts) {
        allBytes = allBytes && part->data.bytes;
        allSeconds = allSeconds && part->data.seconds;
        bytes += part->data.bytes.value_or(0);
        seconds += part->data.seconds.value_or(0);
    }
    // A total that misses a part would be a guess: the field stays empty.
    row.texts[static_cast<size_t>(ProbeEdit::Rozmiar)] = allBytes ? sizeText(bytes) : std::string();
    row.texts[static_cast<size_t>(ProbeEdit::Czas)]
        = allSeconds ? durationText(seconds) : std::string();
}

ScanRow rowOf(const std::vector<const ScannedFile *> &parts)
{
    const ScannedFile &first = *parts.front();
    const TitleGuess guess = guessTitle(first.path.filename().string(), titleFolder(first.path));
    ScanRow row;
    row.polish = guess.polish;
    row.original = guess.original;
    row.year = guess.year;
    row.remarks = guess.remarks;
    row.parts = static_cast<int>(parts.size());
    for (size_t i = 0; i < kProbeEditCount; ++i)
        row.texts[i] = first.data.result.edits[i].value_or(std::string());
    for (const ScannedFile *part : parts)
        row.files.push_back(part->path);
    if (parts.size() > 1)
        addUp(row, parts);
    return row;
}

// A DVD's menus (VIDEO_TS.VOB, VTS_01_0.VOB) are no part of its film.
bool isDvdMenu(const fs::path &file)
{
    const std::string name = lowerAscii(file.filename().string());
    if (name == "video_ts.vob")
        return true;
    return name.size() == 12 && name.compare(0, 4, "vts_") == 0
           && name.compare(6, 6, "_0.vob") == 0;
}

bool readable(const ScannedFile &file)
{
    const ProbeStatus status = file.data.result.status;
    return status == ProbeStatus::Completed || status == ProbeStatus::AnalysisFailed;
}

} // namespace

const std::vector<std::string> &videoExtensions()
{
    static const std::vector<std::string> extensions = {"avi",
                                                        "mkv",
                                                        "mp4",
                                                        "m4v",
                                                        "mov",
                                                        "webm",
                                                        "mpg",
                                                        "mpeg",
                                                        "vob",
                                                        "ts",
                                                        "m2ts",
                                                        "ogm",
                                                        "ogv",
                                                        "wmv",
                                                        "asf",
                                                        "divx",
                                                        "flv"};
    return extensions;
}

bool hasVideoExtension(const fs::path &path)
{
    std::string ext = path.extension().string();
    if (ext.size() < 2)
        return false;
    ext = lowerAscii(ext.substr(1));
    const std::vector<std::string> &all = videoExtensions();
    return std::find(all.begin(), all.end(), ext) != all.end();
}

std::vector<fs::path> findVideoFiles(const fs::path &dir, const std::atomic<bool> *cancel)
{
    Walker walker{cancel, {}, {}};
    walker.walk(dir);
    std::sort(walker.found.begin(), walker.found.end());
    return std::move(walker.found);
}

std::vector<ScannedFile> readVideoFiles(const std::vector<fs::path> &files,
                                        MediaReader &reader,
                                        const ScanProgress &progress,
                                        const std::atomic<bool> *cancel)
{
    std::vector<ScannedFile> out;
    out.reserve(files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            break;
        if (progress)
            progress(i, files.size(), files[i]);
        out.push_back({files[i], probeVideo(files[i].string(), reader)});
    }
    return out;
}

std::vector<ScanRow> scanRows(const std::vector<ScannedFile> &files,
                              const fs::path &dir,
                              std::vector<std::string> *skipped)
{
    // Parts join when they lie in one folder and their names guess the same film.
    std::map<std::string, std::vector<std::pair<int, const ScannedFile *>>> groups;
    std::vector<std::pair<std::string, int>> order; // group key or single file, in path order
    for (size_t i = 0; i < files.size(); ++i) {
        const ScannedFile &file = files[i];
        if (isDvdMenu(file.path))
            continue;
        if (!readable(file)) {
            if (skipped)
                skipped->push_back(relativeText(file.path, dir) + ": "
                                   + file.data.result.errorText());
            continue;
        }
        const TitleGuess guess = guessTitle(file.path.filename().string(), titleFolder(file.path));
        if (guess.part == 0) {
            order.push_back({std::string(), static_cast<int>(i)});
            continue;
        }
        const std::string key = file.path.parent_path().string() + '\n' + lowerAscii(guess.polish)
                                + '\n' + lowerAscii(guess.original) + '\n' + guess.year;
        if (groups[key].empty())
            order.push_back({key, static_cast<int>(i)});
        groups[key].push_back({guess.part, &file});
    }
    std::vector<ScanRow> rows;
    for (const auto &[key, index] : order) {
        if (key.empty()) {
            rows.push_back(rowOf({&files[static_cast<size_t>(index)]}));
            continue;
        }
        auto &parts = groups[key];
        std::stable_sort(parts.begin(), parts.end(), [](const auto &a, const auto &b) {
            return a.first < b.first;
        });
        std::vector<const ScannedFile *> inOrder;
        for (const auto &part : parts)
            inOrder.push_back(part.second);
        rows.push_back(rowOf(inOrder));
    }
    return rows;
}

std::string scanRowsText(const std::vector<ScanRow> &rows, const fs::path &dir)
{
    std::string out = "T_PL\tT_ORG\tD_PROD\tILOSC_CD\tUWAGI";
    for (size_t i = 0; i < kProbeEditCount; ++i)
        out += '\t' + std::string(probeFieldName(static_cast<ProbeEdit>(i)));
    out += "\tPLIKI\n";
    for (const ScanRow &row : rows) {
        out += row.polish + '\t' + row.original + '\t' + row.year + '\t' + std::to_string(row.parts)
               + '\t' + row.remarks;
        for (const std::string &text : row.texts)
            out += '\t' + text;
        out += '\t';
        for (size_t i = 0; i < row.files.size(); ++i)
            out += (i ? " + " : "") + relativeText(row.files[i], dir);
        out += '\n';
    }
    return out;
}

} // namespace welarik
