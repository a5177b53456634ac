#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "engine/engine.h"
#include "programs/program_bank.h"

// Engine costs at 44.1 kHz in blocks of 512 frames. Counters:
//   per_voice_sample / per_sample  CPU time per unit of work
//   core_share                     CPU seconds per second of audio (1.0 = a whole core)

namespace {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

// An engine on the factory programs, as the plug-in holds it.
struct Synth {
    ProgramBank bank;
    Engine engine{bank};
};

std::unique_ptr<Synth> makeSustainingSynth(bool chorus) {
    auto synth = std::make_unique<Synth>();
    synth->bank.loadFactoryBank();
    synth->engine.setSampleRate(static_cast<float>(kRate));
    ProgramBank& bank = synth->bank;
    bank.storeParameter(Param::Polyphony, 1.0f);
    bank.storeParameter(Param::AmpSustain, 1.0f);   // voices sound for the whole run
    bank.storeParameter(Param::Chorus, chorus ? 1.0f : 0.0f);
    for (int32_t p : {Param::Osc1On, Param::Osc2On, Param::Osc3On}) bank.storeParameter(p, 1.0f);
    return synth;
}

void startVoices(Synth& synth, int32_t count) {
    for (int32_t n = 0; n < count; ++n) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(30 + n), 100};
        synth.engine.handleMidiMessage(bytes);
    }
}

void BM_Voices(benchmark::State& state) {
    const int32_t voices = static_cast<int32_t>(state.range(0));
    auto synth = makeSustainingSynth(false);
    startVoices(*synth, voices);
    std::vector<float> left(kBlock), right(kBlock);
    synth->engine.render(left.data(), right.data(), kBlock, true);   // the pending rebuild
    for (auto _ : state) {
        synth->engine.render(left.data(), right.data(), kBlock, true);
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
    auto synth = makeSustainingSynth(true);
    std::vector<float> left(kBlock), right(kBlock);
    synth->engine.render(left.data(), right.data(), kBlock, true);
    for (auto _ : state) {
        synth->engine.render(left.data(), right.data(), kBlock, true);
        benchmark::DoNotOptimize(left.data());
    }
    using benchmark::Counter;
    state.counters["per_sample"] = Counter(kBlock, Counter::kIsIterationInvariantRate | Counter::kInvert);
    state.counters["core_share"] = Counter(kBlock / kRate, Counter::kIsIterationInvariantRate | Counter::kInvert);
}
BENCHMARK(BM_MasterAndChorus);

// All three wavetables rebuilt, as after a program change (10787 entries each).
void timeRebuilds(benchmark::State& state, Engine& engine) {
    for (auto _ : state) {
        for (int32_t i = 0; i < Engine::kNumWavetables; ++i) engine.buildWavetable(i);
        benchmark::DoNotOptimize(engine.wavetables[2][17]);
    }
    using benchmark::Counter;
    // Share of one 512-frame block's duration (11.6 ms) spent on a rebuild.
    state.counters["block_share"] = Counter(kBlock / kRate, Counter::kIsIterationInvariantRate | Counter::kInvert);
}

void BM_RebuildWavetables(benchmark::State& state) {
    auto synth = makeSustainingSynth(false);
    timeRebuilds(state, synth->engine);
}
BENCHMARK(BM_RebuildWavetables)->Unit(benchmark::kMicrosecond);

// The dearest shapes: every oscillator blends linear and sine-like parts with
// off-centre peaks, so each entry takes a power and a sine.
void BM_RebuildBlendedWavetables(benchmark::State& state) {
    auto synth = makeSustainingSynth(false);
    for (int32_t osc = 0; osc < 3; ++osc) {
        synth->bank.storeParameter(Param::Osc1Sine + 7 * osc, 0.5f);
        synth->bank.storeParameter(Param::Osc1Center + 7 * osc, 0.3f);
    }
    timeRebuilds(state, synth->engine);
}
BENCHMARK(BM_RebuildBlendedWavetables)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
