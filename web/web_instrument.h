#pragma once
#include <cstdint>
#include <vector>

#include "editor/instrument_panel_client.h"
#include "instrument/instrument.h"

// The instrument as the page holds it, with the two buffers the worklet
// reads, and wavetables handed over from the page's own instance: that one
// builds what a change made due (a program, a shape knob) on the page's
// thread, and the audio thread's instance adopts the tables instead of
// rebuilding them inside an audio block. The tables are the same floats
// either way.
class WebInstrument {
public:
    static constexpr int32_t kMaxBlockFrames = 8192;

    Instrument synth;
    InstrumentPanelClient panel{synth};

    bool ready() const { return synth.usable(); }
    // One MIDI message delivered as a host delivers it before a block.
    void midi(uint8_t status, uint8_t data1, uint8_t data2);
    // frames (1..kMaxBlockFrames) into left and right, replacing them.
    void render(int32_t frames);

    // Tables of another program, built ahead for the program changes of a
    // song: a program change that selects it adopts them while the program
    // is still as it was when they came (otherwise the render rebuilds).
    void prepareTable(int32_t program, int32_t i, const float* table, int32_t length);
    void forgetPreparedTables() { prepared.clear(); }

    float left[kMaxBlockFrames] = {};
    float right[kMaxBlockFrames] = {};

private:
    struct PreparedTables {
        int32_t program;
        ProgramRecord record;   // the program when the tables came
        std::vector<float> tables[Engine::kNumWavetables];
    };
    void adoptPreparedTables();

    std::vector<PreparedTables> prepared;
};
