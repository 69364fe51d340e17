// The two buttons end to end: the open-file dialog (answered by a stand-in), the load into the
// lists, the save into the image, and the error boxes when a file cannot be used.

#include "window_fixture.h"

#include "roster/roster.h"

#include <gmock/gmock.h>

#include <filesystem>

namespace kelvarin::testing {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using Bytes = std::vector<std::uint8_t>;

// A copy of the image as it is now, to compare the image with after a press.
std::string CopyOf(const std::string& image, const TempDir& dir) {
    const std::string copy = dir.file("expected.nds");
    std::filesystem::copy_file(image, copy, std::filesystem::copy_options::overwrite_existing);
    return copy;
}

class OpenSaveTest : public WindowTest {
  protected:
    // Chooses `path` in the next dialog and presses Open, answering the boxes as given.
    std::vector<ShownMessage> open(const std::string& path, const QStringList& answers = {}) {
        dialogs.willChoose(QString::fromStdString(path));
        return pressAnswering("cmdOpen", answers);
    }

    std::string image = dir.file("Platinum (E).nds");
};

TEST_F(OpenSaveTest, OpenAsksForAnImageAndShowsItsStoredValues) {
    MakeRosterImage(image);
    EXPECT_TRUE(open(image).empty());

    ASSERT_EQ(dialogs.requests.size(), 1u);
    const FileDialogRequest& asked = dialogs.requests.front();
    EXPECT_EQ(asked.purpose, FileDialogRequest::Purpose::Open);
    EXPECT_EQ(asked.owner, &window);
    EXPECT_EQ(asked.title, "Open Pokemon NDS ROM...");
    EXPECT_EQ(asked.nameFilters, QStringList{"NDS ROMs (*.nds)"});
    EXPECT_TRUE(asked.startPath.isEmpty());
    EXPECT_EQ(asked.startFilter, 0);
    EXPECT_TRUE(asked.fileMustExist);

    int i = 0;
    for (const RosterSlot& slot : kRosterSlots) {
        const int stored = slot.kind == SlotKind::Species ? 300 + i : 10 + i;
        EXPECT_EQ(list(slot.control)->currentIndex(), stored) << slot.control;
        ++i;
    }
    EXPECT_EQ(list("G1P1")->currentText(), "Skitty"); // species 300
    EXPECT_EQ(list("g11")->currentText(), "33");      // level 10 + 23
}

TEST_F(OpenSaveTest, ExtremeStoredValuesShowAsFirstLastOrNoEntry) {
    MakeRosterImage(image);
    StoreField(image, 0x1C300A4, 493);    // G8P4: the last species
    StoreField(image, 0x1C2F856, 100);    // g11: the last level
    StoreField(image, 0x1C2F858, 0);      // G1P1: the unknown species
    StoreField(image, 0x1C2FFE4, 0xFFFF); // G3P2: nothing selected
    ASSERT_TRUE(open(image).empty());
    EXPECT_EQ(list("G8P4")->currentText(), "Arceus");
    EXPECT_EQ(list("g11")->currentText(), "100");
    EXPECT_EQ(list("G1P1")->currentText(), "??????????");
    EXPECT_EQ(list("G3P2")->currentIndex(), -1);
}

TEST_F(OpenSaveTest, EveryPressUsesAFreshDialogThatRemembersNothing) {
    MakeRosterImage(image);
    open(image);
    dialogs.willCancel();
    press("cmdOpen");
    ASSERT_EQ(dialogs.requests.size(), 2u);
    EXPECT_TRUE(dialogs.requests.back().startPath.isEmpty());
    EXPECT_EQ(dialogs.requests.back().startFilter, 0);
}

TEST_F(OpenSaveTest, CancelledOpenChangesNothing) {
    dialogs.willCancel();
    EXPECT_TRUE(press("cmdOpen").empty());
    for (const auto& [name, selected] : selections()) {
        EXPECT_EQ(selected, -1) << name.toStdString();
    }
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));

    MakeRosterImage(image);
    open(image);
    list("G5P2")->setCurrentIndex(7);
    const auto before = selections();
    dialogs.willCancel();
    // The change is not saved, so Open asks first.
    EXPECT_EQ(pressAnswering("cmdOpen", {QStringLiteral("Open without saving")}).size(), 1u);
    EXPECT_EQ(selections(), before);
    // Save still reaches the image that was open.
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_EQ(ReadBytesAt(image, 0x1C30014, 2), (Bytes{7, 0}));
}

TEST_F(OpenSaveTest, RefusedFileShowsWhyAndLeavesEverythingAsItWas) {
    MakeRosterImage(image);
    open(image);
    list("G5P2")->setCurrentIndex(7);
    const auto before = selections();

    const std::string badLevel = dir.file("bad level.nds");
    MakeRosterImage(badLevel);
    StoreField(badLevel, 0x1C30062, 101); // g74 can show 0 to 100
    const std::string shortFile = dir.file("short.nds");
    MakeSparseFile(shortFile, 1024);
    const std::string folder = dir.file("a folder.nds");
    std::filesystem::create_directory(folder);
    const std::string missing = dir.file("gone.nds");

    for (const std::string& refused : {badLevel, shortFile, folder, missing}) {
        // The change is not saved, so Open asks first.
        const std::vector<ShownMessage> shown =
            open(refused, {QStringLiteral("Open without saving")});
        ASSERT_EQ(shown.size(), 2u) << refused;
        EXPECT_EQ(shown.back().icon, QMessageBox::Critical);
        EXPECT_EQ(shown.back().title, "Kelvarin");
        EXPECT_THAT(shown.back().text.toStdString(), HasSubstr(FileNameOf(refused)));
        EXPECT_THAT(shown.back().detailedText.toStdString(), HasSubstr(refused));
        EXPECT_EQ(selections(), before) << refused;
        EXPECT_TRUE(window.isEnabled());
    }
    EXPECT_FALSE(std::filesystem::exists(missing));
    // The image that was open is still the one Save writes to.
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_EQ(ReadBytesAt(image, 0x1C30014, 2), (Bytes{7, 0}));
}

TEST_F(OpenSaveTest, SaveWritesExactlyTheChangedFields) {
    MakeRosterImage(image);
    WriteBytesAt(image, 0x1C2F85A, {0xA5}); // a byte between two fields must survive
    ASSERT_TRUE(open(image).empty());
    const std::string expected = CopyOf(image, dir);

    list("G8P4")->setCurrentIndex(493);
    list("g11")->setCurrentIndex(100);
    list("G3P1")->setCurrentIndex(-1);
    StoreField(expected, 0x1C300A4, 493);
    StoreField(expected, 0x1C2F856, 100);
    StoreField(expected, 0x1C2FFD4, 0xFFFF);

    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_THAT(DifferingOffsets(expected, image), IsEmpty());
}

TEST_F(OpenSaveTest, OpenThenSaveLeavesTheImageByteIdentical) {
    MakeRosterImage(image);
    const std::string original = CopyOf(image, dir);
    ASSERT_TRUE(open(image).empty());
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_THAT(DifferingOffsets(original, image), IsEmpty());
}

TEST_F(OpenSaveTest, GymSixIsNeitherReadNorWritten) {
    MakeRosterImage(image);
    const std::string original = CopyOf(image, dir);
    ASSERT_TRUE(open(image).empty());
    for (const char* name : {"Combo20", "Combo21", "Combo22", "G6P1", "G6P2", "G6P3"}) {
        EXPECT_EQ(list(name)->currentIndex(), -1) << name;
        list(name)->setCurrentIndex(0);
    }
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_THAT(DifferingOffsets(original, image), IsEmpty());
}

TEST_F(OpenSaveTest, SaveBeforeAnyOpenShowsNothingAndWritesNothing) {
    list("G1P1")->setCurrentIndex(5);
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

TEST_F(OpenSaveTest, FailedSaveShowsWhyAndCreatesNoFile) {
    MakeRosterImage(image);
    open(image);
    std::filesystem::remove(image);

    const std::vector<ShownMessage> shown = press("cmdSave");
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown.front().icon, QMessageBox::Critical);
    EXPECT_FALSE(shown.front().text.isEmpty());
    EXPECT_FALSE(std::filesystem::exists(image));
}

TEST_F(OpenSaveTest, PathsWithAnyCharactersAndLengthWork) {
#ifdef _WIN32
    GTEST_SKIP() << "the test's file helpers take narrow paths, which the Windows C runtime reads "
                    "in the ANSI code page and stops at 260 characters; Win32File.* covers "
                    "such paths on Windows";
#endif
    std::filesystem::path deep = dir.path();
    for (int level = 0; level < 6; ++level) {
        deep /= std::string(60, static_cast<char>('a' + level)) + " é ü 名前 ";
    }
    std::filesystem::create_directories(deep);
    const std::string far = (deep / "team's image (copy) #2 .nds").string();
    ASSERT_GT(far.size(), 300u);
    MakeRosterImage(far);
    ASSERT_TRUE(open(far).empty());
    list("G1P2")->setCurrentIndex(42);
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_EQ(ReadBytesAt(far, 0x1C2F866, 2), (Bytes{42, 0}));
}

} // namespace
} // namespace kelvarin::testing
