// SPDX-License-Identifier: GPL-3.0-or-later
#include "pack.h"

#include "dbf.h"
#include "dbt.h"
#include "mdx.h"

#include <cctype>
#include <ctime>
#include <filesystem>
#include <memory>
#include <utility>
#include <vector>

namespace welarik {

namespace {

constexpr const char *kNewSuffix = ".new";
constexpr const char *kCommitSuffix = ".commit";
constexpr uint32_t kProgressEvery = 4096; // records between two progress reports
constexpr size_t kWriteChunk = 1 << 20;   // bytes of records written at once

std::string folderOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string nameOf(const std::string &path)
{
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string baseNameOf(const std::string &path)
{
    const std::string name = nameOf(path);
    const size_t dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// "x.dbf" -> "x.dbt": the companion in the letter case of the table's extension.
std::string companionOf(const std::string &dbfPath, std::string upperExtension)
{
    const size_t dot = dbfPath.find_last_of('.');
    if (dot != std::string::npos && dot + 1 < dbfPath.size()
        && std::islower(static_cast<unsigned char>(dbfPath[dot + 1]))) {
        for (char &c : upperExtension)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return withExtension(dbfPath, upperExtension);
}

// The old table, read under an exclusive lock for the whole pack.
struct Source
{
    std::unique_ptr<DbfFile> dbf;
    std::unique_ptr<MemoFile> memo;
    std::unique_ptr<MdxFile> mdx;
};

Source openSource(FileSystem &fs, const TableFiles &files)
{
    Source s;
    // Opened for writing, though only read: a table the user may not change is not packed.
    s.dbf = DbfFile::open(fs, files.table, OpenMode::ReadWrite, ShareMode::Exclusive);
    if (s.dbf->hasMemoFields()) {
        if (files.memo.empty())
            throw OpenError(companionOf(files.table, ".DBT"),
                            "the memo file of the table is missing");
        s.memo = MemoFile::open(fs,
                                files.memo,
                                memoStyleForVersion(s.dbf->version()),
                                OpenMode::ReadOnly,
                                ShareMode::Exclusive);
    }
    if (!files.index.empty()) {
        s.mdx = MdxFile::open(fs,
                              files.index,
                              OpenMode::ReadOnly,
                              ShareMode::Exclusive,
                              s.dbf->fields(),
                              s.dbf->codePage());
    }
    return s;
}

std::vector<TagDefinition> tagDefinitions(MdxFile &mdx)
{
    std::vector<TagDefinition> defs;
    for (size_t i = 0; i < mdx.tagCount(); ++i) {
        MdxTag &tag = mdx.tag(i);
        if (!tag.evaluable())
            throw IndexError(mdx.path(),
                             "tag " + tag.name() + ": its key expression \"" + tag.expressionText()
                                 + "\" cannot be evaluated, so the index cannot be rebuilt");
        defs.push_back({tag.name(), tag.expressionText(), tag.unique(), tag.descending()});
    }
    return defs;
}

// Writes the new set under the temporary names of target.
class PackWriter
{
public:
    PackWriter(FileSystem &fs, Source &source, const TableFiles &final, const TableFiles &temp)
        : m_fs(fs)
        , m_source(source)
        , m_final(final)
        , m_temp(temp)
    {}

    uint32_t write(PackKeep keep, const PackProgress &progress)
    {
        createFiles();
        copyRecords(keep, progress);
        finishTable();
        buildIndex();
        m_table->sync();
        if (m_memo)
            m_memo->sync();
        if (m_mdx)
            m_mdx->sync();
        m_table.reset();
        m_memo.reset();
        m_mdx.reset();
        return m_written;
    }

private:
    void createFiles()
    {
        const DbfFile &dbf = *m_source.dbf;
        std::vector<TagDefinition> defs;
        if (m_source.mdx)
            defs = tagDefinitions(*m_source.mdx);
        m_table = m_fs.create(m_temp.table, ShareMode::Exclusive);
        if (m_source.memo) {
            m_memo = MemoFile::create(m_fs,
                                      m_temp.memo,
                                      m_source.memo->style(),
                                      m_source.memo->blockSize(),
                                      baseNameOf(m_final.table),
                                      ShareMode::Exclusive);
        }
        if (m_source.mdx) {
            m_mdx = MdxFile::create(
                m_fs,
                m_temp.index,
                ShareMode::Exclusive,
                {baseNameOf(m_final.table), dbf.ldid(), dbf.fields(), dbf.codePage(), defs});
            m_entries.resize(m_mdx->tagCount());
        }
    }

    void copyRecords(PackKeep keep, const PackProgress &progress)
    {
        const DbfFile &dbf = *m_source.dbf;
        const size_t length = dbf.recordLength();
        m_chunk.reserve(kWriteChunk + length);
        m_offset = dbf.headerLength();
        DbfScanner scanner(dbf);
        uint64_t seen = 0;
        while (const uint8_t *record = scanner.next()) {
            if (++seen % kProgressEvery == 0 && progress && !progress(seen, dbf.recordCount()))
                throw PackCancelled(m_final.table, "cancelled");
            if (keep == PackKeep::Nothing || DbfFile::isDeleted(record))
                continue;
            const size_t at = m_chunk.size();
            m_chunk.insert(m_chunk.end(), record, record + length);
            uint8_t *copy = m_chunk.data() + at;
            moveMemos(copy);
            ++m_written;
            addKeys(copy);
            if (m_chunk.size() >= kWriteChunk)
                writeChunk();
        }
        m_chunk.push_back(kDbfEndOfFile);
        writeChunk();
        if (progress && !progress(dbf.recordCount(), dbf.recordCount()))
            throw PackCancelled(m_final.table, "cancelled");
    }

    // The record's memo texts go to new blocks of the new memo file, byte for byte.
    void moveMemos(uint8_t *record)
    {
        if (!m_memo)
            return;
        const FieldCodec &codec = m_source.dbf->codec();
        for (const FieldDesc &f : m_source.dbf->fields()) {
            if (!isMemoType(f.type))
                continue;
            const uint32_t block = codec.memoBlock(f, record);
            if (block != 0)
                codec.setMemoBlock(f, record, m_memo->write(m_source.memo->read(block)));
        }
    }

    void addKeys(const uint8_t *record)
    {
        if (!m_mdx)
            return;
        const size_t length = m_source.dbf->recordLength();
        for (size_t t = 0; t < m_entries.size(); ++t)
            m_entries[t].push_back({m_mdx->tag(t).keyFor(record, length), m_written});
    }

    void writeChunk()
    {
        if (m_chunk.empty())
            return;
        m_table->writeAt(m_offset, m_chunk.data(), m_chunk.size());
        m_offset += m_chunk.size();
        m_chunk.clear();
    }

    // The old header with the new record count and today's date.
    void finishTable()
    {
        const DbfFile &dbf = *m_source.dbf;
        std::vector<uint8_t> header(dbf.headerLength());
        m_source.dbf->file().readExact(0, header.data(), header.size());
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        header[DbfHeaderLayout::date] = static_cast<uint8_t>(local.tm_year);
        header[DbfHeaderLayout::date + 1] = static_cast<uint8_t>(local.tm_mon + 1);
        header[DbfHeaderLayout::date + 2] = static_cast<uint8_t>(local.tm_mday);
        for (int i = 0; i < 4; ++i)
            header[DbfHeaderLayout::recordCount + i] = static_cast<uint8_t>(m_written >> (8 * i));
        m_table->writeAt(0, header.data(), header.size());
    }

    void buildIndex()
    {
        if (!m_mdx)
            return;
        m_mdx->markWriting();
        for (size_t t = 0; t < m_entries.size(); ++t)
            m_mdx->tag(t).build(std::move(m_entries[t]));
        m_mdx->markClean();
    }

    FileSystem &m_fs;
    Source &m_source;
    const TableFiles &m_final;
    const TableFiles &m_temp;
    std::unique_ptr<File> m_table;
    std::unique_ptr<MemoFile> m_memo;
    std::unique_ptr<MdxFile> m_mdx;
    std::vector<std::vector<IndexEntry>> m_entries;
    std::vector<uint8_t> m_chunk;
    uint64_t m_offset = 0;
    uint32_t m_written = 0;
};

TableFiles temporaryNames(const TableFiles &final)
{
    TableFiles t;
    t.table = final.table + kNewSuffix;
    if (!final.memo.empty())
        t.memo = final.memo + kNewSuffix;
    if (!final.index.empty())
        t.index = final.index + kNewSuffix;
    return t;
}

void removeFiles(FileSystem &fs, const TableFiles &files)
{
    for (const std::string *path : {&files.table, &files.memo, &files.index}) {
        if (path->empty())
            continue;
        try {
            fs.remove(*path);
        } catch (const StorageError &) {
            // A leftover that cannot go now goes with the next pack.
        }
    }
}

// Leftovers of a pack that stopped before its commit: temporary files and a half-made note.
void removeLeftovers(FileSystem &fs, const TableFiles &final)
{
    removeFiles(fs, temporaryNames(final));
    fs.remove(final.table + kCommitSuffix + kNewSuffix);
}

// Renames listed by a commit note ("from\nto\n" per file, names in the note's folder). A file
// already renamed (by a kill after its rename, or by another opener) is skipped.
void applyNote(FileSystem &fs, const std::string &folder, const std::string &note)
{
    size_t at = 0;
    while (at < note.size()) {
        const size_t fromEnd = note.find('\n', at);
        const size_t toEnd = fromEnd == std::string::npos ? fromEnd : note.find('\n', fromEnd + 1);
        if (toEnd == std::string::npos)
            throw CorruptFileError(folder, "a pack's commit note is incomplete");
        const std::string from = folder + note.substr(at, fromEnd - at);
        const std::string to = folder + note.substr(fromEnd + 1, toEnd - fromEnd - 1);
        if (fs.exists(from))
            fs.rename(from, to);
        at = toEnd + 1;
    }
}

void commit(FileSystem &fs, const TableFiles &final, const TableFiles &temp)
{
    std::string note;
    // The table last: a reader that looks before the note is complete sees the old table.
    for (auto member : {&TableFiles::memo, &TableFiles::index, &TableFiles::table}) {
        if (!(temp.*member).empty())
            note += nameOf(temp.*member) + "\n" + nameOf(final.*member) + "\n";
    }
    const std::string notePath = final.table + kCommitSuffix;
    {
        auto file = fs.create(notePath + kNewSuffix, ShareMode::Exclusive);
        file->writeAt(0, note.data(), note.size());
        file->sync();
    }
    fs.rename(notePath + kNewSuffix, notePath);
    applyNote(fs, folderOf(notePath), note);
    fs.remove(notePath);
}

// Packs source into the files named final (written under temporary names, then committed).
PackResult packInto(FileSystem &fs,
                    const TableFiles &sourceFiles,
                    const TableFiles &final,
                    PackKeep keep,
                    const PackProgress &progress)
{
    PackResult result;
    result.bytesBefore = tableFilesSize(fs, sourceFiles);
    removeLeftovers(fs, final);
    Source source = openSource(fs, sourceFiles);
    result.recordsBefore = source.dbf->recordCount();
    const TableFiles temp = temporaryNames(final);
    try {
        PackWriter writer(fs, source, final, temp);
        result.recordsAfter = writer.write(keep, progress);
    } catch (...) {
        removeFiles(fs, temp);
        throw;
    }
    commit(fs, final, temp);
    source = Source();
    result.bytesAfter = tableFilesSize(fs, final);
    return result;
}

} // namespace

TableFiles tableFiles(FileSystem &fs, const std::string &dbfPath)
{
    TableFiles files;
    files.table = fs.resolve(dbfPath).value_or(dbfPath);
    files.memo = fs.resolve(withExtension(files.table, ".DBT")).value_or(std::string());
    files.index = fs.resolve(withExtension(files.table, ".MDX")).value_or(std::string());
    return files;
}

uint64_t tableFilesSize(FileSystem &fs, const TableFiles &files)
{
    uint64_t total = 0;
    for (const std::string *path : {&files.table, &files.memo, &files.index}) {
        if (!path->empty() && fs.exists(*path))
            total += fs.open(*path, OpenMode::ReadOnly, ShareMode::Shared)->size();
    }
    return total;
}

PackResult
packTable(FileSystem &fs, const std::string &dbfPath, const PackProgress &progress, PackKeep keep)
{
    finishPendingPack(fs, dbfPath);
    const TableFiles files = tableFiles(fs, dbfPath);
    if (!fs.exists(files.table))
        throw OpenError(files.table, "file does not exist");
    return packInto(fs, files, files, keep, progress);
}

PackResult copyTable(FileSystem &fs,
                     const std::string &sourcePath,
                     const std::string &destPath,
                     const PackProgress &progress)
{
    finishPendingPack(fs, sourcePath);
    const TableFiles source = tableFiles(fs, sourcePath);
    if (!fs.exists(source.table))
        throw OpenError(source.table, "file does not exist");
    TableFiles dest;
    dest.table = destPath;
    if (!source.memo.empty())
        dest.memo = companionOf(destPath, ".DBT");
    if (!source.index.empty())
        dest.index = companionOf(destPath, ".MDX");
    return packInto(fs, source, dest, PackKeep::LiveRecords, progress);
}

bool finishPendingPack(FileSystem &fs, const std::string &dbfPath)
{
    const std::string notePath = dbfPath + kCommitSuffix;
    if (!fs.exists(notePath))
        return false;
    std::string note;
    {
        auto file = fs.open(notePath, OpenMode::ReadOnly, ShareMode::Shared);
        note.resize(file->size());
        file->readExact(0, note.data(), note.size());
    }
    applyNote(fs, folderOf(notePath), note);
    fs.remove(notePath);
    return true;
}

void copyFile(FileSystem &fs, const std::string &from, const std::string &to)
{
    auto in = fs.open(from, OpenMode::ReadOnly, ShareMode::Shared);
    auto out = fs.create(to, ShareMode::Exclusive);
    std::vector<uint8_t> buffer(kWriteChunk);
    uint64_t offset = 0;
    while (const size_t n = in->readAt(offset, buffer.data(), buffer.size())) {
        out->writeAt(offset, buffer.data(), n);
        offset += n;
    }
    out->sync();
}

void makeFolder(FileSystem &fs, const std::string &path)
{
    if (&fs != &FileSystem::real())
        return;
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    if (ec)
        throw OpenError(path, "cannot create the folder: " + ec.message());
}

} // namespace welarik
