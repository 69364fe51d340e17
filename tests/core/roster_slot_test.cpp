#include "roster/roster_slot.h"

#include <gtest/gtest.h>
#include <map>
#include <set>
#include <utility>

namespace kelvarin {
namespace {

TEST(RosterSlots, SpeciesFirstThenLevelsEachInGymOrder) {
    const std::vector<std::pair<int, int>> members = {
        {1, 1}, {1, 2}, {1, 3}, {2, 1}, {2, 2}, {2, 3}, {3, 1}, {3, 2},
        {3, 3}, {4, 1}, {4, 2}, {4, 3}, {5, 1}, {5, 2}, {5, 3}, {7, 1},
        {7, 2}, {7, 3}, {7, 4}, {8, 1}, {8, 2}, {8, 3}, {8, 4}};
    ASSERT_EQ(members.size() * 2, kRosterSlots.size());
    for (std::size_t i = 0; i < members.size(); ++i) {
        const RosterSlot& species = kRosterSlots[i];
        const RosterSlot& level = kRosterSlots[i + members.size()];
        EXPECT_EQ(species.kind, SlotKind::Species);
        EXPECT_EQ(level.kind, SlotKind::Level);
        EXPECT_EQ(std::make_pair(species.gym, species.member), members[i]);
        EXPECT_EQ(std::make_pair(level.gym, level.member), members[i]);
        // A member's level lies right before its species.
        EXPECT_EQ(level.offset, species.offset - 2) << species.control;
    }
}

TEST(RosterSlots, ControlNamesFollowTheWindowsNaming) {
    std::set<std::string_view> names;
    for (const RosterSlot& slot : kRosterSlots) {
        std::string expected;
        if (slot.kind == SlotKind::Level) {
            expected = "g" + std::to_string(slot.gym) + std::to_string(slot.member);
        } else if (slot.gym == 2) {
            expected = "g2p" + std::to_string(slot.member);
        } else {
            expected = "G" + std::to_string(slot.gym) + "P" + std::to_string(slot.member);
        }
        EXPECT_EQ(slot.control, expected);
        EXPECT_TRUE(names.insert(slot.control).second) << slot.control;
        EXPECT_NE(slot.gym, 6);
    }
}

TEST(RosterSlots, FileLayoutOfTheBlocks) {
    std::map<int, std::vector<std::int32_t>> speciesByGym;
    for (const RosterSlot& slot : kRosterSlots) {
        if (slot.kind == SlotKind::Species) {
            speciesByGym[slot.gym].push_back(slot.offset);
        }
    }
    EXPECT_EQ(speciesByGym[1].front(), 0x1C2F858);
    for (const auto& [gym, offsets] : speciesByGym) {
        const std::int32_t stride = gym == 1 ? 14 : 16;
        for (std::size_t m = 1; m < offsets.size(); ++m) {
            EXPECT_EQ(offsets[m] - offsets[m - 1], stride) << "gym " << gym;
        }
    }
    // Gyms 2, 4, 3, 5, 7, 8 follow one another without a gap: gym 3 lies after gym 4.
    std::int32_t next = 0x1C2FF74;
    for (int gym : {2, 4, 3, 5, 7, 8}) {
        EXPECT_EQ(speciesByGym[gym].front(), next) << "gym " << gym;
        next = speciesByGym[gym].back() + 16;
    }
}

TEST(RosterSlots, TouchNinetyTwoDistinctBytesEndingAtTheLastField) {
    std::set<std::int32_t> bytes;
    for (const RosterSlot& slot : kRosterSlots) {
        bytes.insert(slot.offset);
        bytes.insert(slot.offset + 1);
    }
    EXPECT_EQ(bytes.size(), 92u);
    EXPECT_EQ(kRosterEnd, 0x1C300A6);
    EXPECT_EQ(*bytes.rbegin() + 1, kRosterEnd);
}

TEST(RosterSlots, DescriptionNamesGymMemberKindAndOffset) {
    EXPECT_EQ(DescribeSlot(kRosterSlots[23 + 7]), "Gym 3, member 2, level (offset 0x1C2FFE2)");
    EXPECT_EQ(DescribeSlot(kRosterSlots[22]), "Gym 8, member 4, species (offset 0x1C300A4)");
}

} // namespace
} // namespace kelvarin
