// Start-up of the editor against a floor: the time from starting a program to its window's
// first paint, and the program's peak resident memory, each as the median of several starts.
// Both programs are the benchmark's own builds, linked with startup_probe.cpp, which reports
// the first paint and quits. On an X display it also times the start to the window being mapped,
// as the X server tells it: the moment the window can first be seen, which the programs do not
// report themselves.
//
// Runs on the offscreen platform unless a display or QT_QPA_PLATFORM is set.
//
// KELVARIN_STARTUP_BASELINE=PATH times a third program, another build of kelvarin_probed (an
// earlier commit's, say), in the same run and compares the editor with it: a change's cost to
// start-up, free of the drift between runs.

#include <benchmark/benchmark.h>
#include <xcb/xcb.h>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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
    double mappedSeconds = 0; // from spawning to the window being mapped; 0 when not seen
    double peakMebibytes = 0; // the child's peak resident set
    std::string error;        // empty when the start was measured
};

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Watches the X display named by DISPLAY for the next window mapped on it: the window itself,
// or under a window manager the frame it puts around the window, which is mapped with it.
// Without an X display it watches nothing.
class MapWatch {
  public:
    MapWatch() {
        if (std::getenv("DISPLAY") == nullptr) {
            return;
        }
        connection_ = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(connection_) != 0) {
            xcb_disconnect(connection_);
            connection_ = nullptr;
            return;
        }
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root;
        const std::uint32_t events = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, root, XCB_CW_EVENT_MASK, &events);
        xcb_flush(connection_);
    }
    ~MapWatch() {
        if (connection_ != nullptr) {
            xcb_disconnect(connection_);
        }
    }
    MapWatch(const MapWatch&) = delete;
    MapWatch& operator=(const MapWatch&) = delete;

    // -1 without an X display.
    [[nodiscard]] int fd() const {
        return connection_ != nullptr ? xcb_get_file_descriptor(connection_) : -1;
    }

    // Forgets what was mapped before: the start about to be timed has mapped nothing yet.
    void forget() {
        if (connection_ == nullptr) {
            return;
        }
        receiveAll();
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            std::free(event);
        }
    }

    // Whether a window has been mapped among the events received so far.
    bool mapped() {
        bool seen = false;
        while (xcb_generic_event_t* event = xcb_poll_for_event(connection_)) {
            seen = seen || (event->response_type & 0x7F) == XCB_MAP_NOTIFY;
            std::free(event);
        }
        return seen;
    }

  private:
    // Makes sure every event the server sent so far has been received.
    void receiveAll() {
        std::free(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
    }

    xcb_connection_t* connection_ = nullptr;
};

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

// Reads the child's "shown <nanoseconds>" line, waiting at most 30 seconds, and notes when the
// display first tells of a window mapped.
bool ReadShownTime(int fd, MapWatch& maps, long long& shownAt, long long& mappedAt) {
    std::string output;
    char buffer[256];
    const long long deadline = MonotonicNanoseconds() + 30'000'000'000LL;
    while (output.find('\n') == std::string::npos) {
        const long long left = (deadline - MonotonicNanoseconds()) / 1'000'000;
        pollfd watch[2] = {{fd, POLLIN, 0}, {mappedAt == 0 ? maps.fd() : -1, POLLIN, 0}};
        if (left <= 0 || poll(watch, 2, static_cast<int>(left)) <= 0) {
            return false;
        }
        if ((watch[1].revents & POLLIN) != 0 && maps.mapped()) {
            mappedAt = MonotonicNanoseconds();
        }
        if ((watch[0].revents & (POLLIN | POLLHUP)) == 0) {
            continue;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return false;
        }
        output.append(buffer, static_cast<std::size_t>(got));
    }
    return std::sscanf(output.c_str(), "shown %lld", &shownAt) == 1;
}

Start Measure(const char* program, MapWatch& maps) {
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

    maps.forget();
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
    long long mappedAt = 0;
    const bool shown = ReadShownTime(output[0], maps, shownAt, mappedAt);
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
    start.mappedSeconds = mappedAt == 0 ? 0 : static_cast<double>(mappedAt - spawnedAt) / 1e9;
    start.peakMebibytes = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
    return start;
}

// One connection to the display for the whole run.
MapWatch& Maps() {
    static MapWatch maps;
    return maps;
}

void MeasureStarts(benchmark::State& state, const char* program) {
    double peak = 0;
    double mapped = 0;
    bool everyMapSeen = Maps().fd() >= 0;
    for (auto _ : state) {
        const Start start = Measure(program, Maps());
        if (!start.error.empty()) {
            state.SkipWithError(start.error.c_str());
            break;
        }
        state.SetIterationTime(start.seconds);
        peak = std::max(peak, start.peakMebibytes);
        mapped += start.mappedSeconds * 1e3;
        everyMapSeen = everyMapSeen && start.mappedSeconds > 0;
    }
    state.counters["peak_MiB"] = peak;
    if (everyMapSeen) {
        state.counters["mapped_ms"] =
            benchmark::Counter(mapped, benchmark::Counter::kAvgIterations);
    }
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
                const auto counter = [&run](const char* name) {
                    const auto found = run.counters.find(name);
                    return found == run.counters.end() ? 0.0 : found->second.value;
                };
                medians[run.run_name.function_name] = {run.GetAdjustedRealTime(),
                                                       counter("peak_MiB"), counter("mapped_ms")};
            }
        }
    }

    struct Median {
        double milliseconds;
        double peakMebibytes;
        double mappedMilliseconds; // 0 when no window was seen mapped
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
        Measure(baseline, Maps());
    }
    // One unmeasured start of each, so that none pays for a cold file cache.
    Measure(KELVARIN_FLOOR_PROGRAM, Maps());
    Measure(KELVARIN_EDITOR_PROGRAM, Maps());

    MedianKeeper reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();

    const auto floor = reporter.medians.find("BM_FloorStartup");
    const auto editor = reporter.medians.find("BM_EditorStartup");
    if (floor == reporter.medians.end() || editor == reporter.medians.end()) {
        return 0; // a filter left one out, or a start failed and was reported above
    }
    const auto& [floorTime, floorPeak, floorMapped] = floor->second;
    const auto& [editorTime, editorPeak, editorMapped] = editor->second;
    std::printf("\nStart-up to first paint, medians: editor %.1f ms, floor %.1f ms, ratio %.3f "
                "(aim <= 1.15)\n",
                editorTime, floorTime, editorTime / floorTime);
    if (editorMapped > 0 && floorMapped > 0) {
        std::printf("Start-up to the window mapped, medians: editor %.1f ms, floor %.1f ms, "
                    "ratio %.3f\n",
                    editorMapped, floorMapped, editorMapped / floorMapped);
    }
    std::printf("Peak memory, medians: editor %.1f MiB, floor %.1f MiB, difference %.1f MiB, "
                "ratio %.3f (aim: difference <= 8 MiB)\n",
                editorPeak, floorPeak, editorPeak - floorPeak, editorPeak / floorPeak);
    if (const auto before = reporter.medians.find("BM_BaselineStartup");
        before != reporter.medians.end()) {
        const MedianKeeper::Median& earlier = before->second;
        std::printf("Against the baseline, first paint, medians: editor %.1f ms, baseline %.1f ms, "
                    "ratio %.3f\n",
                    editorTime, earlier.milliseconds, editorTime / earlier.milliseconds);
        if (editorMapped > 0 && earlier.mappedMilliseconds > 0) {
            std::printf("Against the baseline, window mapped, medians: editor %.1f ms, baseline "
                        "%.1f ms, ratio %.3f\n",
                        editorMapped, earlier.mappedMilliseconds,
                        editorMapped / earlier.mappedMilliseconds);
        }
    }
    return 0;
}
