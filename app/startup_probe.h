#pragma once

class QWidget;

namespace kelvarin {

// Name of the environment variable that turns the probe on.
inline constexpr char kStartupProbeVariable[] = "KELVARIN_STARTUP_PROBE";

// For start-up measurements only. When KELVARIN_STARTUP_PROBE is set to a non-empty value,
// `window` prints "shown <nanoseconds>" (CLOCK_MONOTONIC) on standard output as soon as its
// first paint has finished, and the program then quits. Without the variable this does
// nothing at all.
void WatchFirstPaintIfAsked(QWidget& window);

} // namespace kelvarin
