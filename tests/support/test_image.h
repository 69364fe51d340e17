#pragma once

#include "in_memory_lists.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kelvarin::testing {

// Tests name files in UTF-8, as the program does: the path that names the same file through the
// standard library, also where its narrow strings are in another code page (Windows).
std::filesystem::path PathOf(const std::string& utf8);

// A fresh folder under `base` (the system's temporary folder unless said otherwise), removed
// with everything in it.
class TempDir {
  public:
    explicit TempDir(const std::filesystem::path& base = std::filesystem::temp_directory_path());
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    // The UTF-8 path of `name` (UTF-8) in the folder.
    [[nodiscard]] std::string file(const std::string& name) const;

  private:
    std::filesystem::path path_;
};

inline constexpr std::uintmax_t kImageSize = 64u * 1024u * 1024u;

// A sparse file of `size` zero bytes: stands in for a real game image.
void MakeSparseFile(const std::string& path, std::uintmax_t size = kImageSize);

void WriteBytesAt(const std::string& path, std::int64_t offset,
                  const std::vector<std::uint8_t>& bytes);
std::vector<std::uint8_t> ReadBytesAt(const std::string& path, std::int64_t offset,
                                      std::size_t count);

// Sets one field's stored value (little-endian) directly in the file.
void StoreField(const std::string& path, std::int32_t offset, std::uint16_t value);
// The field's stored value as the file holds it; 0 when the file ends before it.
std::uint16_t StoredValue(const std::string& path, std::int32_t offset);

// The value the i-th slot of the table holds in a roster image: valid and distinct for every
// slot (species 300 + i, level 10 + i).
std::uint16_t RosterImageValue(std::size_t slotIndex);

// A sparse image whose 46 fields hold RosterImageValue.
void MakeRosterImage(const std::string& path, std::uintmax_t size = kImageSize);
void StoreRosterValues(const std::string& path);

// The one comparison of image files: the offsets at which they differ, a byte present in only
// one of them counting as different. Empty means byte-identical.
std::vector<std::int64_t> DifferingOffsets(const std::string& a, const std::string& b);

// The window as the passes see it, with a shortcut to set every bound list at once.
class FakeLists : public InMemoryLists {
  public:
    void selectAll(std::int16_t index);
    // Selections set since the last selectAll: what a pass did to the lists.
    [[nodiscard]] int setCount() const { return changes() - baseline_; }

  private:
    int baseline_ = 0;
};

// An image in a fresh folder with a copy to compare it with, and what the passes keep for one
// window: its lists, ImagePath and what it remembers of the file.
struct ImageUnderTest {
    TempDir dir;
    std::string image = dir.file("image.nds");
    std::string pristine = dir.file("pristine.nds");
    FakeLists lists;
    std::string ImagePath;
    ImageRecord record;
};

} // namespace kelvarin::testing
