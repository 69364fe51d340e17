// Feeds arbitrary field bytes and file lengths to the load pass, and saves every image it
// accepts; then another program changes one field, and a second save must ask instead of
// writing. Any crash, any selection changed by a refused load, any verdict that disagrees with
// the lists' ranges, any byte changed by saving an unchanged load, or any byte written over a
// field changed since aborts the run.
//
// Input: byte 0 picks how the file's length is chosen, bytes 1-4 feed that choice, and the next
// 92 bytes are the field bytes in table order (missing bytes are zero). The byte after them
// picks the field the other program changes.
#include "in_memory_lists.h"
#include "roster/roster.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

using kelvarin::kRosterEnd;
using kelvarin::kRosterSlots;

// The region that holds all fields, with some bytes on either side.
constexpr std::int64_t kRegionStart = (kelvarin::kRosterStart - 0x40) / 0x40 * 0x40;
constexpr std::int64_t kRegionEnd = kRosterEnd + 0x40;

void Fail(const char* what) {
    std::fprintf(stderr, "kelvarin_fuzz_load: %s\n", what);
    std::abort();
}

std::string ScratchPath() {
    // A memory-backed folder keeps the save's flush cheap.
    const char* folder = ::access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
    return std::string(folder) + "/kelvarin-fuzz-" + std::to_string(::getpid()) + ".nds";
}

const std::string& ImagePathOnDisk() {
    static const std::string path = ScratchPath();
    static const bool cleanup = [] {
        std::atexit([] { ::unlink(ImagePathOnDisk().c_str()); });
        return true;
    }();
    (void)cleanup;
    return path;
}

std::int64_t ChooseLength(const std::uint8_t* data, std::size_t size) {
    std::uint32_t param = 0;
    for (std::size_t i = 1; i < 5 && i < size; ++i) {
        param = param << 8 | data[i];
    }
    switch (size == 0 ? 0 : data[0] % 4) {
    case 0:
        return kRosterEnd + param % 4096; // long enough
    case 1:
        return kRosterEnd - 1 - static_cast<std::int64_t>(param % 4096); // just too short
    case 2:
        return param % (kRosterEnd + 65536); // anything, mostly far too short
    default:
        return 64 * 1024 * 1024;
    }
}

std::vector<std::uint8_t> ReadRegion(int fd) {
    std::vector<std::uint8_t> bytes(kRegionEnd - kRegionStart);
    const ssize_t got = ::pread(fd, bytes.data(), bytes.size(), kRegionStart);
    bytes.resize(got < 0 ? 0 : static_cast<std::size_t>(got));
    return bytes;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string& path = ImagePathOnDisk();
    const std::int64_t length = ChooseLength(data, size);

    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0 || ::ftruncate(fd, 0) != 0 || ::ftruncate(fd, length) != 0) {
        Fail("cannot prepare the scratch image");
    }
    // Neighbouring bytes get a pattern so that a stray write would show.
    std::array<std::uint8_t, 0x40> pattern{};
    pattern.fill(0xA5);
    for (std::int64_t at = kRegionStart; at + 0x40 <= std::min<std::int64_t>(length, kRegionEnd);
         at += 0x40) {
        (void)::pwrite(fd, pattern.data(), pattern.size(), at);
    }
    std::array<std::int16_t, kelvarin::kRosterSlotCount> stored{};
    bool allInRange = length >= kRosterEnd;
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        const std::size_t at = 5 + 2 * i;
        const std::uint8_t field[2] = {at < size ? data[at] : std::uint8_t{0},
                                       at + 1 < size ? data[at + 1] : std::uint8_t{0}};
        stored[i] = static_cast<std::int16_t>(field[0] | field[1] << 8);
        allInRange =
            allInRange && stored[i] >= -1 && stored[i] < kelvarin::EntryCount(kRosterSlots[i].kind);
        if (kRosterSlots[i].offset + 2 <= length) {
            (void)::pwrite(fd, field, 2, kRosterSlots[i].offset);
        }
    }
    const std::vector<std::uint8_t> before = ReadRegion(fd);

    kelvarin::InMemoryLists lists;
    lists.setSelectedIndex("G1P1", 12);
    const auto shownBefore = lists.all();
    std::string ImagePath = "earlier.nds";
    kelvarin::ImageRecord record;
    const kelvarin::LoadResult loaded = kelvarin::LoadRoster(path, ImagePath, lists, record);

    if (!loaded.loaded()) {
        if (allInRange) {
            Fail("a file with every value in range was refused");
        }
        if (lists.all() != shownBefore || lists.changes() != 1 || ImagePath != "earlier.nds" ||
            record.holdsImage) {
            Fail("a refused load changed the window");
        }
        if (loaded.message.find(kelvarin::FileNameOf(path)) == std::string::npos ||
            loaded.details.rfind("File: " + path, 0) != 0) {
            Fail("a refusal does not name the file");
        }
        ::close(fd);
        return 0;
    }
    if (!allInRange) {
        Fail("a file with a value out of range was loaded");
    }
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        if (lists.selectedIndex(kRosterSlots[i].control) != stored[i]) {
            Fail("a loaded selection differs from the stored value");
        }
    }
    const kelvarin::SaveResult saved = kelvarin::SaveRoster(ImagePath, lists, record);
    if (!saved.saved()) {
        Fail(saved.message.c_str());
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size != length) {
        Fail("saving changed the file's length");
    }
    if (ReadRegion(fd) != before) {
        Fail("saving an unchanged load changed bytes");
    }

    const std::size_t pick = 5 + 2 * kRosterSlots.size();
    const kelvarin::RosterSlot& other =
        kRosterSlots[(pick < size ? data[pick] : 0) % kRosterSlots.size()];
    const auto changedValue =
        static_cast<std::uint16_t>(lists.selectedIndex(other.control) ^ 0x0101);
    const std::uint8_t changed[2] = {static_cast<std::uint8_t>(changedValue & 0xFF),
                                     static_cast<std::uint8_t>(changedValue >> 8)};
    (void)::pwrite(fd, changed, 2, other.offset);
    const std::vector<std::uint8_t> changedRegion = ReadRegion(fd);
    const kelvarin::SaveResult asked = kelvarin::SaveRoster(ImagePath, lists, record);
    if (asked.status != kelvarin::SaveStatus::ChangedOnDisk ||
        asked.details.rfind("File: " + path + "\n" + kelvarin::SlotTitle(other) + ": loaded ", 0) !=
            0) {
        Fail("a field changed by another program was not reported before writing");
    }
    if (ReadRegion(fd) != changedRegion) {
        Fail("a save wrote over a field changed since the load");
    }
    ::close(fd);
    return 0;
}
