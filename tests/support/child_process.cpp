#include "child_process.h"

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

namespace kelvarin::testing {

std::optional<int> RunInChild(const std::function<int()>& body, unsigned seconds,
                              std::string* why) {
    const pid_t child = ::fork();
    if (child < 0) {
        if (why) {
            *why = "fork failed";
        }
        return std::nullopt;
    }
    if (child == 0) {
        ::alarm(seconds); // a hang ends in SIGALRM instead of a stuck test run
        ::_exit(body());
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        return WEXITSTATUS(status);
    }
    if (why) {
        *why = WTERMSIG(status) == SIGALRM
                   ? "the child did not finish in time"
                   : "the child died of signal " + std::to_string(WTERMSIG(status));
    }
    return std::nullopt;
}

std::optional<int> RunAsUnprivilegedChild(const std::function<int()>& body, unsigned seconds,
                                          std::string* why) {
    if (::geteuid() != 0) {
        if (why) {
            *why = "not running as root, so there is no one to switch to";
        }
        return std::nullopt;
    }
    const passwd* nobody = ::getpwnam("nobody");
    const uid_t uid = nobody ? nobody->pw_uid : 65534;
    const gid_t gid = nobody ? nobody->pw_gid : 65534;
    return RunInChild(
        [&] {
            if (::setgroups(0, nullptr) != 0 || ::setgid(gid) != 0 || ::setuid(uid) != 0) {
                return 99;
            }
            return body();
        },
        seconds, why);
}

bool RunInChildUntilKilled(const std::function<void()>& body, std::chrono::microseconds lifetime,
                           std::string* why) {
    const pid_t child = ::fork();
    if (child < 0) {
        if (why) {
            *why = std::string("fork failed: ") + std::strerror(errno);
        }
        return false;
    }
    if (child == 0) {
        ::alarm(60);
        body();
        ::_exit(0);
    }
    ::usleep(static_cast<useconds_t>(lifetime.count()));
    ::kill(child, SIGKILL);
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

LockHeldElsewhere::LockHeldElsewhere(const std::string& path, Kind kind) {
    int ready[2];
    if (::pipe(ready) != 0) {
        why_ = std::string("pipe failed: ") + std::strerror(errno);
        return;
    }
    child_ = ::fork();
    if (child_ < 0) {
        why_ = std::string("fork failed: ") + std::strerror(errno);
    } else if (child_ == 0) {
        ::close(ready[0]);
        ::alarm(120); // in case the test never ends it
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        const char answer =
            fd >= 0 && ::flock(fd, kind == Kind::Shared ? LOCK_SH : LOCK_EX) == 0 ? 'y' : 'n';
        (void)!::write(ready[1], &answer, 1);
        for (;;) {
            ::pause();
        }
    }
    ::close(ready[1]);
    char answer = 'n';
    if (child_ > 0 && ::read(ready[0], &answer, 1) == 1 && answer == 'y') {
        held_ = true;
    } else if (child_ > 0) {
        why_ = "the other process could not lock " + path;
    }
    ::close(ready[0]);
}

LockHeldElsewhere::~LockHeldElsewhere() {
    if (child_ > 0) {
        ::kill(child_, SIGKILL);
        int status = 0;
        while (::waitpid(child_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

} // namespace kelvarin::testing
