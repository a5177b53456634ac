#include "vst2/effect_base_x.h"

// Wrappers of the host callback: one audioMaster opcode each, with the
// answer a missing host implies when the callback is null.

intptr_t EffectBase::callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    if (!audioMaster) return 0;
    return audioMaster(&aeffect, opcode, index, value, ptr, opt);
}

void EffectBase::automateParameter(int32_t index, float value) {
    setParameter(index, value);
    callHost(audioMasterAutomate, index, 0, nullptr, value);
}

int32_t EffectBase::hostVersion() {
    const intptr_t answer = callHost(audioMasterVersion, 0, 0, nullptr, 0.0f);
    return answer != 0 ? static_cast<int32_t>(answer) : 1;
}

int32_t EffectBase::hostCurrentId() {
    return static_cast<int32_t>(callHost(audioMasterCurrentId, 0, 0, nullptr, 0.0f));
}

void EffectBase::hostIdle() { callHost(audioMasterIdle, 0, 0, nullptr, 0.0f); }

bool EffectBase::hostInputConnected(int32_t input) {
    return callHost(audioMasterPinConnected, input, 0, nullptr, 0.0f) == 0;
}

bool EffectBase::hostOutputConnected(int32_t output) {
    return callHost(audioMasterPinConnected, output, 1, nullptr, 0.0f) == 0;
}

void EffectBaseX::hostWantMidi(int32_t filter) {
    callHost(audioMasterWantMidi, 0, filter, nullptr, 0.0f);
}

void* EffectBaseX::hostGetTime(int32_t filter) {
    return reinterpret_cast<void*>(callHost(audioMasterGetTime, 0, filter, nullptr, 0.0f));
}

int32_t EffectBaseX::hostTempoAt(int32_t position) {
    return static_cast<int32_t>(callHost(audioMasterTempoAt, 0, position, nullptr, 0.0f));
}

int32_t EffectBaseX::hostGetNumAutomatableParameters() {
    return static_cast<int32_t>(callHost(audioMasterGetNumAutomatableParameters, 0, 0, nullptr, 0.0f));
}

int32_t EffectBaseX::hostGetParameterQuantization() {
    return static_cast<int32_t>(callHost(audioMasterGetParameterQuantization, 0, 0, nullptr, 0.0f));
}

bool EffectBaseX::hostIOChanged() { return callHost(audioMasterIOChanged, 0, 0, nullptr, 0.0f) != 0; }
bool EffectBaseX::hostNeedIdle() { return callHost(audioMasterNeedIdle, 0, 0, nullptr, 0.0f) != 0; }

bool EffectBaseX::hostSizeWindow(int32_t width, int32_t height) {
    return callHost(audioMasterSizeWindow, width, height, nullptr, 0.0f) != 0;
}

float EffectBaseX::hostGetSampleRate() {
    callHost(audioMasterGetSampleRate, 0, 0, nullptr, 0.0f);   // the host answers with effSetSampleRate
    return sampleRate;
}

int32_t EffectBaseX::hostGetBlockSize() {
    callHost(audioMasterGetBlockSize, 0, 0, nullptr, 0.0f);
    return blockSize;
}

int32_t EffectBaseX::hostGetInputLatency() {
    return static_cast<int32_t>(callHost(audioMasterGetInputLatency, 0, 0, nullptr, 0.0f));
}

int32_t EffectBaseX::hostGetOutputLatency() {
    return static_cast<int32_t>(callHost(audioMasterGetOutputLatency, 0, 0, nullptr, 0.0f));
}

AEffect* EffectBaseX::hostGetPreviousPlug(int32_t input) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetPreviousPlug, 0, input, nullptr, 0.0f));
}

AEffect* EffectBaseX::hostGetNextPlug(int32_t output) {
    return reinterpret_cast<AEffect*>(callHost(audioMasterGetNextPlug, 0, output, nullptr, 0.0f));
}

int32_t EffectBaseX::hostWillReplaceOrAccumulate() {
    return static_cast<int32_t>(callHost(audioMasterWillReplaceOrAccumulate, 0, 0, nullptr, 0.0f));
}

int32_t EffectBaseX::hostGetCurrentProcessLevel() {
    return static_cast<int32_t>(callHost(audioMasterGetCurrentProcessLevel, 0, 0, nullptr, 0.0f));
}

int32_t EffectBaseX::hostGetAutomationState() {
    return static_cast<int32_t>(callHost(audioMasterGetAutomationState, 0, 0, nullptr, 0.0f));
}

bool EffectBaseX::hostOfflineRead(void* task, int32_t option, bool readSource) {
    return callHost(audioMasterOfflineRead, readSource ? 1 : 0, option, task, 0.0f) != 0;
}

bool EffectBaseX::hostOfflineWrite(void* task, int32_t option) {
    return callHost(audioMasterOfflineWrite, 0, option, task, 0.0f) != 0;
}

bool EffectBaseX::hostOfflineStart(void* files, int32_t fileCount, int32_t newFileCount) {
    return callHost(audioMasterOfflineStart, newFileCount, fileCount, files, 0.0f) != 0;
}

int32_t EffectBaseX::hostOfflineGetCurrentPass() {
    return callHost(audioMasterOfflineGetCurrentPass, 0, 0, nullptr, 0.0f) != 0 ? 1 : 0;
}

int32_t EffectBaseX::hostOfflineGetCurrentMetaPass() {
    return callHost(audioMasterOfflineGetCurrentMetaPass, 0, 0, nullptr, 0.0f) != 0 ? 1 : 0;
}

void EffectBaseX::hostSetOutputSampleRate(float rate) {
    callHost(audioMasterSetOutputSampleRate, 0, 0, nullptr, rate);
}

bool EffectBaseX::hostGetSpeakerArrangement(void* input, void* output) {
    return callHost(audioMasterGetSpeakerArrangement, 0, reinterpret_cast<intptr_t>(input), output, 0.0f) != 0;
}

bool EffectBaseX::hostGetVendorString(char* text) {
    return callHost(audioMasterGetVendorString, 0, 0, text, 0.0f) != 0;
}

bool EffectBaseX::hostGetProductString(char* text) {
    return callHost(audioMasterGetProductString, 0, 0, text, 0.0f) != 0;
}

int32_t EffectBaseX::hostGetVendorVersion() {
    return static_cast<int32_t>(callHost(audioMasterGetVendorVersion, 0, 0, nullptr, 0.0f));
}

intptr_t EffectBaseX::hostVendorSpecific(int32_t a, intptr_t b, void* p, float f) {
    return callHost(audioMasterVendorSpecific, a, b, p, f);
}

bool EffectBaseX::hostCanDo(char* text) {
    return callHost(audioMasterCanDo, 0, 0, text, 0.0f) != 0;
}

int32_t EffectBaseX::hostGetLanguage() {
    return static_cast<int32_t>(callHost(audioMasterGetLanguage, 0, 0, nullptr, 0.0f));
}

void* EffectBaseX::hostOpenWindow(void* window) {
    return reinterpret_cast<void*>(callHost(audioMasterOpenWindow, 0, 0, window, 0.0f));
}

bool EffectBaseX::hostCloseWindow(void* window) {
    return callHost(audioMasterCloseWindow, 0, 0, window, 0.0f) != 0;
}

void* EffectBaseX::hostGetDirectory() {
    return reinterpret_cast<void*>(callHost(audioMasterGetDirectory, 0, 0, nullptr, 0.0f));
}

bool EffectBaseX::hostUpdateDisplay() {
    return callHost(audioMasterUpdateDisplay, 0, 0, nullptr, 0.0f) != 0;
}
