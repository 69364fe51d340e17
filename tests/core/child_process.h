#pragma once

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

} // namespace kelvarin::testing
