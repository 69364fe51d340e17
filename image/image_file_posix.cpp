#include "busy_retry.h"
#include "file_error_codes.h"
#include "image_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <string>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#if defined(__linux__)
#include <sys/vfs.h>
#endif

namespace kelvarin {
namespace {

void SetError(FileError* error, FileError what) {
    if (error) {
        *error = std::move(what);
    }
}

FileError SystemError(int code) {
    return {FileErrorKindOf(code), std::strerror(code)};
}

#if defined(__linux__)
// Mounts whose files live on another computer, by the file-system type the system reports.
bool IsNetworkFileSystem(const struct statfs& mount) {
    static constexpr unsigned long kNetworkTypes[] = {
        0x6969,     // NFS
        0xFE534D42, // SMB2 (the smb3 client)
        0xFF534D42, // CIFS
        0x517B,     // SMB (the old client)
        0x00C36400, // Ceph
        0x5346414F, // AFS (OpenAFS)
        0x6B414653, // AFS (the kernel's own client)
        0x01021997, // 9P
        0x564C,     // NCP (NetWare)
        0x0BD00BD0, // Lustre
        0x47504653, // GPFS
    };
    const auto type = static_cast<unsigned long>(mount.f_type) & 0xFFFFFFFFu;
    return std::find(std::begin(kNetworkTypes), std::end(kNetworkTypes), type) !=
           std::end(kNetworkTypes);
}
#endif

// A stale or disconnected file comes from a network file system, or from a disk or share run by
// a FUSE driver that stopped (an exFAT or NTFS stick, an sshfs share): the same codes. Only a
// mount the system calls a network file system is told as a network share; the rest, also when
// the mount cannot be asked any more (a dead FUSE driver answers nothing), get words true for
// both.
template <typename AskMount> FileError SystemErrorOn(int code, const AskMount& askMount) {
    FileError error = SystemError(code);
    if (code == ESTALE || code == ENOTCONN) {
        bool network = false;
#if defined(__linux__)
        struct statfs mount {};
        network = askMount(mount) && IsNetworkFileSystem(mount);
#else
        (void)askMount;
#endif
        error.kind = network ? FileErrorKind::Network : FileErrorKind::StoppedAnswering;
    }
    return error;
}

#if defined(__linux__)
FileError SystemError(int code, int fd) {
    return SystemErrorOn(code, [fd](struct statfs& mount) { return ::fstatfs(fd, &mount) == 0; });
}

FileError SystemError(int code, const std::string& path) {
    return SystemErrorOn(
        code, [&path](struct statfs& mount) { return ::statfs(path.c_str(), &mount) == 0; });
}
#else
FileError SystemError(int code, int) {
    return SystemErrorOn(code, [] { return false; });
}

FileError SystemError(int code, const std::string&) {
    return SystemErrorOn(code, [] { return false; });
}
#endif

int Descriptor(std::intptr_t handle) {
    return static_cast<int>(handle);
}

// "" for a regular file; otherwise what the mode names, for messages. One answer for the look at
// the path before opening and for the check on the open descriptor after.
const char* NotARegularFile(mode_t mode) {
    struct Kind {
        mode_t type;
        const char* name;
    };
    static constexpr Kind kKinds[] = {
        {S_IFREG, ""},
        {S_IFDIR, "a folder"},
        {S_IFIFO, "a named pipe"},
        {S_IFCHR, "a character device"},
        {S_IFBLK, "a block device"},
        {S_IFSOCK, "a socket"},
    };
    for (const Kind& kind : kKinds) {
        if ((mode & S_IFMT) == kind.type) {
            return kind.name;
        }
    }
    return "not a regular file";
}

std::int64_t ModificationTicks(const struct stat& info) {
#if defined(__APPLE__)
    const struct timespec& when = info.st_mtimespec;
#else
    const struct timespec& when = info.st_mtim;
#endif
    return static_cast<std::int64_t>(when.tv_sec) * 1'000'000'000 + when.tv_nsec;
}

FileFacts FactsOf(const struct stat& info) {
    FileFacts facts;
    facts.notPlainFile = NotARegularFile(info.st_mode);
    facts.size = static_cast<std::int64_t>(info.st_size);
    facts.identity = {static_cast<std::uint64_t>(info.st_dev),
                      static_cast<std::uint64_t>(info.st_ino)};
    facts.modified = ModificationTicks(info);
    return facts;
}

// Repeats a positioned read or write for the rest of the bytes after a short or interrupted call,
// until all `total` have moved. Returns how many moved; fewer means `error` says why, and
// `movedNothing` is set when the system moved no byte at all (for a read: the file ended).
template <typename Move>
std::size_t MoveAll(int fd, std::size_t total, const Move& move, FileFinding whenNothingMoved,
                    FileError* error, bool* movedNothing) {
    std::size_t done = 0;
    while (done < total) {
        const ssize_t moved = move(done);
        if (moved < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, SystemError(errno, fd));
            return done;
        }
        if (moved == 0) {
            if (movedNothing) {
                *movedNothing = true;
            }
            SetError(error, {FileErrorKind::Other, {}, {}, -1, whenNothingMoved});
            return done;
        }
        done += static_cast<std::size_t>(moved);
    }
    return done;
}

// The alignment direct reads need, of the file offset and of the memory they go to.
struct DirectAlignment {
    std::size_t offset = 0;
    std::size_t memory = 0;
};

// What the file system asks of direct reads of this file; where the system does not say (older
// kernels, other systems), a page, which meets the sector sizes disks use; nothing where the
// file system says it cannot read this file directly.
std::optional<DirectAlignment> DirectAlignmentOf(int fd) {
    const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
#ifdef STATX_DIOALIGN
    struct statx info {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_DIOALIGN, &info) == 0 &&
        (info.stx_mask & STATX_DIOALIGN) != 0) {
        if (info.stx_dio_offset_align == 0 || info.stx_dio_mem_align == 0) {
            return std::nullopt;
        }
        return DirectAlignment{info.stx_dio_offset_align,
                               std::max<std::size_t>(info.stx_dio_mem_align, alignof(void*))};
    }
#else
    (void)fd;
#endif
    return DirectAlignment{page, page};
}

// The range [offset, offset + length) widened to whole units of `unit` bytes.
struct Span {
    std::int64_t first = 0;
    std::size_t length = 0;
};

Span Widened(std::int64_t offset, std::size_t length, std::size_t unit) {
    const auto step = static_cast<std::int64_t>(unit);
    const std::int64_t first = offset / step * step;
    const std::int64_t end = offset + static_cast<std::int64_t>(length);
    return {first, static_cast<std::size_t>((end - first + step - 1) / step * step)};
}

struct DirectRead {
    bool tried = false;   // false: the file system cannot read this file directly
    std::size_t read = 0; // bytes of the caller's range read
    FileError error;      // why fewer were read
};

#if defined(O_DIRECT)
// A descriptor closed when it goes out of scope.
struct OwnedDescriptor {
    int fd = -1;
    ~OwnedDescriptor() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

struct FreeAligned {
    void operator()(std::uint8_t* memory) const { std::free(memory); }
};
using AlignedBytes = std::unique_ptr<std::uint8_t, FreeAligned>;

AlignedBytes AllocateAligned(std::size_t alignment, std::size_t size) {
    void* memory = nullptr;
    return AlignedBytes(::posix_memalign(&memory, alignment, size) == 0
                            ? static_cast<std::uint8_t*>(memory)
                            : nullptr);
}

// A second descriptor of the same open file that bypasses the page cache. Opened through
// /proc/self/fd so that it reaches this very file, whatever its path names now; -1 where the file
// system refuses direct reads (EINVAL) or /proc is missing.
int OpenDirect(int fd) {
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int direct = -1;
    do {
        direct = ::open(self.c_str(), O_RDONLY | O_DIRECT | O_CLOEXEC | O_NOCTTY);
    } while (direct < 0 && errno == EINTR);
    return direct;
}

FileError PastTheEnd() {
    return {FileErrorKind::Other, {}, {}, -1, FileFinding::PastTheEnd};
}

// Reads the whole units of `span` until `needed` bytes are in memory or the file ends. Nothing
// tried when the file system refuses the first read (some accept the open, not the read).
DirectRead ReadUnits(int direct, const Span& span, std::size_t unit, std::uint8_t* memory,
                     std::size_t needed) {
    DirectRead units{true, 0, {}};
    while (units.read < needed) {
        const ssize_t moved =
            ::pread(direct, memory + units.read, span.length - units.read,
                    static_cast<off_t>(span.first) + static_cast<off_t>(units.read));
        if (moved < 0 && errno == EINTR) {
            continue;
        }
        if (moved < 0 && errno == EINVAL && units.read == 0) {
            return {};
        }
        if (moved <= 0) {
            units.error = moved < 0 ? SystemError(errno, direct) : PastTheEnd();
            return units;
        }
        units.read += static_cast<std::size_t>(moved);
        if (static_cast<std::size_t>(moved) % unit != 0) {
            break; // the file ended inside the last unit
        }
    }
    if (units.read < needed) {
        units.error = PastTheEnd();
    }
    return units;
}
#endif

// Reads the caller's range past the page cache, in whole aligned units into aligned memory, and
// hands back its part of them.
DirectRead ReadDirect(int fd, std::int64_t offset, std::span<std::uint8_t> buffer) {
#if defined(O_DIRECT)
    const std::optional<DirectAlignment> alignment = DirectAlignmentOf(fd);
    if (!alignment) {
        return {};
    }
    const OwnedDescriptor direct{OpenDirect(fd)};
    const Span span = Widened(offset, buffer.size(), alignment->offset);
    const AlignedBytes memory = AllocateAligned(alignment->memory, span.length);
    if (direct.fd < 0 || !memory) {
        return {};
    }
    const auto skip = static_cast<std::size_t>(offset - span.first);
    DirectRead result =
        ReadUnits(direct.fd, span, alignment->offset, memory.get(), skip + buffer.size());
    result.read = std::min(result.read > skip ? result.read - skip : 0, buffer.size());
    std::copy_n(memory.get() + skip, result.read, buffer.begin());
    return result;
#else
    (void)fd;
    (void)offset;
    (void)buffer;
    return {};
#endif
}

// Asks the system to forget its cached pages of the range, widened to whole pages: it drops only
// pages that lie wholly inside the range it is given. False when it cannot be asked.
bool DropCachedPages(int fd, std::int64_t offset, std::size_t length) {
#if defined(POSIX_FADV_DONTNEED)
    const Span pages = Widened(offset, length, static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)));
    return ::posix_fadvise(fd, static_cast<off_t>(pages.first), static_cast<off_t>(pages.length),
                           POSIX_FADV_DONTNEED) == 0;
#else
    (void)fd;
    (void)offset;
    (void)length;
    return false;
#endif
}

} // namespace

FileErrorKind FileErrorKindOf(long systemCode) {
    switch (systemCode) {
    case 0:
        return FileErrorKind::None;
    case EWOULDBLOCK:
    case ETXTBSY:
    case EBUSY:
        return FileErrorKind::InUse;
    case ENOENT:
    case ENOTDIR:
        return FileErrorKind::Missing;
    case ENXIO:
    case ENODEV:
#ifdef ENOMEDIUM
    case ENOMEDIUM:
#endif
        return FileErrorKind::MediumGone;
    case EISDIR:
        return FileErrorKind::NotPlainFile;
    case ENOSPC:
        return FileErrorKind::NoSpace;
    case EDQUOT:
        return FileErrorKind::QuotaExceeded;
    case EFBIG:
        return FileErrorKind::FileTooLarge;
    case EROFS:
        return FileErrorKind::ReadOnly;
    case EACCES:
        return FileErrorKind::PermissionDenied;
    case EPERM: // chattr +i / +a, or a sealed file
        return FileErrorKind::NotPermitted;
    case EIO:
        return FileErrorKind::InputOutput;
    case ESTALE:
    case ENOTCONN:
    case ECONNRESET:
    case ECONNABORTED:
    case ETIMEDOUT:
    case EHOSTDOWN:
    case EHOSTUNREACH:
    case ENETDOWN:
    case ENETUNREACH:
    case ENETRESET:
#ifdef EREMOTEIO
    case EREMOTEIO:
#endif
#ifdef ENOLINK
    case ENOLINK:
#endif
        return FileErrorKind::Network;
    default:
        return FileErrorKind::Other;
    }
}

std::string FileNameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool InspectPath(const std::string& path, FileFacts& facts, FileError* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        facts = {};
        SetError(error, SystemError(errno, path));
        return false;
    }
    facts = FactsOf(info);
    return true;
}

ImageFile ImageFile::Open(const std::string& path, Access access, FileError* error) {
    // No O_CREAT: opening must never make a file appear. O_NONBLOCK: a named pipe with no
    // writer (or reader) must not hang the window; it has no effect on regular files.
    const int mode = access == Access::Read ? O_RDONLY : O_RDWR;
    int fd = -1;
    do {
        fd = ::open(path.c_str(), mode | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        SetError(error, SystemError(errno, path));
        return {};
    }
    return ImageFile(fd);
}

bool ImageFile::facts(FileFacts& facts, FileError* error) const {
    struct stat info {};
    if (::fstat(Descriptor(handle_), &info) != 0) {
        facts = {};
        SetError(error, SystemError(errno, Descriptor(handle_)));
        return false;
    }
    facts = FactsOf(info);
    return true;
}

bool ImageFile::lock(Lock kind, FileError* error) {
    // flock locks belong to the open file, so they end with close() and do not clash with locks
    // the same process holds through another descriptor the way fcntl locks would.
    const int operation = (kind == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    int code = 0;
    const bool locked = RetriedWhileBusy(
        [&] {
            int result = -1;
            do {
                result = ::flock(Descriptor(handle_), operation);
            } while (result != 0 && errno == EINTR);
            code = result == 0 ? 0 : errno;
            return result == 0;
        },
        [&] { return code == EWOULDBLOCK; });
    if (locked || code == ENOLCK || code == EOPNOTSUPP || code == ENOSYS) {
        return true;
    }
    if (code == EWOULDBLOCK) {
        // The system's words for it ("Resource temporarily unavailable") would mislead.
        SetError(error, {FileErrorKind::InUse, {}});
        return false;
    }
    SetError(error, SystemError(code, Descriptor(handle_)));
    return false;
}

std::size_t ImageFile::readAt(std::int64_t offset, std::span<std::uint8_t> buffer, FileError* error,
                              bool* endOfFile) const {
    if (endOfFile) {
        *endOfFile = false;
    }
    return MoveAll(
        Descriptor(handle_), buffer.size(),
        [&](std::size_t done) {
            return ::pread(Descriptor(handle_), buffer.data() + done, buffer.size() - done,
                           static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        },
        FileFinding::PastTheEnd, error, endOfFile);
}

bool ImageFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                        FileError* error) const {
    const std::size_t written = MoveAll(
        Descriptor(handle_), bytes.size(),
        [&](std::size_t done) {
            return ::pwrite(Descriptor(handle_), bytes.data() + done, bytes.size() - done,
                            static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        },
        FileFinding::NothingAccepted, error, nullptr);
    return written == bytes.size();
}

bool ImageFile::flushToDisk(FileError* error) const {
#if defined(__APPLE__) && defined(F_FULLFSYNC)
    // fsync on macOS only hands the data to the drive, whose cache may still lose it; a full
    // flush asks the drive to write it out. Some file systems refuse it: fall back to fsync.
    if (::fcntl(Descriptor(handle_), F_FULLFSYNC) == 0) {
        return true;
    }
#endif
    if (::fsync(Descriptor(handle_)) != 0) {
        SetError(error, SystemError(errno, Descriptor(handle_)));
        return false;
    }
    return true;
}

std::size_t ImageFile::readBackAt(std::int64_t offset, std::span<std::uint8_t> buffer,
                                  ReadBack& way, FileError* error) const {
    // Only clean pages can be dropped, which is why this comes after the flush. They are dropped
    // also before a direct read: some file systems (btrfs) serve a direct read from their cache
    // without saying so.
    const bool dropped = DropCachedPages(Descriptor(handle_), offset, buffer.size());
    if (const DirectRead direct = ReadDirect(Descriptor(handle_), offset, buffer); direct.tried) {
        way = ReadBack::PastCache;
        if (direct.read < buffer.size()) {
            SetError(error, direct.error);
        }
        return direct.read;
    }
    way = dropped ? ReadBack::CacheDropped : ReadBack::CachedOnly;
    return readAt(offset, buffer, error);
}

bool ImageFile::close(FileError* error) {
    if (handle_ == kClosed) {
        return true;
    }
    // Linux releases the descriptor even when close fails, so it must not be retried.
    const int result = ::close(Descriptor(handle_));
    handle_ = kClosed;
    if (result != 0 && errno != EINTR) {
        SetError(error, SystemError(errno, -1)); // the mount cannot be asked any more
        return false;
    }
    return true;
}

} // namespace kelvarin
