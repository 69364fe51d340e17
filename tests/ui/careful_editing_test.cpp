// What keeps the window from doing to a file what its user did not mean, or from losing what they
// did: a save over a file that changed behind its back asks first, closing or opening another
// image with changes not saved asks first, the title shows while changes are not saved, every
// message shows names as they are and fits a small screen, and a wheel turned on the way past a
// list leaves it alone.

#include "window_fixture.h"

#include "roster/roster.h"
#include "ui/announcer.h"

#include <QKeyEvent>
#include <QTest>
#include <QWheelEvent>

#include <gmock/gmock.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <optional>

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

void SendKey(QWidget* to, QEvent::Type type, Qt::Key key, bool repeated,
             unsigned long timestamp = 1000) {
    QKeyEvent event(type, key, Qt::NoModifier, QString(), repeated);
    event.setTimestamp(timestamp);
    QApplication::sendEvent(to, &event);
}

// A held key repeating at a box: releases and presses marked as the key's own repeats, and then
// a pair that is not marked, as X11 sometimes delivers a repeat, with one time stamp.
void Repeat(QWidget* to, Qt::Key key) {
    for (int i = 0; i < 5; ++i) {
        SendKey(to, QEvent::KeyRelease, key, true);
        SendKey(to, QEvent::KeyPress, key, true);
    }
    SendKey(to, QEvent::KeyRelease, key, false, 1100);
    SendKey(to, QEvent::KeyPress, key, false, 1100);
}

// While a question about the changes (or a box that a key opened) is up, nothing answers it but
// the person: not the repeats of the key that opened it nor of any key held since before, not a
// request to end that comes once, not a save made past it; a fresh Enter still presses its
// default, and a request to end made twice ends the program.
TEST_F(CarefulEditingTest, OnlyThePersonAnswersAQuestion) {
    using Kind = EndRequests::Kind;
    enum class Opener { EnterOnOpen, EnterOnSave, KeyThenClose, Request };
    enum class Disk { AsLoaded, Removed, ChangedElsewhere };
    struct Row {
        const char* what;
        bool pending;
        Disk disk;
        Opener opener;
        std::function<void(QMessageBox&)> meanwhile;
        std::size_t boxes;
        bool stayed;  // the first box was still up after `meanwhile`
        bool written; // the change is in the file
        bool open;    // the window is still open
        std::optional<Kind> endedAtOnce;
    };
    std::optional<Kind> endedAtOnce;
    EndRequests requests;
    window.followEndRequests(requests);
    QObject::connect(&window, &MainWindow::endNowAsked, &window,
                     [&](Kind kind) { endedAtOnce = kind; });
    const auto focusOf = [](QMessageBox& box) {
        return box.focusWidget() != nullptr ? box.focusWidget() : &box;
    };
    const auto held = [&](Qt::Key key) {
        return [=](QMessageBox& box) { Repeat(focusOf(box), key); };
    };
    // A request as the platform makes it, taken by the window before this returns.
    int received = 0;
    QObject::connect(&requests, &EndRequests::requested, &window, [&] { ++received; });
    const auto deliver = [&](Kind kind) {
        const int before = received;
        EndRequests::arrive(kind);
        ASSERT_TRUE(QTest::qWaitFor([&] { return received > before; }));
        QCoreApplication::sendPostedEvents(); // the window's queued turn
    };
    const auto request = [&](Kind kind) { return [=](QMessageBox&) { deliver(kind); }; };
    const auto pressedAgain = [&](QMessageBox& box) {
        Repeat(focusOf(box), Qt::Key_Return);
        SendKey(focusOf(box), QEvent::KeyRelease, Qt::Key_Return, false, 1200);
        SendKey(focusOf(box), QEvent::KeyPress, Qt::Key_Return, false, 1400);
    };
    const auto savedPast = [&](QMessageBox&) { button("cmdSave")->click(); };
    const Disk asLoaded = Disk::AsLoaded;
    // clang-format off
    const Row rows[] = {
        {"Enter held on Open", true, asLoaded, Opener::EnterOnOpen, held(Qt::Key_Return), 1, true, false, true, {}},
        {"Enter held, then pressed again", true, asLoaded, Opener::EnterOnOpen, pressedAgain, 1, false, true, true, {}},
        {"Escape held since before", true, asLoaded, Opener::KeyThenClose, held(Qt::Key_Escape), 1, true, false, true, {}},
        {"Enter held on a failing Save", true, Disk::Removed, Opener::EnterOnSave, held(Qt::Key_Return), 1, true, false, true, {}},
        {"Enter held on a conflicting Save", true, Disk::ChangedElsewhere, Opener::EnterOnSave, held(Qt::Key_Return), 1, true, false, true, {}},
        {"Save pressed past the question", true, asLoaded, Opener::KeyThenClose, savedPast, 1, false, true, true, {}},
        {"terminated, nothing pending", false, asLoaded, Opener::Request, {}, 0, true, false, false, {}},
        {"terminated, then cancelled", true, asLoaded, Opener::Request, {}, 1, true, false, true, {}},
        {"terminated twice", true, asLoaded, Opener::Request, request(Kind::Terminate), 1, true, false, true, Kind::Terminate},
        {"terminated, then hung up", true, asLoaded, Opener::Request, request(Kind::HangUp), 1, true, false, true, {}},
    };
    // clang-format on
    window.show();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        endedAtOnce.reset();
        MakeRosterImage(image);
        dialogs.dropAnswers();
        dialogs.willChoose(QString::fromStdString(image));
        pressAnswering("cmdOpen", {QStringLiteral("Open without saving")});
        if (row.pending) {
            list("G1P1")->setCurrentIndex(42);
        }
        if (row.disk == Disk::Removed) {
            std::filesystem::remove(image);
        } else if (row.disk == Disk::ChangedElsewhere) {
            StoreField(image, 0x1C2FF74, 406);
        }
        window.show();
        const auto opens = [&] {
            switch (row.opener) {
            case Opener::EnterOnOpen:
            case Opener::EnterOnSave: {
                QPushButton* pressed =
                    button(row.opener == Opener::EnterOnOpen ? "cmdOpen" : "cmdSave");
                SendKey(pressed, QEvent::KeyPress, Qt::Key_Return, false);
                break;
            }
            case Opener::KeyThenClose:
                SendKey(list("G1P1"), QEvent::KeyPress, Qt::Key_Escape, false);
                window.close();
                break;
            case Opener::Request:
                deliver(Kind::Terminate);
                break;
            }
        };
        const auto shown = MessagesShownDuring(opens, {QStringLiteral("Cancel")}, row.meanwhile);
        ASSERT_EQ(shown.size(), row.boxes);
        if (row.boxes > 0) {
            EXPECT_EQ(shown.front().stayed, row.stayed);
        }
        EXPECT_EQ(std::filesystem::exists(image) &&
                      ReadBytesAt(image, 0x1C2F858, 2) == (Bytes{42, 0}),
                  row.written);
        EXPECT_EQ(window.isVisible(), row.open);
        EXPECT_EQ(endedAtOnce, row.endedAtOnce);
    }
}

// The title carries the mark of a modified window exactly while a list shows a value the image
// does not hold; Save can be pressed once an image is open, and a save is announced to a screen
// reader, since nothing else shows it.
TEST_F(CarefulEditingTest, TheTitleIsMarkedWhileChangesAreNotSavedAndASaveIsAnnounced) {
    const auto* announcer = window.findChild<Announcer*>();
    ASSERT_NE(announcer, nullptr);
    QComboBox* species = list("G1P1");
    const QString saved = QStringLiteral("Saved 1 change to \"\u2068game.nds\u2069\".");
    const struct {
        std::function<void()> step;
        const char* title;
        bool saveAvailable;
        QString announced; // what a screen reader was told last
    } steps[] = {
        {[&] { press("cmdSave"); }, "Kelvarin", false, {}},
        {[&] { open(dir.file("missing.nds")); }, "Kelvarin", false, {}},
        {[&] {
             MakeRosterImage(image);
             open(image);
         },
         "Kelvarin",
         true,
         {}},
        {[&] { species->setCurrentIndex(42); }, "Kelvarin*", true, {}},
        {[&] { species->setCurrentIndex(300); }, "Kelvarin", true, {}}, // back to the loaded value
        {[&] { species->setCurrentIndex(42); }, "Kelvarin*", true, {}},
        {[&] {
             std::filesystem::remove(image);
             press("cmdSave");
         },
         "Kelvarin*",
         true,
         {}},
        {[&] {
             MakeRosterImage(image);
             press("cmdSave");
         },
         "Kelvarin", true, saved},
        {[&] { open(dir.file("missing.nds")); }, "Kelvarin", true, saved},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(::testing::Message() << "step " << (&step - steps));
        step.step();
        EXPECT_EQ(shownTitle(), step.title);
        EXPECT_EQ(button("cmdSave")->isEnabled(), step.saveAvailable);
        EXPECT_EQ(announcer->sentence(), step.announced);
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

// True when nothing in `sentence` outside an isolated name can turn its direction or break it:
// no embedding or override and no control character but within U+2068 ... U+2069.
bool KeepsItsDirection(const QString& sentence) {
    int isolated = 0;
    for (const QChar c : sentence) {
        if (c == QChar(0x2068)) {
            ++isolated;
        } else if (c == QChar(0x2069)) {
            --isolated;
        } else if (isolated == 0 && ((c >= QChar(0x202A) && c <= QChar(0x202E)) ||
                                     c.category() == QChar::Other_Control)) {
            return false;
        }
    }
    return isolated == 0;
}

// A file name is put into every kind of sentence the same way: quoted and isolated, so that a
// name that runs right to left, or carries an override or a line break, leaves the sentence as
// it is.
TEST_F(CarefulEditingTest, ANameCannotTurnASentenceAround) {
    const auto* announcer = window.findChild<Announcer*>();
    for (const char* name : {"abc\u202E.nds", "line\nbreak.nds"}) {
        SCOPED_TRACE(name);
        const std::string odd = dir.file(name);
        if (!std::ofstream(PathOf(odd))) {
            std::cout << "not on this system's file names: " << name << '\n';
            continue;
        }
        MakeSparseFile(odd, 1024);
        std::vector<QString> sentences;
        const auto firstOf = [&](const std::vector<ShownMessage>& shown) {
            ASSERT_EQ(shown.size(), 1u);
            sentences.push_back(shown.front().text);
        };
        firstOf(open(odd)); // refused: too short
        MakeRosterImage(odd);
        ASSERT_TRUE(open(odd).empty());
        list("G1P1")->setCurrentIndex(42);
        firstOf(MessagesShownDuring([&] { window.close(); }, QStringLiteral("Cancel")));
        StoreField(odd, 0x1C2FF74, 406);
        firstOf(saveAnswering(QStringLiteral("Cancel"))); // changed on disk
        std::filesystem::remove(PathOf(odd));
        firstOf(press("cmdSave")); // failed
        MakeRosterImage(odd);
        ASSERT_TRUE(press("cmdSave").empty());
        sentences.push_back(announcer->sentence());
        for (const QString& sentence : sentences) {
            EXPECT_TRUE(sentence.contains(ToQString(NameInSentence(odd))))
                << sentence.toStdString();
            EXPECT_TRUE(KeepsItsDirection(sentence)) << sentence.toStdString();
        }
    }
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
