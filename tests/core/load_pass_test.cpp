#include "roster/roster.h"
#include "test_image.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

namespace kelvarin {
namespace {

using testing::FakeLists;
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
        const LoadResult result = LoadRoster(path, ImagePath, lists);
        EXPECT_EQ(result.status, LoadStatus::Refused);
        EXPECT_NE(result.message.find(path), std::string::npos) << result.message;
        EXPECT_NE(result.message.find(because), std::string::npos) << result.message;
        ExpectUntouched();
        return result;
    }

    TempDir dir;
    std::string image = dir.file("Pokemon Platinum.nds");
    FakeLists lists;
    std::map<std::string, std::int16_t, std::less<>> before;
    std::string ImagePath = kEarlierImage;
};

TEST_F(LoadPass, ShowsEveryStoredValueAndRemembersThePath) {
    const LoadResult result = LoadRoster(image, ImagePath, lists);
    ASSERT_EQ(result.status, LoadStatus::Loaded) << result.message;
    EXPECT_EQ(ImagePath, image);
    int i = 0;
    for (const RosterSlot& slot : kRosterSlots) {
        const int expected = slot.kind == SlotKind::Species ? 300 + i : 10 + i;
        EXPECT_EQ(lists.selectedIndex(slot.control), expected) << slot.control;
        ++i;
    }
}

TEST_F(LoadPass, CancelledDialogChangesNothing) {
    const LoadResult result = LoadRoster("", ImagePath, lists);
    EXPECT_EQ(result.status, LoadStatus::Cancelled);
    EXPECT_EQ(lists.setCount(), 0);
    ExpectUntouched();
}

TEST_F(LoadPass, ListEndsAndNoneAreAccepted) {
    StoreField(image, 0x1C300A4, 493);    // gym 8 member 4 species: "Arceus"
    StoreField(image, 0x1C300A2, 100);    // its level: "100"
    StoreField(image, 0x1C2F858, 0xFFFF); // gym 1 member 1 species: none
    StoreField(image, 0x1C2F856, 0);
    ASSERT_TRUE(LoadRoster(image, ImagePath, lists).loaded());
    EXPECT_EQ(lists.selectedIndex("G8P4"), 493);
    EXPECT_EQ(lists.selectedIndex("g84"), 100);
    EXPECT_EQ(lists.selectedIndex("G1P1"), -1);
    EXPECT_EQ(lists.selectedIndex("g11"), 0);
}

TEST_F(LoadPass, ValueBeyondItsListIsRefusedWithEverythingAPersonNeeds) {
    StoreField(image, 0x1C2FFE2, 101); // gym 3 member 2 level
    const LoadResult result = ExpectRefused(image, "Gym 3, member 2, level (offset 0x1C2FFE2)");
    EXPECT_NE(result.message.find("0x0065 (101)"), std::string::npos) << result.message;
    EXPECT_NE(result.message.find("0 to 100"), std::string::npos) << result.message;
}

TEST_F(LoadPass, EveryBadFieldIsListedNotJustTheFirst) {
    StoreField(image, 0x1C300A4, 494);    // one past "Arceus"
    StoreField(image, 0x1C2F874, 0x8000); // most negative
    StoreField(image, 0x1C2FF72, 0xFFFE); // -2: below "none"
    const LoadResult result = ExpectRefused(image, "3 fields");
    EXPECT_NE(result.message.find("Gym 8, member 4, species"), std::string::npos);
    EXPECT_NE(result.message.find("0 to 493"), std::string::npos);
    EXPECT_NE(result.message.find("Gym 1, member 3, species"), std::string::npos);
    EXPECT_NE(result.message.find("0x8000"), std::string::npos);
    EXPECT_NE(result.message.find("Gym 2, member 1, level"), std::string::npos);
    EXPECT_NE(result.message.find("0xFFFE"), std::string::npos);
}

TEST_F(LoadPass, RefusesMissingFileWithoutCreatingIt) {
    const std::string missing = dir.file("gone.nds");
    ExpectRefused(missing, "does not exist");
    EXPECT_FALSE(std::filesystem::exists(missing));
}

TEST_F(LoadPass, RefusesWhatIsNotARegularFile) {
    ExpectRefused(dir.path().string(), "folder");
#ifdef _WIN32
    GTEST_SKIP() << "no /dev/null or named pipes in a Windows folder; Win32File.* refuses "
                    "the Windows device names";
#else
    ExpectRefused("/dev/null", "character device");

    const std::string pipe = dir.file("pipe.nds");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    // Nobody writes to this pipe: a load that opened it for reading would hang here.
    ExpectRefused(pipe, "named pipe");
#endif
}

TEST_F(LoadPass, RefusesFileThatEndsBeforeTheLastField) {
    std::filesystem::resize_file(image, kRosterEnd - 1);
    ExpectRefused(image, "too short");
    EXPECT_EQ(std::filesystem::file_size(image), static_cast<std::uintmax_t>(kRosterEnd - 1));

    std::filesystem::resize_file(image, kRosterEnd);
    EXPECT_TRUE(LoadRoster(image, ImagePath, lists).loaded());

    std::filesystem::resize_file(image, 0);
    lists.selectAll(7);
    ImagePath = kEarlierImage;
    ExpectRefused(image, "has 0 bytes");
}

TEST_F(LoadPass, FollowsSymbolicLinks) {
    const std::string link = dir.file("link.nds");
    std::error_code failed;
    std::filesystem::create_symlink(image, link, failed);
    if (failed) {
        GTEST_SKIP() << "cannot make a symbolic link here: " << failed.message();
    }
    ASSERT_TRUE(LoadRoster(link, ImagePath, lists).loaded());
    EXPECT_EQ(ImagePath, link);
    EXPECT_EQ(lists.selectedIndex("G1P1"), 300);
}

} // namespace
} // namespace kelvarin
