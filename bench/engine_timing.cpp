// Times the engine's parts in whichever build it is compiled into, with the
// loads of engine_bench; made for the 32-bit build, where Google Benchmark is
// not available:
//   wine build/win32/bin/engine-timing.exe [TRIALS]
//   build/native/bin/engine-timing [TRIALS]
// Each figure is the median of TRIALS (default 7) runs of at least 0.3 s of
// this thread's CPU time, so that other programs on a busy machine do not
// count (Wine's thread clock ticks in 10 ms steps, hence the long runs).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <time.h>
#endif

#include "engine_loads.h"

namespace {

using namespace engine_load;

// CPU seconds this thread has used.
double threadSeconds() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user);
    const auto ticks = [](const FILETIME& t) {
        return (static_cast<unsigned long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    return static_cast<double>(ticks(kernel) + ticks(user)) * 1e-7;
#else
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
#endif
}

constexpr double kTrialSeconds = 0.3;

// Median CPU seconds per call of work.
double medianSeconds(int trials, const std::function<void()>& work) {
    work();   // warm the caches
    std::vector<double> perCall;
    for (int t = 0; t < trials; ++t) {
        const double start = threadSeconds();
        double elapsed = 0.0;
        int64_t calls = 0;
        do {
            for (int i = 0; i < 8; ++i) work();
            calls += 8;
            elapsed = threadSeconds() - start;
        } while (elapsed < kTrialSeconds);
        perCall.push_back(elapsed / static_cast<double>(calls));
    }
    std::sort(perCall.begin(), perCall.end());
    return perCall[perCall.size() / 2];
}

const double kBlockSeconds = kBlock / kRate;

}  // namespace

int main(int argc, char** argv) {
    const int trials = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    std::printf("engine timing, %s build, 44100 Hz, blocks of %d frames, median of %d trials in CPU time\n",
                sizeof(void*) == 4 ? "32-bit" : "64-bit", kBlock, trials);

    // Each voice load in lanes and one by one (the reference path), side by side.
    for (int32_t voices : {1, 16, 64}) {
        for (bool lanes : {true, false}) {
            auto synth = makeSustainingSynth(false);
            synth->renderInLanes(lanes);
            startVoices(*synth, voices);
            BlockRenderer render;
            render(*synth);
            const double block = medianSeconds(trials, [&] { render(*synth); });
            std::printf("voices %2d, %-10s %7.2f ns per voice-sample, %6.3f %% of a core\n", voices,
                        lanes ? "lanes:" : "one by one:", block / (kBlock * voices) * 1e9,
                        block / kBlockSeconds * 100.0);
        }
    }

    {
        auto synth = makeSustainingSynth(true);
        BlockRenderer render;
        render(*synth);
        const double block = medianSeconds(trials, [&] { render(*synth); });
        std::printf("master and chorus:      %7.2f ns per output sample, %6.3f %% of a core\n", block / kBlock * 1e9,
                    block / kBlockSeconds * 100.0);
    }

    for (bool dearest : {false, true}) {
        auto synth = makeSustainingSynth(false);
        if (dearest) setDearestShapes(*synth);
        const double rebuild = medianSeconds(trials, [&] { rebuildAll(*synth); });
        std::printf("rebuild, %s: %7.1f us for three tables, %5.2f %% of a %d-frame block\n",
                    dearest ? "dearest shapes" : "default shapes", rebuild * 1e6, rebuild / kBlockSeconds * 100.0,
                    kBlock);
    }
    return 0;
}
