#pragma once
#include <cstdint>
#include <initializer_list>
#include <memory>

#include "engine/engine.h"
#include "programs/program_bank.h"

// The loads both engine timers run: voices held at 44.1 kHz in blocks of 512
// frames, the master stage with the chorus and nothing else, and wavetable
// rebuilds of ordinary and of the dearest shapes.
namespace engine_load {

constexpr int32_t kBlock = 512;
constexpr double kRate = 44100.0;

// An engine on the factory programs, as the plug-in holds it.
struct Synth {
    ProgramBank bank;
    Engine engine{bank};
};

// Every oscillator on and a full sustain, so voices sound for the whole run.
inline std::unique_ptr<Synth> makeSustainingSynth(bool chorus) {
    auto synth = std::make_unique<Synth>();
    synth->bank.loadFactoryBank();
    synth->engine.setSampleRate(static_cast<float>(kRate));
    ProgramBank& bank = synth->bank;
    bank.storeParameter(Param::Polyphony, 1.0f);
    bank.storeParameter(Param::AmpSustain, 1.0f);
    bank.storeParameter(Param::Chorus, chorus ? 1.0f : 0.0f);
    for (int32_t p : {Param::Osc1On, Param::Osc2On, Param::Osc3On}) bank.storeParameter(p, 1.0f);
    return synth;
}

inline void startVoices(Synth& synth, int32_t count) {
    for (int32_t n = 0; n < count; ++n) {
        const uint8_t bytes[3] = {0x90, static_cast<uint8_t>(30 + n), 100};
        synth.engine.handleMidiMessage(bytes);
    }
}

// The dearest shapes: every oscillator blends linear and sine-like parts with
// off-centre peaks, so each entry takes a power and a sine.
inline void setDearestShapes(Synth& synth) {
    for (int32_t osc = 0; osc < 3; ++osc) {
        synth.bank.storeParameter(Param::Osc1Sine + 7 * osc, 0.5f);
        synth.bank.storeParameter(Param::Osc1Center + 7 * osc, 0.3f);
    }
}

inline void rebuildAll(Synth& synth) {
    for (int32_t i = 0; i < Engine::kNumWavetables; ++i) synth.engine.buildWavetable(i);
}

// Renders blocks into two buffers it owns.
struct BlockRenderer {
    float left[kBlock] = {};
    float right[kBlock] = {};
    void operator()(Synth& synth) { synth.engine.render(left, right, kBlock, true); }
};

}  // namespace engine_load
