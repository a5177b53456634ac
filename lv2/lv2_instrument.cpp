#include "lv2/lv2_instrument.h"

#include <atomic>
#include <cmath>
#include <limits>

#include <lv2/midi/midi.h>
#include <lv2/time/time.h>

#include "lv2/lv2_uris.h"

namespace {

Lv2Instrument::Uris mapUris(LV2_URID_Map& map) {
    auto m = [&map](const char* uri) { return map.map(map.handle, uri); };
    return {m(LV2_MIDI__MidiEvent), m(LV2_ATOM__Int),  m(LV2_ATOM__Float), m(LV2_ATOM__Vector),
            m(LV2_ATOM__Object), m(LV2_ATOM__Blank), m(LV2_TIME__Position), m(LV2_TIME__speed),
            m(VORZLE_LV2_STATE_PROGRAM), m(VORZLE_LV2_STATE_SOUND), m(VORZLE_LV2_STATE_PORTS_SEEN)};
}

// Port values taken, read by a state save on another thread.
float loadSeen(float& value) { return std::atomic_ref<float>(value).load(std::memory_order_relaxed); }
void storeSeen(float& value, float v) { std::atomic_ref<float>(value).store(v, std::memory_order_relaxed); }

}  // namespace

// The ports are the host's edits and its presets set them: they must not
// overwrite the programs a MIDI program change selects, or a change to
// program 0 would bring back the last preset instead of program 0.
Lv2Instrument::Lv2Instrument(float rate, LV2_URID_Map& map)
    : uris(mapUris(map)),
      synth(rate),
      // Program changes in run() only point at tables built here.
      programsKept(synth.keepProgramsAsLoaded() && synth.keepProgramTablesPrepared()) {
    for (float& seen : portsSeen) seen = std::numeric_limits<float>::quiet_NaN();
}

bool Lv2Instrument::usable() const { return synth.usable() && programsKept; }

void Lv2Instrument::connect(uint32_t port, void* data) {
    if (port == Port::kMidiIn) midiIn = static_cast<const LV2_Atom_Sequence*>(data);
    else if (port == Port::kLeft) left = static_cast<float*>(data);
    else if (port == Port::kRight) right = static_cast<float*>(data);
    else if (port >= Port::kFirstControl && port < Port::kFirstPlaying)
        controls[port - Port::kFirstControl] = static_cast<const float*>(data);
    else if (port >= Port::kFirstPlaying && port < Port::kCount)
        playing[port - Port::kFirstPlaying] = static_cast<float*>(data);
}

// A new stream starts from nothing the last one left: voices, delay lines
// and their modulators, the cutoff LFO's phase, bend, pedal and balance.
// The modulators run free, even in silence; they restart when the host's
// transport starts too, so that every playback and every export of a
// session sounds the same.
void Lv2Instrument::activate() {
    synth.startStream();
    transportRolling = false;
}

// A port the host changed writes its parameter; one it left alone leaves
// whatever MIDI did. Values outside the port's range are pulled in, and a
// value that is not a number is not taken.
void Lv2Instrument::takeHostPorts() {
    for (int32_t p = 0; p < kNumParameters; ++p) {
        if (!controls[p]) continue;
        float value = *controls[p];
        if (std::isnan(value) || value == loadSeen(portsSeen[p])) continue;
        storeSeen(portsSeen[p], value);
        const PortInfo& info = kPortInfo[p];
        value = std::fmin(std::fmax(value, info.minimum), info.maximum);
        if (p == Param::Polyphony && portFromStored(p, synth.parameter(p)) == std::nearbyint(value)) continue;
        synth.setParameter(p, storedFromPort(p, value));
    }
}

void Lv2Instrument::reportPlaying() {
    for (int32_t p = 0; p < kNumParameters; ++p)
        if (playing[p]) *playing[p] = portFromStored(p, synth.parameter(p));
}

Lv2Instrument::Snapshot Lv2Instrument::snapshot() {
    Snapshot s;
    s.program = synth.program();
    for (int32_t p = 0; p < kNumParameters; ++p) {
        s.sound[p] = synth.parameter(p);
        s.portsSeen[p] = loadSeen(portsSeen[p]);
    }
    return s;
}

void Lv2Instrument::restore(const Snapshot& s) {
    synth.selectProgram(s.program);
    for (int32_t p = 0; p < kNumParameters; ++p) {
        if (synth.parameter(p) != s.sound[p]) synth.setParameter(p, s.sound[p]);
        storeSeen(portsSeen[p], s.portsSeen[p]);
    }
}

void Lv2Instrument::resetState() {
    synth.selectProgram(0);
    for (float& seen : portsSeen) storeSeen(seen, std::numeric_limits<float>::quiet_NaN());
}
