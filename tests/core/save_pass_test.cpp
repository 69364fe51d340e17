#include "roster/roster.h"
#include "test_image.h"

#include <filesystem>
#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace kelvarin {
namespace {

namespace fs = std::filesystem;
using testing::DifferingOffsets;
using ::testing::ElementsAre;
using testing::FakeLists;
using ::testing::IsEmpty;
using testing::TempDir;

class SavePass : public ::testing::Test, protected testing::ImageUnderTest {
  protected:
    void SetUp() override {
        testing::MakeRosterImage(image);
        // Bytes around the fields, so a stray write would show.
        testing::WriteBytesAt(image, 0x1C2F850, std::vector<std::uint8_t>(0x80, 0xEE));
        testing::WriteBytesAt(image, 0x1C2FF60, std::vector<std::uint8_t>(0x160, 0xEE));
        testing::StoreRosterValues(image);
        fs::copy_file(image, pristine, fs::copy_options::overwrite_existing);
        ASSERT_TRUE(LoadRoster(image, ImagePath, lists, record).loaded());
    }
};

TEST_F(SavePass, UnchangedSaveLeavesTheImageByteIdentical) {
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    ASSERT_EQ(result.status, SaveStatus::Saved) << result.message;
    EXPECT_EQ(result.message,
              "Saved \"\u2068image.nds\u2069\"; it already held every value shown.");
    EXPECT_THAT(result.advice + result.details, IsEmpty());
    EXPECT_NE(result.readBack, std::nullopt) << "the 46 fields were written, so read back";
    EXPECT_THAT(DifferingOffsets(pristine, image), IsEmpty());
}

TEST_F(SavePass, OneChangedFieldChangesExactlyItsTwoBytes) {
    lists.setSelectedIndex("G8P4", 0x0203); // was 322 = 0x0142: both bytes differ
    ASSERT_TRUE(SaveRoster(ImagePath, lists, record).saved());
    EXPECT_THAT(DifferingOffsets(pristine, image), ElementsAre(0x1C300A4, 0x1C300A5));
    EXPECT_EQ(testing::ReadBytesAt(image, 0x1C300A4, 2), (std::vector<std::uint8_t>{0x03, 0x02}));
}

TEST_F(SavePass, LevelAndSpeciesOfOneMemberAreFourAdjacentBytes) {
    lists.setSelectedIndex("g32", 55);
    lists.setSelectedIndex("G3P2", -1);
    ASSERT_TRUE(SaveRoster(ImagePath, lists, record).saved());
    EXPECT_EQ(testing::ReadBytesAt(image, 0x1C2FFE2, 4),
              (std::vector<std::uint8_t>{55, 0x00, 0xFF, 0xFF}));
    for (std::int64_t offset : DifferingOffsets(pristine, image)) {
        EXPECT_GE(offset, 0x1C2FFE2);
        EXPECT_LE(offset, 0x1C2FFE5);
    }
}

TEST_F(SavePass, EveryFieldIsWrittenAndLoadsBack) {
    std::int16_t value = 1;
    for (const RosterSlot& slot : kRosterSlots) {
        lists.setSelectedIndex(slot.control, value++);
    }
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    ASSERT_TRUE(result.saved()) << result.message;
    EXPECT_EQ(result.message, "Saved 46 changes to \"\u2068image.nds\u2069\".");
    EXPECT_EQ(PendingChanges(lists, record), 0u);
    FakeLists reloaded;
    std::string reloadedPath;
    ImageRecord reloadedRecord;
    ASSERT_TRUE(LoadRoster(image, reloadedPath, reloaded, reloadedRecord).loaded());
    EXPECT_EQ(reloaded.all(), lists.all());
    EXPECT_EQ(reloadedRecord.fields, record.fields); // the save remembered what it wrote
    EXPECT_LE(DifferingOffsets(pristine, image).size(), 92u);
}

TEST_F(SavePass, NothingOpenMeansNothingWritten) {
    std::string none;
    const SaveResult result = SaveRoster(none, lists, record);
    EXPECT_EQ(result.status, SaveStatus::NothingToSave);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(result.readBack, std::nullopt);
    EXPECT_THAT(DifferingOffsets(pristine, image), IsEmpty());
}

} // namespace
} // namespace kelvarin
