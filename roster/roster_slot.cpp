#include "roster_slot.h"

#include "image/hex_text.h"

namespace kelvarin {

const char* SlotKindName(SlotKind kind) {
    return kind == SlotKind::Species ? "species" : "level";
}

std::string SlotTitle(const RosterSlot& slot) {
    return "Gym " + std::to_string(slot.gym) + ", member " + std::to_string(slot.member) + ", " +
           SlotKindName(slot.kind);
}

std::string DescribeSlot(const RosterSlot& slot) {
    return SlotTitle(slot) + " (offset " + HexNumber(static_cast<std::uint32_t>(slot.offset)) + ")";
}

} // namespace kelvarin
