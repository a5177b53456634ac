#pragma once
#include <cmath>
#include <cstdint>
#include <memory>
#include <vector>

#include "../../host/synth_plugin.h"

// Small tools shared by the engine tests: a host that only knows its version,
// MIDI shortcuts and block rendering into vectors.
namespace engine_test {

inline intptr_t hostCallback(AEffect*, int32_t opcode, int32_t, intptr_t, void*, float) {
    return opcode == 1 ? 2400 : 0;   // audioMasterVersion
}

// The plug-in is large (64 voices, 128 programs' worth of pointers): keep it off the stack.
inline std::unique_ptr<SynthPlugin> makePlugin() { return std::make_unique<SynthPlugin>(hostCallback); }

inline void midi(SynthPlugin& plugin, uint8_t status, uint8_t d1, uint8_t d2) {
    const uint8_t bytes[3] = {status, d1, d2};
    plugin.handleMidiMessage(bytes);
}
inline void noteOn(SynthPlugin& plugin, uint8_t note, uint8_t velocity = 100) { midi(plugin, 0x90, note, velocity); }
inline void noteOff(SynthPlugin& plugin, uint8_t note) { midi(plugin, 0x80, note, 0); }

struct Stereo {
    std::vector<float> left, right;
};

// One processReplacing call of n frames.
inline Stereo renderReplacing(SynthPlugin& plugin, int32_t n) {
    Stereo out{std::vector<float>(n > 0 ? n : 1, 0.0f), std::vector<float>(n > 0 ? n : 1, 0.0f)};
    float* outputs[2] = {out.left.data(), out.right.data()};
    plugin.processReplacing(nullptr, outputs, n);
    out.left.resize(n > 0 ? n : 0);
    out.right.resize(n > 0 ? n : 0);
    return out;
}

// Frames rendered in calls of the given sizes, concatenated.
inline Stereo renderInCalls(SynthPlugin& plugin, const std::vector<int32_t>& sizes) {
    Stereo all;
    for (int32_t n : sizes) {
        const Stereo part = renderReplacing(plugin, n);
        all.left.insert(all.left.end(), part.left.begin(), part.left.end());
        all.right.insert(all.right.end(), part.right.begin(), part.right.end());
    }
    return all;
}

inline bool allFinite(const std::vector<float>& samples) {
    for (float x : samples)
        if (!std::isfinite(x)) return false;
    return true;
}

inline bool allZero(const std::vector<float>& samples) {
    for (float x : samples)
        if (x != 0.0f) return false;
    return true;
}

inline float peak(const std::vector<float>& samples) {
    float m = 0.0f;
    for (float x : samples) m = std::fmax(m, std::fabs(x));
    return m;
}

inline int32_t activeVoices(const SynthPlugin& plugin) {
    int32_t count = 0;
    for (const Voice& voice : plugin.voices) count += voice.active ? 1 : 0;
    return count;
}

}  // namespace engine_test
