#include <atomic>
#include <cstddef>

#include "../host/synth_plugin.h"
#include "voice_allocation.h"

namespace {

// More events than any host delivers for one block; a count beyond it can
// only be garbage, and the loop stays bounded.
constexpr int32_t kMaxEventsPerCall = 65536;
// Hosts fill byteSize either with the whole record (32) or without its two
// leading words (24); anything smaller cannot hold the MIDI bytes at offset 24.
constexpr int32_t kMinMidiEventSize = 24;

// The single-precision constants that scale 7- and 14-bit MIDI values.
constexpr float kControllerScale = 0.007874016f;   // 1/127
constexpr float kBendScale = 6.103888e-05f;         // 1/16383
constexpr float kVelocityScale = 0.0078125f;        // 1/128

}  // namespace

int32_t SynthPlugin::processEvents(VstEvents* events) {
    if (!events) return 1;
    int32_t count = events->numEvents;
    if (count <= 0) return 1;
    if (count > kMaxEventsPerCall) count = kMaxEventsPerCall;
    // The list ends in as many event pointers as it counts.
    VstEvent* const* list = events->events;

    const bool holdingGate = renderGate.tryEnterRender();
    if (holdingGate) playPendingMidi();
    for (int32_t i = 0; i < count; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType || event->byteSize < kMinMidiEventSize) continue;
        const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const uint8_t bytes[3] = {static_cast<uint8_t>(midi->midiData[0]), static_cast<uint8_t>(midi->midiData[1]),
                                  static_cast<uint8_t>(midi->midiData[2])};
        if (holdingGate) handleMidiMessage(bytes);
        else pendingMidi.push(bytes);
    }
    if (holdingGate) renderGate.leaveRender();
    return 1;
}

void SynthPlugin::playPendingMidi() {
    pendingMidi.drain([this](const uint8_t bytes[3]) { handleMidiMessage(bytes); });
}

void SynthPlugin::handleMidiMessage(const uint8_t bytes[3]) {
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
        selectProgram(d1 >= kNumPrograms ? kNumPrograms - 1 : d1);
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

void SynthPlugin::noteOn(uint8_t note, uint8_t velocity) {
    if (!programs) return;
    const int32_t limit = voiceLimit(loadValue(currentProgram(), Polyphony));
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

void SynthPlugin::noteOff(uint8_t note) {
    // Every voice holding the note, sounding or not, whatever the voice limit.
    // With the pedal down, a voice still held by its key is held by the pedal instead.
    for (Voice& voice : voices) {
        if (voice.note != note) continue;
        if (sustainPedalDown && keyHeld(voice)) voice.heldByPedal = 1;
        else releaseVoice(voice);
    }
}

void SynthPlugin::releaseSustainPedal() {
    if (!sustainPedalDown) return;
    sustainPedalDown = false;
    for (Voice& voice : voices) {
        if (!voice.heldByPedal) continue;
        voice.heldByPedal = 0;
        releaseVoice(voice);
    }
}

void SynthPlugin::allNotesOff() {
    for (Voice& voice : voices) {
        if (!keyHeld(voice)) continue;
        if (sustainPedalDown) voice.heldByPedal = 1;
        else releaseVoice(voice);
    }
}

bool SynthPlugin::channelModeMessage(uint8_t controller, uint8_t value) {
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

void SynthPlugin::controlChange(uint8_t controller, uint8_t value) {
    // The pedal and the panic messages play on the voices, never on a parameter.
    if (channelModeMessage(controller, value)) return;
    const float u = static_cast<float>(value) * kControllerScale;
    int32_t parameter;
    switch (controller) {
    case 1: parameter = LfoRate; break;
    case 7: parameter = Volume; break;
    case 10:
        // Balance only: no parameter, no editor update.
        std::atomic_ref<float>(outputPan).store(u, std::memory_order_relaxed);
        return;
    case 12: parameter = Cutoff; break;
    case 13: parameter = Resonance; break;
    case 72: parameter = AmpRelease; break;
    case 73: parameter = AmpAttack; break;
    default: return;
    }
    storeParameter(parameter, u);
    if (editor) editor->requestUpdate();
}
