#include <benchmark/benchmark.h>

#include "engine_loads.h"

// Engine costs at 44.1 kHz in blocks of 512 frames, natively. Counters:
//   per_voice_sample / per_sample  CPU time per unit of work
//   core_share                     CPU seconds per second of audio (1.0 = a whole core)
//   block_share                    share of one block's duration (11.6 ms)
// The same loads, timed in the 32-bit build under Wine: engine-timing.exe.

namespace {

using namespace engine_load;
using benchmark::Counter;

const auto kPerUnit = Counter::kIsIterationInvariantRate | Counter::kInvert;

void BM_Voices(benchmark::State& state) {
    const int32_t voices = static_cast<int32_t>(state.range(0));
    auto synth = makeSustainingSynth(false);
    startVoices(*synth, voices);
    BlockRenderer render;
    render(*synth);   // the pending rebuild
    for (auto _ : state) {
        render(*synth);
        benchmark::DoNotOptimize(render.left);
    }
    state.counters["per_voice_sample"] = Counter(static_cast<double>(kBlock) * voices, kPerUnit);
    state.counters["core_share"] = Counter(kBlock / kRate, kPerUnit);
}
BENCHMARK(BM_Voices)->Arg(1)->Arg(16)->Arg(64);

// Drive, volume and both delay lines with no voice sounding.
void BM_MasterAndChorus(benchmark::State& state) {
    auto synth = makeSustainingSynth(true);
    BlockRenderer render;
    render(*synth);
    for (auto _ : state) {
        render(*synth);
        benchmark::DoNotOptimize(render.left);
    }
    state.counters["per_sample"] = Counter(kBlock, kPerUnit);
    state.counters["core_share"] = Counter(kBlock / kRate, kPerUnit);
}
BENCHMARK(BM_MasterAndChorus);

// All three wavetables rebuilt, as after a program change (10787 entries each).
void timeRebuilds(benchmark::State& state, Synth& synth) {
    for (auto _ : state) {
        rebuildAll(synth);
        benchmark::DoNotOptimize(synth.view().wavetables[2][17]);
    }
    state.counters["block_share"] = Counter(kBlock / kRate, kPerUnit);
}

void BM_RebuildWavetables(benchmark::State& state) {
    auto synth = makeSustainingSynth(false);
    timeRebuilds(state, *synth);
}
BENCHMARK(BM_RebuildWavetables)->Unit(benchmark::kMicrosecond);

void BM_RebuildDearestWavetables(benchmark::State& state) {
    auto synth = makeSustainingSynth(false);
    setDearestShapes(*synth);
    timeRebuilds(state, *synth);
}
BENCHMARK(BM_RebuildDearestWavetables)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
