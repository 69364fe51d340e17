// Start-up of the editor against a floor: the time from starting a program to its window's
// first paint, and the program's peak resident memory, each as the median of several starts.
// Both programs are the benchmark's own builds, linked with startup_probe.cpp, which reports
// the first paint and quits.
//
// Runs on the offscreen platform unless a display or QT_QPA_PLATFORM is set.
//
// KELVARIN_STARTUP_BASELINE=PATH times a third program, another build of kelvarin_probed (an
// earlier commit's, say), in the same run and compares the editor with it: a change's cost to
// start-up, free of the drift between runs.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <map>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Start {
    double seconds = 0;       // from spawning to the end of the first paint
    double peakMebibytes = 0; // the child's peak resident set
    std::string error;        // empty when the start was measured
};

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

std::vector<std::string> ChildEnvironment() {
    std::vector<std::string> variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        variables.emplace_back(*entry);
    }
    const bool hasDisplay = std::getenv("DISPLAY") != nullptr ||
                            std::getenv("WAYLAND_DISPLAY") != nullptr ||
                            std::getenv("QT_QPA_PLATFORM") != nullptr;
    if (!hasDisplay) {
        variables.emplace_back("QT_QPA_PLATFORM=offscreen");
    }
    return variables;
}

// Reads the child's "shown <nanoseconds>" line, waiting at most 30 seconds.
bool ReadShownTime(int fd, long long& shownAt) {
    std::string output;
    char buffer[256];
    const long long deadline = MonotonicNanoseconds() + 30'000'000'000LL;
    while (output.find('\n') == std::string::npos) {
        const long long left = (deadline - MonotonicNanoseconds()) / 1'000'000;
        pollfd watch{fd, POLLIN, 0};
        if (left <= 0 || poll(&watch, 1, static_cast<int>(left)) <= 0) {
            return false;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        output.append(buffer, static_cast<std::size_t>(got));
    }
    return std::sscanf(output.c_str(), "shown %lld", &shownAt) == 1;
}

Start Measure(const char* program) {
    Start start;
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        start.error = std::string("pipe: ") + std::strerror(errno);
        return start;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);

    const std::vector<std::string> variables = ChildEnvironment();
    std::vector<char*> envp;
    for (const std::string& variable : variables) {
        envp.push_back(const_cast<char*>(variable.c_str()));
    }
    envp.push_back(nullptr);
    char* argv[] = {const_cast<char*>(program), nullptr};

    pid_t child = 0;
    const long long spawnedAt = MonotonicNanoseconds();
    const int spawnError = posix_spawn(&child, program, &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawnError != 0) {
        close(output[0]);
        start.error = std::string("cannot start ") + program + ": " + std::strerror(spawnError);
        return start;
    }

    long long shownAt = 0;
    const bool shown = ReadShownTime(output[0], shownAt);
    close(output[0]);
    if (!shown) {
        kill(child, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    if (!shown) {
        start.error = std::string(program) + " showed no window";
        return start;
    }
    start.seconds = static_cast<double>(shownAt - spawnedAt) / 1e9;
    start.peakMebibytes = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
    return start;
}

void MeasureStarts(benchmark::State& state, const char* program) {
    double peak = 0;
    for (auto _ : state) {
        const Start start = Measure(program);
        if (!start.error.empty()) {
            state.SkipWithError(start.error.c_str());
            break;
        }
        state.SetIterationTime(start.seconds);
        peak = std::max(peak, start.peakMebibytes);
    }
    state.counters["peak_MiB"] = peak;
}

void BM_FloorStartup(benchmark::State& state) {
    MeasureStarts(state, KELVARIN_FLOOR_PROGRAM);
}
void BM_EditorStartup(benchmark::State& state) {
    MeasureStarts(state, KELVARIN_EDITOR_PROGRAM);
}

constexpr int kStartsPerRepetition = 3;
constexpr int kRepetitions = 11;

BENCHMARK(BM_FloorStartup)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kStartsPerRepetition)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);
BENCHMARK(BM_EditorStartup)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(kStartsPerRepetition)
    ->Repetitions(kRepetitions)
    ->ReportAggregatesOnly(true);

// Google Benchmark 1.8 replaced the run record's error flag by a skip state.
template <typename Record> bool RunFailed(const Record& run) {
    if constexpr (requires { run.error_occurred; }) {
        return run.error_occurred;
    } else {
        return run.skipped != decltype(run.skipped){};
    }
}

// Prints as usual and keeps the medians, to compare the editor with the floor at the end.
class MedianKeeper final : public benchmark::ConsoleReporter {
  public:
    MedianKeeper() : ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Defaults : OO_Tabular) {}

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.aggregate_name == "median" && !RunFailed(run)) {
                const auto peak = run.counters.find("peak_MiB");
                medians[run.run_name.function_name] = {
                    run.GetAdjustedRealTime(),
                    peak == run.counters.end() ? 0.0 : peak->second.value};
            }
        }
    }

    struct Median {
        double milliseconds;
        double peakMebibytes;
    };
    std::map<std::string, Median> medians;
};

} // namespace

int main(int argc, char** argv) {
    // Repetitions of the editor and of the floor take turns, so that a change in the machine's
    // load during the run weighs on both alike. A flag given on the command line still wins.
    std::vector<char*> arguments(argv, argv + argc);
    char interleave[] = "--benchmark_enable_random_interleaving=true";
    arguments.insert(arguments.begin() + 1, interleave);
    int count = static_cast<int>(arguments.size());
    benchmark::Initialize(&count, arguments.data());
    if (benchmark::ReportUnrecognizedArguments(count, arguments.data())) {
        return 1;
    }
    const char* baseline = std::getenv("KELVARIN_STARTUP_BASELINE");
    if (baseline != nullptr && *baseline != '\0') {
        benchmark::RegisterBenchmark(
            "BM_BaselineStartup",
            [baseline](benchmark::State& state) { MeasureStarts(state, baseline); })
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(kStartsPerRepetition)
            ->Repetitions(kRepetitions)
            ->ReportAggregatesOnly(true);
        Measure(baseline);
    }
    // One unmeasured start of each, so that none pays for a cold file cache.
    Measure(KELVARIN_FLOOR_PROGRAM);
    Measure(KELVARIN_EDITOR_PROGRAM);

    MedianKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto floor = reporter.medians.find("BM_FloorStartup");
    const auto editor = reporter.medians.find("BM_EditorStartup");
    if (floor == reporter.medians.end() || editor == reporter.medians.end()) {
        return 0; // a filter left one out, or a start failed and was reported above
    }
    const auto& [floorTime, floorPeak] = floor->second;
    const auto& [editorTime, editorPeak] = editor->second;
    std::printf("\nStart-up to first paint, medians: editor %.1f ms, floor %.1f ms, ratio %.3f "
                "(aim <= 1.15)\n",
                editorTime, floorTime, editorTime / floorTime);
    std::printf("Peak memory, medians: editor %.1f MiB, floor %.1f MiB, difference %.1f MiB, "
                "ratio %.3f (aim: difference <= 8 MiB)\n",
                editorPeak, floorPeak, editorPeak - floorPeak, editorPeak / floorPeak);
    if (const auto before = reporter.medians.find("BM_BaselineStartup");
        before != reporter.medians.end()) {
        std::printf("Against the baseline, medians: editor %.1f ms, baseline %.1f ms, ratio %.3f\n",
                    editorTime, before->second.milliseconds,
                    editorTime / before->second.milliseconds);
    }
    return 0;
}
