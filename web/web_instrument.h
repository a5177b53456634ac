#pragma once
#include <cstdint>
#include <vector>

#include "editor/panel_client.h"
#include "engine/engine.h"
#include "programs/program_bank.h"

// The instrument as the page holds it: one bank, one engine, set up the way
// the plug-in sets itself up for a host (factory bank, program 0, the rate
// the device runs at), so that the same MIDI gives the same samples. The
// panel reads and writes the same bank through PanelClient.
class WebInstrument : public PanelClient {
public:
    static constexpr int32_t kMaxBlockFrames = 8192;

    WebInstrument();
    WebInstrument(const WebInstrument&) = delete;
    WebInstrument& operator=(const WebInstrument&) = delete;

    // False when the bank or the engine's buffers could not be allocated.
    bool ready() const;
    // As a host's effSetSampleRate: tables rebuilt, every voice silenced.
    void setSampleRate(float rate);
    // As the plug-in's program selection (a host's effSetProgram or MIDI).
    void selectProgram(int32_t program);
    int32_t currentProgram();
    // One MIDI message delivered as a host delivers it before a block.
    void midi(uint8_t status, uint8_t data1, uint8_t data2);
    // frames (1..kMaxBlockFrames) into left and right, replacing them.
    void render(int32_t frames);
    // Silences every voice and empties the delay lines.
    void reset() { engine.reset(); }

    // Wavetables handed over between two instances on the same program and
    // rate: the page's instance builds what a change made due (a program, a
    // shape knob) on the page's thread, and the audio thread's instance
    // adopts the tables instead of rebuilding them inside an audio block.
    // The tables are the same floats either way.
    // Bits 1, 2, 4: the tables made due since the last take.
    uint8_t takeDueTables() { return bank.takeDirtyFlags() & 7; }
    // Table i as the current program makes it, tableLength floats.
    const float* buildTable(int32_t i);
    // Takes table i and clears its due bit; false (the table left due) when
    // its length does not match this instance's rate.
    bool adoptTable(int32_t i, const float* table, int32_t length);
    // Tables of another program, built ahead for the program changes of a
    // song: a program change that selects it adopts them while the program
    // is still as it was when they came (otherwise the render rebuilds).
    void prepareTable(int32_t program, int32_t i, const float* table, int32_t length);
    void forgetPreparedTables() { prepared.clear(); }

    float parameterValue(int32_t index) override;
    void setParameterFromPanel(int32_t index, float value) override;
    void parameterDisplay(int32_t index, char* text) override;

    struct PreparedTables {
        int32_t program;
        ProgramRecord record;   // the program when the tables came
        std::vector<float> tables[Engine::kNumWavetables];
    };
    void adoptPreparedTables();

    std::vector<PreparedTables> prepared;
    ProgramBank bank;
    Engine engine{bank};
    float left[kMaxBlockFrames] = {};
    float right[kMaxBlockFrames] = {};
};
