#include "roster_slot.h"

#include <cstdio>

namespace kelvarin {

const char* SlotKindName(SlotKind kind) {
    return kind == SlotKind::Species ? "species" : "level";
}

std::string DescribeSlot(const RosterSlot& slot) {
    char offset[16];
    std::snprintf(offset, sizeof offset, "0x%X", static_cast<unsigned>(slot.offset));
    return "Gym " + std::to_string(slot.gym) + ", member " + std::to_string(slot.member) + ", " +
           SlotKindName(slot.kind) + " (offset " + offset + ")";
}

} // namespace kelvarin
