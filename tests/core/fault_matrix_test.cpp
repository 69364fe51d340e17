// Every condition a person can meet between pressing Open and pressing Save, each held to the
// same promises: a message naming the file and the problem, no selection changed by a refused
// load, no byte changed outside the 92 field bytes, and nothing called saved that is not on
// disk.
#include "child_process.h"
#include "image/file_error_codes.h"
#include "image_checks.h"
#include "misplacing_mount.h"
#include "roster/roster.h"

#include <filesystem>
#include <functional>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <linux/fs.h>
#include <optional>
#include <ostream>
#include <set>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <utility>

#include <atomic>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <fstream>

namespace kelvarin {
namespace {

namespace fs = std::filesystem;
using ::testing::AllOf;
using testing::FakeLists;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;
using testing::SameRecord;
using testing::StoredValue;
using testing::TempDir;

constexpr std::int16_t kShownBefore = 7;

class FaultMatrix : public ::testing::Test, protected testing::CheckedImage {
  protected:
    void SetUp() override {
        testing::MakeRosterImage(image);
        fs::copy_file(image, pristine);
        lists.selectAll(kShownBefore);
    }

    // After any save: fields reported written hold the shown value, fields reported unwritten
    // still hold the old one, and no other byte of the file changed.
    void ExpectDiskMatchesReport(const std::string& path, const SaveResult& result) {
        const std::set<const RosterSlot*> unwritten(result.unwritten.begin(),
                                                    result.unwritten.end());
        if (result.saved()) {
            EXPECT_TRUE(unwritten.empty());
        }
        for (const RosterSlot& slot : kRosterSlots) {
            const auto onDisk = static_cast<std::int16_t>(StoredValue(path, slot.offset));
            if (!unwritten.count(&slot)) {
                EXPECT_EQ(onDisk, lists.selectedIndex(slot.control)) << DescribeSlot(slot);
            }
        }
        std::set<std::int64_t> fieldBytes;
        for (const RosterSlot& slot : kRosterSlots) {
            fieldBytes.insert({slot.offset, slot.offset + 1});
        }
        ASSERT_EQ(fs::file_size(path), fs::file_size(pristine));
        for (std::int64_t offset : testing::DifferingOffsets(pristine, path)) {
            EXPECT_TRUE(fieldBytes.count(offset)) << "byte 0x" << std::hex << offset << " changed";
        }
    }
};

// What a path holds, as far as a pass could have changed it.
struct PathState {
    bool exists = false;
    fs::file_type type = fs::file_type::none;
    std::uintmax_t size = 0;          // regular files only
    std::vector<std::uint8_t> fields; // the field region, regular files only
    std::size_t entries = 0;          // folders only

    friend bool operator==(const PathState&, const PathState&) = default;
};

PathState StateOf(const std::string& path) {
    PathState state;
    std::error_code ignored;
    const fs::file_status status = fs::symlink_status(path, ignored);
    state.exists = fs::exists(status);
    state.type = status.type();
    if (fs::is_regular_file(status)) {
        state.size = fs::file_size(path);
        state.fields = testing::ReadBytesAt(
            path, kRosterStart - 16, static_cast<std::size_t>(kRosterEnd - kRosterStart + 32));
    } else if (fs::is_directory(status)) {
        state.entries = static_cast<std::size_t>(
            std::distance(fs::directory_iterator(path), fs::directory_iterator()));
    }
    return state;
}

// A path that no pass may use, as it is met at Open or between Open and Save: what makes it so,
// and the words that must tell the user.
struct Unusable {
    const char* name;
    std::function<std::string(const std::string& image)> make; // returns the path to use
    const char* problem;
};

void PrintTo(const Unusable& condition, std::ostream* out) {
    *out << condition.name;
}

class UnusableFile : public FaultMatrix, public ::testing::WithParamInterface<Unusable> {};

TEST_P(UnusableFile, IsRefusedByLoadAndSaveAndLeftAsItWas) {
    ASSERT_TRUE(LoadRoster(image, ImagePath, lists, record).loaded());
    const std::string path = GetParam().make(image);
    const PathState before = StateOf(path);

    lists.selectAll(kShownBefore);
    ExpectLoadRefused(path, GetParam().problem);

    ImagePath = path;
    const ImageRecord loaded = record;
    ExpectSaveFailedWithoutWriting(GetParam().problem);
    EXPECT_TRUE(SameRecord(record, loaded));
    EXPECT_EQ(StateOf(path), before);
}

std::string Resized(const std::string& image, std::int64_t size) {
    fs::resize_file(image, static_cast<std::uintmax_t>(size));
    return image;
}

INSTANTIATE_TEST_SUITE_P(
    FileConditions, UnusableFile,
    ::testing::Values(
        Unusable{"Missing",
                 [](const std::string& image) {
                     fs::remove(image);
                     return image;
                 },
                 "does not exist"},
        Unusable{"LinkToNothing",
                 [](const std::string& image) {
                     const std::string link = image + ".link";
                     fs::create_symlink(image + ".gone", link);
                     return link;
                 },
                 "does not exist"},
        Unusable{"Folder",
                 [](const std::string& image) {
                     fs::remove(image);
                     fs::create_directory(image);
                     return image;
                 },
                 "is a folder"},
        Unusable{"NullDevice", [](const std::string&) { return std::string("/dev/null"); },
                 "is a character device"},
        Unusable{"ZeroDevice", [](const std::string&) { return std::string("/dev/zero"); },
                 "is a character device"},
        Unusable{"DeviceThatRefusesWrites",
                 [](const std::string&) { return std::string("/dev/full"); },
                 "is a character device"},
        Unusable{"OneByteShort",
                 [](const std::string& image) { return Resized(image, kRosterEnd - 1); },
                 "too short"},
        Unusable{"EndsAmongTheFields",
                 [](const std::string& image) { return Resized(image, 0x1C30000); },
                 "has 29556736 bytes"},
        Unusable{"Empty", [](const std::string& image) { return Resized(image, 0); },
                 "has 0 bytes"},
        Unusable{"OneByte", [](const std::string& image) { return Resized(image, 1); },
                 "It has 1 byte, but the gym teams end at byte 29556902 (0x1C300A6)."}),
    [](const ::testing::TestParamInfo<Unusable>& info) { return info.param.name; });

TEST_F(FaultMatrix, ShortestUsableImageEndsWithTheLastField) {
    fs::resize_file(image, kRosterEnd);
    ASSERT_TRUE(LoadRoster(image, ImagePath, lists, record).loaded());
    lists.setSelectedIndex("G8P4", 493);
    EXPECT_TRUE(SaveRoster(ImagePath, lists, record).saved());
    EXPECT_EQ(fs::file_size(image), static_cast<std::uintmax_t>(kRosterEnd));
}

TEST_F(FaultMatrix, NamedPipeIsRefusedWithoutBlocking) {
    const std::string pipe = dir.file("pipe.nds");
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    std::string why;
    // In a child with a deadline, so that a load that blocks fails the test instead of hanging.
    const auto status = testing::RunInChild(
        [&] {
            FakeLists shown;
            std::string path;
            ImageRecord noRecord;
            const LoadResult result = LoadRoster(pipe, path, shown, noRecord);
            return result.status == LoadStatus::Refused &&
                           ::testing::Value(result.message, HasSubstr("named pipe")) &&
                           shown.setCount() == 0
                       ? 0
                       : 1;
        },
        10, &why);
    ASSERT_TRUE(status.has_value()) << why;
    EXPECT_EQ(*status, 0);
    ExpectLoadRefused(pipe, "named pipe");

    // A save to a path that has become a pipe must not block either.
    ImagePath = pipe;
    ExpectSaveFailedWithoutWriting("named pipe");
}

TEST_F(FaultMatrix, FileWithoutReadPermission) {
    fs::permissions(image, fs::perms::owner_write);
    std::string why;
    const auto status = testing::RunAsUnprivilegedChild(
        [&] {
            FakeLists shown;
            std::string path;
            ImageRecord noRecord;
            const LoadResult result = LoadRoster(image, path, shown, noRecord);
            if (result.status != LoadStatus::Refused) {
                return 1;
            }
            if (!::testing::Value(result.message,
                                  AllOf(HasSubstr(FileNameOf(image)), HasSubstr("reading")))) {
                return 2;
            }
            return shown.setCount() == 0 && path.empty() ? 0 : 3;
        },
        10, &why);
    if (!status && ::geteuid() != 0) {
        if (::access(image.c_str(), R_OK) == 0) {
            GTEST_SKIP() << "cannot take read permission away here: " << why;
        }
        ExpectLoadRefused(image, "reading");
        return;
    }
    ASSERT_TRUE(status.has_value()) << why;
    EXPECT_EQ(*status, 0);
}

TEST_F(FaultMatrix, FileWithoutWritePermissionLoadsButDoesNotSave) {
    fs::permissions(image, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    fs::permissions(dir.path(), fs::perms::all);
    std::string why;
    const auto status = testing::RunAsUnprivilegedChild(
        [&] {
            FakeLists shown;
            std::string path;
            ImageRecord loaded;
            if (!LoadRoster(image, path, shown, loaded).loaded()) {
                return 1;
            }
            shown.setSelectedIndex("G1P1", 1);
            const SaveResult result = SaveRoster(path, shown, loaded);
            if (result.status != SaveStatus::Failed) {
                return 2;
            }
            return ::testing::Value(result.message,
                                    AllOf(HasSubstr(FileNameOf(image)), HasSubstr("writing"),
                                          HasSubstr("Nothing was written")))
                       ? 0
                       : 3;
        },
        10, &why);
    if (!status) {
        if (::access(image.c_str(), W_OK) == 0) {
            GTEST_SKIP() << "cannot take write permission away here: " << why;
        }
        LoadAndChange(image);
        ImagePath = image;
        ExpectSaveFailedWithoutWriting("writing");
    } else {
        EXPECT_EQ(*status, 0);
    }
    EXPECT_THAT(testing::DifferingOffsets(pristine, image), IsEmpty());
}

TEST_F(FaultMatrix, PathWithSpacesAndNonAsciiCharacters) {
    const fs::path folder = dir.path() / "Mes jeux à moi" / "ポケモン Ω";
    fs::create_directories(folder);
    const std::string path = (folder / "Pokémon Platine (FR) ✓.nds").string();
    fs::copy_file(image, path);
    LoadAndChange(path);
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    EXPECT_TRUE(result.saved()) << result.message;
    ExpectDiskMatchesReport(path, result);

    fs::remove(path);
    ExpectLoadRefused(path, "does not exist");
}

TEST_F(FaultMatrix, PathLongerThanTwoHundredSixtyCharacters) {
    fs::path folder = dir.path();
    for (int depth = 0; depth < 6; ++depth) {
        folder /= std::string(60, static_cast<char>('a' + depth));
    }
    fs::create_directories(folder);
    const std::string path = (folder / "image.nds").string();
    ASSERT_GT(path.size(), 360u);
    fs::copy_file(image, path);
    LoadAndChange(path);
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    EXPECT_TRUE(result.saved()) << result.message;
    ExpectDiskMatchesReport(path, result);
}

TEST_F(FaultMatrix, SymbolicLinkIsWrittenThroughInPlace) {
    const std::string link = dir.file("link.nds");
    fs::create_symlink(image, link);
    struct stat before {};
    ASSERT_EQ(::stat(image.c_str(), &before), 0);

    LoadAndChange(link);
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    EXPECT_TRUE(result.saved()) << result.message;
    EXPECT_TRUE(fs::is_symlink(link));
    struct stat after {};
    ASSERT_EQ(::stat(image.c_str(), &after), 0);
    EXPECT_EQ(after.st_ino, before.st_ino); // the same file, changed in place
    ExpectDiskMatchesReport(image, result);
}

TEST_F(FaultMatrix, WritesRefusedPartWayThroughAreReportedFieldByField) {
    // A file-size limit makes every write past it fail (EFBIG), as a disk that gives out part
    // way through would: the fields of gyms 1 to 4 are written, those of gyms 5, 7 and 8 not.
    constexpr rlim_t kLimit = 0x1C30000;
    LoadAndChange(image);
    const std::string copy = dir.file("result.nds");
    std::string why;
    const auto status = testing::RunInChild(
        [&] {
            std::signal(SIGXFSZ, SIG_IGN);
            const rlimit limit{kLimit, kLimit};
            if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) {
                return 90;
            }
            const SaveResult result = SaveRoster(ImagePath, lists, record);
            if (result.status != SaveStatus::Failed) {
                return 1;
            }
            for (const RosterSlot* slot : result.unwritten) {
                if (slot->offset < static_cast<std::int32_t>(kLimit)) {
                    return 2;
                }
                if (!::testing::Value(result.details, HasSubstr(SlotTitle(*slot) + ": "))) {
                    return 3;
                }
            }
            std::ofstream(copy) << result.unwritten.size();
            // Every field was a change of the person's: 22 of the 46 are missing.
            return ::testing::Value(result.message,
                                    AllOf(HasSubstr(FileNameOf(ImagePath)),
                                          HasSubstr("the file is larger than the disk or the "
                                                    "system allows"),
                                          HasSubstr("22 of your 46 changes are not in the file"),
                                          HasSubstr("some of your changes and not others"))) &&
                           ::testing::Value(result.details,
                                            AllOf(HasSubstr("writing at offset 0x1C30004 failed"),
                                                  HasSubstr("The system said: File too large")))
                       ? 0
                       : 4;
        },
        30, &why);
    ASSERT_TRUE(status.has_value()) << why;
    ASSERT_EQ(*status, 0);

    int unwrittenCount = 0;
    std::ifstream(copy) >> unwrittenCount;
    EXPECT_EQ(unwrittenCount, 22); // gyms 5, 7 and 8: 11 members, two fields each
    for (const RosterSlot& slot : kRosterSlots) {
        const auto onDisk = StoredValue(image, slot.offset);
        if (slot.offset >= static_cast<std::int32_t>(kLimit)) {
            EXPECT_EQ(onDisk, StoredValue(pristine, slot.offset)) << DescribeSlot(slot);
        } else {
            EXPECT_EQ(onDisk, slot.member * 3) << DescribeSlot(slot);
        }
    }
}

// Stand-ins for the system's pwrite, pread and fsync: the file layer linked into this test reaches
// them first, so a test can make storage that keeps other bytes than it was given, or a flush that
// fails, as some FUSE drivers and network mounts do.
std::atomic<std::int64_t> garbleOffset{-1};
std::atomic<std::uint16_t> garbleValue{0};
std::atomic<bool> failFlush{false};
std::atomic<std::int64_t> failWriteOffset{-1};
std::atomic<int> failWriteErrno{EIO};
std::atomic<std::int64_t> failReadOffset{-1};
std::atomic<int> failReadErrno{EIO};
constexpr off_t kGym4Member1SpeciesAt = 0x1C2FFA4;
std::atomic<unsigned long> mountType{0}; // the file-system type the mount claims; 0: its own
constexpr unsigned long kNfs = 0x6969;
constexpr unsigned long kFuse = 0x65735546;
std::atomic<int> failFactsCall{0}; // the n-th look at an open file's facts from now on fails
std::atomic<int> growFactsCall{0}; // it shows the file 4 KiB longer, as for a moment it was
// A second writer that honours locks, as another Kelvarin window: when the save drops its cached
// pages just before its read-back, it tries to lock the file and, if it can, writes a field.
const char* secondWriterPath = nullptr;
std::atomic<int> secondWriterLock{-1}; // what its flock returned: 0 (locked) or -1

} // namespace
} // namespace kelvarin

extern "C" ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    const std::uint16_t value = kelvarin::garbleValue;
    const std::uint8_t other[2] = {static_cast<std::uint8_t>(value & 0xFF),
                                   static_cast<std::uint8_t>(value >> 8)};
    if (offset == kelvarin::garbleOffset && count == 2) {
        buffer = other;
    }
    if (offset == kelvarin::failWriteOffset) {
        errno = kelvarin::failWriteErrno;
        return -1;
    }
    return ::syscall(SYS_pwrite64, fd, buffer, count, offset);
}

extern "C" ssize_t pread(int fd, void* buffer, size_t count, off_t offset) {
    const std::int64_t failing = kelvarin::failReadOffset;
    if (failing >= offset && failing < offset + static_cast<off_t>(count)) {
        errno = kelvarin::failReadErrno;
        return -1;
    }
    return ::syscall(SYS_pread64, fd, buffer, count, offset);
}

extern "C" int fstat(int fd, struct stat* info) {
    if (kelvarin::failFactsCall > 0 && --kelvarin::failFactsCall == 0) {
        errno = ETIMEDOUT; // a share that stalls for a moment
        return -1;
    }
    const long result = ::syscall(SYS_fstat, fd, info);
    if (result == 0 && kelvarin::growFactsCall > 0 && --kelvarin::growFactsCall == 0) {
        info->st_size += 4096;
    }
    return static_cast<int>(result);
}

extern "C" int posix_fadvise(int fd, off_t offset, off_t length, int advice) {
    if (const char* path = std::exchange(kelvarin::secondWriterPath, nullptr)) {
        const int other = ::open(path, O_RDWR | O_CLOEXEC);
        kelvarin::secondWriterLock = ::flock(other, LOCK_EX | LOCK_NB);
        if (kelvarin::secondWriterLock == 0) {
            const std::uint8_t bytes[2] = {0x82, 0x00}; // Gyarados
            (void)!::syscall(SYS_pwrite64, other, bytes, 2, kelvarin::kGym4Member1SpeciesAt);
            ::syscall(SYS_fsync, other);
        }
        ::close(other);
    }
    const long result = ::syscall(SYS_fadvise64, fd, offset, length, advice);
    return result == 0 ? 0 : errno;
}

extern "C" int fstatfs(int fd, struct statfs* info) {
    const long result = ::syscall(SYS_fstatfs, fd, info);
    if (result == 0 && kelvarin::mountType != 0) {
        info->f_type = static_cast<decltype(info->f_type)>(kelvarin::mountType.load());
    }
    return static_cast<int>(result);
}

extern "C" int fsync(int fd) {
    if (kelvarin::failFlush) {
        errno = EIO;
        return -1;
    }
    return static_cast<int>(::syscall(SYS_fsync, fd));
}

namespace kelvarin {
namespace {

constexpr std::int32_t kGym4Member1Species = 0x1C2FFA4; // in the image's lower page of fields
constexpr std::int32_t kGym8Member4Species = 0x1C300A4; // in the upper one, from 0x1C30000
constexpr std::uint16_t kLuxray = 405;
constexpr std::uint16_t kBudew = 406;
constexpr std::uint16_t kGyarados = 130;
constexpr std::uint16_t kArceus = 493;
constexpr std::uint16_t kMetapod = 11;

// Between its flush and its read-back a save still holds its lock: another writer that honours
// locks cannot come between them, so the save neither blames the storage for another's write nor
// calls that write its own.
TEST_F(FaultMatrix, NoWriterThatHonoursTheLockComesBetweenFlushAndReadBack) {
    LoadAndChange(image);
    secondWriterPath = image.c_str();
    const SaveResult result = SaveRoster(ImagePath, lists, record);
    ASSERT_EQ(secondWriterPath, nullptr) << "the save did not reach its read-back";
    EXPECT_EQ(secondWriterLock, -1) << "the second writer could lock the file";
    EXPECT_TRUE(result.saved()) << result.message << "\n" << result.details;
    ExpectDiskMatchesReport(image, result);
}

// A read refused while loading is told as a load: the advice is to open the file again, never to
// save.
struct RefusedRead {
    int code;
    const char* cause;
    const char* advice;
};

TEST_F(FaultMatrix, AReadRefusedWhileLoadingIsToldAsALoad) {
    const RefusedRead reads[] = {
        {ESTALE, "the network share stopped answering",
         "Reconnect to the network share, then open the file again."},
        {ENXIO, "the disk or card that holds the file is not there or not ready",
         "Insert the card or connect the disk, then open the file again."},
    };
    for (const RefusedRead& read : reads) {
        SCOPED_TRACE(read.cause);
        failReadErrno = read.code;
        failReadOffset = FindSlot(7, 2, SlotKind::Level)->offset;
        mountType = kNfs;
        const LoadResult result = LoadRoster(image, ImagePath, lists, record);
        failReadOffset = -1;
        mountType = 0;
        EXPECT_EQ(result.status, LoadStatus::Refused);
        EXPECT_EQ(result.message, "Cannot load \"\u2068image.nds\u2069\": " +
                                      std::string(read.cause) + ". Nothing was changed.");
        EXPECT_EQ(result.advice, read.advice);
        EXPECT_THAT(result.details,
                    HasSubstr("Gym 7, member 2, level: reading at offset 0x1C30042"));
    }
    EXPECT_FALSE(record.holdsImage);
}

// The POSIX codes a person's trouble arrives as, and the kind each must be told as.
TEST(PosixFileErrors, SystemCodesMapToTheKindsEveryPlatformShares) {
    const std::pair<int, FileErrorKind> codes[] = {
        {0, FileErrorKind::None},
        {ENOENT, FileErrorKind::Missing},
        {ENOTDIR, FileErrorKind::Missing},
        {ENXIO, FileErrorKind::MediumGone}, // a card pulled while its file is open
        {ENODEV, FileErrorKind::MediumGone},
        {ENOMEDIUM, FileErrorKind::MediumGone},
        {ENOSPC, FileErrorKind::NoSpace},
        {EDQUOT, FileErrorKind::QuotaExceeded},
        {EFBIG, FileErrorKind::FileTooLarge},
        {EACCES, FileErrorKind::PermissionDenied},
        {EPERM, FileErrorKind::NotPermitted},
        {ESTALE, FileErrorKind::Network},
        {EINVAL, FileErrorKind::Other},
    };
    for (const auto& [code, kind] : codes) {
        EXPECT_EQ(FileErrorKindOf(code), kind) << std::strerror(code);
    }
}

class StorageFaults;

void RosterImage(const std::string& path) {
    testing::MakeRosterImage(path);
}

void SmallRosterImage(const std::string& path) {
    testing::MakeRosterImage(path, static_cast<std::uintmax_t>(kRosterEnd));
}

// Where a row's image lives: beside the test's other files, on a 256 KiB tmpfs of its own, or
// on a FUSE mount whose storage puts the write of gym 4 member 1's species in the wrong place
// while the kernel's page cache keeps it (both mounts need root).
enum class Disk { Local, Small, Misplacing };

// What the storage does to a save of two changes (gym 4 member 1's species to Budew, in the lower
// page; gym 8 member 4's species to Arceus, in the upper), and what the person must be told.
struct StorageFault {
    const char* name;
    Disk disk;
    std::function<void(const std::string& path)> make;
    std::function<std::string(StorageFaults&)> strike; // "" or why it cannot strike here
    const char* cause;
    const char* fate;
    const char* detail;
    bool oneChange = false; // only gym 4 member 1's species is changed, not gym 8 member 4's
    // Makes a second save fail too, with another value shown for gym 4 member 1's species.
    std::function<void(StorageFaults&)> strikeAgain = nullptr;
    const char* advice = ""; // the one thing to do, or part of it
};

void PrintTo(const StorageFault& fault, std::ostream* out) {
    *out << fault.name;
}

class StorageFaults : public FaultMatrix, public ::testing::WithParamInterface<StorageFault> {
  protected:
    void SetUp() override {
        FaultMatrix::SetUp();
        if (GetParam().disk == Disk::Misplacing) {
            mountPoint = dir.path() / "card";
            misplacing.emplace(dir.path() / "card-storage", mountPoint, kGym4Member1Species);
            if (!misplacing->mounted()) {
                GTEST_SKIP() << "cannot mount the misplacing file system here: "
                             << misplacing->why();
            }
            return;
        }
        if (GetParam().disk != Disk::Small) {
            return;
        }
        mountPoint = dir.path() / "small-disk";
        fs::create_directory(mountPoint);
        if (::mount("kelvarin-test", mountPoint.c_str(), "tmpfs", 0, "size=256k") != 0) {
            GTEST_SKIP() << "cannot mount a small file system here (needs root): "
                         << std::strerror(errno);
        }
        mounted = true;
    }
    void TearDown() override {
        garbleOffset = -1;
        failFlush = false;
        failWriteOffset = -1;
        failReadOffset = -1;
        failFactsCall = 0;
        growFactsCall = 0;
        mountType = 0;
        if (mounted) {
            ::umount2(mountPoint.c_str(), MNT_DETACH);
        }
        misplacing.reset();
    }

  public:
    void FillDisk() const {
        std::ofstream filler(mountPoint / "filler", std::ios::binary);
        const std::string block(4096, 'x');
        while (filler.write(block.data(), block.size())) {
        }
    }
    // Sets or clears the file's immutable attribute; false when the file system has none.
    static bool SetImmutable(const std::string& path, bool on) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        int flags = 0;
        bool done = fd >= 0 && ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? flags | FS_IMMUTABLE_FL : flags & ~FS_IMMUTABLE_FL;
        done = done && ::ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        if (fd >= 0) {
            ::close(fd);
        }
        return done;
    }
    void MountReadOnly(bool readOnly) const {
        ::mount(nullptr, mountPoint.c_str(), nullptr, MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                nullptr);
    }

    fs::path mountPoint;
    bool mounted = false;
    std::optional<testing::MisplacingMount> misplacing;
    std::string path;
};

TEST_P(StorageFaults, SayWhatHappenedToTheChangesAndASaveAfterwardsBlamesNobody) {
    const StorageFault& fault = GetParam();
    path = fault.disk == Disk::Local ? image : (mountPoint / "image.nds").string();
    fault.make(path);
    fs::copy_file(path, pristine, fs::copy_options::overwrite_existing);
    ASSERT_TRUE(LoadRoster(path, ImagePath, lists, record).loaded());
    lists.setSelectedIndex("G4P1", static_cast<std::int16_t>(kBudew));
    if (!fault.oneChange) {
        lists.setSelectedIndex("G8P4", static_cast<std::int16_t>(kArceus));
    }
    if (const std::string why = fault.strike(*this); !why.empty()) {
        GTEST_SKIP() << why;
    }

    const SaveResult result = SaveRoster(ImagePath, lists, record);
    EXPECT_EQ(result.status, SaveStatus::Failed);
    EXPECT_THAT(result.message, AllOf(HasSubstr("Cannot save to \"\u2068image.nds\u2069\": " +
                                                std::string(fault.cause)),
                                      HasSubstr(fault.fate)));
    testing::ExpectReadsWell(path, result.message, result.details, fault.detail);
    EXPECT_THAT(result.advice, AllOf(Not(IsEmpty()), HasSubstr(fault.advice)));
    if (std::string(fault.fate).ends_with("Nothing was written.")) {
        EXPECT_THAT(testing::DifferingOffsets(pristine, path), IsEmpty());
    } else {
        ExpectDiskMatchesReport(path, result);
    }
    if (fault.strikeAgain) {
        lists.setSelectedIndex("G4P1", static_cast<std::int16_t>(kMetapod));
        fault.strikeAgain(*this);
        const SaveResult second = SaveRoster(ImagePath, lists, record);
        EXPECT_EQ(second.status, SaveStatus::Failed) << second.message;
        EXPECT_THAT(second.details, HasSubstr("Gym 4, member 1, species: Metapod was not written"));
    }

    // The trouble mended, saving again writes everything without asking: what the file holds
    // now is Kelvarin's own doing, not another program's.
    garbleOffset = -1;
    failFlush = false;
    failWriteOffset = -1;
    if (misplacing) {
        misplacing->arm(false);
    }
    if (mounted) {
        SetImmutable(path, false);
        MountReadOnly(false);
        fs::remove(mountPoint / "filler");
    }
    const SaveResult again = SaveRoster(ImagePath, lists, record);
    EXPECT_TRUE(again.saved()) << again.message << "\n" << again.details;
    ExpectDiskMatchesReport(path, again);
}

INSTANTIATE_TEST_SUITE_P(
    Storage, StorageFaults,
    ::testing::Values(
        // A field in a hole of the sparse image needs a block the full disk does not have.
        StorageFault{"FullDiskEveryFieldInAHole", Disk::Small,
                     [](const std::string& path) {
                         testing::MakeSparseFile(path, static_cast<std::uintmax_t>(kRosterEnd));
                     },
                     [](StorageFaults& t) {
                         t.FillDisk();
                         return std::string();
                     },
                     "the disk is full", "the disk is full. Nothing was written.",
                     "Gym 8, member 4, species: Arceus was not written (writing at offset "
                     "0x1C300A4 failed: No space left on device)"},
        // The lower page holds data already and takes the write; the upper one is a hole.
        StorageFault{"FullDiskUpperFieldsInAHole", Disk::Small,
                     [](const std::string& path) {
                         testing::MakeSparseFile(path, static_cast<std::uintmax_t>(kRosterEnd));
                         for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
                             if (kRosterSlots[i].offset < kGym8Member4Species - 0xA4) {
                                 testing::StoreField(path, kRosterSlots[i].offset,
                                                     testing::RosterImageValue(i));
                             }
                         }
                     },
                     [](StorageFaults& t) {
                         t.FillDisk();
                         return std::string();
                     },
                     "the disk is full",
                     "Your change to the species of gym 8, member 4 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Gym 8, member 4, species: Arceus was not written"},
        StorageFault{"ReadOnlyFileSystem", Disk::Small, SmallRosterImage,
                     [](StorageFaults& t) {
                         t.MountReadOnly(true);
                         return std::string();
                     },
                     "the disk or card is read-only or write-protected", "Nothing was written.",
                     ""},
        StorageFault{"ImmutableFile", Disk::Small, SmallRosterImage,
                     [](StorageFaults& t) {
                         return StorageFaults::SetImmutable(t.path, true)
                                    ? std::string()
                                    : "this file system has no immutable attribute: " +
                                          std::string(std::strerror(errno));
                     },
                     "the file is marked as unchangeable", "Nothing was written.", ""},
        StorageFault{"StorageKeepsOtherBytes", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         garbleValue = kGyarados;
                         garbleOffset = kGym4Member1Species;
                         return std::string();
                     },
                     "the disk or card did not keep what Kelvarin wrote",
                     "Your change to the species of gym 4, member 1 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Gym 4, member 1, species: wrote Budew, the file reads Gyarados"},
        StorageFault{"StorageKeepsOtherBytesOfTheOneChange", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         garbleValue = kGyarados;
                         garbleOffset = kGym4Member1Species;
                         return std::string();
                     },
                     "the disk or card did not keep what Kelvarin wrote",
                     "Your change to the species of gym 4, member 1 is not in the file.",
                     "Gym 4, member 1, species: wrote Budew, the file reads Gyarados", true},
        // Kinds of trouble that come as a refused write of one field.
        StorageFault{"QuotaUsedUp", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         failWriteErrno = EDQUOT;
                         failWriteOffset = kGym4Member1Species;
                         return std::string();
                     },
                     "your share of the disk (your quota) is used up",
                     "Your change to the species of gym 4, member 1 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Gym 4, member 1, species: Budew was not written (writing at offset "
                     "0x1C2FFA4 failed: Disk quota exceeded)",
                     false, nullptr, "ask its administrator for a larger quota, then save again."},
        StorageFault{"CardPulled", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         failWriteErrno = ENOMEDIUM;
                         failWriteOffset = kGym4Member1Species;
                         return std::string();
                     },
                     "the disk or card that holds the file is not there or not ready",
                     "Your change to the species of gym 4, member 1 is not in the file.",
                     "The system said: No medium found", true, nullptr,
                     "your changes are still shown here"},
        StorageFault{"ShareStopsAnswering", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         mountType = kNfs;
                         failWriteErrno = ESTALE;
                         failWriteOffset = kGym8Member4Species;
                         return std::string();
                     },
                     "the network share stopped answering",
                     "Your change to the species of gym 8, member 4 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "", false, nullptr, "Reconnect to the network share, then save again."},
        // An exFAT stick whose FUSE driver died: the same code as a stale network share.
        StorageFault{"FuseDiskStopsAnswering", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         mountType = kFuse;
                         failWriteErrno = ESTALE;
                         failWriteOffset = kGym8Member4Species;
                         return std::string();
                     },
                     "the disk or share that holds the file stopped answering",
                     "Your change to the species of gym 8, member 4 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "The system said: Stale file handle", false, nullptr,
                     "Connect the disk or card again, or reconnect to the share"},
        // As a card's driver did: the write went elsewhere and the card kept Luxray, while the
        // page cache holds Budew, so a read-back that the cache answers finds nothing wrong.
        StorageFault{"CardKeepsOldValueBehindThePageCache", Disk::Misplacing,
                     [](const std::string& path) {
                         SmallRosterImage(path);
                         testing::StoreField(path, kGym4Member1Species, kLuxray);
                     },
                     [](StorageFaults& t) {
                         t.misplacing->arm(true);
                         return std::string();
                     },
                     "the disk or card did not keep what Kelvarin wrote",
                     "Your change to the species of gym 4, member 1 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Gym 4, member 1, species: wrote Budew, the file reads Luxray"},
        // The size cannot be told just before the last species is written (the save's first look
        // at the open file, then one before each field): the writes stop there.
        StorageFault{"SizeUnknownBeforeTheLastSpecies", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         failFactsCall = 1 + 23;
                         return std::string();
                     },
                     "the system could not tell the file's size during the save",
                     "Your change to the species of gym 8, member 4 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Gym 8, member 4, species: Arceus was not written", false, nullptr,
                     "Reconnect to the network share"},
        // Another program extends the file just before the last species and cuts it back before
        // the writes end: the fields after the stop are not written, whatever the size is after.
        StorageFault{"SizeMovesForAMomentBeforeTheLastSpecies", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         growFactsCall = 1 + 23;
                         return std::string();
                     },
                     "another program changed the file's size during the save",
                     "Your change to the species of gym 8, member 4 is not in the file, so it now "
                     "holds some of your changes and not others.",
                     "Its size changed from 67108864 bytes to 67112960 bytes during the save."},
        StorageFault{"FlushFails", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         failFlush = true;
                         return std::string();
                     },
                     "the system could not confirm that the data reached the disk: the disk or "
                     "card reported an error",
                     "It is not known which of your changes to the species of gym 4, member 1 and "
                     "the species of gym 8, member 4 are in the file.",
                     "Gym 4, member 1, species: Budew may not be on the disk"},
        // Two failed saves in a row: the value the first may have left on the disk is
        // Kelvarin's own, whatever the second tried to write.
        StorageFault{"FlushFailsThenAWriteFails", Disk::Local, RosterImage,
                     [](StorageFaults&) {
                         failFlush = true;
                         return std::string();
                     },
                     "the system could not confirm that the data reached the disk",
                     "It is not known whether your change to the species of gym 4, member 1 is "
                     "in the file.",
                     "The system said: Input/output error", true,
                     [](StorageFaults&) {
                         failFlush = false;
                         failWriteOffset = kGym4Member1Species;
                     }}),
    [](const ::testing::TestParamInfo<StorageFault>& info) { return info.param.name; });

} // namespace
} // namespace kelvarin
