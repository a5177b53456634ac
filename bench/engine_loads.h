#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "instrument/instrument.h"

// The loads both engine timers run: voices held at 44.1 kHz in blocks of 512
// frames, the master stage with the chorus and nothing else, and wavetable
// rebuilds of ordinary and of the dearest shapes.
namespace engine_load {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

// The instrument as the plug-in starts it.
using Synth = Instrument;

// Every oscillator on and a full sustain, so voices sound for the whole run.
inline std::unique_ptr<Synth> makeSustainingSynth(bool chorus) {
    auto synth = std::make_unique<Synth>(static_cast<float>(kRate));
    synth->setParameter(Param::Polyphony, 1.0f);
    synth->setParameter(Param::AmpSustain, 1.0f);
    synth->setParameter(Param::Chorus, chorus ? 1.0f : 0.0f);
    for (int32_t p : {Param::Osc1On, Param::Osc2On, Param::Osc3On}) synth->setParameter(p, 1.0f);
    return synth;
}

inline void startVoices(Synth& synth, int32_t count) {
    for (int32_t n = 0; n < count; ++n) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(30 + n), 100};
        synth.playMidiNow(bytes);
    }
}

// The dearest shapes: every oscillator blends linear and sine-like parts with
// off-centre peaks, so each entry takes a power and a sine.
inline void setDearestShapes(Synth& synth) {
    for (int32_t osc = 0; osc < 3; ++osc) {
        synth.setParameter(Param::Osc1Sine + 7 * osc, 0.5f);
        synth.setParameter(Param::Osc1Center + 7 * osc, 0.3f);
    }
}

inline void rebuildAll(Synth& synth) {
    for (int32_t i = 0; i < Engine::kNumWavetables; ++i) synth.buildWavetable(i);
}

// Renders blocks into two buffers it owns.
struct BlockRenderer {
    float left[kBlock] = {};
    float right[kBlock] = {};
    void operator()(Synth& synth) { synth.render(left, right, kBlock, true); }
};

}  // namespace engine_load
