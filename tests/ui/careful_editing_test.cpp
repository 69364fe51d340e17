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
// the other answer goes on without them; Cancel, or Escape, stays.
TEST_F(CarefulEditingTest, ChangesNotSavedAreSavedOrLostOnlyAsAnswered) {
    using Losing = MainWindow::Losing;
    enum class Disk { AsLoaded, Removed, ChangedElsewhere };
    struct Row {
        const char* what;
        Losing by;
        int changes;
        Disk disk;
        QStringList answers;
        bool goesOn; // the window closes, or the open-file dialog comes
        bool saved;  // the image holds the changes
    };
    const QString save = QStringLiteral("Save");
    const QString anyway = QStringLiteral("Save anyway");
    const QString close = QStringLiteral("Close without saving");
    const QString open = QStringLiteral("Open without saving");
    const QString cancel = QStringLiteral("Cancel");
    const Row rows[] = {
        {"close, nothing to save", Losing::ByClosing, 0, Disk::AsLoaded, {}, true, false},
        {"close, Save", Losing::ByClosing, 2, Disk::AsLoaded, {save}, true, true},
        {"close without saving", Losing::ByClosing, 1, Disk::AsLoaded, {close}, true, false},
        {"close, Cancel", Losing::ByClosing, 2, Disk::AsLoaded, {cancel}, false, false},
        {"close, Escape", Losing::ByClosing, 2, Disk::AsLoaded, {}, false, false},
        {"close, Save fails", Losing::ByClosing, 2, Disk::Removed, {save}, false, false},
        {"close, Save stops",
         Losing::ByClosing,
         2,
         Disk::ChangedElsewhere,
         {save, cancel},
         false,
         false},
        {"close, Save anyway",
         Losing::ByClosing,
         2,
         Disk::ChangedElsewhere,
         {save, anyway},
         true,
         true},
        {"open, nothing to save", Losing::ByOpening, 0, Disk::AsLoaded, {}, true, false},
        {"open, Save", Losing::ByOpening, 2, Disk::AsLoaded, {save}, true, true},
        {"open without saving", Losing::ByOpening, 1, Disk::AsLoaded, {open}, true, false},
        {"open, Cancel", Losing::ByOpening, 2, Disk::AsLoaded, {cancel}, false, false},
        {"open, Save fails", Losing::ByOpening, 2, Disk::Removed, {save}, false, false},
        {"open, Save stops",
         Losing::ByOpening,
         2,
         Disk::ChangedElsewhere,
         {save, cancel},
         false,
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        MakeRosterImage(image);
        dialogs.willChoose(QString::fromStdString(image));
        pressAnswering("cmdOpen", {open}); // what the row before left is not saved
        dialogs.dropAnswers();
        const std::string changed[] = {"G1P1", "g84"};
        for (int i = 0; i < row.changes; ++i) {
            list(changed[i])->setCurrentIndex(42);
        }
        if (row.disk == Disk::Removed) {
            std::filesystem::remove(image);
        } else if (row.disk == Disk::ChangedElsewhere) {
            StoreField(image, 0x1C2FF74, 406);
        }

        bool goesOn = false;
        std::vector<ShownMessage> shown;
        if (row.by == Losing::ByClosing) {
            shown = MessagesShownDuring([&] { goesOn = window.close(); }, row.answers);
        } else {
            dialogs.willCancel();
            const std::size_t asked = dialogs.requests.size();
            shown = pressAnswering("cmdOpen", row.answers);
            goesOn = dialogs.requests.size() > asked;
            dialogs.dropAnswers();
        }
        EXPECT_EQ(goesOn, row.goesOn);
        const bool holdsChanges =
            std::filesystem::exists(image) && ReadBytesAt(image, 0x1C2F858, 2) == Bytes{42, 0};
        EXPECT_EQ(holdsChanges, row.saved);
        EXPECT_EQ(window.isWindowModified(), row.changes > 0 && !row.saved);
        if (row.changes == 0) {
            EXPECT_TRUE(shown.empty());
            continue;
        }
        ASSERT_FALSE(shown.empty());
        const ShownMessage& question = shown.front();
        const bool closing = row.by == Losing::ByClosing;
        const QString asked =
            (row.changes == 1 ? QStringLiteral("Save your change to game.nds")
                              : QStringLiteral("Save your 2 changes to game.nds")) +
            (closing ? QStringLiteral(" before closing?")
                     : QStringLiteral(" before opening another image?"));
        EXPECT_EQ(question.text, asked);
        EXPECT_EQ(question.title, "Kelvarin");
        EXPECT_EQ(question.icon, QMessageBox::Warning);
        EXPECT_THAT(question.buttons,
                    AllOf(Contains(save), Contains(closing ? close : open), Contains(cancel)));
        EXPECT_EQ(question.defaultButton, save);
        EXPECT_TRUE(question.plainText);
        EXPECT_EQ(shown.size(), row.disk == Disk::AsLoaded ? 1u : 2u);
    }
}

// The title carries the mark of a modified window exactly while a list shows a value the image
// does not hold; a save is announced to a screen reader, since nothing else shows it.
TEST_F(CarefulEditingTest, TheTitleIsMarkedWhileChangesAreNotSavedAndASaveIsAnnounced) {
    const auto* announcer = window.findChild<Announcer*>();
    ASSERT_NE(announcer, nullptr);
    QComboBox* species = list("G1P1");
    struct Step {
        const char* what;
        std::function<void()> act;
        const char* title;
        const char* announced;
    };
    const Step steps[] = {
        {"Save with no image", [&] { EXPECT_TRUE(press("cmdSave").empty()); }, "Kelvarin",
         "No game image is open, so there is nothing to save."},
        {"a change with no image", [&] { species->setCurrentIndex(5); }, "Kelvarin", ""},
        {"load",
         [&] {
             MakeRosterImage(image);
             EXPECT_TRUE(open(image).empty());
         },
         "Kelvarin", ""},
        {"a change", [&] { species->setCurrentIndex(42); }, "Kelvarin*", ""},
        {"changed back", [&] { species->setCurrentIndex(300); }, "Kelvarin", ""},
        {"a placeholder changed", [&] { list("G6P1")->setCurrentIndex(3); }, "Kelvarin", ""},
        {"changed again", [&] { species->setCurrentIndex(42); }, "Kelvarin*", ""},
        {"a failed save",
         [&] {
             std::filesystem::remove(image);
             EXPECT_EQ(press("cmdSave").size(), 1u);
         },
         "Kelvarin*", ""},
        {"saved by Enter",
         [&] {
             MakeRosterImage(image);
             button("cmdSave")->setFocus();
             QTest::keyClick(button("cmdSave"), Qt::Key_Return);
         },
         "Kelvarin", "Saved 1 change to game.nds."},
        {"saved again", [&] { EXPECT_TRUE(press("cmdSave").empty()); }, "Kelvarin",
         "Saved game.nds; it already held every value shown."},
    };
    QString before = announcer->sentence();
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(shownTitle(), step.title) << step.what;
        const QString expected = *step.announced != '\0' ? QString(step.announced) : before;
        EXPECT_EQ(announcer->sentence(), expected) << step.what << ": nothing new to announce";
        before = announcer->sentence();
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
    EXPECT_THAT(Visible(shown.front()), AllOf(HasSubstr("\"" + FileNameOf(odd) + "\""),
                                              HasSubstr("Nothing was changed.")));
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
