#pragma once

// For the file layers: a file that another program holds for a moment (a sync program or a virus
// scanner looking at what was just written, another Kelvarin window in the middle of its save)
// is tried again for about a second before it counts as in use.
#include <chrono>
#include <thread>

namespace kelvarin {

inline constexpr std::chrono::milliseconds kBusyPatience{1000};
inline constexpr std::chrono::milliseconds kBusyPause{50};

// Makes `attempt` until it succeeds, until it fails other than by `busy()`, or until the patience
// is spent; true when it succeeded.
template <typename Attempt, typename Busy>
bool RetriedWhileBusy(const Attempt& attempt, const Busy& busy) {
    const auto giveUp = std::chrono::steady_clock::now() + kBusyPatience;
    while (!attempt()) {
        if (!busy() || std::chrono::steady_clock::now() >= giveUp) {
            return false;
        }
        std::this_thread::sleep_for(kBusyPause);
    }
    return true;
}

} // namespace kelvarin
