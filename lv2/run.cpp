#include <algorithm>
#include <optional>

#include <lv2/atom/util.h>

#include "lv2/lv2_instrument.h"

// One block: the host's port changes first (ports hold one value a block),
// then the block's MIDI goes to the engine with its frames, and the engine
// plays each message on its sample, as it does for the VST 2 plug-in. A
// transport change splits the block there, so the modulators restart on the
// frame the host says.
void Lv2Instrument::run(uint32_t n) {
    takeHostPorts();
    uint32_t start = 0;   // the first frame of the piece whose MIDI is being delivered
    std::optional<Instrument::MidiDelivery> delivery(std::in_place, synth);
    if (midiIn) {
        LV2_ATOM_SEQUENCE_FOREACH(midiIn, event) {
            // Frames out of order or past the block play at the earliest sample they can.
            const uint32_t at = static_cast<uint32_t>(std::clamp<int64_t>(event->time.frames, start, n));
            if (event->body.type == uris.midiEvent) {
                addMidi(*delivery, static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body)), event->body.size,
                        at - start);
            } else if (event->body.type == uris.atomObject || event->body.type == uris.atomBlank) {
                delivery.reset();   // the render takes the gate the delivery holds
                renderPiece(start, at);
                start = at;
                takeTransport(reinterpret_cast<const LV2_Atom_Object*>(&event->body));
                delivery.emplace(synth);
            }
        }
    }
    delivery.reset();
    renderPiece(start, n);
    reportPlaying();
}

// Renders even an empty piece, or one without buffers: that plays the MIDI
// delivered for it (the engine writes nothing where there is no buffer).
void Lv2Instrument::renderPiece(uint32_t from, uint32_t to) {
    if (!left || !right) to = from;
    synth.render(left ? left + from : nullptr, right ? right + from : nullptr, static_cast<int32_t>(to - from), true);
}

// Channel messages only: system messages and stray data bytes are not the
// engine's; a message shorter than its status needs is filled with zeros.
void Lv2Instrument::addMidi(Instrument::MidiDelivery& delivery, const uint8_t* bytes, uint32_t size, uint32_t frame) {
    if (size < 1 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
    const uint8_t message[3] = {bytes[0], size > 1 ? bytes[1] : uint8_t{0}, size > 2 ? bytes[2] : uint8_t{0}};
    delivery.add(message, static_cast<int32_t>(frame));
}

// The host's transport position: a start (speed from 0 to another) restarts
// the free-running modulators on the event's frame.
void Lv2Instrument::takeTransport(const LV2_Atom_Object* position) {
    if (position->body.otype != uris.timePosition) return;
    const LV2_Atom* speed = nullptr;
    lv2_atom_object_get(position, uris.timeSpeed, &speed, 0);
    if (!speed || speed->type != uris.atomFloat || speed->size < sizeof(float)) return;
    const bool rolling = reinterpret_cast<const LV2_Atom_Float*>(speed)->body != 0.0f;
    if (rolling && !transportRolling) synth.restartModulators();
    transportRolling = rolling;
}
