#pragma once
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "instrument/instrument.h"
#include "tests/shared/signal_checks.h"

// Small tools shared by the engine tests: the instrument as every front end
// starts it, MIDI shortcuts and block rendering into vectors.
namespace engine_test {

using namespace signal_checks;

// The instrument with the factory programs, 44.1 kHz and program 0; it
// counts what the engine tells its listener.
struct Synth : Instrument, ProgramListener {
    int32_t programValueChanges = 0;

    Synth() { setChangeListener(this); }
    using Instrument::render;
    void programValuesChanged() override { ++programValueChanges; }

    // The two output buffers as a host hands them over.
    void processReplacing(float** outputs, int32_t n) { render(outputs, n, true); }
    void process(float** outputs, int32_t n) { render(outputs, n, false); }
    void render(float** outputs, int32_t n, bool replacing) {
        Instrument::render(outputs ? outputs[0] : nullptr, outputs ? outputs[1] : nullptr, n, replacing);
    }
};

// The engine is large (64 voices and the pending MIDI queue): keep it off the stack.
inline std::unique_ptr<Synth> makePlugin() { return std::make_unique<Synth>(); }

inline void midi(Synth& synth, uint8_t status, uint8_t d1, uint8_t d2) {
    const uint8_t bytes[3] = {status, d1, d2};
    synth.playMidiNow(bytes);
}
inline void noteOn(Synth& synth, uint8_t note, uint8_t velocity = 100) { midi(synth, 0x90, note, velocity); }
inline void noteOff(Synth& synth, uint8_t note) { midi(synth, 0x80, note, 0); }

struct Stereo {
    std::vector<float> left, right;
};

// One replacing render of n frames.
inline Stereo renderReplacing(Synth& synth, int32_t n) {
    Stereo out{std::vector<float>(n > 0 ? n : 1, 0.0f), std::vector<float>(n > 0 ? n : 1, 0.0f)};
    synth.Instrument::render(out.left.data(), out.right.data(), n, true);
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

inline bool sameRecord(const ProgramRecord& a, const ProgramRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

inline int32_t activeVoices(const Synth& synth) {
    int32_t count = 0;
    for (const Voice& voice : synth.view().voices) count += voice.active ? 1 : 0;
    return count;
}

}  // namespace engine_test
