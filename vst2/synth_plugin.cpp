#include "vst2/synth_plugin.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>

#include "vst2/plugin_editor.h"

namespace {

constexpr int32_t kUniqueId = fourCharCode("Trlx");

void copyText(char* text, const char* source) {
    if (text) std::strcpy(text, source);
}

}  // namespace

SynthPlugin::SynthPlugin(audioMasterCallback master)
    : EffectBaseX(master, kNumPrograms, kNumParameters) {
    sampleRate = synth.sampleRate();
    if (!synth.usable()) allocationFailed = true;
    // Program changes on the audio thread only point at tables built here.
    if (!synth.keepProgramTablesPrepared()) allocationFailed = true;

    editor = createPluginEditor(this, panelClient);
    if (editor) {
        if (pluginEditorHasPanel()) aeffect.flags |= effFlagsHasEditor;
        editor->requestUpdate();
    } else {
        allocationFailed = true;
    }
    synth.setChangeListener(this);

    if (audioMaster) {
        setNumInputs(0);
        setNumOutputs(2);
        setCanReplacing(true);
        setHasVu(false);
        setHasClip(false);
        setIsSynth(true);
        setUniqueId(kUniqueId);
        setProgramChunks(true);
    }
    suspend();
}

SynthPlugin::~SynthPlugin() {
    synth.setChangeListener(nullptr);
    // The editor goes first, while the instrument it shows is still whole.
    delete editor;
    editor = nullptr;
}

// The host's two buffers; a host that supplies one buffer gets both channels
// written into it.
void SynthPlugin::render(float** outputs, int32_t sampleFrames, bool replacing) {
    float* left = outputs ? outputs[0] : nullptr;
    float* right = outputs ? outputs[1] : nullptr;
    synth.render(left, right, sampleFrames, replacing);
}

void SynthPlugin::process(float**, float** outputs, int32_t sampleFrames) {
    render(outputs, sampleFrames, false);
}

void SynthPlugin::processReplacing(float**, float** outputs, int32_t sampleFrames) {
    render(outputs, sampleFrames, true);
}

int32_t SynthPlugin::getProgram() { return synth.program(); }

void SynthPlugin::setProgram(int32_t program) { synth.selectProgram(program); }

void SynthPlugin::programValuesChanged() {
    if (editor) editor->requestUpdate();
}

void SynthPlugin::setProgramName(char* text) { synth.renameProgram(text); }

void SynthPlugin::getProgramName(char* text) { copyText(text, synth.programName(synth.program())); }

void SynthPlugin::getParamDisplay(int32_t index, char* text) { synth.parameterDisplay(index, text); }

void SynthPlugin::getParamLabel(int32_t, char* text) { copyText(text, "---"); }
void SynthPlugin::getParamName(int32_t, char* text) { copyText(text, "---"); }

// Hosts that announce both at once expect exactly what the two separate
// requests do: the rate goes through the same rebuild and hand-over.
void SynthPlugin::setBlockSizeAndSampleRate(int32_t size, float rate) {
    setBlockSize(size);
    setSampleRate(rate);
}

void SynthPlugin::setSampleRate(float rate) {
    synth.setSampleRate(rate);
    sampleRate = rate;
}

void SynthPlugin::suspend() { synth.reset(); }

void SynthPlugin::resume() { hostWantMidi(1); }

int32_t SynthPlugin::getNumProgramCategories() { return 1; }

bool SynthPlugin::getProgramNameIndexed(int32_t, int32_t index, char* text) {
    if (!text || !synth.usable() || index < 0 || index >= kNumPrograms) return false;
    copyText(text, synth.programName(index));
    return true;
}

bool SynthPlugin::copyProgram(int32_t destination) { return synth.copyProgram(destination); }

namespace {

// More events than any host delivers for one block; a count beyond it can
// only be garbage, and the loop stays bounded.
constexpr int32_t kMaxEventsPerCall = 65536;
// Hosts fill byteSize either with the whole record (32) or without its two
// leading words (24); anything smaller cannot hold the MIDI bytes at offset 24.
constexpr int32_t kMinMidiEventSize = 24;

}  // namespace

int32_t SynthPlugin::processEvents(VstEvents* events) {
    if (!events) return 1;
    int32_t count = events->numEvents;
    if (count <= 0) return 1;
    if (count > kMaxEventsPerCall) count = kMaxEventsPerCall;
    // The list ends in as many event pointers as it counts.
    VstEvent* const* list = events->events;

    Instrument::MidiDelivery delivery(synth);
    for (int32_t i = 0; i < count; ++i) {
        const VstEvent* event = list[i];
        if (!event || event->type != kVstMidiType || event->byteSize < kMinMidiEventSize) continue;
        const VstMidiEvent* midi = reinterpret_cast<const VstMidiEvent*>(event);
        const uint8_t bytes[3] = {static_cast<uint8_t>(midi->midiData[0]), static_cast<uint8_t>(midi->midiData[1]),
                                  static_cast<uint8_t>(midi->midiData[2])};
        delivery.add(bytes, midi->deltaFrames);
    }
    return 1;
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

int32_t SynthPlugin::getChunk(void** data, bool isPreset) {
    if (!data) return 0;
    const auto scope = isPreset ? Instrument::StateScope::Program : Instrument::StateScope::Bank;
    if (!synth.saveState(scope, savedChunk)) return 0;
    *data = savedChunk.data();
    return static_cast<int32_t>(savedChunk.size());
}

int32_t SynthPlugin::setChunk(void* data, int32_t byteSize, bool isPreset) {
    if (!data || byteSize <= 0) return 0;
    const auto scope = isPreset ? Instrument::StateScope::Program : Instrument::StateScope::Bank;
    return synth.restoreState(static_cast<const uint8_t*>(data), static_cast<size_t>(byteSize), scope) ? 1 : 0;
}
