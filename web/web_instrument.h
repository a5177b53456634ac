#pragma once
#include <cstdint>
#include <vector>

#include "editor/instrument_panel_client.h"
#include "engine/wavetable_cache.h"
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
    // One MIDI message delivered as a host delivers it before a block; a
    // program change adopts its prepared tables unless adopt is false (the
    // caller then adopts once after the block's messages).
    void midi(uint8_t status, uint8_t data1, uint8_t data2, bool adopt = true);
    void adoptPreparedTables();
    // frames (1..kMaxBlockFrames) into left and right, replacing them.
    void render(int32_t frames);

    // Tables of another program, built ahead for the program changes of a
    // song: a program change that selects it adopts them while the program
    // is still as it was when they came (otherwise the render rebuilds).
    // Equal shapes are kept once; past kPreparedBytes a table is not kept
    // (its program then builds in the render), so that the module's fixed
    // heap holds the song and the tables of any song's programs at any rate.
    static constexpr size_t kPreparedBytes = size_t(6) << 20;
    void prepareTable(int32_t program, int32_t i, const float* table, int32_t length);
    // Program's table i from an equal shape already prepared: false when none is.
    bool prepareShared(int32_t program, int32_t i) { return prepare(program, i, nullptr, 0); }
    void forgetPreparedTables() { prepared.clear(); shapes.clear(); }

    float left[kMaxBlockFrames] = {};
    float right[kMaxBlockFrames] = {};

private:
    struct PreparedTables {
        int32_t program;
        ProgramRecord record;   // the program when the tables came
        int32_t shape[Engine::kNumWavetables];   // into shapes; -1 for none
    };
    struct PreparedShape {
        WavetableCache::Shape shape;
        std::vector<float> table;
    };

    bool prepare(int32_t program, int32_t i, const float* table, int32_t length);

    std::vector<PreparedTables> prepared;
    std::vector<PreparedShape> shapes;
};
