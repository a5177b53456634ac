// The native plug-in driven from four sides at once, as hosts do: the audio
// thread renders, two threads send MIDI (garbage included, program changes
// among it), the user-interface thread switches and reads programs and idles
// the editor, and a control thread changes the rate and block size with both
// opcodes and switches the power. Every call must come back promptly and every
// sample finite; under ThreadSanitizer any unsynchronised access fails.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "../shared/careless_session.h"

namespace {

using namespace careless;

constexpr int kMidiCalls = 1500;
constexpr int kUiCalls = 1500;
constexpr int kControlCalls = 150;

TEST(CarelessHostThreads, RenderMidiProgramsAndRatesOnTheirOwnThreads) {
    PluginModule module;
    std::string error;
    ASSERT_TRUE(module.load(pluginPath(), error)) << error;
    AEffect* effect = module.entry()(versionOnlyHost);
    ASSERT_NE(effect, nullptr);
    effect->dispatcher(effect, effMainsChanged, 0, 1, nullptr, 0.0f);

    const uint32_t runSeed = seed();
    const std::string where = "seed " + std::to_string(runSeed) + ", ";
    std::atomic<bool> stop{false};
    std::thread audio([&] {
        std::mt19937 rng(runSeed);
        Session session(effect, rng, where + "audio thread");
        while (!stop.load() && session.alive()) session.render(1 + static_cast<int32_t>(rng() % 1024), true);
    });
    auto midi = [&](uint32_t offset) {
        std::mt19937 rng(runSeed + offset);
        Session session(effect, rng, where + "MIDI thread " + std::to_string(offset));
        session.oversizedLists = false;   // blocks as a sequencer sends them; the lone host tries the rest
        for (int i = 0; i < kMidiCalls && session.alive(); ++i) session.sendGarbageEvents();
    };
    std::thread midi1(midi, 1), midi2(midi, 2);
    std::thread ui([&] {
        std::mt19937 rng(runSeed + 3);
        Session session(effect, rng, where + "user-interface thread");
        char name[kProgramNameBytes];
        for (int i = 0; i < kUiCalls && session.alive(); ++i) {
            if (i % 50 == 0) session.dispatch(effSetProgram, 0, static_cast<intptr_t>(rng() % 128), nullptr, 0.0f);
            session.dispatch(effGetProgram, 0, 0, nullptr, 0.0f);
            session.dispatch(effGetProgramName, 0, 0, name, 0.0f);
            session.dispatch(effEditIdle, 0, 0, nullptr, 0.0f);
        }
    });
    std::thread control([&] {
        std::mt19937 rng(runSeed + 4);
        Session session(effect, rng, where + "control thread");
        static constexpr float kRates[] = {22050.0f, 44100.0f, 48000.0f, 96000.0f, 8000.0f, 0.0f, kNaN};
        for (int i = 0; i < kControlCalls && session.alive(); ++i) {
            const float rate = kRates[rng() % std::size(kRates)];
            switch (i % 4) {
            case 0: session.dispatch(effSetSampleRate, 0, 0, nullptr, rate); break;
            case 1: session.dispatch(effSetBlockSizeAndSampleRate, 0, 1 + rng() % 4096, nullptr, rate); break;
            case 2: session.dispatch(effSetBlockSize, 0, 1 + rng() % 4096, nullptr, 0.0f); break;
            default: session.dispatch(effMainsChanged, 0, rng() % 2, nullptr, 0.0f); break;
            }
            std::this_thread::yield();
        }
    });
    for (std::thread* t : {&midi1, &midi2, &ui, &control}) t->join();
    stop.store(true);
    audio.join();
    effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f);
}

}  // namespace
