#pragma once
#include <cstdint>
#include <memory>
#include <vector>

#include "engine/engine.h"
#include "programs/program_bank.h"
#include "tests/shared/signal_checks.h"

// Small tools shared by the engine tests: an engine with its program bank set
// up as the plug-in sets them up, MIDI shortcuts and block rendering into vectors.
namespace engine_test {

using namespace signal_checks;

// The engine and the bank it reads, with the factory programs, 44.1 kHz and
// program 0; it counts what the engine tells its listener.
struct Synth : ProgramListener {
    ProgramBank bank;
    Engine engine{bank};
    int32_t programValueChanges = 0;

    Synth() {
        engine.setSampleRate(44100.0f);
        bank.loadFactoryBank();
        bank.curProgram = 0;
        bank.markAllDirty();
        engine.reset();
        engine.setProgramListener(this);
    }
    void programValuesChanged() override { ++programValueChanges; }

    // The two output buffers as a host hands them over.
    void processReplacing(float** outputs, int32_t n) { render(outputs, n, true); }
    void process(float** outputs, int32_t n) { render(outputs, n, false); }
    void render(float** outputs, int32_t n, bool replacing) {
        engine.render(outputs ? outputs[0] : nullptr, outputs ? outputs[1] : nullptr, n, replacing);
    }
};

// The engine is large (64 voices and the pending MIDI queue): keep it off the stack.
inline std::unique_ptr<Synth> makePlugin() { return std::make_unique<Synth>(); }

inline void midi(Synth& synth, uint8_t status, uint8_t d1, uint8_t d2) {
    const uint8_t bytes[3] = {status, d1, d2};
    synth.engine.handleMidiMessage(bytes);
}
inline void noteOn(Synth& synth, uint8_t note, uint8_t velocity = 100) { midi(synth, 0x90, note, velocity); }
inline void noteOff(Synth& synth, uint8_t note) { midi(synth, 0x80, note, 0); }

struct Stereo {
    std::vector<float> left, right;
};

// One replacing render of n frames.
inline Stereo renderReplacing(Synth& synth, int32_t n) {
    Stereo out{std::vector<float>(n > 0 ? n : 1, 0.0f), std::vector<float>(n > 0 ? n : 1, 0.0f)};
    synth.engine.render(out.left.data(), out.right.data(), n, true);
    out.left.resize(n > 0 ? n : 0);
    out.right.resize(n > 0 ? n : 0);
    return out;
}

// Frames rendered in calls of the given sizes, concatenated.
inline Stereo renderInCalls(Synth& synth, const std::vector<int32_t>& sizes) {
    Stereo all;
    for (int32_t n : sizes) {
        const Stereo part = renderReplacing(synth, n);
        all.left.insert(all.left.end(), part.left.begin(), part.left.end());
        all.right.insert(all.right.end(), part.right.begin(), part.right.end());
    }
    return all;
}

inline int32_t activeVoices(const Synth& synth) {
    int32_t count = 0;
    for (const Voice& voice : synth.engine.voices) count += voice.active ? 1 : 0;
    return count;
}

}  // namespace engine_test
