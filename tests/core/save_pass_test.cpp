#include "roster/roster.h"
#include "test_image.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace kelvarin {
namespace {

namespace fs = std::filesystem;
using testing::FakeLists;
using testing::FileDigest;
using testing::TempDir;

class SavePass : public ::testing::Test {
  protected:
    void SetUp() override {
        testing::MakeRosterImage(image);
        // Bytes around the fields, so a stray write would show.
        testing::WriteBytesAt(image, 0x1C2F850, std::vector<std::uint8_t>(0x80, 0xEE));
        testing::WriteBytesAt(image, 0x1C2FF60, std::vector<std::uint8_t>(0x160, 0xEE));
        testing::StoreRosterValues(image);
        fs::copy_file(image, pristine, fs::copy_options::overwrite_existing);
        ASSERT_TRUE(LoadRoster(image, ImagePath, lists).loaded());
    }

    TempDir dir;
    std::string image = dir.file("image.nds");
    std::string pristine = dir.file("pristine.nds");
    FakeLists lists;
    std::string ImagePath;
};

TEST_F(SavePass, UnchangedSaveLeavesTheImageByteIdentical) {
    const SaveResult result = SaveRoster(ImagePath, lists);
    ASSERT_EQ(result.status, SaveStatus::Saved) << result.message;
    EXPECT_TRUE(result.message.empty());
    EXPECT_EQ(fs::file_size(image), testing::kImageSize);
    EXPECT_EQ(FileDigest(image), FileDigest(pristine));
}

TEST_F(SavePass, OneChangedFieldChangesExactlyItsTwoBytes) {
    lists.setSelectedIndex("G8P4", 0x0203); // was 322 = 0x0142: both bytes differ
    ASSERT_TRUE(SaveRoster(ImagePath, lists).saved());
    EXPECT_EQ(testing::DifferingOffsets(pristine, image),
              (std::vector<std::int64_t>{0x1C300A4, 0x1C300A5}));
    EXPECT_EQ(testing::ReadBytesAt(image, 0x1C300A4, 2), (std::vector<std::uint8_t>{0x03, 0x02}));
}

TEST_F(SavePass, LevelAndSpeciesOfOneMemberAreFourAdjacentBytes) {
    lists.setSelectedIndex("g32", 55);
    lists.setSelectedIndex("G3P2", -1);
    ASSERT_TRUE(SaveRoster(ImagePath, lists).saved());
    EXPECT_EQ(testing::ReadBytesAt(image, 0x1C2FFE2, 4),
              (std::vector<std::uint8_t>{55, 0x00, 0xFF, 0xFF}));
    for (std::int64_t offset : testing::DifferingOffsets(pristine, image)) {
        EXPECT_GE(offset, 0x1C2FFE2);
        EXPECT_LE(offset, 0x1C2FFE5);
    }
}

TEST_F(SavePass, EveryFieldIsWrittenAndLoadsBack) {
    std::int16_t value = 1;
    for (const RosterSlot& slot : kRosterSlots) {
        lists.setSelectedIndex(slot.control, value++);
    }
    ASSERT_TRUE(SaveRoster(ImagePath, lists).saved());
    FakeLists reloaded;
    std::string reloadedPath;
    ASSERT_TRUE(LoadRoster(image, reloadedPath, reloaded).loaded());
    EXPECT_EQ(reloaded.all(), lists.all());
    EXPECT_LE(testing::DifferingOffsets(pristine, image).size(), 92u);
}

TEST_F(SavePass, NothingOpenMeansNothingWritten) {
    std::string none;
    const SaveResult result = SaveRoster(none, lists);
    EXPECT_EQ(result.status, SaveStatus::NothingToSave);
    EXPECT_FALSE(result.message.empty());
    EXPECT_EQ(FileDigest(image), FileDigest(pristine));
}

TEST_F(SavePass, RefusesToCreateOrExtend) {
    fs::remove(image);
    SaveResult result = SaveRoster(ImagePath, lists);
    EXPECT_EQ(result.status, SaveStatus::Failed);
    EXPECT_NE(result.message.find(image), std::string::npos);
    EXPECT_NE(result.message.find("does not exist"), std::string::npos);
    EXPECT_NE(result.message.find("Nothing was written"), std::string::npos);
    EXPECT_FALSE(fs::exists(image));

    testing::MakeSparseFile(image, kRosterEnd - 1);
    result = SaveRoster(ImagePath, lists);
    EXPECT_EQ(result.status, SaveStatus::Failed);
    EXPECT_NE(result.message.find("too short"), std::string::npos);
    EXPECT_EQ(fs::file_size(image), static_cast<std::uintmax_t>(kRosterEnd - 1));
    EXPECT_EQ(testing::ReadBytesAt(image, 0, 1 << 20), std::vector<std::uint8_t>(1 << 20, 0));
}

TEST_F(SavePass, RefusesFolderAndDevices) {
    fs::remove(image);
    fs::create_directory(image);
    EXPECT_EQ(SaveRoster(ImagePath, lists).status, SaveStatus::Failed);

#ifdef _WIN32
    GTEST_SKIP() << "no /dev/full on Windows; Win32File.* refuses the Windows device names";
#else
    const SaveResult device = SaveRoster("/dev/full", lists);
    EXPECT_EQ(device.status, SaveStatus::Failed);
    EXPECT_NE(device.message.find("character device"), std::string::npos);
#endif
}

} // namespace
} // namespace kelvarin
