// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// The probe's only way to a video file: open for reading, seek to an absolute position, read an
// exact number of bytes, close. The probe talks to ProbeFile, so tests and the fuzzer can hand it
// bytes in memory, count closes or fail a chosen read.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace welarik {

// Kinds of file failure. Each has the fixed English text of the file layer (FileError::text).
enum class FileErrorKind {
    None,         // success
    NotFound,     // "File not found": the file does not exist
    AccessDenied, // "File access denied": no permission to open it
    EndOfFile,    // "Read beyond end of file": fewer bytes left than asked for
    Io,           // "I/O error N": any other failure, N being the platform's error code
};

// Outcome of one file operation; converts to true when something failed.
struct FileError
{
    FileErrorKind kind = FileErrorKind::None;
    // The platform's error code (errno) where one exists; it is the N of "I/O error N".
    int code = 0;

    explicit operator bool() const { return kind != FileErrorKind::None; }
    // The text the user sees: "File not found", "File access denied", "Read beyond end of file"
    // or "I/O error N"; empty for success.
    std::string text() const;

    // Maps an errno value: ENOENT -> NotFound, EACCES and EPERM -> AccessDenied, others -> Io.
    static FileError fromErrno(int err);
    static FileError io(int err) { return {FileErrorKind::Io, err}; }
    static FileError endOfFile() { return {FileErrorKind::EndOfFile, 0}; }
};

bool operator==(const FileError &a, const FileError &b);

// A file opened for reading only. The caller opens at most once; after a successful open it
// calls close exactly once, and never calls close after a failed open.
class ProbeFile
{
public:
    virtual ~ProbeFile() = default;
    // Opens an existing file for reading only, letting other programs read and write it
    // meanwhile.
    virtual FileError open(const std::string &name) = 0;
    // Sets the read position. A negative position fails with FileError::io(EINVAL), the code
    // the platform gives when it refuses one; a position past the end is accepted (the next
    // read then fails).
    virtual FileError seek(int32_t position) = 0;
    // Reads exactly size bytes at the read position and moves past them; fewer bytes left is
    // FileErrorKind::EndOfFile.
    virtual FileError read(uint8_t *buffer, size_t size) = 0;
    virtual void close() = 0;
};

// The real file, through the C library's streams (a plain read-only open takes no lock). Pipes,
// sockets and character devices are refused with FileError::io(ESPIPE) instead of blocking.
class StdProbeFile final : public ProbeFile
{
public:
    StdProbeFile() = default;
    ~StdProbeFile() override;
    StdProbeFile(const StdProbeFile &) = delete;
    StdProbeFile &operator=(const StdProbeFile &) = delete;

    FileError open(const std::string &name) override;
    FileError seek(int32_t position) override;
    FileError read(uint8_t *buffer, size_t size) override;
    void close() override;

private:
    std::FILE *m_stream = nullptr;
};

// A file held in memory; open succeeds whatever the name. Used by tests and the fuzzer.
class MemoryProbeFile : public ProbeFile
{
public:
    explicit MemoryProbeFile(std::vector<uint8_t> bytes)
        : m_bytes(std::move(bytes))
    {}

    FileError open(const std::string &name) override;
    FileError seek(int32_t position) override;
    FileError read(uint8_t *buffer, size_t size) override;
    void close() override;

    bool isOpen() const { return m_open; }

private:
    std::vector<uint8_t> m_bytes;
    size_t m_position = 0;
    bool m_open = false;
};

} // namespace welarik
