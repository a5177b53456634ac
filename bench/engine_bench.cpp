#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "../host/synth_plugin.h"

// Engine costs at 44.1 kHz in blocks of 512 frames. Counters:
//   per_voice_sample / per_sample  CPU time per unit of work
//   core_share                     CPU seconds per second of audio (1.0 = a whole core)

namespace {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) { return opcode == 1 ? 2400 : 0; }

std::unique_ptr<SynthPlugin> makeSustainingPlugin(bool chorus) {
    auto plugin = std::make_unique<SynthPlugin>(hostCallback);
    plugin->setSampleRate(static_cast<float>(kRate));
    plugin->storeParameter(Polyphony, 1.0f);
    plugin->storeParameter(AmpSustain, 1.0f);   // voices sound for the whole run
    plugin->storeParameter(Chorus, chorus ? 1.0f : 0.0f);
    for (int32_t p : {Osc1On, Osc2On, Osc3On}) plugin->storeParameter(p, 1.0f);
    return plugin;
}

void startVoices(SynthPlugin& plugin, int32_t count) {
    for (int32_t n = 0; n < count; ++n) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(30 + n), 100};
        plugin.handleMidiMessage(bytes);
    }
}

void BM_Voices(benchmark::State& state) {
    const int32_t voices = static_cast<int32_t>(state.range(0));
    auto plugin = makeSustainingPlugin(false);
    startVoices(*plugin, voices);
    std::vector<float> left(kBlock), right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    plugin->processReplacing(nullptr, outputs, kBlock);   // the pending rebuild
    for (auto _ : state) {
        plugin->processReplacing(nullptr, outputs, kBlock);
        benchmark::DoNotOptimize(left.data());
    }
    using benchmark::Counter;
    state.counters["per_voice_sample"] =
        Counter(static_cast<double>(kBlock) * voices, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["core_share"] = Counter(kBlock / kRate, Counter::kIsIterationInvariantRate | Counter::kInvert);
}
BENCHMARK(BM_Voices)->Arg(1)->Arg(16)->Arg(64);

// Drive, volume and both delay lines with no voice sounding.
void BM_MasterAndChorus(benchmark::State& state) {
    auto plugin = makeSustainingPlugin(true);
    std::vector<float> left(kBlock), right(kBlock);
    float* outputs[2] = {left.data(), right.data()};
    plugin->processReplacing(nullptr, outputs, kBlock);
    for (auto _ : state) {
        plugin->processReplacing(nullptr, outputs, kBlock);
        benchmark::DoNotOptimize(left.data());
    }
    using benchmark::Counter;
    state.counters["per_sample"] = Counter(kBlock, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["core_share"] = Counter(kBlock / kRate, Counter::kIsIterationInvariantRate | Counter::kInvert);
}
BENCHMARK(BM_MasterAndChorus);

// All three wavetables rebuilt, as after a program change (10787 entries each).
void timeRebuilds(benchmark::State& state, SynthPlugin& plugin) {
    for (auto _ : state) {
        for (int32_t i = 0; i < SynthPlugin::kNumWavetables; ++i) plugin.buildWavetable(i);
        benchmark::DoNotOptimize(plugin.wavetables[2][17]);
    }
    using benchmark::Counter;
    // Share of one 512-frame block's duration (11.6 ms) spent on a rebuild.
    state.counters["block_share"] = Counter(kBlock / kRate, Counter::kIsIterationInvariantRate | Counter::kInvert);
}

void BM_RebuildWavetables(benchmark::State& state) {
    auto plugin = makeSustainingPlugin(false);
    timeRebuilds(state, *plugin);
}
BENCHMARK(BM_RebuildWavetables)->Unit(benchmark::kMicrosecond);

// The dearest shapes: every oscillator blends linear and sine-like parts with
// off-centre peaks, so each entry takes a power and a sine.
void BM_RebuildBlendedWavetables(benchmark::State& state) {
    auto plugin = makeSustainingPlugin(false);
    for (int32_t osc = 0; osc < 3; ++osc) {
        plugin->storeParameter(Osc1Sine + 7 * osc, 0.5f);
        plugin->storeParameter(Osc1Center + 7 * osc, 0.3f);
    }
    timeRebuilds(state, *plugin);
}
BENCHMARK(BM_RebuildBlendedWavetables)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
