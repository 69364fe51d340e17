#include "image_checks.h"
#include "roster/roster.h"
#include "test_image.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvarin {
namespace {

using ::testing::AllOf;
using testing::FakeLists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using testing::StoreField;
using testing::TempDir;

constexpr const char* kEarlierImage = "/earlier/image.nds";

class LoadPass : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::MakeRosterImage(image);
        lists.selectAll(7);
        before = lists.all();
    }

    // A refused load must leave the window exactly as it was.
    void ExpectUntouched() {
        EXPECT_EQ(lists.all(), before);
        EXPECT_EQ(ImagePath, kEarlierImage);
    }

    LoadResult ExpectRefused(const std::string& path, const std::string& because) {
        const LoadResult result = LoadRoster(path, ImagePath, lists, record);
        EXPECT_EQ(result.status, LoadStatus::Refused);
        EXPECT_THAT(result.message, HasSubstr(because));
        testing::ExpectReadsWell(path, result.message, result.details, because);
        EXPECT_FALSE(record.holdsImage);
        ExpectUntouched();
        return result;
    }

    TempDir dir;
    std::string image = dir.file("Pokemon Platinum.nds");
    FakeLists lists;
    std::map<std::string, std::int16_t, std::less<>> before;
    std::string ImagePath = kEarlierImage;
    ImageRecord record;
};

TEST_F(LoadPass, ShowsEveryStoredValueAndRemembersThePath) {
    const LoadResult result = LoadRoster(image, ImagePath, lists, record);
    ASSERT_EQ(result.status, LoadStatus::Loaded) << result.message;
    EXPECT_EQ(ImagePath, image);
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        EXPECT_EQ(lists.selectedIndex(kRosterSlots[i].control), testing::RosterImageValue(i))
            << kRosterSlots[i].control;
        EXPECT_EQ(record.fields[i], testing::RosterImageValue(i));
    }
    EXPECT_TRUE(record.holdsImage);
    EXPECT_EQ(record.size, static_cast<std::int64_t>(testing::kImageSize));
    EXPECT_THAT(result.message + result.advice + result.details, IsEmpty());
}

TEST_F(LoadPass, CancelledDialogChangesNothing) {
    const LoadResult result = LoadRoster("", ImagePath, lists, record);
    EXPECT_EQ(result.status, LoadStatus::Cancelled);
    EXPECT_EQ(lists.setCount(), 0);
    ExpectUntouched();
}

TEST_F(LoadPass, ListEndsAndNoneAreAccepted) {
    StoreField(image, 0x1C300A4, 493);    // gym 8 member 4 species: "Arceus"
    StoreField(image, 0x1C300A2, 100);    // its level: "100"
    StoreField(image, 0x1C2F858, 0xFFFF); // gym 1 member 1 species: none
    StoreField(image, 0x1C2F856, 0);
    ASSERT_TRUE(LoadRoster(image, ImagePath, lists, record).loaded());
    EXPECT_EQ(lists.selectedIndex("G8P4"), 493);
    EXPECT_EQ(lists.selectedIndex("g84"), 100);
    EXPECT_EQ(lists.selectedIndex("G1P1"), -1);
    EXPECT_EQ(lists.selectedIndex("g11"), 0);
}

TEST_F(LoadPass, ValueBeyondItsListIsRefusedWithEverythingAPersonNeeds) {
    StoreField(image, 0x1C2FFE2, 101); // gym 3 member 2 level
    const LoadResult result =
        ExpectRefused(image, "the level of gym 3, member 2 holds a value that no list entry");
    EXPECT_THAT(result.message, HasSubstr("Nothing was changed."));
    EXPECT_THAT(result.advice, HasSubstr("Open the game image"));
    EXPECT_EQ(result.details, "File: " + image +
                                  "\nGym 3, member 2, level (offset 0x1C2FFE2) holds 0x0065 (101); "
                                  "a level must be 0 to 100, or 0xFFFF for none");
}

TEST_F(LoadPass, EveryBadFieldIsListedNotJustTheFirst) {
    StoreField(image, 0x1C300A4, 494);    // one past "Arceus"
    StoreField(image, 0x1C2F874, 0x8000); // most negative
    StoreField(image, 0x1C2FF72, 0xFFFE); // -2: below "none"
    // Three are named in the message; one more, and they are counted.
    ExpectRefused(image, "the species of gym 1, member 3, the species of gym 8, member 4 and the "
                         "level of gym 2, member 1 hold values that no list entry stands for");
    StoreField(image, 0x1C30092, 0x0200); // gym 8 member 3 level
    const LoadResult result = ExpectRefused(image, "4 fields hold values");
    // One line per field, in the order of the passes.
    EXPECT_THAT(result.details, ::testing::MatchesRegex("File: .*\n"
                                                        "Gym 1, member 3, species .* 0x8000 .*\n"
                                                        "Gym 8, member 4, species .* 0 to 493, .*\n"
                                                        "Gym 2, member 1, level .* 0xFFFE .*\n"
                                                        "Gym 8, member 3, level .* 0x0200 .*"));
}

TEST_F(LoadPass, FollowsSymbolicLinks) {
    const std::string link = dir.file("link.nds");
    std::error_code failed;
    std::filesystem::create_symlink(image, link, failed);
    if (failed) {
        GTEST_SKIP() << "cannot make a symbolic link here: " << failed.message();
    }
    ASSERT_TRUE(LoadRoster(link, ImagePath, lists, record).loaded());
    EXPECT_EQ(ImagePath, link);
    EXPECT_EQ(lists.selectedIndex("G1P1"), 300);
}

} // namespace
} // namespace kelvarin
