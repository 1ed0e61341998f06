// SPDX-License-Identifier: GPL-3.0-or-later
#include "memfs.h"

#include "errors.h"

#include <algorithm>
#include <cstring>
#include <random>
#include <strings.h>

namespace welarik {

// What reached the disk: the bytes at the last sync, and every change since, in order
// (a write's offset and bytes, or a new size).
struct PendingChange
{
    uint64_t offset = 0;
    std::vector<uint8_t> bytes;
    bool resize = false;
};

struct MemoryFileSystem::Node
{
    std::vector<uint8_t> bytes;
    std::vector<uint8_t> synced;
    std::vector<PendingChange> pending;
    int sharedHolders = 0;
    bool exclusiveHeld = false;
};

struct MemoryFileSystem::State
{
    std::map<std::string, std::shared_ptr<Node>> files;
    std::optional<uint64_t> budget;
    uint64_t writes = 0;
    uint64_t syncs = 0;
};

namespace {

using Node = MemoryFileSystem::Node;
using State = MemoryFileSystem::State;

class MemoryFile : public File
{
public:
    MemoryFile(std::string path,
               std::shared_ptr<Node> node,
               std::shared_ptr<State> state,
               bool writable,
               ShareMode share)
        : m_path(std::move(path))
        , m_node(std::move(node))
        , m_state(std::move(state))
        , m_writable(writable)
        , m_share(share)
    {}

    ~MemoryFile() override
    {
        if (m_share == ShareMode::Exclusive) {
            m_node->exclusiveHeld = false;
        } else {
            --m_node->sharedHolders;
        }
    }

    const std::string &path() const override { return m_path; }
    uint64_t size() const override { return m_node->bytes.size(); }

    size_t readAt(uint64_t offset, void *buffer, size_t n) override
    {
        const auto &bytes = m_node->bytes;
        if (offset >= bytes.size()) {
            return 0;
        }
        const size_t count = static_cast<size_t>(std::min<uint64_t>(n, bytes.size() - offset));
        std::memcpy(buffer, bytes.data() + offset, count);
        return count;
    }

    void writeAt(uint64_t offset, const void *buffer, size_t n) override
    {
        checkWrite();
        auto &bytes = m_node->bytes;
        if (offset + n > bytes.size()) {
            bytes.resize(static_cast<size_t>(offset + n), 0);
        }
        if (n > 0) {
            std::memcpy(bytes.data() + offset, buffer, n);
            const auto *in = static_cast<const uint8_t *>(buffer);
            m_node->pending.push_back({offset, std::vector<uint8_t>(in, in + n), false});
        }
        ++m_state->writes;
    }

    void truncate(uint64_t size) override
    {
        checkWrite();
        m_node->bytes.resize(static_cast<size_t>(size), 0);
        m_node->pending.push_back({size, {}, true});
    }

    void flush() override {}

    void sync() override
    {
        if (!m_writable) {
            return;
        }
        m_node->synced = m_node->bytes;
        m_node->pending.clear();
        ++m_state->syncs;
    }

private:
    void checkWrite()
    {
        if (!m_writable) {
            throw IoError(m_path, "write failed: file is open for reading only");
        }
        if (m_state->budget && m_state->writes >= *m_state->budget) {
            throw IoError(m_path, "write failed: simulated crash");
        }
    }

    std::string m_path;
    std::shared_ptr<Node> m_node;
    std::shared_ptr<State> m_state;
    bool m_writable;
    ShareMode m_share;
};

void lockNode(Node &node, const std::string &path, ShareMode share)
{
    if (node.exclusiveHeld || (share == ShareMode::Exclusive && node.sharedHolders > 0)) {
        throw OpenError(path, "file is in use by another user");
    }
    if (share == ShareMode::Exclusive) {
        node.exclusiveHeld = true;
    } else {
        ++node.sharedHolders;
    }
}

} // namespace

MemoryFileSystem::MemoryFileSystem()
    : m_state(std::make_shared<State>())
{}

MemoryFileSystem::~MemoryFileSystem() = default;

std::unique_ptr<File>
MemoryFileSystem::open(const std::string &path, OpenMode mode, ShareMode share)
{
    const auto it = m_state->files.find(path);
    if (it == m_state->files.end()) {
        throw OpenError(path, "file does not exist");
    }
    lockNode(*it->second, path, share);
    return std::make_unique<MemoryFile>(
        path, it->second, m_state, mode == OpenMode::ReadWrite, share);
}

std::unique_ptr<File> MemoryFileSystem::create(const std::string &path, ShareMode share)
{
    auto &node = m_state->files[path];
    if (!node) {
        node = std::make_shared<Node>();
    }
    lockNode(*node, path, share);
    auto file = std::make_unique<MemoryFile>(path, node, m_state, true, share);
    file->truncate(0);
    return file;
}

bool MemoryFileSystem::exists(const std::string &path)
{
    return m_state->files.count(path) != 0;
}

void MemoryFileSystem::remove(const std::string &path)
{
    m_state->files.erase(path);
}

void MemoryFileSystem::rename(const std::string &from, const std::string &to)
{
    const auto it = m_state->files.find(from);
    if (it == m_state->files.end())
        throw IoError(from, "cannot rename the file: it does not exist");
    if (m_state->budget && m_state->writes >= *m_state->budget)
        throw IoError(from, "write failed (write budget exhausted)");
    ++m_state->writes;
    auto node = it->second;
    m_state->files.erase(it);
    m_state->files[to] = std::move(node);
}

std::optional<std::string> MemoryFileSystem::resolve(const std::string &path)
{
    if (exists(path)) {
        return path;
    }
    const size_t slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
    for (const auto &[name, node] : m_state->files) {
        const size_t s = name.find_last_of('/');
        const std::string f = s == std::string::npos ? "" : name.substr(0, s + 1);
        if (f == folder && name.size() == path.size()
            && ::strcasecmp(name.c_str() + f.size(), path.c_str() + folder.size()) == 0) {
            return name; // std::map order: the first variant in byte order
        }
    }
    return std::nullopt;
}

void MemoryFileSystem::setFileBytes(const std::string &path, std::vector<uint8_t> bytes)
{
    auto &node = m_state->files[path];
    if (!node) {
        node = std::make_shared<Node>();
    }
    node->bytes = std::move(bytes);
    node->synced = node->bytes;
    node->pending.clear();
}

std::vector<uint8_t> MemoryFileSystem::fileBytes(const std::string &path) const
{
    const auto it = m_state->files.find(path);
    if (it == m_state->files.end()) {
        throw OpenError(path, "file does not exist");
    }
    return it->second->bytes;
}

std::vector<std::string> MemoryFileSystem::fileNames() const
{
    std::vector<std::string> names;
    for (const auto &entry : m_state->files) {
        names.push_back(entry.first);
    }
    return names;
}

void MemoryFileSystem::setWriteBudget(std::optional<uint64_t> budget)
{
    m_state->budget = budget ? std::optional<uint64_t>(m_state->writes + *budget) : std::nullopt;
}

uint64_t MemoryFileSystem::writeCount() const
{
    return m_state->writes;
}

void MemoryFileSystem::resetWriteCount()
{
    if (m_state->budget) {
        *m_state->budget -= std::min(*m_state->budget, m_state->writes);
    }
    m_state->writes = 0;
}

std::unique_ptr<MemoryFileSystem> MemoryFileSystem::snapshot() const
{
    auto copy = std::make_unique<MemoryFileSystem>();
    for (const auto &[name, node] : m_state->files) {
        copy->setFileBytes(name, node->bytes);
    }
    return copy;
}

namespace {

constexpr uint64_t kSector = 512;

// One file after the cut: its synced bytes, then the kept sector pieces of later changes in
// random order (a size change is one piece).
std::vector<uint8_t> cutFile(const Node &node, std::mt19937_64 &random)
{
    std::vector<PendingChange> pieces;
    for (const PendingChange &change : node.pending) {
        if (change.resize) {
            pieces.push_back(change);
            continue;
        }
        uint64_t at = change.offset;
        const uint64_t end = change.offset + change.bytes.size();
        while (at < end) {
            const uint64_t stop = std::min(end, (at / kSector + 1) * kSector);
            const auto *from = change.bytes.data() + (at - change.offset);
            pieces.push_back({at, std::vector<uint8_t>(from, from + (stop - at)), false});
            at = stop;
        }
    }
    std::shuffle(pieces.begin(), pieces.end(), random);
    std::vector<uint8_t> bytes = node.synced;
    for (const PendingChange &piece : pieces) {
        if (random() % 2 != 0) {
            continue;
        }
        const uint64_t end = piece.offset + piece.bytes.size();
        if (piece.resize || end > bytes.size()) {
            bytes.resize(static_cast<size_t>(piece.resize ? piece.offset : end), 0);
        }
        std::copy(piece.bytes.begin(), piece.bytes.end(), bytes.begin() + piece.offset);
    }
    return bytes;
}

} // namespace

std::unique_ptr<MemoryFileSystem> MemoryFileSystem::powerCut(uint64_t seed) const
{
    std::mt19937_64 random(seed);
    auto copy = std::make_unique<MemoryFileSystem>();
    for (const auto &[name, node] : m_state->files) {
        copy->setFileBytes(name, cutFile(*node, random));
    }
    return copy;
}

uint64_t MemoryFileSystem::syncCount() const
{
    return m_state->syncs;
}

} // namespace welarik
