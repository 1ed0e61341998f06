// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The file seam: everything the engine reads or writes goes through File and FileSystem, so
// tests can run on memory, fail the n-th write, or corrupt bytes.

#include "errors.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace welarik {

enum class OpenMode { ReadOnly, ReadWrite };

// Exclusive: nobody else (another process, or another open in this one) may open the file
// while it is open here; the lock dies with the process. Shared: others may open it shared.
enum class ShareMode { Shared, Exclusive };

class File
{
public:
    virtual ~File() = default;
    virtual const std::string &path() const = 0;
    virtual uint64_t size() const = 0;
    // Reads up to n bytes at offset; returns how many were read (fewer only at end of file).
    // Throws IoError when the system call fails.
    virtual size_t readAt(uint64_t offset, void *buffer, size_t n) = 0;
    // Writes all n bytes at offset, growing the file as needed. Throws IoError.
    virtual void writeAt(uint64_t offset, const void *buffer, size_t n) = 0;
    virtual void truncate(uint64_t size) = 0;
    // Hands written data to the system (not a durability barrier against power loss).
    virtual void flush() = 0;
    // A durability barrier: returns once every write made so far, stores into the mapping
    // included, is on the disk (msync of the mapped pages, then fdatasync). Throws IoError.
    virtual void sync() = 0;
    // The bytes [offset, offset + n) in memory without a copy, or nullptr when this file does
    // not offer them (not mapped, past its end): then readAt is the way. The bytes follow
    // later writes through this file, and the pointer stays valid while the file is open.
    // Touch them only as a hint (prefetch): if another program cuts the file short, reading
    // them kills the process. Reads go through readViewed.
    virtual const uint8_t *view(uint64_t offset, size_t n)
    {
        (void)offset;
        (void)n;
        return nullptr;
    }
    // Lets writes within the file go through its writable mapping, when it has one. A store
    // into a mapping, unlike a write call, can be cut short half way by a crash: only for a
    // file whose torn writes a crash makes harmless (the index, rebuilt after one).
    virtual void mapWrites() {}
    // Writes the 8 bytes at offset (a multiple of 8) in one piece, so that a crash leaves all
    // of them or none: one store into the writable mapping when the file has one, else a
    // write call.
    virtual void writeWhole8(uint64_t offset, const uint8_t *bytes) { writeAt(offset, bytes, 8); }
    // Copies the bytes view(offset, n) shows into buffer; false when this file does not offer
    // them (not yet: a file's first reads go through readAt), or when they are gone from under the
    // mapping (the file was cut short behind our lock; the file then stops viewing). On false,
    // readAt is the way: it sees the real size.
    virtual bool readViewed(uint64_t offset, void *buffer, size_t n)
    {
        (void)offset;
        (void)buffer;
        (void)n;
        return false;
    }

    // Reads exactly n bytes or throws CorruptFileError naming the file ("truncated").
    void readExact(uint64_t offset, void *buffer, size_t n);
};

class FileSystem
{
public:
    virtual ~FileSystem() = default;
    // Throws OpenError (missing, locked elsewhere, no permission) naming the path.
    virtual std::unique_ptr<File> open(const std::string &path, OpenMode mode, ShareMode share) = 0;
    // Creates or empties a file and opens it for writing with the given share mode.
    virtual std::unique_ptr<File> create(const std::string &path, ShareMode share) = 0;
    virtual bool exists(const std::string &path) = 0;
    virtual void remove(const std::string &path) = 0;
    // The existing file in the same folder whose name equals path's name in any letter case
    // (an exact match wins); nullopt when there is none. Catalogues come from Windows.
    virtual std::optional<std::string> resolve(const std::string &path) = 0;
    // Gives the file at from the name to, replacing a file of that name in one step (the
    // folder then holds the old file or the new one, never neither), and makes the new name
    // durable. Both names lie on this file system. Throws IoError.
    virtual void rename(const std::string &from, const std::string &to)
    {
        (void)to;
        throw IoError(from, "this file system cannot rename files");
    }

    // The real file system (POSIX, flock-based locks).
    static FileSystem &real();
};

// Replaces the extension of path ("FILMY.DBF" + ".MDX" -> "FILMY.MDX").
std::string withExtension(const std::string &path, const std::string &extension);

} // namespace welarik
