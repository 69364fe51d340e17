#include "byte_io_report.h"

namespace kelvarin {

const char* ByteIoStepName(ByteIoStep step) {
    switch (step) {
    case ByteIoStep::Open:
        return "open";
    case ByteIoStep::Read:
        return "read";
    case ByteIoStep::Write:
        return "write";
    case ByteIoStep::Convert:
        return "convert";
    case ByteIoStep::Range:
        return "position";
    }
    return "unknown";
}

} // namespace kelvarin
