// SPDX-License-Identifier: GPL-3.0-or-later
#include "dbt.h"

#include "coding.h"
#include "errors.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace welarik {

namespace {

constexpr uint8_t kIvSignature[4] = {0xFF, 0xFF, 0x08, 0x00};
constexpr uint8_t kMemoEnd = 0x1A;
constexpr uint32_t kMaxMemoBytes = 0x7FFFFFF0; // the IV block header's length is 32 bits
constexpr size_t kReadChunk = 4096;

} // namespace

MemoStyle memoStyleForVersion(uint8_t version)
{
    return (version & 0x08) != 0 ? MemoStyle::DbaseIV : MemoStyle::DbaseIII;
}

MemoFile::MemoFile(std::unique_ptr<File> file, MemoStyle style, bool writable)
    : m_file(std::move(file))
    , m_style(style)
    , m_writable(writable)
{}

MemoFile::~MemoFile() = default;

const std::string &MemoFile::path() const
{
    return m_file->path();
}

std::unique_ptr<MemoFile> MemoFile::open(
    FileSystem &fs, const std::string &path, MemoStyle style, OpenMode mode, ShareMode share)
{
    std::unique_ptr<MemoFile> memo(
        new MemoFile(fs.open(path, mode, share), style, mode == OpenMode::ReadWrite));
    memo->load();
    return memo;
}

void MemoFile::load()
{
    const uint64_t size = m_file->size();
    const size_t needed = m_style == MemoStyle::DbaseIV ? 22 : 4;
    if (size < needed) {
        throw CorruptFileError(path(),
                               "truncated memo header (" + std::to_string(size) + " bytes)");
    }
    uint8_t h[22];
    m_file->readExact(0, h, needed);
    m_nextBlock = decodeLe32(h);
    if (m_style == MemoStyle::DbaseIV) {
        m_blockSize = decodeLe16(h + 20);
        if (m_blockSize < 2 * kMemoIVBlockHeader) {
            throw CorruptFileError(
                path(), "memo block size " + std::to_string(m_blockSize) + " is invalid");
        }
    } else {
        m_blockSize = kMemoBlockIII; // a III header's size field is not to be trusted
    }
}

std::unique_ptr<MemoFile> MemoFile::create(FileSystem &fs,
                                           const std::string &path,
                                           MemoStyle style,
                                           uint32_t blockSize,
                                           const std::string &dbfBaseName,
                                           ShareMode share)
{
    if (style == MemoStyle::DbaseIII) {
        blockSize = kMemoBlockIII;
    } else if (blockSize < 512 || blockSize > 32768 || blockSize % 512 != 0) {
        throw FieldError(path, "memo block size " + std::to_string(blockSize) + " is invalid");
    }
    std::vector<uint8_t> header(blockSize, 0);
    encodeLe32(header.data(), 1);
    if (style == MemoStyle::DbaseIII) {
        header[16] = 0x03;
    } else {
        std::memcpy(header.data() + 8, dbfBaseName.data(), std::min<size_t>(dbfBaseName.size(), 8));
        header[18] = 0x02;
        header[19] = 0x01;
    }
    encodeLe16(header.data() + 20, static_cast<uint16_t>(blockSize));
    std::unique_ptr<MemoFile> memo(new MemoFile(fs.create(path, share), style, true));
    memo->m_file->writeAt(0, header.data(), header.size());
    memo->m_blockSize = blockSize;
    memo->m_nextBlock = 1;
    return memo;
}

std::string MemoFile::read(uint32_t block) const
{
    if (block == 0) {
        return {};
    }
    const uint64_t size = m_file->size();
    const uint64_t offset = uint64_t{block} * m_blockSize;
    if (offset >= size) {
        throw CorruptFileError(
            path(), "memo block " + std::to_string(block) + " is beyond the end of the file");
    }
    if (m_style == MemoStyle::DbaseIV && size - offset >= kMemoIVBlockHeader) {
        uint8_t h[kMemoIVBlockHeader];
        m_file->readExact(offset, h, sizeof h);
        if (std::memcmp(h, kIvSignature, sizeof kIvSignature) == 0) {
            const uint32_t length = decodeLe32(h + 4);
            if (length < kMemoIVBlockHeader || length > size - offset) {
                throw CorruptFileError(path(),
                                       "memo block " + std::to_string(block)
                                           + " has an impossible length " + std::to_string(length));
            }
            std::string data(length - kMemoIVBlockHeader, '\0');
            m_file->readExact(offset + kMemoIVBlockHeader, data.data(), data.size());
            return data;
        }
        // Some writers leave the block header out: read it as dBase III text.
    }
    std::string data;
    char chunk[kReadChunk];
    for (uint64_t at = offset; at < size;) {
        const size_t n = m_file->readAt(
            at, chunk, static_cast<size_t>(std::min<uint64_t>(kReadChunk, size - at)));
        if (n == 0) {
            break;
        }
        const char *end = static_cast<const char *>(std::memchr(chunk, kMemoEnd, n));
        if (end != nullptr) {
            data.append(chunk, static_cast<size_t>(end - chunk));
            return data;
        }
        data.append(chunk, n);
        at += n;
    }
    return data; // no terminator before the end of the file: the text runs to the end
}

uint32_t MemoFile::write(std::string_view bytes)
{
    if (!m_writable) {
        throw StateError(path(), "the memo file is open for reading only");
    }
    if (bytes.empty()) {
        return 0;
    }
    if (bytes.size() > kMaxMemoBytes) {
        throw FieldError(path(),
                         "a memo of " + std::to_string(bytes.size()) + " bytes is too long");
    }
    std::vector<uint8_t> data;
    if (m_style == MemoStyle::DbaseIII) {
        if (bytes.find(static_cast<char>(kMemoEnd)) != std::string_view::npos) {
            throw FieldError(path(), "a dBase III memo cannot hold the byte 0x1A");
        }
        data.reserve(bytes.size() + 2 + m_blockSize);
        data.assign(bytes.begin(), bytes.end());
        data.push_back(kMemoEnd);
        data.push_back(kMemoEnd);
    } else {
        data.resize(kMemoIVBlockHeader);
        std::memcpy(data.data(), kIvSignature, sizeof kIvSignature);
        encodeLe32(data.data() + 4, static_cast<uint32_t>(bytes.size() + kMemoIVBlockHeader));
        data.insert(data.end(), bytes.begin(), bytes.end());
    }
    data.resize((data.size() + m_blockSize - 1) / m_blockSize * m_blockSize, 0);

    // Always past everything in the file, whatever the header says.
    const uint64_t fileBlocks = (m_file->size() + m_blockSize - 1) / m_blockSize;
    const uint64_t first = std::max<uint64_t>({uint64_t{m_nextBlock}, fileBlocks, 1});
    const uint64_t next = first + data.size() / m_blockSize;
    if (next > 0xFFFFFFFFu) {
        throw IoError(path(), "the memo file is full");
    }
    m_file->writeAt(first * m_blockSize, data.data(), data.size());
    uint8_t h[4];
    encodeLe32(h, static_cast<uint32_t>(next));
    m_file->writeAt(0, h, sizeof h);
    m_nextBlock = static_cast<uint32_t>(next);
    return static_cast<uint32_t>(first);
}

void MemoFile::flush()
{
    m_file->flush();
}

void MemoFile::sync()
{
    m_file->sync();
}

} // namespace welarik
