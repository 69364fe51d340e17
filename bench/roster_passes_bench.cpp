// How long the load and save passes take on a 64 MiB image, against the least any load could
// cost: one open and the 46 two-byte reads with plain system calls.
#include "roster/in_memory_lists.h"
#include "roster/roster.h"

#include <benchmark/benchmark.h>

#include <array>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

// A 64 MiB sparse image with valid values in every field, removed at exit.
class BenchImage {
  public:
    BenchImage() {
        folder_ = fs::temp_directory_path() / ("kelvarin-bench-" + std::to_string(::getpid()));
        fs::create_directories(folder_);
        path_ = (folder_ / "image.nds").string();
        { std::ofstream create(path_, std::ios::binary); }
        fs::resize_file(path_, 64u * 1024u * 1024u);
        std::fstream file(path_, std::ios::binary | std::ios::in | std::ios::out);
        for (const kelvarin::RosterSlot& slot : kelvarin::kRosterSlots) {
            const char bytes[2] = {static_cast<char>(slot.member * 11), 0};
            file.seekp(slot.offset);
            file.write(bytes, 2);
        }
    }
    ~BenchImage() {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
    [[nodiscard]] const std::string& path() const { return path_; }

  private:
    fs::path folder_;
    std::string path_;
};

const BenchImage& Image() {
    static const BenchImage image;
    return image;
}

void BM_LoadPass(benchmark::State& state) {
    kelvarin::InMemoryLists lists;
    std::string imagePath;
    for (auto _ : state) {
        const kelvarin::LoadResult result = kelvarin::LoadRoster(Image().path(), imagePath, lists);
        if (!result.loaded()) {
            state.SkipWithError(result.message.c_str());
            break;
        }
        benchmark::DoNotOptimize(imagePath);
    }
}
BENCHMARK(BM_LoadPass);

void BM_SavePass(benchmark::State& state) {
    kelvarin::InMemoryLists lists;
    std::string imagePath;
    if (!kelvarin::LoadRoster(Image().path(), imagePath, lists).loaded()) {
        state.SkipWithError("the bench image did not load");
        return;
    }
    for (auto _ : state) {
        const kelvarin::SaveResult result = kelvarin::SaveRoster(imagePath, lists);
        if (!result.saved()) {
            state.SkipWithError(result.message.c_str());
            break;
        }
    }
}
BENCHMARK(BM_SavePass)->Unit(benchmark::kMicrosecond);

void BM_ReadLimit(benchmark::State& state) {
    std::array<unsigned char, 2> field{};
    for (auto _ : state) {
        const int fd = ::open(Image().path().c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) {
            state.SkipWithError("cannot open the bench image");
            break;
        }
        for (const kelvarin::RosterSlot& slot : kelvarin::kRosterSlots) {
            benchmark::DoNotOptimize(::pread(fd, field.data(), field.size(), slot.offset));
        }
        ::close(fd);
        benchmark::DoNotOptimize(field);
    }
}
BENCHMARK(BM_ReadLimit);

} // namespace

BENCHMARK_MAIN();
