#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "editor/instrument_panel_client.h"
#include "instrument/instrument.h"
#include "vst2/effect_base_x.h"

// The instrument as a VST 2 effect: its identity, the dispatcher's
// operations turned into the instrument's, MIDI taken from the host's event
// lists, and the editor. The threading rules live with the instrument.
class SynthPlugin : public EffectBaseX, private ProgramListener {
public:
    static constexpr int32_t kNumPrograms = Instrument::kNumPrograms;

    explicit SynthPlugin(audioMasterCallback audioMaster);
    ~SynthPlugin() override;

    // True when construction could not allocate what the instrument needs.
    bool constructionFailed() const { return allocationFailed; }

    // Operations the host reaches.
    void process(float** inputs, float** outputs, int32_t sampleFrames) override;
    void processReplacing(float** inputs, float** outputs, int32_t sampleFrames) override;
    int32_t getProgram() override;
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
    // The bank (isPreset false) or the current program as a chunk of our own
    // format, for the host to save with a session or preset and hand back.
    int32_t getChunk(void** data, bool isPreset) override;
    // 1 when the chunk was read and restored; 0, with nothing changed, for
    // anything that is not a whole, valid chunk of the kind asked for.
    int32_t setChunk(void* data, int32_t byteSize, bool isPreset) override;

    Instrument& instrument() { return synth; }

private:
    void programValuesChanged() override;   // MIDI changed a value: the editor repaints at its next idle
    void render(float** outputs, int32_t sampleFrames, bool replacing);

    Instrument synth;
    InstrumentPanelClient panelClient{synth};
    bool allocationFailed = false;
    std::vector<uint8_t> savedChunk;   // what getChunk handed out, kept until the next call
};
