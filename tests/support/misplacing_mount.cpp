#include "misplacing_mount.h"

#include <cctype>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/mount.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvarin::testing {

namespace fs = std::filesystem;

namespace {

// Waits up to `tenthsOfSeconds` for the child to end; false if it is still running.
bool Reaped(pid_t child, int tenthsOfSeconds, int& status) {
    for (int i = 0; i <= tenthsOfSeconds; ++i) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child || (done < 0 && errno != EINTR)) {
            return true;
        }
        ::usleep(100'000);
    }
    return false;
}

} // namespace

MisplacingMount::MisplacingMount(const fs::path& storage, const fs::path& mountPoint,
                                 std::int64_t offset)
    : mountPoint_(mountPoint) {
#ifndef KELVARIN_MISPLACING_FS
    (void)storage;
    (void)offset;
    why_ = "built without libfuse3 (pkg-config found no fuse3)";
#else
    if (::geteuid() != 0) {
        why_ = "mounting a FUSE file system here needs root";
        return;
    }
    if (::access("/dev/fuse", R_OK | W_OK) != 0) {
        why_ = std::string("no usable /dev/fuse here: ") + std::strerror(errno);
        return;
    }
    fs::create_directories(storage);
    fs::create_directories(mountPoint);
    const fs::path log = storage.parent_path() / "misplacing_fs.log";
    const std::string daemon = KELVARIN_MISPLACING_FS;
    const std::string storageOption = "--storage=" + storage.string();
    const std::string offsetOption = "--misplace=" + std::to_string(offset);
    daemon_ = ::fork();
    if (daemon_ == 0) {
        // Should the test die, the daemon ends too and unmounts on its way out.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(out, STDOUT_FILENO);
        ::dup2(out, STDERR_FILENO);
        ::execl(daemon.c_str(), daemon.c_str(), storageOption.c_str(), offsetOption.c_str(), "-f",
                "-s", "-o", "fsname=misplacing", mountPoint.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    if (daemon_ < 0) {
        why_ = std::string("fork failed: ") + std::strerror(errno);
        return;
    }
    mounted_ = waitForMount(log);
#endif
}

bool MisplacingMount::waitForMount(const fs::path& log) {
    struct stat parent {};
    struct stat top {};
    for (int i = 0; i < 100; ++i) {
        int status = 0;
        if (::waitpid(daemon_, &status, WNOHANG) == daemon_) {
            daemon_ = -1;
            std::ostringstream said;
            said << std::ifstream(log).rdbuf();
            std::string text = said.str();
            while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) {
                text.pop_back();
            }
            why_ = (WIFEXITED(status)
                        ? "misplacing_fs exited with " + std::to_string(WEXITSTATUS(status))
                        : "misplacing_fs died of signal " + std::to_string(WTERMSIG(status))) +
                   " without mounting: " + text;
            return false;
        }
        if (::stat(mountPoint_.parent_path().c_str(), &parent) == 0 &&
            ::stat(mountPoint_.c_str(), &top) == 0 && top.st_dev != parent.st_dev) {
            return true;
        }
        ::usleep(50'000);
    }
    why_ = "misplacing_fs did not mount within 5 seconds";
    return false;
}

MisplacingMount::~MisplacingMount() {
    // Detached first, so that no mount outlives the test even if the daemon hangs; then the
    // daemon is asked to end, and made to if it does not.
    if (daemon_ > 0) {
        ::umount2(mountPoint_.c_str(), MNT_DETACH);
        ::kill(daemon_, SIGTERM);
        int status = 0;
        if (!Reaped(daemon_, 50, status)) {
            ::kill(daemon_, SIGKILL);
            Reaped(daemon_, 50, status);
        }
    }
}

void MisplacingMount::arm(bool on) const {
    if (daemon_ > 0) { // kill(-1, ...) would reach every process there is
        ::kill(daemon_, on ? SIGUSR1 : SIGUSR2);
    }
}

} // namespace kelvarin::testing
