// A save must never overwrite what it did not load: a file changed or replaced since, another
// editor on the same file, another program holding it, a save cut short, a size changed under
// the save.
#include "image_checks.h"
#include "roster/roster.h"
#include "test_image.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <iostream>
#include <optional>
#include <random>
#include <thread>

#ifndef _WIN32
#include "child_process.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <unistd.h>
#endif

namespace kelvarin {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using testing::DifferingOffsets;
using ::testing::EndsWith;
using testing::FakeLists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using ::testing::StartsWith;
using testing::StoredValue;
using testing::StoreField;
using testing::TempDir;

constexpr std::int32_t kGym2Member1Species = 0x1C2FF74;
constexpr std::int32_t kGym8Member4Level = 0x1C300A2;
constexpr std::uint16_t kCherubi = 420;
constexpr std::uint16_t kBudew = 406;

// One editor window as the passes see it: its lists, its path and what it remembers.
struct Editor {
    FakeLists lists;
    std::string ImagePath;
    ImageRecord record;

    LoadResult load(const std::string& path) { return LoadRoster(path, ImagePath, lists, record); }
    SaveResult save(SaveMode mode = SaveMode::UnlessChanged) {
        return SaveRoster(ImagePath, lists, record, mode);
    }
};

class SaveSafety : public ::testing::Test {
  public: // the table of changes below works on the fixture
    void SetUp() override {
        testing::MakeRosterImage(image);
        StoreField(image, kGym2Member1Species, kCherubi);
        StoreField(image, kGym8Member4Level, 55);
        ASSERT_TRUE(editor.load(image).loaded());
        editor.lists.setSelectedIndex("G1P1", 1); // a change of the user's own, to be saved
    }

    // Another program makes a new image and puts it in place of the loaded one.
    void ReplaceWith(const std::function<void(const std::string&)>& change) {
        const std::string other = dir.file("rebuilt.nds");
        fs::copy_file(image, other);
        change(other);
        fs::rename(other, image);
    }

    TempDir dir;
    std::string image = dir.file("Pokemon Platinum.nds");
    Editor editor;
};

// What another program did to the file between Open and Save, and what the question must say.
struct Change {
    const char* name;
    std::function<void(SaveSafety&)> apply;
    const char* message; // the part of the message that names the kind of change
    const char* details; // the field lines, exactly
};

void PrintTo(const Change& change, std::ostream* out) {
    *out << change.name;
}

class ChangedOnDisk : public SaveSafety, public ::testing::WithParamInterface<Change> {};

TEST_P(ChangedOnDisk, AsksWritingNothingUntilSaveAnyway) {
    GetParam().apply(*this);
    const std::string changed = dir.file("as-changed.nds");
    fs::copy_file(image, changed);
    const ImageRecord loaded = editor.record;

    const SaveResult asked = editor.save();
    EXPECT_EQ(asked.status, SaveStatus::ChangedOnDisk);
    EXPECT_THAT(asked.message,
                AllOf(HasSubstr(GetParam().message), EndsWith("Nothing was written.")));
    testing::ExpectReadsWell(image, asked.message, asked.details, GetParam().message);
    EXPECT_THAT(asked.advice, StartsWith("Save anyway writes all 46 fields as shown here"));
    EXPECT_EQ(asked.details, "File: " + image + GetParam().details);
    EXPECT_THAT(DifferingOffsets(changed, image), IsEmpty());
    EXPECT_EQ(editor.record.fields, loaded.fields);
    EXPECT_EQ(editor.record.identity, loaded.identity);

    // Asked again, the same answer: Cancel changed nothing.
    EXPECT_EQ(editor.save().status, SaveStatus::ChangedOnDisk);

    const SaveResult anyway = editor.save(SaveMode::Overwrite);
    ASSERT_TRUE(anyway.saved()) << anyway.message;
    for (const RosterSlot& slot : kRosterSlots) {
        EXPECT_EQ(static_cast<std::int16_t>(StoredValue(image, slot.offset)),
                  editor.lists.selectedIndex(slot.control))
            << DescribeSlot(slot);
    }
    // What Save anyway wrote is now what the editor remembers: the next save does not ask.
    EXPECT_TRUE(editor.save().saved());
}

INSTANTIATE_TEST_SUITE_P(
    SaveSafety, ChangedOnDisk,
    ::testing::Values(
        Change{
            "ReplacedByAnotherFullSizeImage",
            [](SaveSafety& t) {
                t.ReplaceWith([](const std::string& other) {
                    StoreField(other, kGym2Member1Species, kBudew);
                });
            },
            "It is a different file now: \"\u2068Pokemon Platinum.nds\u2069\" was replaced, "
            "re-linked or "
            "rebuilt "
            "since Kelvarin last loaded or saved it. The species of gym 2, member 1 holds another "
            "value now.",
            "\nGym 2, member 1, species: loaded Cherubi, now Budew"},
        Change{"ChangedInPlace",
               [](SaveSafety& t) {
                   StoreField(t.image, kGym2Member1Species, kBudew);
                   StoreField(t.image, kGym8Member4Level, 0xFFFF);
               },
               "\"\u2068Pokemon Platinum.nds\u2069\" was changed by another program since Kelvarin "
               "last loaded "
               "or saved it. The species of gym 2, member 1 and the level of gym 8, member 4 hold "
               "other values now.",
               "\nGym 2, member 1, species: loaded Cherubi, now Budew\n"
               "Gym 8, member 4, level: loaded 55, now no entry (0xFFFF)"},
        Change{
            "FourFieldsChangedInPlace",
            [](SaveSafety& t) {
                for (const std::int32_t offset : {kGym2Member1Species, kGym8Member4Level,
                                                  kGym8Member4Level + 2, kGym8Member4Level - 16}) {
                    StoreField(t.image, offset, 1);
                }
            },
            "was changed by another program since Kelvarin last loaded or saved it. 4 fields hold "
            "other values now (listed in the details).",
            "\nGym 2, member 1, species: loaded Cherubi, now Bulbasaur\n"
            "Gym 8, member 4, species: loaded Numel, now Bulbasaur\n"
            "Gym 8, member 3, level: loaded 54, now 1\n"
            "Gym 8, member 4, level: loaded 55, now 1"},
        Change{"ReplacedByOneThatLoadWouldRefuse",
               [](SaveSafety& t) {
                   t.ReplaceWith([](const std::string& other) {
                       StoreField(other, kGym2Member1Species, 0x1234);
                       StoreField(other, kGym8Member4Level, 101);
                   });
               },
               "It is no longer a game image Kelvarin can read: the species of gym 2, member 1 and "
               "the level of gym 8, member 4 hold values that no list entry stands for.",
               "\nGym 2, member 1, species: loaded Cherubi, now 0x1234 (outside the list)\n"
               "Gym 8, member 4, level: loaded 55, now 0x0065 (outside the list)"},
        Change{
            "GrownInPlace",
            [](SaveSafety& t) { fs::resize_file(t.image, testing::kImageSize + 4096); },
            "was changed by another program since Kelvarin last loaded or saved it. Its size has "
            "changed. Nothing was written.",
            "\nIt has 67112960 bytes instead of 67108864."}),
    [](const ::testing::TestParamInfo<Change>& info) { return info.param.name; });

// What may happen to the file between Open and Save that is no change of its data: the save
// writes without asking.
struct NoChange {
    const char* name;
    std::function<void(SaveSafety&)> apply;
};

void PrintTo(const NoChange& change, std::ostream* out) {
    *out << change.name;
}

class NotChangedOnDisk : public SaveSafety, public ::testing::WithParamInterface<NoChange> {};

TEST_P(NotChangedOnDisk, SavesWithoutAsking) {
    GetParam().apply(*this);
    const SaveResult result = editor.save();
    ASSERT_TRUE(result.saved()) << result.message;
    EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), 1);
}

INSTANTIATE_TEST_SUITE_P(
    SaveSafety, NotChangedOnDisk,
    ::testing::Values(
        // Another tool rewrote the file in place with the same bytes, or merely touched it.
        NoChange{"OnlyANewModificationTime",
                 [](SaveSafety& t) {
                     const auto same = testing::ReadBytesAt(t.image, kRosterStart, 64);
                     testing::WriteBytesAt(t.image, kRosterStart, same);
                     fs::last_write_time(t.image,
                                         fs::last_write_time(t.image) + std::chrono::hours(1));
                 }},
        // A new identity alone, as FUSE drivers for exFAT and FAT give a file the kernel forgot,
        // or a card plugged in again: the same size and field bytes are the same image.
        NoChange{"OnlyANewIdentity",
                 [](SaveSafety& t) { t.ReplaceWith([](const std::string&) {}); }}),
    [](const ::testing::TestParamInfo<NoChange>& info) { return info.param.name; });

TEST_F(SaveSafety, NoRecordMeansNoBlindWrite) {
    Editor fresh;
    fresh.ImagePath = image;
    const SaveResult result = fresh.save();
    EXPECT_EQ(result.status, SaveStatus::ChangedOnDisk);
    EXPECT_THAT(result.message, HasSubstr("has not loaded"));
    EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), testing::RosterImageValue(0));
}

TEST_F(SaveSafety, TwoEditorsOnOneFileDoNotUndoEachOther) {
    Editor second;
    ASSERT_TRUE(second.load(image).loaded());
    second.lists.setSelectedIndex("G5P1", 2);

    ASSERT_TRUE(editor.save().saved());
    ASSERT_TRUE(editor.save().saved()) << "an editor's own save is no change on disk";

    const SaveResult asked = second.save();
    EXPECT_EQ(asked.status, SaveStatus::ChangedOnDisk);
    EXPECT_EQ(asked.details,
              "File: " + image + "\nGym 1, member 1, species: loaded Skitty, now Bulbasaur");
    EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), 1);

    // Open again takes in the first editor's change; then the second saves its own.
    ASSERT_TRUE(second.load(image).loaded());
    second.lists.setSelectedIndex("G5P1", 2);
    ASSERT_TRUE(second.save().saved());
    EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), 1);
    EXPECT_EQ(StoredValue(image, FindSlot(5, 1, SlotKind::Species)->offset), 2);
}

// The window's lists are asked for each field just before it is written: lists that cut the
// file at the tenth field stand for another program doing so in the middle of the writes.
class CuttingLists final : public FakeLists {
  public:
    CuttingLists(const FakeLists& shown, std::string path, std::int64_t size)
        : FakeLists(shown), path_(std::move(path)), size_(size) {}
    [[nodiscard]] std::int16_t selectedIndex(std::string_view control) const override {
        if (control == kRosterSlots[10].control) {
            std::error_code failed;
            fs::resize_file(path_, static_cast<std::uintmax_t>(size_), failed);
            cut_ = !failed;
        }
        return FakeLists::selectedIndex(control);
    }
    [[nodiscard]] bool cut() const { return cut_; }

  private:
    std::string path_;
    std::int64_t size_;
    mutable bool cut_ = false;
};

TEST_F(SaveSafety, AFileCutDuringTheWritesIsNotGrownAgain) {
    const std::int64_t cut = kRosterStart - 0x100;
    const CuttingLists cutting(editor.lists, image, cut);
    const SaveResult result = SaveRoster(editor.ImagePath, cutting, editor.record);
    if (!cutting.cut()) {
        GTEST_SKIP() << "the system keeps other programs from cutting a file while it is saved";
    }
    EXPECT_EQ(result.status, SaveStatus::Failed);
    EXPECT_THAT(result.message, HasSubstr("changed the file's size during the save"));
    EXPECT_EQ(fs::file_size(image), static_cast<std::uintmax_t>(cut)) << "the save grew the file";
}

#ifndef _WIN32
struct HeldLock {
    const char* name;
    testing::LockHeldElsewhere::Kind kind;
    bool loads; // a shared lock lets a load read alongside
    // How long the other program holds it: for a moment, as another window's save or a virus
    // scanner would, or (zero) throughout.
    std::chrono::milliseconds moment{0};
};

void PrintTo(const HeldLock& lock, std::ostream* out) {
    *out << lock.name;
}

class LockedElsewhere : public SaveSafety, public ::testing::WithParamInterface<HeldLock> {};

TEST_P(LockedElsewhere, NothingIsWrittenAndTheUserIsTold) {
    const std::string before = dir.file("before.nds");
    fs::copy_file(image, before);
    std::optional<testing::LockHeldElsewhere> other(std::in_place, image, GetParam().kind);
    ASSERT_TRUE(other->held()) << other->why();
    std::thread letGo;
    if (GetParam().moment.count() > 0) {
        letGo = std::thread([&] {
            std::this_thread::sleep_for(GetParam().moment);
            other.reset();
        });
    }

    const auto started = std::chrono::steady_clock::now();
    const SaveResult saved = editor.save(SaveMode::Overwrite);
    const auto waited = std::chrono::steady_clock::now() - started;
    if (letGo.joinable()) {
        letGo.join();
        EXPECT_TRUE(saved.saved()) << saved.message << "\n" << saved.details;
        EXPECT_TRUE(Editor().load(image).loaded());
        return;
    }
    // Told only after it was tried again for about a second.
    EXPECT_GE(waited, std::chrono::milliseconds(900));
    EXPECT_EQ(saved.status, SaveStatus::Failed);
    EXPECT_THAT(saved.message, AllOf(HasSubstr("another program is using the file"),
                                     HasSubstr("Nothing was written.")));
    testing::ExpectReadsWell(image, saved.message, saved.details, "is using");
    // A refused lock comes without words of the system's: none of Kelvarin's stands in for them.
    EXPECT_THAT(saved.details, Not(HasSubstr("The system said")));
    EXPECT_THAT(saved.advice, HasSubstr("Wait until the other program has finished"));
    EXPECT_THAT(DifferingOffsets(before, image), IsEmpty());

    Editor reader;
    const LoadResult loaded = reader.load(image);
    EXPECT_EQ(loaded.loaded(), GetParam().loads) << loaded.message;
    if (!GetParam().loads) {
        EXPECT_THAT(loaded.message, HasSubstr("another program is using the file"));
        EXPECT_THAT(loaded.details, Not(HasSubstr("The system said")));
        EXPECT_EQ(reader.lists.changes(), 0);
    }
}

INSTANTIATE_TEST_SUITE_P(
    SaveSafety, LockedElsewhere,
    ::testing::Values(HeldLock{"Shared", testing::LockHeldElsewhere::Kind::Shared, true},
                      HeldLock{"Exclusive", testing::LockHeldElsewhere::Kind::Exclusive, false},
                      HeldLock{"ExclusiveForAMoment", testing::LockHeldElsewhere::Kind::Exclusive,
                               true, std::chrono::milliseconds(300)}),
    [](const ::testing::TestParamInfo<HeldLock>& info) { return info.param.name; });

TEST(TornWrites, AFieldIsAlwaysWhollyOldOrWhollyNewWhenASaveIsKilled) {
    // Memory-backed where possible: the flush is then next to free, so nearly every kill lands
    // among the writes, where a field written in two steps would be caught half done.
    const bool memory = fs::is_directory("/dev/shm") && ::access("/dev/shm", W_OK) == 0;
    const TempDir dir(memory ? fs::path("/dev/shm") : fs::temp_directory_path());
    const std::string image = dir.file("image.nds");
    testing::MakeRosterImage(image);

    // Both bytes of every species differ between the two sets: 0x0011 against 0x0122.
    FakeLists first;
    FakeLists second;
    for (const RosterSlot& slot : kRosterSlots) {
        first.setSelectedIndex(slot.control, slot.kind == SlotKind::Species ? 0x0011 : 5);
        second.setSelectedIndex(slot.control, slot.kind == SlotKind::Species ? 0x0122 : 100);
    }
    // Every field starts as one of the two sets: a kill before the first save is through must
    // not leave the image's own values, which neither set holds, to be taken for a torn field.
    ImageRecord start;
    ASSERT_TRUE(SaveRoster(image, first, start, SaveMode::Overwrite).saved());
    std::mt19937 random(20261209);
    std::uniform_int_distribution<int> lifetime(300, 4000);
    int cutMidSave = 0;
    for (int run = 0; run < 150; ++run) {
        std::string why;
        ASSERT_TRUE(testing::RunInChildUntilKilled(
            [&] {
                ImageRecord record;
                const std::string path = image;
                for (;;) {
                    SaveRoster(path, first, record, SaveMode::Overwrite);
                    SaveRoster(path, second, record, SaveMode::Overwrite);
                }
            },
            std::chrono::microseconds(lifetime(random)), &why))
            << why;
        int fromFirst = 0;
        for (const RosterSlot& slot : kRosterSlots) {
            const auto value = static_cast<std::int16_t>(StoredValue(image, slot.offset));
            const std::int16_t a = first.selectedIndex(slot.control);
            const std::int16_t b = second.selectedIndex(slot.control);
            ASSERT_TRUE(value == a || value == b)
                << DescribeSlot(slot) << " holds " << value << " after run " << run;
            fromFirst += value == a ? 1 : 0;
        }
        cutMidSave += fromFirst > 0 && fromFirst < kRosterSlotCount ? 1 : 0;
    }
    ASSERT_EQ(fs::file_size(image), testing::kImageSize);
    if (cutMidSave == 0) {
        GTEST_SKIP() << "no kill landed inside a save, so nothing was proven";
    }
    std::cout << cutMidSave << " of 150 kills stopped a save part way through\n";
}

// Another program that changes the file's size at the moment a save first reads it, which is
// after the save took the size under its lock and before it writes. A permission event of the
// file system holds the save's read until the change is made, so the order is fixed.
class ResizeOnFirstRead {
  public:
    ResizeOnFirstRead(const std::string& path, std::int64_t size) : size_(size) {
        fan_ = ::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDWR | O_LARGEFILE);
        if (fan_ < 0) {
            why_ = std::string("fanotify is not available here: ") + std::strerror(errno);
            return;
        }
        if (::fanotify_mark(fan_, FAN_MARK_ADD, FAN_ACCESS_PERM, AT_FDCWD, path.c_str()) != 0) {
            why_ = std::string("the file system offers no access events: ") + std::strerror(errno);
            return;
        }
        watcher_ = std::thread([this] { answer(); });
    }
    ~ResizeOnFirstRead() {
        stop_ = true;
        if (watcher_.joinable()) {
            watcher_.join();
        }
        if (fan_ >= 0) {
            ::close(fan_); // lets any read still held go on
        }
    }
    [[nodiscard]] bool armed() const { return why_.empty(); }
    [[nodiscard]] const std::string& why() const { return why_; }
    [[nodiscard]] bool resized() const { return resized_; }

  private:
    void answer() {
        alignas(fanotify_event_metadata) char buffer[4096];
        while (!stop_) {
            pollfd ready{fan_, POLLIN, 0};
            if (::poll(&ready, 1, 20) <= 0) {
                continue;
            }
            const ssize_t got = ::read(fan_, buffer, sizeof buffer);
            auto* event = reinterpret_cast<fanotify_event_metadata*>(buffer);
            for (ssize_t left = got; FAN_EVENT_OK(event, left);
                 event = FAN_EVENT_NEXT(event, left)) {
                if (!resized_ && ::ftruncate(event->fd, size_) == 0) {
                    resized_ = true;
                }
                const fanotify_response allow{event->fd, FAN_ALLOW};
                (void)!::write(fan_, &allow, sizeof allow);
                ::close(event->fd);
            }
        }
    }

    std::int64_t size_;
    int fan_ = -1;
    std::string why_;
    std::thread watcher_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> resized_{false};
};

class SizeChangedDuringSave : public SaveSafety,
                              public ::testing::WithParamInterface<std::int64_t> {};

TEST_P(SizeChangedDuringSave, IsAFailureNeverASave) {
    const std::int64_t size = GetParam();
    SaveResult result{};
    {
        const ResizeOnFirstRead other(image, size);
        if (!other.armed()) {
            GTEST_SKIP() << other.why();
        }
        result = editor.save();
        ASSERT_TRUE(other.resized());
    }
    EXPECT_EQ(result.status, SaveStatus::Failed);
    EXPECT_THAT(result.message,
                AllOf(HasSubstr("another program changed the file's size during the save"),
                      HasSubstr("Nothing was written.")));
    testing::ExpectReadsWell(image, result.message, result.details,
                             "Its size changed from 67108864 bytes to " + std::to_string(size) +
                                 " bytes during the save.");
    EXPECT_EQ(result.unwritten.size(), std::size_t{kRosterSlotCount});
    EXPECT_EQ(fs::file_size(image), static_cast<std::uintmax_t>(size)) << "the save grew the file";
}

INSTANTIATE_TEST_SUITE_P(SaveSafety, SizeChangedDuringSave,
                         ::testing::Values(static_cast<std::int64_t>(testing::kImageSize + 4096),
                                           kRosterEnd + 0x1000),
                         [](const ::testing::TestParamInfo<std::int64_t>& info) {
                             return info.param > kRosterEnd + 0x1000 ? "Extended" : "Truncated";
                         });

#else
TEST(SaveSafetyAcrossProcesses, LockingKillingOrResizing) {
    GTEST_SKIP() << "needs fork, flock and fanotify; on Windows Win32File.* holds, locks and "
                    "cuts the file from a second process";
}
#endif

} // namespace
} // namespace kelvarin
