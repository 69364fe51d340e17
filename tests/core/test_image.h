#pragma once

#include "roster/in_memory_lists.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace kelvarin::testing {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    [[nodiscard]] const std::filesystem::path& path() const { return path_; }
    [[nodiscard]] std::string file(const std::string& name) const {
        return (path_ / name).string();
    }

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

// A sparse image whose 46 fields all hold valid, distinct values: species 300 + i and level
// 10 + i for the i-th slot of the table.
void MakeRosterImage(const std::string& path, std::uintmax_t size = kImageSize);
void StoreRosterValues(const std::string& path);

// A cheap fingerprint of a whole file (content and length) to tell "byte-identical" apart.
std::string FileDigest(const std::string& path);

// Differing byte offsets between two files of equal length.
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

} // namespace kelvarin::testing
