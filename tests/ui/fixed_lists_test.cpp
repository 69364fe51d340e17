// The lists a user picks from, as they come up: which entries they hold, that none is
// selected, and that each kind of list is filled once.

#include "window_fixture.h"

#include "roster/roster.h"
#include "ui/fixed_lists.h"

#include <QAbstractItemModel>
#include <QSet>

#include <cstdint>
#include <set>

namespace kelvarin::testing {
namespace {

using FixedListsTest = WindowTest;

QString Entry(const QComboBox* list, int index) {
    return list->itemText(index);
}

TEST_F(FixedListsTest, FiftyTwoListsComeUpFilledAndWithNothingSelected) {
    const QList<QComboBox*> all = window.findChildren<QComboBox*>();
    EXPECT_EQ(all.size(), 52);
    for (const QComboBox* each : all) {
        EXPECT_EQ(each->currentIndex(), -1) << each->objectName().toStdString();
        EXPECT_FALSE(each->isEditable()) << each->objectName().toStdString();
    }
}

TEST_F(FixedListsTest, BoundListsHoldTheSpeciesOrLevelEntries) {
    for (const RosterSlot& slot : kRosterSlots) {
        const QComboBox* bound = list(slot.control);
        ASSERT_NE(bound, nullptr);
        ASSERT_EQ(bound->count(), EntryCount(slot.kind)) << slot.control;
        if (slot.kind == SlotKind::Species) {
            EXPECT_EQ(Entry(bound, 0), "??????????");
            EXPECT_EQ(Entry(bound, kSpeciesEntryCount - 1), "Arceus");
        } else {
            EXPECT_EQ(Entry(bound, 0), "0");
            EXPECT_EQ(Entry(bound, kLevelEntryCount - 1), "100");
        }
    }
}

TEST_F(FixedListsTest, GymSixListsHoldOnlyTheirPlaceholder) {
    for (const char* name : {"G6P1", "G6P2", "G6P3"}) {
        ASSERT_EQ(list(name)->count(), 1) << name;
        EXPECT_EQ(Entry(list(name), 0), "??????????");
    }
    for (const char* name : {"Combo20", "Combo21", "Combo22"}) {
        ASSERT_EQ(list(name)->count(), 1) << name;
        EXPECT_EQ(Entry(list(name), 0), "???");
    }
}

TEST_F(FixedListsTest, EachKindOfListSharesOneModel) {
    std::set<const QAbstractItemModel*> speciesModels;
    std::set<const QAbstractItemModel*> levelModels;
    for (const RosterSlot& slot : kRosterSlots) {
        (slot.kind == SlotKind::Species ? speciesModels : levelModels)
            .insert(list(slot.control)->model());
    }
    EXPECT_EQ(speciesModels.size(), 1u);
    EXPECT_EQ(levelModels.size(), 1u);
    EXPECT_EQ(list("G6P1")->model(), list("G6P3")->model());
    EXPECT_EQ(list("Combo20")->model(), list("Combo22")->model());
}

TEST(SpeciesList, HoldsEveryNameAsTheEditorHasAlwaysSpeltIt) {
    const QStringList species = SpeciesListEntries();
    ASSERT_EQ(species.size(), kSpeciesEntryCount);
    const std::pair<int, const char*> spotChecks[] = {
        {0, "??????????"},   {1, "Bulbasaur"},  {29, "Nidoran -F"},  {32, "Nidoran -M"},
        {83, "Farfetch 'd"}, {122, "Mr.Mime"},  {233, "Porygon 2"},  {250, "Ho -oh"},
        {372, "Shellgon"},   {439, "Mime Jr."}, {474, "Porygon -Z"}, {493, "Arceus"},
    };
    for (const auto& [index, name] : spotChecks) {
        EXPECT_EQ(species.at(index), name) << index;
    }
    // A fingerprint (FNV-1a) of all 494 names joined by newlines, taken from the reference
    // list: a typo anywhere in the table changes it.
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (const char byte : species.join(QLatin1Char('\n')).toLatin1()) {
        hash = (hash ^ static_cast<std::uint8_t>(byte)) * 0x100000001b3u;
    }
    EXPECT_EQ(hash, 0xbad62212b4ecf078u);
    EXPECT_EQ(QSet<QString>(species.begin(), species.end()).size(), kSpeciesEntryCount);
}

TEST(LevelList, EntryIIsTheNumberI) {
    const QStringList levels = LevelListEntries();
    ASSERT_EQ(levels.size(), kLevelEntryCount);
    for (int level = 0; level < kLevelEntryCount; ++level) {
        EXPECT_EQ(levels.at(level), QString::number(level));
    }
}

} // namespace
} // namespace kelvarin::testing
