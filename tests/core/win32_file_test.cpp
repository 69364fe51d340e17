// The Windows file layer, mostly through the passes that Open and Save run: every condition a
// person can meet on Windows, each held to the same promises as on POSIX (a message naming the
// file and the problem, nothing shown changed by a refused load, no byte changed by a refused
// save).
#include "image/file_error_codes.h"
#include "image/image_file.h"
#include "image_checks.h"
#include "roster/roster.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cwchar>
#include <filesystem>
#include <gtest/gtest.h>
#include <optional>
#include <thread>
#include <vector>
#include <windows.h>

namespace kelvarin {
namespace {

namespace fs = std::filesystem;
using testing::FakeLists;
using testing::StoredValue;
using testing::TempDir;

std::string Utf8(const fs::path& path) {
    const std::u8string text = path.u8string();
    return {text.begin(), text.end()};
}

fs::path FromUtf8(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end()));
}

std::wstring LongForm(const fs::path& path) {
    return L"\\\\?\\" + fs::absolute(path).make_preferred().wstring();
}

bool ExistsLong(const fs::path& path) {
    return ::GetFileAttributesW(LongForm(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool Contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

// A handle of this process, as another program would hold it: Windows checks sharing per open
// handle, so it meets the same answers.
class Holder {
  public:
    Holder(const std::string& path, DWORD access, DWORD sharing)
        : handle_(::CreateFileW(FromUtf8(path).c_str(), access, sharing, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~Holder() {
        if (held()) {
            ::CloseHandle(handle_);
        }
    }
    Holder(const Holder&) = delete;
    Holder& operator=(const Holder&) = delete;
    [[nodiscard]] bool held() const { return handle_ != INVALID_HANDLE_VALUE; }

  private:
    HANDLE handle_;
};

constexpr const wchar_t* kHoldRequest = L"KELVARIN_TEST_HOLD";

std::wstring EventName(const wchar_t* what, unsigned long id) {
    return std::wstring(L"Local\\kelvarin-test-") + what + L"-" + std::to_wstring(id);
}

// This test program started as the other program (see OtherProcess): holds the file as asked
// until it is told to let go, and never reaches the tests.
[[maybe_unused]] const bool kStartedToHold = [] {
    std::wstring request(32768, L'\0');
    const DWORD length =
        ::GetEnvironmentVariableW(kHoldRequest, request.data(), static_cast<DWORD>(request.size()));
    if (length == 0 || length >= request.size()) {
        return false;
    }
    request.resize(length);
    unsigned long access = 0;
    unsigned long sharing = 0;
    unsigned long id = 0;
    int consumed = 0;
    if (std::swscanf(request.c_str(), L"%lu %lu %lu %n", &access, &sharing, &id, &consumed) != 3) {
        ::ExitProcess(3);
    }
    const HANDLE file = ::CreateFileW(request.c_str() + consumed, access, sharing, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        ::ExitProcess(2);
    }
    const HANDLE held = ::OpenEventW(EVENT_MODIFY_STATE, FALSE, EventName(L"held", id).c_str());
    const HANDLE release = ::OpenEventW(SYNCHRONIZE, FALSE, EventName(L"release", id).c_str());
    if (!held || !release) {
        ::ExitProcess(4);
    }
    ::SetEvent(held);
    ::WaitForSingleObject(release, 120'000);
    ::ExitProcess(0);
}();

// Another program that holds the file, while this object lives, with the given access and
// sharing: this same test program, started again with the request in its environment.
class OtherProcess {
  public:
    OtherProcess(const std::string& path, DWORD access, DWORD sharing) {
        static unsigned long count = 0;
        const unsigned long id = ::GetCurrentProcessId() * 1000 + count++;
        held_ = ::CreateEventW(nullptr, TRUE, FALSE, EventName(L"held", id).c_str());
        release_ = ::CreateEventW(nullptr, TRUE, FALSE, EventName(L"release", id).c_str());
        std::wstring program(MAX_PATH, L'\0');
        program.resize(::GetModuleFileNameW(nullptr, program.data(), MAX_PATH));
        const std::wstring request = std::to_wstring(access) + L" " + std::to_wstring(sharing) +
                                     L" " + std::to_wstring(id) + L" " + FromUtf8(path).wstring();
        ::SetEnvironmentVariableW(kHoldRequest, request.c_str());
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        std::wstring commandLine = L"\"" + program + L"\"";
        started_ = ::CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                                    nullptr, nullptr, &startup, &process_);
        ::SetEnvironmentVariableW(kHoldRequest, nullptr);
        if (started_) {
            const HANDLE either[] = {held_, process_.hProcess};
            held = ::WaitForMultipleObjects(2, either, FALSE, 60'000) == WAIT_OBJECT_0;
        }
    }
    ~OtherProcess() {
        ::SetEvent(release_);
        if (started_) {
            ::WaitForSingleObject(process_.hProcess, 60'000);
            ::CloseHandle(process_.hProcess);
            ::CloseHandle(process_.hThread);
        }
        ::CloseHandle(held_);
        ::CloseHandle(release_);
    }
    OtherProcess(const OtherProcess&) = delete;
    OtherProcess& operator=(const OtherProcess&) = delete;

    bool held = false;

  private:
    HANDLE held_ = nullptr;
    HANDLE release_ = nullptr;
    BOOL started_ = FALSE;
    PROCESS_INFORMATION process_{};
};

class Win32File : public ::testing::Test, protected testing::CheckedImage {
  protected:
    void SetUp() override {
        testing::MakeRosterImage(image);
        fs::copy_file(image, pristine);
        lists.selectAll(7);
    }

    // Every field on disk holds what the window shows.
    void ExpectSaved(const std::string& asciiCopy) {
        for (const RosterSlot& slot : kRosterSlots) {
            EXPECT_EQ(static_cast<std::int16_t>(StoredValue(asciiCopy, slot.offset)),
                      lists.selectedIndex(slot.control))
                << DescribeSlot(slot);
        }
    }
};

TEST_F(Win32File, DeviceNamesInEveryFormAreRefusedWithoutOpeningThem) {
    const std::string folder = Utf8(dir.path()) + "\\";
    for (const std::string name :
         {"NUL", "nul.nds", "CoN", "aux.tar.gz", "PRN  ", "com1", "COM9.nds", "lpt1.", "Lpt9 .nds",
          "nul...", "CONOUT$", "COM\u00B9.nds", "con:"}) {
        for (const std::string& path : {name, folder + name}) {
            FileFacts facts;
            ASSERT_TRUE(InspectPath(path, facts)) << path;
            EXPECT_EQ(facts.notPlainFile, "a device") << path;
            ExpectLoadRefused(path, "a device");
            ImagePath = path;
            ExpectSaveFailedWithoutWriting("a device");
            ImagePath.clear();
            EXPECT_FALSE(ImageFile::Open(path, ImageFile::Access::Read).isOpen()) << path;
        }
    }
    for (const std::string path :
         {"\\\\.\\PhysicalDrive0", "\\\\.\\COM1", "//./nul", "\\\\?\\GLOBALROOT\\Device\\Null",
          "\\\\?\\globalroot\\device\\harddisk0\\partition0", "\\??\\C:\\image.nds"}) {
        ExpectLoadRefused(path, "a device");
    }
}

TEST_F(Win32File, NamesThatOnlyResembleDevicesAreOrdinaryFiles) {
    for (const std::string name : {"console.nds", "nul-image.nds", "COM10.nds", "lpt.nds",
                                   "auxiliary.nds", "xnul.nds", "CONIN.nds"}) {
        const std::string path = dir.file(name);
        fs::copy_file(image, path);
        LoadAndChange(path);
        EXPECT_TRUE(SaveRoster(ImagePath, lists, record).saved()) << path;
        ExpectSaved(path);
    }
}

TEST_F(Win32File, MissingFilesAndFoldersAreRefused) {
    const std::string missing = dir.file("gone.nds");
    ExpectLoadRefused(missing, "does not exist");
    ExpectLoadRefused(dir.file("no such folder") + "\\image.nds", "does not exist");
    EXPECT_FALSE(fs::exists(missing));
    ExpectLoadRefused(Utf8(dir.path()), "a folder");
}

struct OtherProgram {
    const char* what;
    DWORD access;
    DWORD sharing;
    bool loads;
    bool saves;
    // Held for a moment only, as a sync program or a virus scanner does just after a write: an
    // open waits it out. Zero: held throughout.
    std::chrono::milliseconds moment{0};
};

TEST_F(Win32File, AFileHeldByAnotherProgramIsUsedOnlyAsFarAsItsSharingAllows) {
    const OtherProgram cases[] = {
        {"reads, shares nothing", GENERIC_READ, 0, false, false},
        {"reads, shares nothing, for a moment", GENERIC_READ, 0, true, true,
         std::chrono::milliseconds(300)},
        {"reads, lets others read", GENERIC_READ, FILE_SHARE_READ, true, false},
        {"reads, lets others write", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, true, true},
        {"writes, shares everything", GENERIC_READ | GENERIC_WRITE,
         FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, true, false},
    };
    for (const OtherProgram& other : cases) {
        SCOPED_TRACE(other.what);
        lists.selectAll(7);
        ImagePath.clear();
        std::optional<OtherProcess> holder(std::in_place, image, other.access, other.sharing);
        ASSERT_TRUE(holder->held);
        std::thread letGo;
        if (other.moment.count() > 0) {
            letGo = std::thread([&] {
                std::this_thread::sleep_for(other.moment);
                holder.reset();
            });
        }
        const auto started = std::chrono::steady_clock::now();
        if (!other.loads) {
            ExpectLoadRefused(image, "another program is using the file");
            // Told only after it was tried again for about a second.
            EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(900));
            continue;
        }
        LoadAndChange(image);
        if (letGo.joinable()) {
            letGo.join();
        }
        if (other.saves) {
            EXPECT_TRUE(SaveRoster(ImagePath, lists, record).saved());
            ASSERT_TRUE(::CopyFileW(FromUtf8(pristine).c_str(), FromUtf8(image).c_str(), FALSE));
        } else {
            ExpectSaveFailedWithoutWriting("another program is using the file");
        }
        EXPECT_TRUE(testing::DifferingOffsets(image, pristine).empty());
    }
}

TEST_F(Win32File, OtherProgramsCanReadWhileTheFileIsOpen) {
    for (const auto access : {ImageFile::Access::Read, ImageFile::Access::ReadWrite}) {
        const ImageFile file = ImageFile::Open(image, access);
        ASSERT_TRUE(file.isOpen());
        EXPECT_TRUE(Holder(image, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE).held());
        EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), 300);
        EXPECT_EQ(Holder(image, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE).held(),
                  access == ImageFile::Access::Read);
    }
}

TEST_F(Win32File, ReadOnlyAttributeLoadsButNothingIsWritten) {
    ASSERT_TRUE(::SetFileAttributesW(FromUtf8(image).c_str(), FILE_ATTRIBUTE_READONLY));
    FileFacts facts;
    ASSERT_TRUE(InspectPath(image, facts));
    EXPECT_TRUE(facts.readOnly);
    LoadAndChange(image);
    ExpectSaveFailedWithoutWriting("the file is marked as unchangeable");
    ::SetFileAttributesW(FromUtf8(image).c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_TRUE(testing::DifferingOffsets(image, pristine).empty());
}

TEST_F(Win32File, LocksKeepASaveApartFromEveryOtherOpen) {
    ImageFile first = ImageFile::Open(image, ImageFile::Access::Read);
    ImageFile second = ImageFile::Open(image, ImageFile::Access::Read);
    ASSERT_TRUE(first.lock(ImageFile::Lock::Shared));
    EXPECT_TRUE(second.lock(ImageFile::Lock::Shared));

    ImageFile save = ImageFile::Open(image, ImageFile::Access::ReadWrite);
    FileError error;
    EXPECT_FALSE(save.lock(ImageFile::Lock::Exclusive, &error));
    EXPECT_EQ(error.kind, FileErrorKind::InUse);
    first.close();
    second.close();
    ASSERT_TRUE(save.lock(ImageFile::Lock::Exclusive));

    ImageFile load = ImageFile::Open(image, ImageFile::Access::Read);
    EXPECT_FALSE(load.lock(ImageFile::Lock::Shared, &error));
    EXPECT_EQ(error.kind, FileErrorKind::InUse);
    EXPECT_TRUE(save.close());
    EXPECT_TRUE(load.lock(ImageFile::Lock::Shared));
}

bool UnderWine() {
    return ::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
}

TEST_F(Win32File, WhileASaveHoldsItsLockOthersCannotReadTheFile) {
    if (UnderWine()) {
        GTEST_SKIP() << "Wine keeps byte-range locks between lockers only; Windows also refuses "
                        "reads of a locked range";
    }
    ImageFile save = ImageFile::Open(image, ImageFile::Access::ReadWrite);
    ASSERT_TRUE(save.lock(ImageFile::Lock::Exclusive));
    const ImageFile load = ImageFile::Open(image, ImageFile::Access::Read);
    std::array<std::uint8_t, 2> field{};
    FileError error;
    EXPECT_EQ(load.readAt(kRosterSlots[0].offset, field, &error), 0u);
    EXPECT_EQ(error.kind, FileErrorKind::InUse);
    EXPECT_TRUE(save.close());
    EXPECT_EQ(load.readAt(kRosterSlots[0].offset, field), 2u);
}

TEST_F(Win32File, ChangesBetweenLoadAndSaveAreRefusedWithoutWriting) {
    struct Change {
        const char* problem;
        void (*make)(const std::string&);
    };
    const Change changes[] = {
        {"too short", [](const std::string& path) { fs::resize_file(path, 0x1C30000); }},
        {"does not exist", [](const std::string& path) { fs::remove(path); }},
        {"is a folder",
         [](const std::string& path) {
             fs::remove(path);
             fs::create_directory(path);
         }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.problem);
        fs::remove_all(image);
        fs::copy_file(pristine, image);
        LoadAndChange(image);
        change.make(image);
        ExpectSaveFailedWithoutWriting(change.problem);
    }
    EXPECT_TRUE(fs::is_empty(image));

    // Another full-size image with other values put in its place is a different file: asked
    // about, not written. An identical one is the same image under a new identity: saved.
    for (const bool identical : {false, true}) {
        fs::remove_all(image);
        fs::copy_file(pristine, image);
        LoadAndChange(image);
        const std::string rebuilt = dir.file("rebuilt.nds");
        const std::string asRebuilt = dir.file("as-rebuilt.nds");
        fs::copy_file(pristine, rebuilt);
        if (!identical) {
            testing::StoreField(rebuilt, kRosterSlots[0].offset, 1);
        }
        fs::remove(asRebuilt);
        fs::copy_file(rebuilt, asRebuilt);
        fs::rename(rebuilt, image);
        const SaveResult replaced = SaveRoster(ImagePath, lists, record);
        if (identical) {
            EXPECT_TRUE(replaced.saved()) << replaced.message;
            ExpectSaved(image);
        } else {
            EXPECT_EQ(replaced.status, SaveStatus::ChangedOnDisk);
            EXPECT_TRUE(Contains(replaced.message, "different file")) << replaced.message;
            EXPECT_TRUE(testing::DifferingOffsets(image, asRebuilt).empty());
        }
    }

    fs::remove(image);
    fs::copy_file(pristine, image);
    fs::resize_file(image, kRosterEnd - 1);
    ExpectLoadRefused(image, "too short");
    fs::resize_file(image, 0x1C30000);
    EXPECT_EQ(StoredValue(image, kRosterSlots[0].offset), 300);
}

// True when the system's ANSI code page has no spelling for the name, so only the wide API can
// reach the file.
bool OutsideAnsiCodePage(const std::wstring& name) {
    BOOL lost = FALSE;
    ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name.c_str(), -1, nullptr, 0, nullptr,
                          &lost);
    return lost != FALSE;
}

TEST_F(Win32File, NamesOutsideTheAnsiCodePageAndPathsPastTwoHundredSixtyCharacters) {
    fs::path deep = dir.path();
    for (int depth = 0; depth < 6; ++depth) {
        deep /= std::string(60, static_cast<char>('a' + depth));
    }
    const fs::path places[] = {
        dir.path() / FromUtf8("ポケモン Ω") / FromUtf8("Pokémon Platine ✓ 🎮.nds"),
        deep / "image.nds",
    };
    ASSERT_TRUE(OutsideAnsiCodePage(places[0].wstring()));
    ASSERT_GT(places[1].wstring().size(), 360u);
    const std::string copy = dir.file("copy.nds");
    for (const fs::path& place : places) {
        const std::string path = Utf8(place);
        SCOPED_TRACE(path);
        // Made through the long form: the C runtime that the helpers use stops at 260.
        fs::path folder = place.parent_path();
        std::vector<fs::path> missing;
        for (; !ExistsLong(folder); folder = folder.parent_path()) {
            missing.push_back(folder);
        }
        for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
            ASSERT_TRUE(::CreateDirectoryW(LongForm(*it).c_str(), nullptr));
        }
        ASSERT_TRUE(::CopyFileW(LongForm(pristine).c_str(), LongForm(place).c_str(), TRUE));

        LoadAndChange(path);
        EXPECT_EQ(ImagePath, path);
        const SaveResult result = SaveRoster(ImagePath, lists, record);
        EXPECT_TRUE(result.saved()) << result.message;
        ASSERT_TRUE(::CopyFileW(LongForm(place).c_str(), LongForm(copy).c_str(), FALSE));
        ExpectSaved(copy);

        ASSERT_TRUE(::DeleteFileW(LongForm(place).c_str()));
        ExpectLoadRefused(path, "does not exist");
        for (const fs::path& made : missing) {
            ::RemoveDirectoryW(LongForm(made).c_str());
        }
    }
}

TEST_F(Win32File, IdentityFollowsTheFileNotItsName) {
    FileFacts original;
    ASSERT_TRUE(InspectPath(image, original));
    EXPECT_EQ(original.size, static_cast<std::int64_t>(testing::kImageSize));
    EXPECT_FALSE(original.readOnly);
    std::string slashes = image;
    std::replace(slashes.begin(), slashes.end(), '\\', '/');
    const fs::path earlier = fs::current_path();
    fs::current_path(dir.path());
    for (const std::string& spelling : {slashes, Utf8(LongForm(image)), std::string("image.nds"),
                                        std::string(".\\x\\..\\IMAGE.NDS")}) {
        FileFacts same;
        EXPECT_TRUE(InspectPath(spelling, same)) << spelling;
        EXPECT_EQ(same.identity, original.identity) << spelling;
    }
    fs::current_path(earlier);
    FileFacts copy;
    ASSERT_TRUE(InspectPath(pristine, copy));
    EXPECT_NE(copy.identity, original.identity);

    // An open file keeps telling about itself after another file takes over its name.
    const ImageFile opened = ImageFile::Open(image, ImageFile::Access::Read);
    ASSERT_TRUE(opened.isOpen());
    fs::rename(image, dir.file("moved.nds"));
    fs::copy_file(pristine, image);
    FileFacts now;
    ASSERT_TRUE(opened.facts(now));
    EXPECT_EQ(now.identity, original.identity);
    ASSERT_TRUE(InspectPath(image, now));
    EXPECT_NE(now.identity, original.identity);

    FileError error;
    EXPECT_FALSE(InspectPath("bad \xC3 name.nds", now, &error));
    EXPECT_EQ(error.finding, FileFinding::NotUtf8);
}

TEST_F(Win32File, ReadsAndWritesGoToTheirOwnOffsetsAlsoPastFourGigabytes) {
    constexpr std::int64_t kFar = (std::int64_t{1} << 32) + 3;
    testing::MakeSparseFile(image, kFar + 2);
    ImageFile file = ImageFile::Open(image, ImageFile::Access::ReadWrite);
    ASSERT_TRUE(file.isOpen());
    const std::array<std::uint8_t, 2> bytes{0xAB, 0xCD};
    ASSERT_TRUE(file.writeAt(kFar, bytes));
    ASSERT_TRUE(file.writeAt(1, bytes));

    std::array<std::uint8_t, 4> read{};
    EXPECT_EQ(file.readAt(kFar - 2, read), 4u);
    EXPECT_EQ(read, (std::array<std::uint8_t, 4>{0, 0, 0xAB, 0xCD}));
    EXPECT_EQ(file.readAt(0, read), 4u);
    EXPECT_EQ(read, (std::array<std::uint8_t, 4>{0, 0xAB, 0xCD, 0}));

    FileError error;
    bool endOfFile = false;
    EXPECT_EQ(file.readAt(kFar + 1, read, &error, &endOfFile), 1u);
    EXPECT_TRUE(endOfFile);
    EXPECT_EQ(error.finding, FileFinding::PastTheEnd);
    EXPECT_TRUE(file.flushToDisk());
    // Read back past the cache: unaligned, across a sector boundary, past four gigabytes.
    std::array<std::uint8_t, 2> back{};
    for (const std::int64_t at : {kFar, std::int64_t{1}}) {
        ImageFile::ReadBack way = ImageFile::ReadBack::CachedOnly;
        EXPECT_EQ(file.readBackAt(at, back, way), 2u);
        EXPECT_EQ(back, bytes);
        EXPECT_EQ(way, ImageFile::ReadBack::PastCache);
    }
    EXPECT_TRUE(file.close());
}

// The Windows codes a person's trouble arrives as, and the kind each must be told as.
TEST(Win32FileErrors, SystemCodesMapToTheKindsEveryPlatformShares) {
    const std::pair<DWORD, FileErrorKind> codes[] = {
        {NO_ERROR, FileErrorKind::None},
        {ERROR_SHARING_VIOLATION, FileErrorKind::InUse},
        {ERROR_LOCK_VIOLATION, FileErrorKind::InUse},
        {ERROR_FILE_NOT_FOUND, FileErrorKind::Missing},
        {ERROR_PATH_NOT_FOUND, FileErrorKind::Missing},
        {ERROR_NOT_READY, FileErrorKind::MediumGone}, // no card in the reader
        {ERROR_DEV_NOT_EXIST, FileErrorKind::MediumGone},
        {ERROR_INVALID_DRIVE, FileErrorKind::MediumGone},
        {ERROR_DIRECTORY, FileErrorKind::NotPlainFile},
        {ERROR_DISK_FULL, FileErrorKind::NoSpace},
        {ERROR_HANDLE_DISK_FULL, FileErrorKind::NoSpace},
        {1295 /* ERROR_DISK_QUOTA_EXCEEDED */, FileErrorKind::QuotaExceeded},
        {ERROR_FILE_TOO_LARGE, FileErrorKind::FileTooLarge},
        {ERROR_WRITE_PROTECT, FileErrorKind::ReadOnly},
        {ERROR_ACCESS_DENIED, FileErrorKind::PermissionDenied},
        {ERROR_PRIVILEGE_NOT_HELD, FileErrorKind::PermissionDenied},
        {ERROR_FILE_READ_ONLY, FileErrorKind::NotPermitted},
        {ERROR_CRC, FileErrorKind::InputOutput},
        {ERROR_IO_DEVICE, FileErrorKind::InputOutput},
        {ERROR_NETNAME_DELETED, FileErrorKind::Network},
        {ERROR_UNEXP_NET_ERR, FileErrorKind::Network},
        {ERROR_BAD_NETPATH, FileErrorKind::NetworkPathMissing}, // a mistyped computer name
        {67 /* ERROR_BAD_NET_NAME */, FileErrorKind::NetworkPathMissing},
        // Files in folders a sync program keeps in the cloud (OneDrive).
        {362 /* ERROR_CLOUD_FILE_PROVIDER_NOT_RUNNING */, FileErrorKind::CloudUnavailable},
        {388 /* ERROR_CLOUD_FILE_NETWORK_UNAVAILABLE */, FileErrorKind::CloudUnavailable},
        {395 /* ERROR_CLOUD_FILE_ACCESS_DENIED */, FileErrorKind::CloudUnavailable},
        {404 /* ERROR_CLOUD_FILE_PROVIDER_TERMINATED */, FileErrorKind::CloudUnavailable},
        {391 /* ERROR_CLOUD_FILE_IN_USE */, FileErrorKind::CloudSyncing},
        {377 /* ERROR_CLOUD_FILE_NOT_IN_SYNC */, FileErrorKind::CloudSyncing},
        {397 /* ERROR_CLOUD_FILE_PROPERTY_LOCK_CONFLICT */, FileErrorKind::CloudSyncing},
        {ERROR_INVALID_FUNCTION, FileErrorKind::Other},
        {ERROR_INVALID_PARAMETER, FileErrorKind::Other},
    };
    for (const auto& [code, kind] : codes) {
        EXPECT_EQ(FileErrorKindOf(static_cast<long>(code)), kind) << "code " << code;
    }
}

} // namespace
} // namespace kelvarin
