// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// A file system held in memory, for tests and fuzzers. Same lock semantics as the real one
// (an exclusive opener refuses every other opener, shared openers refuse an exclusive one),
// plus fault injection: a write budget that makes every writeAt after the N-th fail with
// IoError without writing anything, as if the process had been killed there; and a power cut:
// every file remembers what its last sync() left on the disk, and powerCut() keeps, on top of
// that, a random part of the later writes, torn into 512-byte sectors applied in random order.
// (Stores into a mapping are write calls here, so they are cut like the others.)
//
// Paths are plain strings; the folder of a path is the text up to its last '/'.

#include "file.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace welarik {

class MemoryFileSystem : public FileSystem
{
public:
    MemoryFileSystem();
    ~MemoryFileSystem() override;
    MemoryFileSystem(const MemoryFileSystem &) = delete;
    MemoryFileSystem &operator=(const MemoryFileSystem &) = delete;

    std::unique_ptr<File> open(const std::string &path, OpenMode mode, ShareMode share) override;
    std::unique_ptr<File> create(const std::string &path, ShareMode share) override;
    bool exists(const std::string &path) override;
    void remove(const std::string &path) override;
    std::optional<std::string> resolve(const std::string &path) override;
    // Counts as one write for the budget: a kill may fall before or after it.
    void rename(const std::string &from, const std::string &to) override;

    // Building and inspecting images. setFileBytes creates or replaces a file's bytes (open
    // handles see the new bytes); fileBytes throws OpenError when the file does not exist.
    void setFileBytes(const std::string &path, std::vector<uint8_t> bytes);
    std::vector<uint8_t> fileBytes(const std::string &path) const;
    std::vector<std::string> fileNames() const;

    // Fault injection. With a budget of n, the next n writeAt calls succeed and every later
    // writeAt (and truncate) throws IoError and changes nothing. nullopt: no limit (default).
    void setWriteBudget(std::optional<uint64_t> budget);
    // Successful writeAt calls since creation or the last resetWriteCount().
    uint64_t writeCount() const;
    void resetWriteCount();

    // A fresh file system holding a copy of the current bytes of every file, with no open
    // handles, no locks and no budget: "the machine after the crash".
    std::unique_ptr<MemoryFileSystem> snapshot() const;
    // "The machine after a power cut": a fresh file system (as snapshot()) in which each file
    // holds what its last sync left plus, for every sector (512 bytes at a multiple of 512) a
    // later write touched, that write's bytes or not, at random (seeded), the kept pieces
    // applied in random order; a file never synced starts empty. A file that grew keeps NUL
    // bytes where no kept piece landed.
    std::unique_ptr<MemoryFileSystem> powerCut(uint64_t seed) const;
    // sync() calls made since creation.
    uint64_t syncCount() const;

    struct Node; // one file's bytes and lock state (shared with its open handles)
    struct State;

private:
    std::shared_ptr<State> m_state;
};

} // namespace welarik
