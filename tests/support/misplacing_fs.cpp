// A FUSE file system that passes one folder through but, once armed, puts the bytes written at
// one chosen offset somewhere else, as the FUSE driver of a FAT card did: the write is reported
// done, the kernel's page cache holds the new bytes, and the file on the storage keeps its old
// ones. A read that gets past the cache (O_DIRECT, or after the cached pages were dropped) comes
// from the storage, and so shows the truth.
//
//   misplacing_fs --storage=FOLDER --misplace=OFFSET -f -s MOUNTPOINT
//
// It starts disarmed; SIGUSR1 arms it, SIGUSR2 disarms it. Run it in one thread (-s): a signal
// sent before a request is then always handled before that request.
#define FUSE_USE_VERSION 31
#include <fuse.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr off_t kMisplacedBytes = 2; // one field

struct Options {
    char* storage = nullptr; // as given
    long long misplace = -1;
};
Options options;
std::string storage; // absolute: the daemon may change its working folder
volatile std::sig_atomic_t armed = 0;

const fuse_opt kOptions[] = {
    {"--storage=%s", offsetof(Options, storage), 0},
    {"--misplace=%lli", offsetof(Options, misplace), 0},
    FUSE_OPT_END,
};

std::string OnStorage(const char* path) {
    return storage + path;
}

int Done(long result) {
    return result < 0 ? -errno : static_cast<int>(result);
}

void* Init(fuse_conn_info* connection, fuse_config* config) {
    // Keep the cached pages across opens, writes and changed times, as the card's driver did:
    // only a read that gets past the cache then sees what the storage holds.
    connection->want &= ~FUSE_CAP_AUTO_INVAL_DATA;
    config->kernel_cache = 1;
    config->direct_io = 0;
    config->entry_timeout = config->attr_timeout = 3600;
    return nullptr;
}

int GetAttr(const char* path, struct stat* info, fuse_file_info* file) {
    return Done(file ? ::fstat(static_cast<int>(file->fh), info)
                     : ::lstat(OnStorage(path).c_str(), info));
}

int OpenFile(const char* path, int flags, mode_t mode, fuse_file_info* file) {
    // O_DIRECT asks the kernel to go past its cache, which it does by asking here; the storage's
    // own cache holds what the storage holds, and unaligned reads must not fail. A misplaced
    // write needs to read what the storage holds, also in a file opened only for writing.
    flags &= ~O_DIRECT;
    if ((flags & O_ACCMODE) == O_WRONLY) {
        flags = (flags & ~O_ACCMODE) | O_RDWR;
    }
    const int fd = ::open(OnStorage(path).c_str(), flags, mode);
    file->fh = static_cast<std::uint64_t>(fd);
    return Done(fd < 0 ? -1 : 0);
}

int Open(const char* path, fuse_file_info* file) {
    return OpenFile(path, file->flags, 0, file);
}

int Create(const char* path, mode_t mode, fuse_file_info* file) {
    return OpenFile(path, file->flags | O_CREAT, mode, file);
}

int Read(const char*, char* buffer, std::size_t size, off_t offset, fuse_file_info* file) {
    return Done(::pread(static_cast<int>(file->fh), buffer, size, offset));
}

int Write(const char*, const char* buffer, std::size_t size, off_t offset, fuse_file_info* file) {
    const int fd = static_cast<int>(file->fh);
    std::vector<char> bytes(buffer, buffer + size);
    // The misplaced bytes land where the file does not reach: the file keeps what it held.
    const off_t from = std::max<off_t>(offset, options.misplace);
    const off_t to =
        std::min<off_t>(offset + static_cast<off_t>(size), options.misplace + kMisplacedBytes);
    if (armed && from < to &&
        ::pread(fd, bytes.data() + (from - offset), static_cast<std::size_t>(to - from), from) <
            0) {
        return -errno;
    }
    return Done(::pwrite(fd, bytes.data(), size, offset));
}

int Truncate(const char* path, off_t size, fuse_file_info* file) {
    return Done(file ? ::ftruncate(static_cast<int>(file->fh), size)
                     : ::truncate(OnStorage(path).c_str(), size));
}

int Sync(const char*, int, fuse_file_info* file) {
    return Done(::fsync(static_cast<int>(file->fh)));
}

int Release(const char*, fuse_file_info* file) {
    return Done(::close(static_cast<int>(file->fh)));
}

void Arm(int signal) {
    armed = signal == SIGUSR1;
}

} // namespace

int main(int argc, char* argv[]) {
    fuse_args args = FUSE_ARGS_INIT(argc, argv);
    char* absolute = nullptr;
    if (fuse_opt_parse(&args, &options, kOptions, nullptr) != 0 || !options.storage ||
        options.misplace < 0 || !(absolute = ::realpath(options.storage, nullptr))) {
        std::fprintf(stderr,
                     "usage: %s --storage=FOLDER --misplace=OFFSET [FUSE options] "
                     "MOUNTPOINT\n",
                     argv[0]);
        return 2;
    }
    storage = absolute;
    std::free(absolute);
    struct sigaction arming {};
    arming.sa_handler = Arm;
    ::sigaction(SIGUSR1, &arming, nullptr);
    ::sigaction(SIGUSR2, &arming, nullptr);

    fuse_operations operations{};
    operations.init = Init;
    operations.getattr = GetAttr;
    operations.open = Open;
    operations.create = Create;
    operations.read = Read;
    operations.write = Write;
    operations.truncate = Truncate;
    operations.fsync = Sync;
    operations.release = Release;
    const int status = fuse_main(args.argc, args.argv, &operations, nullptr);
    fuse_opt_free_args(&args);
    std::free(options.storage);
    return status;
}
