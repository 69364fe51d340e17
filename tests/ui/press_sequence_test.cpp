// Long seeded walks through everything a person can do in the window, mixed with the image
// changing behind its back. After every step the window must show what a model of the editor
// says, its title marked exactly while changes are not saved, every refusal must come as one
// error box naming the file, Open with changes not saved must ask first (the walk goes on
// without them), a save over a file whose fields another program changed must ask first (a file
// merely made anew with the same bytes must not), and the image must hold exactly what the model
// says: the fields last saved, and around them the bytes it always had.

#include "window_fixture.h"

#include "image/image_file.h"
#include "roster/roster.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace kelvarin::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kRegionStart = 0x1C2F800;
constexpr std::int64_t kRegionEnd = kRosterEnd + 0x40;
constexpr std::uintmax_t kImageLength = kRosterEnd + 0x1000;

std::vector<std::uint8_t> Region(const std::string& path) {
    return ReadBytesAt(path, kRegionStart, static_cast<std::size_t>(kRegionEnd - kRegionStart));
}

class PressSequenceTest : public WindowTest {
  protected:
    enum class ImageState { Usable, Truncated, Deleted, Folder };

    void SetUp() override {
        // Everything around the fields gets a pattern, so that a stray write would show.
        expectedRegion.assign(static_cast<std::size_t>(kRegionEnd - kRegionStart), 0xA5);
        for (const RosterSlot& slot : kRosterSlots) {
            setExpectedField(slot, slot.kind == SlotKind::Species ? 25 : 5);
        }
        rebuildImage();
        MakeRosterImage(badImage);
        StoreField(badImage, 0x1C2FFE2, 101); // a level past "100"
        fs::create_directory(folder);
        for (const QComboBox* each : window.findChildren<QComboBox*>()) {
            shown[each->objectName()] = -1;
        }
    }

    void setExpectedField(const RosterSlot& slot, std::int16_t value) {
        const auto at = static_cast<std::size_t>(slot.offset - kRegionStart);
        const auto bits = static_cast<std::uint16_t>(value);
        expectedRegion[at] = static_cast<std::uint8_t>(bits & 0xFF);
        expectedRegion[at + 1] = static_cast<std::uint8_t>(bits >> 8);
    }

    static std::int16_t Field(const std::vector<std::uint8_t>& region, const RosterSlot& slot) {
        const auto at = static_cast<std::size_t>(slot.offset - kRegionStart);
        return static_cast<std::int16_t>(region[at] | region[at + 1] << 8);
    }
    std::int16_t expectedField(const RosterSlot& slot) const { return Field(expectedRegion, slot); }

    // Whether a list shows another value than the image held when the editor last loaded or
    // saved it: what Open (or closing) would lose.
    bool pending() const {
        return !imagePath.empty() && std::any_of(kRosterSlots.begin(), kRosterSlots.end(),
                                                 [this](const RosterSlot& slot) {
                                                     return shown.at(ToQString(slot.control)) !=
                                                            Field(rememberedRegion, slot);
                                                 });
    }

    // Presses Open; with changes not saved it asks first, and the walk goes on without them.
    std::vector<ShownMessage> pressOpen() {
        const bool asks = pending();
        auto messages = pressAnswering("cmdOpen", {QStringLiteral("Open without saving")});
        if (asks && (messages.empty() || messages.front().defaultButton != "Save")) {
            ADD_FAILURE() << "Open with changes not saved did not ask first";
        } else if (asks) {
            messages.erase(messages.begin()); // what follows is the open's
        }
        return messages;
    }

    // The image as the model says it is now, made anew at the same path.
    void rebuildImage() {
        fs::remove_all(image);
        MakeSparseFile(image, kImageLength);
        WriteBytesAt(image, kRegionStart, expectedRegion);
        state = ImageState::Usable;
    }

    // Save asks when a field on disk is no longer what the editor last loaded or saved; a file
    // made anew with the same bytes (a new number or not) is no change.
    bool changedSinceRemembered() const { return Region(image) != rememberedRegion; }
    void rememberFile() { rememberedRegion = expectedRegion; }

    void expectOneErrorNaming(const std::vector<ShownMessage>& messages, const std::string& path) {
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(messages[0].text.contains(QString::fromStdString(FileNameOf(path))))
            << messages[0].text.toStdString();
        EXPECT_TRUE(messages[0].detailedText.contains(QString::fromStdString(path)))
            << messages[0].detailedText.toStdString();
    }

    void openChosen(const std::string& path, bool usable) {
        dialogs.willChoose(QString::fromStdString(path));
        const auto messages = pressOpen();
        if (!usable) {
            expectOneErrorNaming(messages, path);
            return;
        }
        EXPECT_TRUE(messages.empty());
        for (const RosterSlot& slot : kRosterSlots) {
            shown[ToQString(slot.control)] = expectedField(slot);
        }
        imagePath = path;
        rememberFile();
    }

    void pickInAList(std::mt19937& random) {
        const auto lists = window.findChildren<QComboBox*>();
        QComboBox* chosen = lists.at(static_cast<qsizetype>(random() % lists.size()));
        const int index = static_cast<int>(random() % (chosen->count() + 1)) - 1;
        chosen->setCurrentIndex(index);
        shown[chosen->objectName()] = index;
    }

    // A save of a file whose fields changed since the editor last loaded or saved it asks first;
    // the walk answers either way.
    void save(std::mt19937& random) {
        const bool overwrite = random() % 2 == 0;
        const bool changed = state == ImageState::Usable && changedSinceRemembered();
        const auto messages =
            MessagesShownDuring([this] { button("cmdSave")->click(); },
                                overwrite ? QStringLiteral("Save anyway") : QString());
        if (imagePath.empty()) {
            EXPECT_TRUE(messages.empty());
            return;
        }
        if (imagePath != image || state != ImageState::Usable) {
            expectOneErrorNaming(messages, imagePath);
            return;
        }
        if (changed) {
            ASSERT_EQ(messages.size(), 1u);
            EXPECT_EQ(messages[0].icon, QMessageBox::Warning);
            EXPECT_EQ(messages[0].defaultButton, "Cancel");
            if (!overwrite) {
                return;
            }
        } else {
            EXPECT_TRUE(messages.empty());
        }
        for (const RosterSlot& slot : kRosterSlots) {
            setExpectedField(slot, static_cast<std::int16_t>(shown[ToQString(slot.control)]));
        }
        rememberFile();
    }

    // Something outside the editor changes the image, or puts it back as it was.
    void damageImage(std::mt19937& random) {
        if (state != ImageState::Usable) {
            rebuildImage();
            return;
        }
        switch (random() % 5) {
        case 0:
            fs::resize_file(image, kRosterEnd - 1 - random() % 64);
            state = ImageState::Truncated;
            break;
        case 1:
            fs::remove(image);
            state = ImageState::Deleted;
            break;
        case 2:
            fs::remove(image);
            fs::create_directory(image);
            state = ImageState::Folder;
            break;
        case 3:
            // Another program patches one field: the next Save must ask before writing.
            changeOneField(random);
            rebuildImage();
            break;
        default:
            rebuildImage();
            break;
        }
    }

    void changeOneField(std::mt19937& random) {
        const RosterSlot& slot = kRosterSlots[random() % kRosterSlots.size()];
        const auto entries = static_cast<unsigned>(EntryCount(slot.kind));
        setExpectedField(slot, static_cast<std::int16_t>(random() % entries));
    }

    void step(std::mt19937& random) {
        switch (random() % 10) {
        case 0:
        case 1:
            openChosen(image, state == ImageState::Usable);
            break;
        case 2:
            openChosen(badImage, false);
            break;
        case 3:
            openChosen(random() % 2 ? missing : folder, false);
            break;
        case 4:
            dialogs.willCancel();
            EXPECT_TRUE(pressOpen().empty());
            break;
        case 5:
        case 6:
            pickInAList(random);
            break;
        case 7:
        case 8:
            save(random);
            break;
        default:
            damageImage(random);
            break;
        }
    }

    void expectModel() {
        EXPECT_EQ(selections(), shown);
        EXPECT_EQ(window.isWindowModified(), pending());
        if (state == ImageState::Usable) {
            EXPECT_EQ(fs::file_size(image), kImageLength);
            EXPECT_EQ(Region(image), expectedRegion);
        }
        EXPECT_FALSE(fs::exists(missing));
    }

    void walk(unsigned seed, int steps) {
        std::mt19937 random(seed);
        for (int i = 0; i < steps && !HasFailure(); ++i) {
            SCOPED_TRACE("seed " + std::to_string(seed) + ", step " + std::to_string(i));
            step(random);
            expectModel();
        }
        if (state == ImageState::Usable) {
            // Outside the field region the image is still all zeros, to its last byte.
            std::ifstream file(image, std::ios::binary);
            std::string block(1 << 20, '\0');
            std::int64_t base = 0;
            std::int64_t strays = 0;
            while (file.read(block.data(), static_cast<std::streamsize>(block.size())) ||
                   file.gcount() > 0) {
                for (std::int64_t i = 0; i < file.gcount(); ++i) {
                    const std::int64_t at = base + i;
                    strays += (at < kRegionStart || at >= kRegionEnd) &&
                              block[static_cast<std::size_t>(i)] != 0;
                }
                base += file.gcount();
            }
            EXPECT_EQ(strays, 0);
        }
    }

    std::string image = dir.file("game.nds");
    std::string badImage = dir.file("other game.nds");
    std::string missing = dir.file("never there.nds");
    std::string folder = dir.file("a folder.nds");
    std::vector<std::uint8_t> expectedRegion;
    ImageState state = ImageState::Usable;
    std::vector<std::uint8_t> rememberedRegion; // the image as the editor last loaded or saved it
    std::map<QString, int> shown;
    std::string imagePath;
};

TEST_F(PressSequenceTest, SeededWalkOne) {
    walk(1, 250);
}
TEST_F(PressSequenceTest, SeededWalkTwo) {
    walk(20261208, 250);
}
TEST_F(PressSequenceTest, SeededWalkThree) {
    walk(4242, 250);
}

} // namespace
} // namespace kelvarin::testing
