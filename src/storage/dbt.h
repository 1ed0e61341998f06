// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The memo file (.DBT) of a dBase table, dBase III and dBase IV styles.
//
// Block 0 is the header; a memo field of the table holds the number of its first block.
// dBase III style (table version 0x83): 512-byte blocks.
//   OFFSET SIZE MEANING
//   0      4    next free block (= blocks in the file)
//   16     1    0x03
//   20     2    512 (written by the BDE; readers ignore it)
//   memo: text from the start of its block to 0x1A 0x1A (readers stop at the first 0x1A).
// dBase IV style (table version 0x8B, 0x8C): block size from the header.
//   0      4    next free block
//   4      4    0
//   8      8    DBF base name, NUL-padded
//   18     2    02 01
//   20     2    block size in bytes
//   memo: block header FF FF 08 00, u32 length of the memo including these 8 bytes, data.
//
// A changed memo always goes to new blocks at the end of the file; the data (padded to whole
// blocks) is written before the header's next-block field, so a crash never lets the header
// point below live data and never overwrites a block another record may still point to.
// Memo bytes are code-page bytes: text conversion is the caller's.

#include "file.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace welarik {

enum class MemoStyle { DbaseIII, DbaseIV };

constexpr uint32_t kMemoBlockIII = 512;
constexpr uint32_t kMemoBlockIVDefault = 1024;
constexpr size_t kMemoIVBlockHeader = 8;

// The memo style a table with this version byte uses (0x8B, 0x8C... -> IV; else III).
MemoStyle memoStyleForVersion(uint8_t version);

class MemoFile
{
public:
    static std::unique_ptr<MemoFile>
    open(FileSystem &fs, const std::string &path, MemoStyle style, OpenMode mode, ShareMode share);
    // Creates (or empties) a memo file holding the header block only. blockSize is 512 for
    // dBase III (forced) and a multiple of 512 for IV (1024 for new files).
    static std::unique_ptr<MemoFile> create(FileSystem &fs,
                                            const std::string &path,
                                            MemoStyle style,
                                            uint32_t blockSize,
                                            const std::string &dbfBaseName,
                                            ShareMode share = ShareMode::Exclusive);
    ~MemoFile();
    MemoFile(const MemoFile &) = delete;
    MemoFile &operator=(const MemoFile &) = delete;

    const std::string &path() const;
    MemoStyle style() const { return m_style; }
    uint32_t blockSize() const { return m_blockSize; }
    uint32_t nextBlock() const { return m_nextBlock; }

    // The memo starting at block; block 0 gives "". A block past the end of the file or a
    // length beyond it throws CorruptFileError naming the file and the block.
    std::string read(uint32_t block) const;
    // Stores bytes in new blocks at the end of the file; returns the first block. Empty bytes
    // store nothing and return 0. dBase III memos cannot hold 0x1A (FieldError).
    uint32_t write(std::string_view bytes);
    void flush();
    void sync(); // flush() and wait for the disk

private:
    MemoFile(std::unique_ptr<File> file, MemoStyle style, bool writable);
    void load();

    std::unique_ptr<File> m_file;
    MemoStyle m_style;
    bool m_writable;
    uint32_t m_blockSize = kMemoBlockIII;
    uint32_t m_nextBlock = 1;
};

} // namespace welarik
