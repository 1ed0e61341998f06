// SPDX-License-Identifier: GPL-3.0-or-later
// The real file system: POSIX descriptors, pread/pwrite, flock locks (they belong to the open
// file description, so a second open in this process is refused like another process, and
// the kernel drops them when the process dies).

#include "file.h"

#include "errors.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdint>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace welarik {

void File::readExact(uint64_t offset, void *buffer, size_t n)
{
    if (readAt(offset, buffer, n) != n) {
        throw CorruptFileError(path(),
                               "truncated: " + std::to_string(n) + " bytes at offset "
                                   + std::to_string(offset) + " are missing");
    }
}

std::string withExtension(const std::string &path, const std::string &extension)
{
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const bool hasExt = dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExt ? path.substr(0, dot) : path) + extension;
}

namespace {

constexpr uint64_t kPageSize = 4096;

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

// Accesses to a mapping survive the file being cut short under it: touching a mapped page
// past the end of the file raises SIGBUS. Inside a guarded access the handler puts a page of
// zeros where the vanished one was and marks the access failed, so that the access runs to its
// end and its caller goes back to the descriptor, which sees the real size (no jump out of the
// handler: a guard costs a few stores instead of saving every register). Outside a guarded
// access, or at an address it does not cover, the signal goes on to whoever handled it before.
thread_local const uint8_t *t_guardFrom = nullptr; // the mapped bytes being accessed
thread_local const uint8_t *t_guardTo = nullptr;
thread_local volatile std::sig_atomic_t t_guardFailed = 0;
struct sigaction g_previousSigbus;
uintptr_t g_pageSize = 4096;

void onSigbus(int signal, siginfo_t *info, void *context)
{
    const auto *at = static_cast<const uint8_t *>(info->si_addr);
    if (t_guardFrom && at >= t_guardFrom && at < t_guardTo) {
        // NOLINTNEXTLINE(performance-no-int-to-ptr): the page holding the faulting address
        void *page = reinterpret_cast<void *>(reinterpret_cast<uintptr_t>(at) & ~(g_pageSize - 1));
        if (::mmap(page,
                   g_pageSize,
                   PROT_READ | PROT_WRITE,
                   MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS,
                   -1,
                   0)
            != MAP_FAILED) {
            t_guardFailed = 1;
            return;
        }
    }
    if (g_previousSigbus.sa_flags & SA_SIGINFO) {
        if (g_previousSigbus.sa_sigaction) {
            g_previousSigbus.sa_sigaction(signal, info, context);
        }
        return;
    }
    if (g_previousSigbus.sa_handler == SIG_IGN) {
        return;
    }
    if (g_previousSigbus.sa_handler == SIG_DFL) {
        ::signal(signal, SIG_DFL);
        ::raise(signal);
        return;
    }
    g_previousSigbus.sa_handler(signal);
}

bool installSigbusHandler()
{
    if (const long size = ::sysconf(_SC_PAGESIZE); size > 0) {
        g_pageSize = static_cast<uintptr_t>(size);
    }
    struct sigaction action;
    std::memset(&action, 0, sizeof action);
    action.sa_sigaction = onSigbus;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_SIGINFO | SA_NODEFER | SA_ONSTACK;
    return ::sigaction(SIGBUS, &action, &g_previousSigbus) == 0;
}

// Runs touch, which reads or writes the mapped bytes [from, from + n); false when a page of
// them is gone (SIGBUS: the file was cut short under the mapping, or the disk has no room for
// a page written to): what touch read of that page is zeros, what it wrote there is lost.
template<typename Touch>
bool guarded(const void *from, size_t n, Touch touch)
{
    static const bool installed = installSigbusHandler();
    if (!installed) {
        return false;
    }
    t_guardFailed = 0;
    t_guardFrom = static_cast<const uint8_t *>(from);
    t_guardTo = t_guardFrom + n;
    std::atomic_signal_fence(std::memory_order_seq_cst);
    touch();
    std::atomic_signal_fence(std::memory_order_seq_cst);
    t_guardFrom = nullptr;
    return t_guardFailed == 0;
}

// A copy out of the mapping (src mapped) or into it (dst mapped).
bool guardedCopy(void *dst, const void *src, size_t n, const void *mapped)
{
    return guarded(mapped, n, [&] { std::memcpy(dst, src, n); });
}

// Files opened exclusively are also mapped, so that reads of records and index nodes are
// copies from the system's page cache instead of one system call each; opened for writing,
// the mapping is writable, and a file that allows it (mapWrites) has its writes within its
// present size stored into the mapping (the same bytes in the same order as before, each
// visible to the file at once; what lies beyond the end, appends, still goes through the
// descriptor). Nobody else should change such a file
// while it is open, but a program ignoring our lock may cut it short: copies to and from the
// mapping are guarded, and the first one that faults makes the file stop viewing, so reads
// and writes go back to the descriptor and see the real size. The mapping reserves room for
// growth; a file that outgrows it is mapped again, larger, and the older mappings stay until
// the file closes, so views handed out stay valid.
class PosixFile : public File
{
public:
    PosixFile(std::string path, int fd, bool mappable, bool writable, uint64_t size)
        : m_path(std::move(path))
        , m_fd(fd)
        , m_mappable(mappable)
        , m_writable(writable)
        , m_size(size)
    {}
    ~PosixFile() override
    {
        for (const Mapping &m : m_mappings)
            ::munmap(m.address, m.length);
        ::close(m_fd);
    }

    const std::string &path() const override { return m_path; }

    uint64_t size() const override
    {
        struct stat st;
        if (::fstat(m_fd, &st) != 0) {
            throw IoError(m_path, systemError("cannot read the file size"));
        }
        return static_cast<uint64_t>(st.st_size);
    }

    size_t readAt(uint64_t offset, void *buffer, size_t n) override
    {
        auto *out = static_cast<char *>(buffer);
        size_t done = 0;
        while (done < n) {
            const ssize_t r
                = ::pread(m_fd, out + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw IoError(m_path, systemError("read failed"));
            }
            if (r == 0) {
                break;
            }
            done += static_cast<size_t>(r);
        }
        return done;
    }

    void writeAt(uint64_t offset, const void *buffer, size_t n) override
    {
        if (writeMapped(offset, buffer, n)) {
            return;
        }
        const auto *in = static_cast<const char *>(buffer);
        size_t done = 0;
        while (done < n) {
            const ssize_t r
                = ::pwrite(m_fd, in + done, n - done, static_cast<off_t>(offset + done));
            if (r < 0) {
                if (errno == EINTR) {
                    continue;
                }
                throw IoError(m_path, systemError("write failed"));
            }
            if (r == 0) {
                throw IoError(m_path, "write failed: no progress");
            }
            done += static_cast<size_t>(r);
            if (offset + done > m_size) {
                m_size = offset + done;
                m_viewable = std::min<uint64_t>(m_size, m_mappedLength);
            }
        }
    }

    void truncate(uint64_t size) override
    {
        while (::ftruncate(m_fd, static_cast<off_t>(size)) != 0) {
            if (errno != EINTR) {
                throw IoError(m_path, systemError("cannot change the file size"));
            }
        }
        m_size = size;
        m_viewable = std::min<uint64_t>(m_size, m_mappedLength);
    }

    void flush() override
    {
        // pwrite hands the data to the kernel already; nothing is buffered here.
    }

    void sync() override
    {
        if (!m_writable) {
            return;
        }
        // Pages stored through the mapping first (only the part within the file), then the
        // file's data and the size that reaches it.
        if (m_mapWrites && m_base && m_mappedLength > 0) {
            const uint64_t length = std::min<uint64_t>(m_size, m_mappedLength);
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): our own mapping
            void *address = const_cast<uint8_t *>(m_base);
            if (length > 0 && ::msync(address, static_cast<size_t>(length), MS_SYNC) != 0) {
                throw IoError(m_path, systemError("cannot write the mapped pages to the disk"));
            }
        }
        while (::fdatasync(m_fd) != 0) {
            if (errno != EINTR) {
                throw IoError(m_path, systemError("cannot write the file to the disk"));
            }
        }
    }

    const uint8_t *view(uint64_t offset, size_t n) override
    {
        if (offset + n <= m_viewable && m_base) {
            return m_base + offset;
        }
        return mapFor(offset + n) ? m_base + offset : nullptr;
    }

    void mapWrites() override { m_mapWrites = m_writable; }

    void writeWhole8(uint64_t offset, const uint8_t *bytes) override
    {
        if (offset % 8 == 0 && m_writable && m_mappable && offset + 8 <= m_size && mappedYet()
            && view(offset, 8)) {
            uint64_t word;
            std::memcpy(&word, bytes, sizeof word);
            // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): mapped writable
            auto *target = reinterpret_cast<uint64_t *>(const_cast<uint8_t *>(m_base) + offset);
            if (guarded(target, 8, [&] { __atomic_store_n(target, word, __ATOMIC_RELAXED); })) {
                return;
            }
            stopViewing();
        }
        writeAt(offset, bytes, 8);
    }

    bool readViewed(uint64_t offset, void *buffer, size_t n) override
    {
        if (!mappedYet()) {
            return false;
        }
        const uint8_t *bytes = view(offset, n);
        if (!bytes) {
            return false;
        }
        if (guardedCopy(buffer, bytes, n, bytes)) {
            return true;
        }
        stopViewing();
        return false;
    }

private:
    // A file that is only opened, its headers read and closed again is never mapped:
    // unmapping costs more than those reads (every processor the program ran on must drop
    // the mapping from its address cache), so the first reads and writes go through the
    // descriptor.
    bool mappedYet()
    {
        if (m_mappedLength == 0 && m_accessesBeforeMapping > 0) {
            --m_accessesBeforeMapping;
            return false;
        }
        return true;
    }

    // Cut short under the mapping: the mappings stay until close, but nothing is viewed.
    void stopViewing()
    {
        m_mappable = false;
        m_base = nullptr;
        m_mappedLength = 0;
        m_viewable = 0;
    }

    // Stores the bytes through the writable mapping; false when they must go through the
    // descriptor (not writable or mapped, not within the file's present size, or a fault).
    bool writeMapped(uint64_t offset, const void *buffer, size_t n)
    {
        if (!m_mapWrites || !m_mappable || n == 0 || offset + n > m_size || !mappedYet()) {
            return false;
        }
        // The first store to a page costs a fault about as dear as a write call: a page goes
        // through the mapping only once it is written again (recently written pages are kept
        // by number, one slot per number modulo the table's size).
        const uint64_t page = offset / kPageSize + 1;
        uint64_t &recent = m_recentPages[page % m_recentPages.size()];
        if (recent != page) {
            recent = page;
            return false;
        }
        if (!view(offset, n)) {
            return false;
        }
        // NOLINTNEXTLINE(cppcoreguidelines-pro-type-const-cast): mapped writable
        auto *bytes = const_cast<uint8_t *>(m_base) + offset;
        if (guardedCopy(bytes, buffer, n, bytes)) {
            return true;
        }
        stopViewing();
        return false;
    }

    // Maps the file (again) so that its first end bytes can be viewed; false when they
    // cannot (not mappable, beyond the end of the file, no address space).
    bool mapFor(uint64_t end)
    {
        if (!m_mappable || end > m_size || end == 0) {
            return false;
        }
        if (end > m_mappedLength) {
            // Room for the file to grow by half (at least 1 MB) before it is mapped again.
            uint64_t length = m_size + std::max<uint64_t>(m_size / 2, uint64_t{1} << 20);
            length = (length + kPageSize - 1) / kPageSize * kPageSize;
            if (length > SIZE_MAX) {
                return false;
            }
            const int protection = m_writable ? PROT_READ | PROT_WRITE : PROT_READ;
            void *address
                = ::mmap(nullptr, static_cast<size_t>(length), protection, MAP_SHARED, m_fd, 0);
            if (address == MAP_FAILED) {
                m_mappable = false;
                return false;
            }
            m_mappings.push_back({address, static_cast<size_t>(length)});
            m_base = static_cast<const uint8_t *>(address);
            m_mappedLength = length;
        }
        m_viewable = std::min<uint64_t>(m_size, m_mappedLength);
        return end <= m_viewable;
    }

    struct Mapping
    {
        void *address;
        size_t length;
    };
    std::string m_path;
    int m_fd;
    bool m_mappable;
    bool m_writable;                 // opened for writing: the mapping is writable too
    bool m_mapWrites = false;        // writes may be stores into the mapping
    uint64_t m_size;                 // as written through this file, or as found at open
    std::vector<Mapping> m_mappings; // the newest last
    const uint8_t *m_base = nullptr;
    uint64_t m_mappedLength = 0;
    int m_accessesBeforeMapping = 64;
    std::array<uint64_t, 4096> m_recentPages{}; // page numbers + 1 written lately
    uint64_t m_viewable = 0; // bytes that views may show: within the file and the mapping
};

void lockOrThrow(int fd, const std::string &path, ShareMode share)
{
    const int op = (share == ShareMode::Exclusive ? LOCK_EX : LOCK_SH) | LOCK_NB;
    while (::flock(fd, op) != 0) {
        if (errno == EINTR) {
            continue;
        }
        const int err = errno;
        ::close(fd);
        if (err == EWOULDBLOCK) {
            throw OpenError(path, "file is in use by another user");
        }
        errno = err;
        throw OpenError(path, systemError("cannot lock the file"));
    }
}

std::string openFailure(int err)
{
    if (err == ENOENT) {
        return "file does not exist";
    }
    if (err == EACCES || err == EPERM) {
        return "permission denied";
    }
    return std::string("cannot open the file: ") + std::strerror(err);
}

class PosixFileSystem : public FileSystem
{
public:
    std::unique_ptr<File> open(const std::string &path, OpenMode mode, ShareMode share) override
    {
        const int flags = (mode == OpenMode::ReadOnly ? O_RDONLY : O_RDWR) | O_CLOEXEC;
        int fd;
        do {
            fd = ::open(path.c_str(), flags);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            throw OpenError(path, openFailure(errno));
        }
        struct stat st;
        if (::fstat(fd, &st) == 0 && !S_ISREG(st.st_mode)) {
            ::close(fd);
            throw OpenError(path, "not a regular file");
        }
        lockOrThrow(fd, path, share);
        // The size once the lock is ours; unknown (0) leaves nothing to map until we write.
        const uint64_t size = ::fstat(fd, &st) == 0 ? static_cast<uint64_t>(st.st_size) : 0;
        return std::make_unique<PosixFile>(
            path, fd, share == ShareMode::Exclusive, mode == OpenMode::ReadWrite, size);
    }

    std::unique_ptr<File> create(const std::string &path, ShareMode share) override
    {
        // Lock before emptying, so a file another user holds is left untouched.
        int fd;
        do {
            fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        } while (fd < 0 && errno == EINTR);
        if (fd < 0) {
            throw OpenError(path, openFailure(errno));
        }
        lockOrThrow(fd, path, share);
        auto file = std::make_unique<PosixFile>(path, fd, share == ShareMode::Exclusive, true, 0);
        file->truncate(0);
        return file;
    }

    bool exists(const std::string &path) override
    {
        struct stat st;
        return ::stat(path.c_str(), &st) == 0;
    }

    void remove(const std::string &path) override
    {
        if (::unlink(path.c_str()) != 0 && errno != ENOENT) {
            throw IoError(path, systemError("cannot remove the file"));
        }
    }

    void rename(const std::string &from, const std::string &to) override
    {
        if (::rename(from.c_str(), to.c_str()) != 0)
            throw IoError(from, systemError("cannot rename the file to " + to));
        // The folder's entry is what makes the new name survive a power cut.
        const size_t slash = to.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : to.substr(0, slash + 1);
        const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    }

    std::optional<std::string> resolve(const std::string &path) override
    {
        if (exists(path)) {
            return path;
        }
        const size_t slash = path.find_last_of('/');
        const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
        const std::string prefix = slash == std::string::npos ? "" : path.substr(0, slash + 1);
        const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
        DIR *dir = ::opendir(folder.c_str());
        if (dir == nullptr) {
            return std::nullopt;
        }
        std::optional<std::string> found;
        while (const dirent *entry = ::readdir(dir)) {
            if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
                // Several case variants: take the first in byte order, so the choice is stable.
                const std::string candidate = prefix + entry->d_name;
                if (!found || candidate < *found) {
                    found = candidate;
                }
            }
        }
        ::closedir(dir);
        return found;
    }
};

} // namespace

FileSystem &FileSystem::real()
{
    static PosixFileSystem fs;
    return fs;
}

} // namespace welarik
