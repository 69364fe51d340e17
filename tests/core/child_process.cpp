#include "child_process.h"

#include <csignal>
#include <grp.h>
#include <pwd.h>
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
    while (::waitpid(child, &status, 0) < 0) {
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

} // namespace kelvarin::testing
