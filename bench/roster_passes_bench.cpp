// How long the load and save passes take on a 64 MiB image, against the least any load could
// cost: one open and the 46 two-byte reads with plain system calls.
#include "in_memory_lists.h"
#include "roster/roster.h"
#include "test_image.h"

#include <benchmark/benchmark.h>

#include <array>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

// A 64 MiB sparse image with valid values in every field, in a folder removed at exit.
struct BenchImage {
    kelvarin::testing::TempDir folder;
    std::string path = folder.file("image.nds");
    BenchImage() { kelvarin::testing::MakeRosterImage(path); }
};

const std::string& ImagePath() {
    static const BenchImage image;
    return image.path;
}

void BM_LoadPass(benchmark::State& state) {
    kelvarin::InMemoryLists lists;
    std::string imagePath;
    kelvarin::ImageRecord record;
    for (auto _ : state) {
        const kelvarin::LoadResult result =
            kelvarin::LoadRoster(ImagePath(), imagePath, lists, record);
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
    kelvarin::ImageRecord record;
    if (!kelvarin::LoadRoster(ImagePath(), imagePath, lists, record).loaded()) {
        state.SkipWithError("the bench image did not load");
        return;
    }
    for (auto _ : state) {
        // The save compares the file with what was loaded before it writes: part of the cost.
        const kelvarin::SaveResult result = kelvarin::SaveRoster(imagePath, lists, record);
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
        const int fd = ::open(ImagePath().c_str(), O_RDONLY | O_CLOEXEC);
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
