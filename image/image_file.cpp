#include "image_file.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvarin {
namespace {

void SetError(std::string* error, int code) {
    if (error) {
        *error = std::strerror(code);
    }
}

FileKind KindOfMode(mode_t mode) {
    if (S_ISREG(mode)) {
        return FileKind::RegularFile;
    }
    if (S_ISDIR(mode)) {
        return FileKind::Directory;
    }
    if (S_ISFIFO(mode)) {
        return FileKind::NamedPipe;
    }
    if (S_ISCHR(mode)) {
        return FileKind::CharacterDevice;
    }
    if (S_ISBLK(mode)) {
        return FileKind::BlockDevice;
    }
    if (S_ISSOCK(mode)) {
        return FileKind::Socket;
    }
    return FileKind::Other;
}

FileFacts FactsOf(const struct stat& info) {
    FileFacts facts;
    facts.kind = KindOfMode(info.st_mode);
    facts.size = static_cast<std::int64_t>(info.st_size);
    return facts;
}

} // namespace

const char* FileKindDescription(FileKind kind) {
    switch (kind) {
    case FileKind::Missing:
        return "a missing file";
    case FileKind::RegularFile:
        return "a regular file";
    case FileKind::Directory:
        return "a folder";
    case FileKind::NamedPipe:
        return "a named pipe";
    case FileKind::CharacterDevice:
        return "a character device";
    case FileKind::BlockDevice:
        return "a block device";
    case FileKind::Socket:
        return "a socket";
    case FileKind::Other:
        return "not a regular file";
    }
    return "not a regular file";
}

FileFacts InspectPath(const std::string& path, std::string* error) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        FileFacts missing;
        missing.errorCode = errno;
        SetError(error, missing.errorCode);
        return missing;
    }
    return FactsOf(info);
}

ImageFile::ImageFile(ImageFile&& other) noexcept : fd_(other.fd_) {
    other.fd_ = -1;
}

ImageFile& ImageFile::operator=(ImageFile&& other) noexcept {
    if (this != &other) {
        close();
        fd_ = other.fd_;
        other.fd_ = -1;
    }
    return *this;
}

ImageFile::~ImageFile() {
    close();
}

ImageFile ImageFile::Open(const std::string& path, Access access, std::string* error) {
    // No O_CREAT: opening must never make a file appear. O_NONBLOCK: a named pipe with no
    // writer (or reader) must not hang the window; it has no effect on regular files.
    const int mode = access == Access::Read ? O_RDONLY : O_WRONLY;
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

FileFacts ImageFile::facts(std::string* error) const {
    struct stat info {};
    if (::fstat(fd_, &info) != 0) {
        FileFacts missing;
        missing.errorCode = errno;
        SetError(error, missing.errorCode);
        return missing;
    }
    return FactsOf(info);
}

ImageFile::ReadOutcome ImageFile::readAt(std::int64_t offset,
                                         std::span<std::uint8_t> buffer) const {
    ReadOutcome outcome;
    while (outcome.count < buffer.size()) {
        const ssize_t got =
            ::pread(fd_, buffer.data() + outcome.count, buffer.size() - outcome.count,
                    static_cast<off_t>(offset + static_cast<std::int64_t>(outcome.count)));
        if (got < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(&outcome.error, errno);
            return outcome;
        }
        if (got == 0) {
            outcome.endOfFile = true;
            outcome.error = "the position lies past the end of the file";
            return outcome;
        }
        outcome.count += static_cast<std::size_t>(got);
    }
    return outcome;
}

bool ImageFile::writeAt(std::int64_t offset, std::span<const std::uint8_t> bytes,
                        std::string* error) const {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t put = ::pwrite(fd_, bytes.data() + done, bytes.size() - done,
                                     static_cast<off_t>(offset + static_cast<std::int64_t>(done)));
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            SetError(error, errno);
            return false;
        }
        if (put == 0) {
            if (error) {
                *error = "the system accepted no bytes";
            }
            return false;
        }
        done += static_cast<std::size_t>(put);
    }
    return true;
}

bool ImageFile::flushToDisk(std::string* error) const {
    if (::fsync(fd_) != 0) {
        SetError(error, errno);
        return false;
    }
    return true;
}

bool ImageFile::close(std::string* error) {
    if (fd_ < 0) {
        return true;
    }
    // Linux releases the descriptor even when close fails, so it must not be retried.
    const int result = ::close(fd_);
    fd_ = -1;
    if (result != 0 && errno != EINTR) {
        SetError(error, errno);
        return false;
    }
    return true;
}

} // namespace kelvarin
