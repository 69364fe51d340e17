#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvarin {

// The step of a byte operation that went wrong.
enum class ByteIoStep {
    Open,    // the file could not be opened
    Read,    // a byte could not be read (failed call, or past the end of the file)
    Write,   // a byte could not be written
    Convert, // a digit pair handed to WriteHEX was not hexadecimal
    Range,   // the offset lies outside what a file position can name
};

struct ByteIoFailure {
    ByteIoStep step;
    std::int64_t offset; // byte offset the failure concerns; -1 for the open itself
    std::string reason;  // what the system said, readable by a person
};

// Collects every failure of one or more byte operations. The operations themselves stay
// forgiving (they never throw and always return text of the promised length); a caller that
// cares passes a report and looks at it afterwards.
struct ByteIoReport {
    std::vector<ByteIoFailure> failures;

    [[nodiscard]] bool ok() const { return failures.empty(); }
    void add(ByteIoStep step, std::int64_t offset, std::string reason) {
        failures.push_back({step, offset, std::move(reason)});
    }
};

// "Read" / "Write" and so on, for messages.
const char* ByteIoStepName(ByteIoStep step);

} // namespace kelvarin
