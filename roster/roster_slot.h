#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace kelvarin {

enum class SlotKind { Species, Level };

// One edited two-byte field of the game image and the list that shows it.
struct RosterSlot {
    int gym;    // 1..8; gym 6 has no slots
    int member; // 1..4, top to bottom
    SlotKind kind;
    std::int32_t offset;      // absolute byte offset of the little-endian field
    std::string_view control; // object name of the drop-down list
};

inline constexpr int kRosterSlotCount = 46;
inline constexpr std::int32_t kFieldSize = 2;

// Both passes walk this table in this order: the 23 species fields, then the 23 level fields,
// each in gym order 1, 2, 3, 4, 5, 7, 8. Gym 3's bytes lie after gym 4's in the file; the order
// here is the gyms', not the file's.
inline constexpr std::array<RosterSlot, kRosterSlotCount> kRosterSlots{{
    {1, 1, SlotKind::Species, 0x1C2F858, "G1P1"}, {1, 2, SlotKind::Species, 0x1C2F866, "G1P2"},
    {1, 3, SlotKind::Species, 0x1C2F874, "G1P3"}, {2, 1, SlotKind::Species, 0x1C2FF74, "g2p1"},
    {2, 2, SlotKind::Species, 0x1C2FF84, "g2p2"}, {2, 3, SlotKind::Species, 0x1C2FF94, "g2p3"},
    {3, 1, SlotKind::Species, 0x1C2FFD4, "G3P1"}, {3, 2, SlotKind::Species, 0x1C2FFE4, "G3P2"},
    {3, 3, SlotKind::Species, 0x1C2FFF4, "G3P3"}, {4, 1, SlotKind::Species, 0x1C2FFA4, "G4P1"},
    {4, 2, SlotKind::Species, 0x1C2FFB4, "G4P2"}, {4, 3, SlotKind::Species, 0x1C2FFC4, "G4P3"},
    {5, 1, SlotKind::Species, 0x1C30004, "G5P1"}, {5, 2, SlotKind::Species, 0x1C30014, "G5P2"},
    {5, 3, SlotKind::Species, 0x1C30024, "G5P3"}, {7, 1, SlotKind::Species, 0x1C30034, "G7P1"},
    {7, 2, SlotKind::Species, 0x1C30044, "G7P2"}, {7, 3, SlotKind::Species, 0x1C30054, "G7P3"},
    {7, 4, SlotKind::Species, 0x1C30064, "G7P4"}, {8, 1, SlotKind::Species, 0x1C30074, "G8P1"},
    {8, 2, SlotKind::Species, 0x1C30084, "G8P2"}, {8, 3, SlotKind::Species, 0x1C30094, "G8P3"},
    {8, 4, SlotKind::Species, 0x1C300A4, "G8P4"}, {1, 1, SlotKind::Level, 0x1C2F856, "g11"},
    {1, 2, SlotKind::Level, 0x1C2F864, "g12"},    {1, 3, SlotKind::Level, 0x1C2F872, "g13"},
    {2, 1, SlotKind::Level, 0x1C2FF72, "g21"},    {2, 2, SlotKind::Level, 0x1C2FF82, "g22"},
    {2, 3, SlotKind::Level, 0x1C2FF92, "g23"},    {3, 1, SlotKind::Level, 0x1C2FFD2, "g31"},
    {3, 2, SlotKind::Level, 0x1C2FFE2, "g32"},    {3, 3, SlotKind::Level, 0x1C2FFF2, "g33"},
    {4, 1, SlotKind::Level, 0x1C2FFA2, "g41"},    {4, 2, SlotKind::Level, 0x1C2FFB2, "g42"},
    {4, 3, SlotKind::Level, 0x1C2FFC2, "g43"},    {5, 1, SlotKind::Level, 0x1C30002, "g51"},
    {5, 2, SlotKind::Level, 0x1C30012, "g52"},    {5, 3, SlotKind::Level, 0x1C30022, "g53"},
    {7, 1, SlotKind::Level, 0x1C30032, "g71"},    {7, 2, SlotKind::Level, 0x1C30042, "g72"},
    {7, 3, SlotKind::Level, 0x1C30052, "g73"},    {7, 4, SlotKind::Level, 0x1C30062, "g74"},
    {8, 1, SlotKind::Level, 0x1C30072, "g81"},    {8, 2, SlotKind::Level, 0x1C30082, "g82"},
    {8, 3, SlotKind::Level, 0x1C30092, "g83"},    {8, 4, SlotKind::Level, 0x1C300A2, "g84"},
}};

// The region of the file the fields lie in: the first byte any slot touches, and one past the
// last (an image must be at least kRosterEnd bytes long).
inline constexpr std::int64_t kRosterStart = [] {
    std::int64_t start = kRosterSlots[0].offset;
    for (const RosterSlot& slot : kRosterSlots) {
        start = slot.offset < start ? slot.offset : start;
    }
    return start;
}();
inline constexpr std::int64_t kRosterEnd = [] {
    std::int64_t end = 0;
    for (const RosterSlot& slot : kRosterSlots) {
        end = slot.offset + kFieldSize > end ? slot.offset + kFieldSize : end;
    }
    return end;
}();

// Number of entries of the list a slot of this kind selects from; valid selections are
// -1 (none) to count - 1.
inline constexpr int kSpeciesEntryCount = 494;
inline constexpr int kLevelEntryCount = 101;

// The texts of the species list: entry 0 is the "unknown" entry, entries 1 to 493 the species
// in national index order. A stored species value is nothing but an index into this table.
extern const std::array<std::string_view, kSpeciesEntryCount> kSpeciesEntries;

constexpr int EntryCount(SlotKind kind) {
    return kind == SlotKind::Species ? kSpeciesEntryCount : kLevelEntryCount;
}

// Whether a stored field value is an entry of its slot's list, or 0xFFFF for none.
constexpr bool FitsList(SlotKind kind, std::uint16_t value) {
    const auto selection = static_cast<std::int16_t>(value);
    return selection >= -1 && selection < EntryCount(kind);
}

// The slot of one member's field, or null for a member that has none (all of gym 6, the fourth
// member of a three-member gym).
constexpr const RosterSlot* FindSlot(int gym, int member, SlotKind kind) {
    for (const RosterSlot& slot : kRosterSlots) {
        if (slot.gym == gym && slot.member == member && slot.kind == kind) {
            return &slot;
        }
    }
    return nullptr;
}

// "species" or "level".
const char* SlotKindName(SlotKind kind);

// "Gym 3, member 2, level (offset 0x1C2FFE2)": how a person is told which field is meant.
std::string DescribeSlot(const RosterSlot& slot);

// "Gym 3, member 2, level": the same without the offset, where the value matters more.
std::string SlotTitle(const RosterSlot& slot);

} // namespace kelvarin
