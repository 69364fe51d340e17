// What keeps the window from doing to a file what its user did not mean, or from losing what they
// did: a save over a file that changed behind its back asks first, closing or opening another
// image with changes not saved asks first, the title shows while changes are not saved, every
// message shows names as they are and fits a small screen, and a wheel turned on the way past a
// list leaves it alone.

#include "window_fixture.h"

#include "roster/roster.h"
#include "ui/announcer.h"

#include <QTest>
#include <QWheelEvent>

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>

namespace kelvarin::testing {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

std::string Visible(const ShownMessage& shown) {
    return (shown.text + QLatin1Char('\n') + shown.informativeText).toStdString();
}

class CarefulEditingTest : public WindowTest {
  protected:
    std::vector<ShownMessage> open(const std::string& path) {
        dialogs.willChoose(QString::fromStdString(path));
        return press("cmdOpen");
    }

    std::vector<ShownMessage> saveAnswering(const QString& answer) {
        QPushButton* save = button("cmdSave");
        return MessagesShownDuring([save] { save->click(); }, answer);
    }

    std::string image = dir.file("game.nds");
};

TEST_F(CarefulEditingTest, SaveOverAFileChangedBehindTheWindowAsksFirst) {
    MakeRosterImage(image);
    ASSERT_TRUE(open(image).empty());
    const std::int16_t loadedG2P1 = static_cast<std::int16_t>(list("g2p1")->currentIndex());
    list("G1P1")->setCurrentIndex(42);
    StoreField(image, 0x1C2FF74, 406); // another program puts another species into gym 2
    const auto changed = ReadBytesAt(image, kRosterStart, kRosterEnd - kRosterStart);

    const auto cancelled = saveAnswering(QStringLiteral("Cancel"));
    ASSERT_EQ(cancelled.size(), 1u);
    const ShownMessage& question = cancelled.front();
    EXPECT_EQ(question.icon, QMessageBox::Warning);
    EXPECT_THAT(question.buttons, AllOf(Contains("Save anyway"), Contains("Cancel")));
    EXPECT_EQ(question.defaultButton, "Cancel");
    EXPECT_TRUE(question.plainText);
    EXPECT_THAT((question.text + question.informativeText + question.detailedText).toStdString(),
                HasSubstr("Gym 2, member 1, species"));
    EXPECT_EQ(ReadBytesAt(image, kRosterStart, kRosterEnd - kRosterStart), changed)
        << "Cancel must write nothing";

    ASSERT_EQ(saveAnswering(QStringLiteral("Save anyway")).size(), 1u);
    EXPECT_EQ(ReadBytesAt(image, 0x1C2F858, 2), (Bytes{42, 0}));
    EXPECT_EQ(ReadBytesAt(image, 0x1C2FF74, 2),
              (Bytes{static_cast<std::uint8_t>(loadedG2P1 & 0xFF),
                     static_cast<std::uint8_t>(loadedG2P1 >> 8)}));
    // What was just written is what the file is now: the next save has nothing to ask.
    list("G1P1")->setCurrentIndex(43);
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_EQ(ReadBytesAt(image, 0x1C2F858, 2), (Bytes{43, 0}));
}

// Closing the window, or opening another image, with changes not saved asks first, naming the
// file and the changes. Save (the default) saves, and goes on only once the image holds them;
// the other answer goes on without them; Cancel stays.
TEST_F(CarefulEditingTest, ChangesNotSavedAreSavedOrLostOnlyAsAnswered) {
    enum class Disk { AsLoaded, Removed, ChangedElsewhere };
    struct Row {
        bool closing;
        int changes;
        Disk disk;
        QStringList answers;
        bool goesOn; // the window closes, or the open-file dialog comes
        bool saved;  // the image holds the changes
    };
    const QString save = QStringLiteral("Save");
    const QString cancel = QStringLiteral("Cancel");
    const Row rows[] = {
        {true, 0, Disk::AsLoaded, {}, true, false},
        {true, 2, Disk::AsLoaded, {save}, true, true},
        {true, 1, Disk::AsLoaded, {QStringLiteral("Close without saving")}, true, false},
        {true, 2, Disk::AsLoaded, {cancel}, false, false},
        {true, 2, Disk::Removed, {save}, false, false},                  // the save fails
        {true, 2, Disk::ChangedElsewhere, {save, cancel}, false, false}, // and stops there
        {false, 2, Disk::AsLoaded, {save}, true, true},
        {false, 1, Disk::AsLoaded, {QStringLiteral("Open without saving")}, true, false},
        {false, 2, Disk::AsLoaded, {cancel}, false, false},
        {false, 2, Disk::Removed, {save}, false, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(::testing::Message() << "row " << (&row - rows));
        MakeRosterImage(image);
        dialogs.dropAnswers(); // what the row before's dialog did not take
        dialogs.willChoose(QString::fromStdString(image));
        pressAnswering("cmdOpen", {QStringLiteral("Open without saving")});
        const char* changed[] = {"G1P1", "g84"};
        for (int i = 0; i < row.changes; ++i) {
            list(changed[i])->setCurrentIndex(42);
        }
        if (row.disk == Disk::Removed) {
            std::filesystem::remove(image);
        } else if (row.disk == Disk::ChangedElsewhere) {
            StoreField(image, 0x1C2FF74, 406);
        }

        dialogs.willCancel();
        const std::size_t asked = dialogs.requests.size();
        bool closed = false;
        const auto shown = row.closing
                               ? MessagesShownDuring([&] { closed = window.close(); }, row.answers)
                               : pressAnswering("cmdOpen", row.answers);
        EXPECT_EQ(row.closing ? closed : dialogs.requests.size() > asked, row.goesOn);
        EXPECT_EQ(std::filesystem::exists(image) &&
                      ReadBytesAt(image, 0x1C2F858, 2) == (Bytes{42, 0}),
                  row.saved);
        EXPECT_EQ(window.isWindowModified(), row.changes > 0 && !row.saved);
        ASSERT_EQ(shown.size(), row.changes == 0 ? 0u : row.disk == Disk::AsLoaded ? 1u : 2u);
        if (row.changes > 0) {
            const ShownMessage& question = shown.front();
            EXPECT_EQ(question.text.toStdString(),
                      (row.changes == 1 ? "Save your change" : "Save your 2 changes") +
                          std::string(" to \"\u2068game.nds\u2069\" before ") +
                          (row.closing ? "closing?" : "opening another image?"));
            EXPECT_EQ(question.buttons.size(), 3);
            EXPECT_EQ(question.defaultButton, save);
            EXPECT_TRUE(question.plainText);
        }
    }
}

// The title carries the mark of a modified window exactly while a list shows a value the image
// does not hold; a save is announced to a screen reader, since nothing else shows it.
TEST_F(CarefulEditingTest, TheTitleIsMarkedWhileChangesAreNotSavedAndASaveIsAnnounced) {
    const auto* announcer = window.findChild<Announcer*>();
    ASSERT_NE(announcer, nullptr);
    QComboBox* species = list("G1P1");
    const std::pair<std::function<void()>, const char*> steps[] = {
        {[&] { press("cmdSave"); }, "Kelvarin"},
        {[&] {
             MakeRosterImage(image);
             open(image);
         },
         "Kelvarin"},
        {[&] { species->setCurrentIndex(42); }, "Kelvarin*"},
        {[&] { species->setCurrentIndex(300); }, "Kelvarin"}, // back to the loaded value
        {[&] { species->setCurrentIndex(42); }, "Kelvarin*"},
        {[&] {
             std::filesystem::remove(image);
             press("cmdSave");
         },
         "Kelvarin*"},
        {[&] {
             MakeRosterImage(image);
             press("cmdSave");
         },
         "Kelvarin"},
    };
    // What a screen reader was told last after each step.
    const char* const nothingOpen = "No game image is open, so there is nothing to save.";
    const char* announced[] = {nothingOpen,
                               nothingOpen,
                               nothingOpen,
                               nothingOpen,
                               nothingOpen,
                               nothingOpen,
                               "Saved 1 change to \"\u2068game.nds\u2069\"."};
    for (std::size_t i = 0; i < std::size(steps); ++i) {
        steps[i].first();
        EXPECT_EQ(shownTitle(), steps[i].second) << "step " << i;
        EXPECT_EQ(announcer->sentence(), announced[i]) << "step " << i;
    }
}

TEST_F(CarefulEditingTest, ANewModificationTimeAloneIsNoReasonToAsk) {
    MakeRosterImage(image);
    ASSERT_TRUE(open(image).empty());
    std::filesystem::last_write_time(image, std::filesystem::last_write_time(image) +
                                                std::chrono::hours(1));
    list("G1P1")->setCurrentIndex(42);
    EXPECT_TRUE(press("cmdSave").empty());
    EXPECT_EQ(ReadBytesAt(image, 0x1C2F858, 2), (Bytes{42, 0}));
}

TEST_F(CarefulEditingTest, AFileNameIsShownAsItIsAndNeverAsMarkup) {
    const std::string odd = dir.file("<b>bold <!-- &amp; <i>.nds");
    if (!std::ofstream(odd)) {
        GTEST_SKIP() << "this system's file names cannot hold '<' or '>'";
    }
    MakeSparseFile(odd, 1024); // too short to be the game image
    const auto shown = open(odd);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown.front().plainText);
    EXPECT_THAT(Visible(shown.front()),
                AllOf(HasSubstr(NameInSentence(odd)), HasSubstr("Nothing was changed.")));
    EXPECT_THAT(shown.front().detailedText.toStdString(), HasSubstr(odd));
}

TEST_F(CarefulEditingTest, ARefusalOfEveryFieldFitsASmallScreenWithItsButtonInView) {
    MakeRosterImage(image);
    for (const RosterSlot& slot : kRosterSlots) {
        StoreField(image, slot.offset, 0x7000);
    }
    const auto shown = open(image);
    ASSERT_EQ(shown.size(), 1u);
    const ShownMessage& box = shown.front();
    EXPECT_LE(box.size.width(), 1024);
    EXPECT_LE(box.size.height(), 768);
    EXPECT_TRUE(box.buttonsInside);
    EXPECT_THAT(box.buttons, Contains("OK"));
    EXPECT_THAT(Visible(box), HasSubstr("Nothing was changed."));
    EXPECT_GE(box.detailedText.count(QLatin1Char('\n')), kRosterSlotCount - 1)
        << "every field belongs in the details";
}

void TurnWheel(QWidget* over) {
    const QPointF at = QRectF(over->rect()).center();
    QWheelEvent wheel(at, over->mapToGlobal(at), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(over, &wheel);
}

TEST_F(CarefulEditingTest, TheWheelChangesOnlyTheListThatHasTheKeyboardFocus) {
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
    QComboBox* focused = list("G1P2");
    focused->setCurrentIndex(5);
    focused->setFocus();
    ASSERT_TRUE(focused->hasFocus());

    for (const char* passedOver : {"G1P1", "g11", "G6P1"}) {
        TurnWheel(list(passedOver));
        EXPECT_EQ(list(passedOver)->currentIndex(), -1) << passedOver;
    }
    TurnWheel(focused);
    EXPECT_NE(focused->currentIndex(), 5);
}

} // namespace
} // namespace kelvarin::testing
