// Times the engine on the blocks of a browser's audio worklet (128 frames at
// 44.1 kHz), the same program compiled natively and to WebAssembly; run both
// through bench/web_block_timing.mjs. Prints one JSON line of milliseconds:
// the mean block with 1, 16 and 64 voices held, and the worst block right
// after a program change, with the change's wavetable rebuild in it and with
// the tables handed over from the page's thread instead (the change itself
// timed too).
#include <algorithm>
#include <chrono>
#include <cstdio>

#include "engine_loads.h"

namespace {

using namespace engine_load;
constexpr int32_t kWorkletBlock = 128;
using Clock = std::chrono::steady_clock;

double millisecondsSince(Clock::time_point start) {
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

double meanBlock(int32_t voices) {
    auto synth = makeSustainingSynth(true);
    startVoices(*synth, voices);
    static float left[kWorkletBlock], right[kWorkletBlock];
    for (int i = 0; i < 400; ++i) synth->render(left, right, kWorkletBlock, true);   // tables built, caches warm
    constexpr int kBlocks = 4000;
    const auto start = Clock::now();
    for (int i = 0; i < kBlocks; ++i) synth->render(left, right, kWorkletBlock, true);
    return millisecondsSince(start) / kBlocks;
}

// Every program in turn, 64 voices started at once in the first block after
// it. handedOver: the page built the tables (a second engine, untimed) and the
// audio thread copies them in with the change, as the web page does. Each
// program's block is the fastest of five tries, so that the other programs on
// a shared machine do not count; the figure is the dearest program's.
double worstBlockAfterProgramChange(bool handedOver) {
    auto synth = makeSustainingSynth(true);
    auto page = makeSustainingSynth(true);
    static float left[kWorkletBlock], right[kWorkletBlock];
    double worst = 0.0;
    for (int32_t program = 0; program < Instrument::kNumPrograms; ++program) {
        double fastest = 1e9;
        for (int32_t attempt = 0; attempt < 5; ++attempt) {
            synth->selectProgram((program + 1) % Instrument::kNumPrograms);
            synth->render(left, right, kWorkletBlock, true);
            if (handedOver) {
                page->selectProgram(program);
                for (int32_t i = 0; i < Engine::kNumWavetables; ++i) page->buildWavetable(i);
            }
            const auto start = Clock::now();
            synth->selectProgram(program);
            if (handedOver) {
                for (int32_t i = 0; i < Engine::kNumWavetables; ++i)
                    synth->adoptWavetable(i, page->view().wavetables[i], page->wavetableLength());
            }
            synth->setParameter(Param::Polyphony, 1.0f);
            startVoices(*synth, 64);
            synth->render(left, right, kWorkletBlock, true);
            fastest = std::min(fastest, millisecondsSince(start));
        }
        worst = std::max(worst, fastest);
    }
    return worst;
}

}  // namespace

int main() {
    const double one = meanBlock(1), sixteen = meanBlock(16), sixtyFour = meanBlock(64);
    const double worst = worstBlockAfterProgramChange(false), handedOver = worstBlockAfterProgramChange(true);
    std::printf("{\"voices1\": %.5f, \"voices16\": %.5f, \"voices64\": %.5f, \"worstAfterProgramChange\": %.5f, "
                "\"worstAfterProgramChangeHandedOver\": %.5f}\n",
                one, sixteen, sixtyFour, worst, handedOver);
    return 0;
}
