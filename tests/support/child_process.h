#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kelvarin::testing {

// Runs `body` in a forked child and returns its exit status, or nullopt (with `why`) if the
// child could not be started or did not finish within `seconds` (it is killed then). Lets a
// test change process-wide limits or identity, or survive a call that would hang.
std::optional<int> RunInChild(const std::function<int()>& body, unsigned seconds,
                              std::string* why = nullptr);

// Like RunInChild, but the child first gives up root and runs as the user "nobody", so that
// file permissions apply to it. nullopt with `why` when this process is not root.
std::optional<int> RunAsUnprivilegedChild(const std::function<int()>& body, unsigned seconds,
                                          std::string* why = nullptr);

// Starts `body` in a forked child, lets it run for `lifetime` and then kills it with SIGKILL,
// as a crash or a power cut would stop the program at a moment nobody chose. False, with `why`,
// if no child could be started.
bool RunInChildUntilKilled(const std::function<void()>& body, std::chrono::microseconds lifetime,
                           std::string* why = nullptr);

// Another program holding a lock (flock) on a file for as long as this object lives.
class LockHeldElsewhere {
  public:
    enum class Kind { Shared, Exclusive };
    LockHeldElsewhere(const std::string& path, Kind kind);
    ~LockHeldElsewhere();
    LockHeldElsewhere(const LockHeldElsewhere&) = delete;
    LockHeldElsewhere& operator=(const LockHeldElsewhere&) = delete;

    // False, with the reason in why(), if the other process could not take the lock.
    [[nodiscard]] bool held() const { return held_; }
    [[nodiscard]] const std::string& why() const { return why_; }

  private:
    int child_ = -1;
    bool held_ = false;
    std::string why_;
};

} // namespace kelvarin::testing
