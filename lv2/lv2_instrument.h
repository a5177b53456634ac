#pragma once
#include <cstdint>

#include <lv2/atom/atom.h>
#include <lv2/urid/urid.h>

#include "instrument/instrument.h"
#include "lv2/port_layout.h"

// The instrument as an LV2 plug-in, driven by the host's ports and MIDI.
//
// Ports and MIDI share the parameters by one rule: a control port writes its
// parameter when the host changes the port; a MIDI controller or program
// change moves parameters until the host next changes their ports. What
// plays is reported on the "playing" output ports, so hosts and the panel
// show it. Every write goes through the bank's single write path. Port
// writes edit the sound playing, never the programs: a program change plays
// the program as the factory made it, as the VST 2 plug-in does, and a fresh
// instance (its port defaults are program 0's values) plays program 0.
class Lv2Instrument {
public:
    struct Uris {
        LV2_URID midiEvent, atomInt, atomFloat, atomVector, atomObject, atomBlank, timePosition, timeSpeed;
        LV2_URID program, sound, portsSeen;
    };

    Lv2Instrument(float rate, LV2_URID_Map& map);
    Lv2Instrument(const Lv2Instrument&) = delete;
    Lv2Instrument& operator=(const Lv2Instrument&) = delete;

    // False when the bank or the engine's buffers could not be had.
    bool usable() const;

    void connect(uint32_t port, void* data);
    void activate();
    // Renders n frames, MIDI events on their frames (see lv2/run.cpp).
    void run(uint32_t n);

    // The current program and, per parameter, the value playing and the
    // host's port value it last took (NaN before the first run).
    struct Snapshot {
        int32_t program;
        float sound[kNumParameters];
        float portsSeen[kNumParameters];
    };
    Snapshot snapshot();
    // Makes the snapshot current: as if the host had last set its ports to
    // portsSeen and MIDI had moved the rest to sound.
    void restore(const Snapshot& s);
    // The state of a fresh instance: program 0 current, the ports win at the next run.
    void resetState();

    const Uris uris;

private:
    void takeHostPorts();
    void renderPiece(uint32_t from, uint32_t to);
    void addMidi(Instrument::MidiDelivery& delivery, const uint8_t* bytes, uint32_t size, uint32_t frame);
    void reportPlaying();
    void takeTransport(const LV2_Atom_Object* position);

    Instrument synth;
    const bool programsKept;
    const LV2_Atom_Sequence* midiIn = nullptr;
    float* left = nullptr;
    float* right = nullptr;
    const float* controls[kNumParameters] = {};
    float* playing[kNumParameters] = {};
    float portsSeen[kNumParameters];
    bool transportRolling = false;
};
