// SPDX-License-Identifier: GPL-3.0-or-later
#include "probefile.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <filesystem>

namespace welarik {

std::string FileError::text() const
{
    switch (kind) {
    case FileErrorKind::None:
        return {};
    case FileErrorKind::NotFound:
        return "File not found";
    case FileErrorKind::AccessDenied:
        return "File access denied";
    case FileErrorKind::EndOfFile:
        return "Read beyond end of file";
    case FileErrorKind::Io:
        break;
    }
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, code).ptr;
    return "I/O error " + std::string(digits, end);
}

FileError FileError::fromErrno(int err)
{
    switch (err) {
    case ENOENT:
        return {FileErrorKind::NotFound, err};
    case EACCES:
    case EPERM:
        return {FileErrorKind::AccessDenied, err};
    default:
        return io(err);
    }
}

bool operator==(const FileError &a, const FileError &b)
{
    return a.kind == b.kind && a.code == b.code;
}

StdProbeFile::~StdProbeFile()
{
    close();
}

FileError StdProbeFile::open(const std::string &name)
{
    close();
    // A pipe, socket or terminal would block the opening or the reads, and none can be
    // positioned: refuse it with the code of a seek on a pipe.
    std::error_code ec;
    const auto status = std::filesystem::status(name, ec);
    if (!ec
        && (std::filesystem::is_fifo(status) || std::filesystem::is_socket(status)
            || std::filesystem::is_character_file(status)))
        return FileError::io(ESPIPE);
    errno = 0;
    std::FILE *file = std::fopen(name.c_str(), "rb");
    if (!file)
        return FileError::fromErrno(errno != 0 ? errno : EIO);
    m_stream = file;
    return {};
}

FileError StdProbeFile::seek(int32_t position)
{
    if (!m_stream)
        return FileError::io(EBADF);
    if (position < 0)
        return FileError::io(EINVAL);
    errno = 0;
    if (std::fseek(m_stream, static_cast<long>(position), SEEK_SET) != 0)
        return FileError::io(errno != 0 ? errno : EIO);
    return {};
}

FileError StdProbeFile::read(uint8_t *buffer, size_t size)
{
    if (!m_stream)
        return FileError::io(EBADF);
    errno = 0;
    const size_t got = std::fread(buffer, 1, size, m_stream);
    if (got == size)
        return {};
    if (std::ferror(m_stream))
        return FileError::io(errno != 0 ? errno : EIO);
    return FileError::endOfFile();
}

void StdProbeFile::close()
{
    if (m_stream) {
        std::fclose(m_stream);
        m_stream = nullptr;
    }
}

FileError MemoryProbeFile::open(const std::string &)
{
    m_open = true;
    m_position = 0;
    return {};
}

FileError MemoryProbeFile::seek(int32_t position)
{
    if (!m_open)
        return FileError::io(EBADF);
    if (position < 0)
        return FileError::io(EINVAL);
    m_position = static_cast<size_t>(position);
    return {};
}

FileError MemoryProbeFile::read(uint8_t *buffer, size_t size)
{
    if (!m_open)
        return FileError::io(EBADF);
    if (m_position > m_bytes.size() || m_bytes.size() - m_position < size)
        return FileError::endOfFile();
    std::memcpy(buffer, m_bytes.data() + m_position, size);
    m_position += size;
    return {};
}

void MemoryProbeFile::close()
{
    m_open = false;
}

} // namespace welarik
