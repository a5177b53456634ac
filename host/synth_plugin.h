#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "effect_base_x.h"
#include "../engine/delay_line.h"
#include "../engine/pending_midi.h"
#include "../engine/render_gate.h"
#include "../engine/voice.h"
#include "../programs/program_record.h"

class SynthEditor;

// The instrument: identity, program slots, voices, wavetables, delay lines
// and the editor.
//
// Threads: the host renders on its audio thread, delivers MIDI on a thread of
// its choosing (usually the audio thread, right before a render) and drives
// the editor on its user-interface thread. MIDI is handled at once while the
// render gate is free and otherwise queued for the next block, so a host that
// overlaps MIDI, renders and sample-rate changes on several threads never has
// two of them change the voices at once. Program values are plain floats
// read and written through std::atomic_ref, so a value is never torn;
// dirtyFlags is an atomic byte that writers OR into and the render loop
// exchanges with 0, so a rebuild bit is never lost. Each store carries its
// own index and value (storeParameter(index, value)), so two stores from two
// threads never mix one's index with the other's value. Sample-rate changes
// and resets hold the render gate; the render loop never waits for it.
class SynthPlugin : public EffectBaseX {
public:
    static constexpr int32_t kNumPrograms = 128;
    static constexpr int32_t kNumWavetables = 3;
    static constexpr int32_t kSubBlockSize = 44;

    explicit SynthPlugin(audioMasterCallback audioMaster);
    ~SynthPlugin() override;

    // True when construction could not allocate what the instrument needs.
    bool constructionFailed() const { return allocationFailed; }

    // Operations the host reaches.
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    void setProgram(int32_t program) override;
    void setProgramName(char* text) override;
    void getProgramName(char* text) override;
    void getParamLabel(int32_t index, char* text) override;
    void getParamDisplay(int32_t index, char* text) override;
    void getParamName(int32_t index, char* text) override;
    void setSampleRate(float rate) override;
    void setBlockSizeAndSampleRate(int32_t size, float rate) override;
    void suspend() override;
    void resume() override;
    int32_t processEvents(VstEvents* events) override;
    int32_t getNumProgramCategories() override;
    bool getProgramNameIndexed(int32_t category, int32_t index, char* text) override;
    bool copyProgram(int32_t destination) override;
    bool getOutputProperties(int32_t index, VstPinProperties* properties) override;
    int32_t hostWillReplaceOrAccumulate() override;
    bool getEffectName(char* text) override;
    bool getVendorString(char* text) override;
    bool getProductString(char* text) override;
    int32_t getVendorVersion() override;
    int32_t canDo(char* text) override;

    // Engine.
    void render(float** outputs, int32_t sampleFrames, bool replacing);
    void buildWavetable(int32_t i);
    void handleMidiMessage(const uint8_t bytes[3]);

    // Parameters: the single write path. The first form stores storeIndex and
    // storeValue as set by the caller; the second is what every caller in the
    // instrument uses, and never reads the shared members back.
    void storeParameter();
    void storeParameter(int32_t index, float value);
    float readParameter(int32_t index);
    void editorSetParameter(float value, int32_t index);

    // Factory bank.
    void loadFactoryBank();
    bool parseBank(const uint8_t* data, size_t size);
    // Next big-endian word at cursor; 0 and the cursor unmoved when fewer
    // than four bytes remain before end.
    static uint32_t readBigEndian32(const uint8_t*& cursor, const uint8_t* end);

    // The current program, with curProgram pulled back into range first.
    ProgramRecord& currentProgram();
    int32_t currentProgramIndex();

    // Value of a parameter in a program, read or written as one 32-bit unit.
    static float loadValue(const ProgramRecord& program, int32_t parameter);
    static void writeValue(ProgramRecord& program, int32_t parameter, float value);

    // Members shared by the engine, the program store and the editor.
    int32_t tableLength = 0;
    float* wavetables[kNumWavetables] = {nullptr, nullptr, nullptr};
    int32_t storeIndex = 0;
    float storeValue = 0.0f;
    DelayLine delayLines[2];
    Voice voices[kNumVoices] = {};
    ProgramRecord* programs = nullptr;
    float cutoffLfoPhase = 0.0f;
    std::atomic<uint8_t> dirtyFlags{0};
    float pitchBend = 0.0f;
    float outputPan = 0.5f;
    float mixLeft[kSubBlockSize] = {};
    float mixRight[kSubBlockSize] = {};
    uint32_t noteCounter = 0;

    RenderGate renderGate;
    PendingMidi pendingMidi;

private:
    void resetVoicesAndDelayLines();   // the body of suspend, without the gate
    void selectProgram(int32_t program);   // setProgram, for a holder of the gate
    void playPendingMidi();                // for a holder of the gate
    void noteOn(uint8_t note, uint8_t velocity);
    void noteOff(uint8_t note);
    void controlChange(uint8_t controller, uint8_t value);
    // The sustain pedal (64) and controllers 120, 121 and 123 to 127; false for any other.
    bool channelModeMessage(uint8_t controller, uint8_t value);
    void releaseSustainPedal();
    void allNotesOff();

    // Changed only by controllers 64 and 121; program changes and resets keep it.
    bool sustainPedalDown = false;

    bool allocationFailed = false;
};

// Where the factory bank's bytes live: a module resource on Windows,
// embedded bytes in the native build. open answers false when they cannot
// be found; close releases what open took.
struct FactoryBankBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    void* handle = nullptr;
};
bool openFactoryBank(FactoryBankBytes& bank);
void closeFactoryBank(FactoryBankBytes& bank, bool parsed);
