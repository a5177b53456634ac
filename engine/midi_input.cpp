#include <atomic>
#include <cstddef>

#include "engine/engine.h"
#include "engine/voice_allocation.h"

namespace {

// The single-precision constants that scale 7- and 14-bit MIDI values.
constexpr float kControllerScale = 0.007874016f;   // 1/127
constexpr float kBendScale = 6.103888e-05f;         // 1/16383
constexpr float kVelocityScale = 0.0078125f;        // 1/128

}  // namespace

void Engine::playPendingMidi() {
    pendingMidi.drain([this](const uint8_t bytes[3]) { handleMidiMessage(bytes); });
}

void Engine::playTimedMidiNow() {
    for (int32_t i = 0; i < timedMidi.size(); ++i) handleMidiMessage(timedMidi[i].bytes);
    timedMidi.clear();
}

void Engine::handleMidiMessage(const uint8_t bytes[3]) {
    if (!bytes) return;
    const uint8_t status = bytes[0] & 0xF0;
    const uint8_t d1 = bytes[1] & 0x7F;
    const uint8_t d2 = bytes[2] & 0x7F;
    switch (status) {
    case 0x80:
        noteOff(d1);
        break;
    case 0x90:
        if (d2 == 0) noteOff(d1);
        else noteOn(d1, d2);
        break;
    case 0xB0:
        controlChange(d1, d2);
        break;
    case 0xC0:
        selectProgramHoldingGate(d1 >= ProgramBank::kNumPrograms ? ProgramBank::kNumPrograms - 1 : d1);
        break;
    case 0xE0: {
        const int32_t bend = d2 * 128 + d1;
        const float semitones = (static_cast<float>(bend) * kBendScale - 0.5f) * 4.0f;
        std::atomic_ref<float>(pitchBend).store(semitones, std::memory_order_relaxed);
        break;
    }
    default:
        break;   // pressure, system messages and stray data bytes
    }
}

void Engine::noteOn(uint8_t note, uint8_t velocity) {
    if (!bank.hasPrograms()) return;
    // The pedal's re-strike: a key struck again while its previous note sounds
    // only because of the sustain pedal (key up, pedal down) takes over that
    // note's voice, the first such in pool order whatever the voice limit, as
    // a piano strikes the same string again: the voice takes the new velocity
    // and the newest start order, its key holds it again, and both envelopes
    // start their attack again from the levels they have reached; oscillators,
    // filter and pitch run on. Without the pedal no voice is held by it, so
    // every note-on takes a voice as below.
    for (Voice& voice : voices) {
        if (!voice.active || !voice.heldByPedal || voice.note != note) continue;
        voice.heldByPedal = 0;
        voice.velocity = static_cast<float>(velocity) * kVelocityScale;
        voice.ampStage = 0;
        voice.ampProgress = 0.0f;
        voice.filterEnvStage = 0;
        voice.filterEnvProgress = 0.0f;
        voice.startOrder = noteCounter;
        noteCounter += 1;
        return;
    }
    const int32_t limit = voiceLimit(ProgramBank::loadValue(bank.currentProgram(), Param::Polyphony));
    const VoiceChoice choice = chooseVoice(voices, limit);
    Voice& voice = voices[choice.index];
    if (!choice.fresh) {
        // A steal keeps everything but the stage and the note: the velocity of
        // the first note, the gliding pitch, the envelopes' progress and levels.
        voice.ampStage = 0;
        voice.note = note;
        voice.heldByPedal = 0;   // the new note is held by its key
        return;
    }
    voice = Voice{};
    voice.note = note;
    voice.pitch = static_cast<float>(note);
    voice.velocity = static_cast<float>(velocity) * kVelocityScale;
    voice.osc1Pos = 0;
    voice.osc2Pos = 0;
    voice.osc3Pos = 0;
    voice.startOrder = noteCounter;
    voice.active = 1;
    noteCounter += 1;
}

namespace {

void releaseVoice(Voice& voice) {
    voice.ampStage = -1;
    voice.ampProgress = 0.0f;
}

bool keyHeld(const Voice& voice) { return voice.active && voice.ampStage != -1; }

}  // namespace

void Engine::noteOff(uint8_t note) {
    // Every voice holding the note, sounding or not, whatever the voice limit.
    // With the pedal down, a voice still held by its key is held by the pedal instead.
    for (Voice& voice : voices) {
        if (voice.note != note) continue;
        if (sustainPedalDown && keyHeld(voice)) voice.heldByPedal = 1;
        else releaseVoice(voice);
    }
}

void Engine::releaseSustainPedal() {
    if (!sustainPedalDown) return;
    sustainPedalDown = false;
    for (Voice& voice : voices) {
        if (!voice.heldByPedal) continue;
        voice.heldByPedal = 0;
        releaseVoice(voice);
    }
}

void Engine::allNotesOff() {
    for (Voice& voice : voices) {
        if (!keyHeld(voice)) continue;
        if (sustainPedalDown) voice.heldByPedal = 1;
        else releaseVoice(voice);
    }
}

bool Engine::channelModeMessage(uint8_t controller, uint8_t value) {
    switch (controller) {
    case 64:
        if (value >= 64) sustainPedalDown = true;
        else releaseSustainPedal();
        return true;
    case 120:   // all sound off
        for (Voice& voice : voices) {
            voice.active = 0;
            voice.heldByPedal = 0;
        }
        return true;
    case 121:   // reset all controllers: the bend and the pedal
        std::atomic_ref<float>(pitchBend).store(0.0f, std::memory_order_relaxed);
        releaseSustainPedal();
        return true;
    case 123: case 124: case 125: case 126: case 127:   // all notes off, and the modes that imply it
        allNotesOff();
        return true;
    default:
        return false;
    }
}

void Engine::controlChange(uint8_t controller, uint8_t value) {
    // The pedal and the panic messages play on the voices, never on a parameter.
    if (channelModeMessage(controller, value)) return;
    const float u = static_cast<float>(value) * kControllerScale;
    int32_t parameter;
    switch (controller) {
    case 1: parameter = Param::LfoRate; break;
    case 7: parameter = Param::Volume; break;
    case 10:
        // Balance only: no parameter, no editor update.
        std::atomic_ref<float>(outputPan).store(u, std::memory_order_relaxed);
        return;
    case 12: parameter = Param::Cutoff; break;
    case 13: parameter = Param::Resonance; break;
    case 72: parameter = Param::AmpRelease; break;
    case 73: parameter = Param::AmpAttack; break;
    default: return;
    }
    bank.storeParameter(parameter, u);
    if (listener) listener->programValuesChanged();
}
