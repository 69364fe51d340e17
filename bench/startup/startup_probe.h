#pragma once

class QWidget;

namespace kelvarin {

// For start-up measurements only, in the benchmark's own builds of the programs it times: as
// soon as the first paint of `window` has finished, prints "shown <nanoseconds>"
// (CLOCK_MONOTONIC) on standard output and quits the program.
void ReportFirstPaintAndQuit(QWidget& window);

} // namespace kelvarin
