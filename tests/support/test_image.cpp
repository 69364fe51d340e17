#include "test_image.h"

#include "roster/roster_slot.h"

#include <atomic>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <unistd.h>

namespace kelvarin::testing {

namespace fs = std::filesystem;

TempDir::TempDir(const fs::path& base) {
    static std::atomic<int> counter{0};
    path_ =
        base / ("kelvarin-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    fs::remove_all(path_);
    fs::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ignored;
    // Tests may have taken permissions away; give them back so everything can be removed.
    fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (auto it = fs::recursive_directory_iterator(path_, ignored);
         it != fs::recursive_directory_iterator(); it.increment(ignored)) {
        if (!it->is_symlink(ignored)) {
            fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
        }
    }
    fs::remove_all(path_, ignored);
}

fs::path PathOf(const std::string& utf8) {
    return fs::path(std::u8string(utf8.begin(), utf8.end()));
}

std::string TempDir::file(const std::string& name) const {
    const std::u8string utf8 = (path_ / PathOf(name)).u8string();
    return {utf8.begin(), utf8.end()};
}

void MakeSparseFile(const std::string& path, std::uintmax_t size) {
    { std::ofstream create(PathOf(path), std::ios::binary | std::ios::trunc); }
    fs::resize_file(PathOf(path), size);
}

void WriteBytesAt(const std::string& path, std::int64_t offset,
                  const std::vector<std::uint8_t>& bytes) {
    std::fstream file(PathOf(path), std::ios::binary | std::ios::in | std::ios::out);
    if (!file) {
        throw std::runtime_error("cannot open " + path);
    }
    file.seekp(offset);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    if (!file) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::vector<std::uint8_t> ReadBytesAt(const std::string& path, std::int64_t offset,
                                      std::size_t count) {
    std::ifstream file(PathOf(path), std::ios::binary);
    std::vector<std::uint8_t> bytes(count);
    file.seekg(offset);
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    bytes.resize(static_cast<std::size_t>(file.gcount()));
    return bytes;
}

void StoreField(const std::string& path, std::int32_t offset, std::uint16_t value) {
    WriteBytesAt(path, offset,
                 {static_cast<std::uint8_t>(value & 0xFF), static_cast<std::uint8_t>(value >> 8)});
}

std::uint16_t StoredValue(const std::string& path, std::int32_t offset) {
    const auto bytes = ReadBytesAt(path, offset, 2);
    return bytes.size() == 2 ? static_cast<std::uint16_t>(bytes[0] | bytes[1] << 8) : 0;
}

void MakeRosterImage(const std::string& path, std::uintmax_t size) {
    MakeSparseFile(path, size);
    StoreRosterValues(path);
}

std::uint16_t RosterImageValue(std::size_t slotIndex) {
    const auto i = static_cast<std::uint16_t>(slotIndex);
    return kRosterSlots[slotIndex].kind == SlotKind::Species ? 300 + i : 10 + i;
}

void StoreRosterValues(const std::string& path) {
    for (std::size_t i = 0; i < kRosterSlots.size(); ++i) {
        StoreField(path, kRosterSlots[i].offset, RosterImageValue(i));
    }
}

namespace {

// Calls `visit` with successive equal-sized blocks of both files until one ends.
void ForEachBlock(
    const std::string& a, const std::string& b,
    const std::function<void(std::int64_t, const std::string&, const std::string&)>& visit) {
    std::ifstream fa(PathOf(a), std::ios::binary);
    std::ifstream fb(PathOf(b), std::ios::binary);
    std::string ba(1 << 20, '\0');
    std::string bb(1 << 20, '\0');
    std::int64_t base = 0;
    while (fa && fb) {
        fa.read(ba.data(), static_cast<std::streamsize>(ba.size()));
        fb.read(bb.data(), static_cast<std::streamsize>(bb.size()));
        const auto na = fa.gcount();
        const auto nb = fb.gcount();
        visit(base, ba.substr(0, static_cast<std::size_t>(na)),
              bb.substr(0, static_cast<std::size_t>(nb)));
        base += na;
        if (na == 0 || nb == 0) {
            break;
        }
    }
}

} // namespace

std::vector<std::int64_t> DifferingOffsets(const std::string& a, const std::string& b) {
    std::vector<std::int64_t> offsets;
    ForEachBlock(a, b, [&](std::int64_t base, const std::string& x, const std::string& y) {
        if (x == y) {
            return;
        }
        const std::size_t common = std::min(x.size(), y.size());
        for (std::size_t i = 0; i < common; ++i) {
            if (x[i] != y[i]) {
                offsets.push_back(base + static_cast<std::int64_t>(i));
            }
        }
        for (std::size_t i = common; i < std::max(x.size(), y.size()); ++i) {
            offsets.push_back(base + static_cast<std::int64_t>(i));
        }
    });
    return offsets;
}

void FakeLists::selectAll(std::int16_t index) {
    for (const RosterSlot& slot : kRosterSlots) {
        setSelectedIndex(slot.control, index);
    }
    baseline_ = changes();
}

} // namespace kelvarin::testing
