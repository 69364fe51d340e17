#include "image_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvarin {
namespace {

void SetError(FileError* error, int code) {
    if (error) {
        *error = {FileErrorKindOf(code), std::strerror(code)};
    }
}

void SetError(FileError* error, FileErrorKind kind, const char* text) {
    if (error) {
        *error = {kind, text};
    }
}

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
std::size_t MoveAll(std::size_t total, const Move& move, const char* whenNothingMoved,
                    FileError* error, bool* movedNothing) {
    std::size_t done = 0;
    while (done < total) {
        const ssize_t moved = move(done);
        if (moved < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, errno);
            return done;
        }
        if (moved == 0) {
            if (movedNothing) {
                *movedNothing = true;
            }
            SetError(error, FileErrorKind::Other, whenNothingMoved);
            return done;
        }
        done += static_cast<std::size_t>(moved);
    }
    return done;
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
    case ENXIO:
    case ENODEV:
        return FileErrorKind::Missing;
    case EISDIR:
        return FileErrorKind::NotPlainFile;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: // the file-size limit: for this file the disk is as good as full
        return FileErrorKind::NoSpace;
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
        facts.missing = errno == ENOENT || errno == ENOTDIR;
        SetError(error, errno);
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
        SetError(error, errno);
        return {};
    }
    return ImageFile(fd);
}

bool ImageFile::facts(FileFacts& facts, FileError* error) const {
    struct stat info {};
    if (::fstat(Descriptor(handle_), &info) != 0) {
        facts = {};
        SetError(error, errno);
        return false;
    }
    facts = FactsOf(info);
    return true;
}

bool ImageFile::lock(Lock kind, FileError* error) const {
    // flock locks belong to the open file, so they end with close() and do not clash with locks
    // the same process holds through another descriptor the way fcntl locks would.
    const int operation = (kind == Lock::Shared ? LOCK_SH : LOCK_EX) | LOCK_NB;
    int result = -1;
    do {
        result = ::flock(Descriptor(handle_), operation);
    } while (result != 0 && errno == EINTR);
    if (result == 0) {
        return true;
    }
    if (errno == EWOULDBLOCK) {
        SetError(error, FileErrorKind::InUse, "another program is using the file");
        return false;
    }
    if (errno == ENOLCK || errno == EOPNOTSUPP || errno == ENOSYS) {
        return true;
    }
    SetError(error, errno);
    return false;
}

std::size_t ImageFile::readAt(std::int64_t offset, std::span<std::uint8_t> buffer, FileError* error,
                              bool* endOfFile) const {
    if (endOfFile) {
        *endOfFile = false;
    }
    return MoveAll(
        buffer.size(),
        [&](std::size_t done) {
            return ::pread(Descriptor(handle_), buffer.data() + done, buffer.size() - done,
                           static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        },
        "the position lies past the end of the file", error, endOfFile);
}

bool ImageFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                        FileError* error) const {
    const std::size_t written = MoveAll(
        bytes.size(),
        [&](std::size_t done) {
            return ::pwrite(Descriptor(handle_), bytes.data() + done, bytes.size() - done,
                            static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        },
        "the system accepted no bytes", error, nullptr);
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
        SetError(error, errno);
        return false;
    }
    return true;
}

std::size_t ImageFile::readBackAt(std::int64_t offset, std::span<std::uint8_t> buffer,
                                  FileError* error) const {
#if defined(POSIX_FADV_DONTNEED)
    // Only clean pages can be dropped, which is why this comes after the flush; the advice is a
    // request, so a file system that keeps its pages (or has none) is simply read as it is.
    ::posix_fadvise(Descriptor(handle_), static_cast<off_t>(offset),
                    static_cast<off_t>(buffer.size()), POSIX_FADV_DONTNEED);
#endif
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
        SetError(error, errno);
        return false;
    }
    return true;
}

} // namespace kelvarin
