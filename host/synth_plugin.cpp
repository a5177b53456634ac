#include "synth_plugin.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "../editor/synth_editor.h"

namespace {

constexpr int32_t kUniqueId = fourCharCode("Trlx");

void copyText(char* text, const char* source) {
    if (text) std::strcpy(text, source);
}

}  // namespace

SynthPlugin::SynthPlugin(audioMasterCallback master)
    : EffectBaseX(master, kNumPrograms, kNumParameters) {
    pitchBend = 0.0f;
    outputPan = 0.5f;
    dirtyFlags.store(0);
    cutoffLfoPhase = 0.0f;
    tableLength = 0;

    programs = new (std::nothrow) ProgramRecord[kNumPrograms];
    if (!programs) allocationFailed = true;

    delayLines[0] = DelayLine{};
    delayLines[1] = DelayLine{};

    SynthEditor* synthEditor = new (std::nothrow) SynthEditor(this);
    if (synthEditor) {
        synthEditor->effect = this;
        synthEditor->synth = this;
        if (SynthEditor::hasPanel()) aeffect.flags |= effFlagsHasEditor;
        editor = synthEditor;
    } else {
        allocationFailed = true;
    }

    setSampleRate(44100.0f);
    for (float* table : wavetables)
        if (!table) allocationFailed = true;
    for (const DelayLine& line : delayLines)
        if (!line.buffer) allocationFailed = true;

    if (programs) loadFactoryBank();

    curProgram = 0;
    dirtyFlags.store(255);
    suspend();
    if (editor) editor->requestUpdate();

    if (audioMaster) {
        setNumInputs(0);
        setNumOutputs(2);
        setCanReplacing(true);
        setHasVu(false);
        setHasClip(false);
        setIsSynth(true);
        setUniqueId(kUniqueId);
    }
    suspend();
}

SynthPlugin::~SynthPlugin() {
    for (DelayLine& line : delayLines) {
        delete[] line.buffer;
        line.buffer = nullptr;
    }
    for (float*& table : wavetables) {
        delete[] table;
        table = nullptr;
    }
    delete[] programs;
    programs = nullptr;
}

void SynthPlugin::process(float**, float** outputs, int32_t sampleFrames) {
    render(outputs, sampleFrames, false);
}

void SynthPlugin::processReplacing(float**, float** outputs, int32_t sampleFrames) {
    render(outputs, sampleFrames, true);
}

void SynthPlugin::setProgram(int32_t program) {
    if (program < 0 || program >= numPrograms) return;
    ControlScope scope(renderGate);
    selectProgram(program);
}

void SynthPlugin::selectProgram(int32_t program) {
    if (program < 0 || program >= numPrograms) return;
    std::atomic_ref<int32_t>(curProgram).store(program);
    dirtyFlags.store(255);
    resetVoicesAndDelayLines();
    if (editor) editor->requestUpdate();
}

void SynthPlugin::setProgramName(char* text) {
    if (text && programs) currentProgram().setName(text);
}

void SynthPlugin::getProgramName(char* text) {
    if (!text) return;
    if (programs) copyText(text, currentProgram().name);
    else text[0] = '\0';
}

void SynthPlugin::getParamLabel(int32_t, char* text) { copyText(text, "---"); }
void SynthPlugin::getParamName(int32_t, char* text) { copyText(text, "---"); }

// Hosts that announce both at once expect exactly what the two separate
// requests do: the rate goes through the same rebuild and hand-over.
void SynthPlugin::setBlockSizeAndSampleRate(int32_t size, float rate) {
    setBlockSize(size);
    setSampleRate(rate);
}

void SynthPlugin::suspend() {
    ControlScope scope(renderGate);
    resetVoicesAndDelayLines();
}

void SynthPlugin::resetVoicesAndDelayLines() {
    std::memset(static_cast<void*>(voices), 0, sizeof(voices));
    noteCounter = 0;
    for (DelayLine& line : delayLines) {
        if (!line.buffer) continue;
        for (int32_t i = 0; i < line.length; ++i) line.buffer[i] = 0.0f;
    }
}

void SynthPlugin::resume() { hostWantMidi(1); }

int32_t SynthPlugin::getNumProgramCategories() { return 1; }

bool SynthPlugin::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    if (!text || !programs || index < 0 || index >= kNumPrograms) return false;
    copyText(text, programs[index].name);
    return true;
}

bool SynthPlugin::copyProgram(int32_t destination) {
    if (!programs || destination < 0 || destination >= kNumPrograms) return false;
    const ProgramRecord& source = currentProgram();
    ProgramRecord& target = programs[destination];
    if (&source == &target) return true;
    for (int32_t p = 0; p < kNumParameters; ++p) writeValue(target, p, loadValue(source, p));
    std::memcpy(target.name, source.name, ProgramRecord::kNameSize);
    return true;
}

bool SynthPlugin::getOutputProperties(int32_t index, VstPinProperties* properties) {
    if (!properties || index < 0 || index > 1) return false;
    std::snprintf(properties->label, sizeof(properties->label), "Trlx %1d", static_cast<int>(index + 1));
    properties->flags = kVstPinIsActive | kVstPinIsStereo;
    return true;
}

int32_t SynthPlugin::hostWillReplaceOrAccumulate() { return 1; }

bool SynthPlugin::getEffectName(char* text) {
    copyText(text, "Vorzle");
    return true;
}

bool SynthPlugin::getVendorString(char* text) {
    copyText(text, "Harvane");
    return true;
}

bool SynthPlugin::getProductString(char* text) {
    copyText(text, "Harvane's Vorzle 2.1");
    return true;
}

int32_t SynthPlugin::getVendorVersion() { return 1; }

int32_t SynthPlugin::canDo(char* text) {
    if (!text) return -1;
    if (std::strcmp(text, "receiveVstEvents") == 0 || std::strcmp(text, "receiveVstMidiEvent") == 0)
        return 1;
    return -1;
}
