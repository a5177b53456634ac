#include <algorithm>

#include <lv2/atom/util.h>

#include "lv2/lv2_instrument.h"

// One block: the host's port changes first (ports hold one value a block),
// then the engine renders in pieces between the events' frames, so every
// event plays on its sample: [0, f1), event 1, [f1, f2), event 2, ... [fk, n).
// The engine reads its once-per-call values at the start of each piece, as
// it does for each of a VST 2 host's blocks split the same way.
void Lv2Instrument::run(uint32_t n) {
    takeHostPorts();
    uint32_t done = 0;
    if (midiIn) {
        LV2_ATOM_SEQUENCE_FOREACH(midiIn, event) {
            const bool midi = event->body.type == uris.midiEvent;
            const bool object = event->body.type == uris.atomObject || event->body.type == uris.atomBlank;
            if (!midi && !object) continue;
            // Frames out of order or past the block play at the earliest sample they can.
            const int64_t frame = event->time.frames;
            const uint32_t at = frame < done ? done : static_cast<uint32_t>(std::min<int64_t>(frame, n));
            renderPiece(done, at);
            done = at;
            if (midi) playMidi(static_cast<const uint8_t*>(LV2_ATOM_BODY_CONST(&event->body)), event->body.size);
            else takeTransport(reinterpret_cast<const LV2_Atom_Object*>(&event->body));
        }
    }
    renderPiece(done, n);
    reportPlaying();
}

void Lv2Instrument::renderPiece(uint32_t from, uint32_t to) {
    if (to <= from || !left || !right) return;
    engine.render(left + from, right + from, static_cast<int32_t>(to - from), true);
}

// Channel messages only: system messages and stray data bytes are not the
// engine's; a message shorter than its status needs is filled with zeros.
void Lv2Instrument::playMidi(const uint8_t* bytes, uint32_t size) {
    if (size < 1 || bytes[0] < 0x80 || bytes[0] >= 0xF0) return;
    const uint8_t message[3] = {bytes[0], size > 1 ? bytes[1] : uint8_t{0}, size > 2 ? bytes[2] : uint8_t{0}};
    // The host never runs, activates or restores one instance on two threads
    // at once, so run() plays each message now, on the frame it renders up to.
    engine.handleMidiMessage(message);
}

// The host's transport position: a start (speed from 0 to another) restarts
// the free-running modulators on the event's frame.
void Lv2Instrument::takeTransport(const LV2_Atom_Object* position) {
    if (position->body.otype != uris.timePosition) return;
    const LV2_Atom* speed = nullptr;
    lv2_atom_object_get(position, uris.timeSpeed, &speed, 0);
    if (!speed || speed->type != uris.atomFloat || speed->size < sizeof(float)) return;
    const bool rolling = reinterpret_cast<const LV2_Atom_Float*>(speed)->body != 0.0f;
    if (rolling && !transportRolling) restartModulators();
    transportRolling = rolling;
}
