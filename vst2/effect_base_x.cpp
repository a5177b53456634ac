#include "vst2/effect_base_x.h"

EffectBaseX::EffectBaseX(audioMasterCallback master, int32_t programs, int32_t params)
    : EffectBase(master, programs, params) {}

intptr_t EffectBaseX::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    char* text = static_cast<char*>(ptr);
    const int32_t v = static_cast<int32_t>(value);
    switch (opcode) {
    case effProcessEvents: return processEvents(static_cast<VstEvents*>(ptr));
    case effCanBeAutomated: return canBeAutomated(index) ? 1 : 0;
    case effString2Parameter: return string2Parameter(index, text) ? 1 : 0;
    case effGetNumProgramCategories: return getNumProgramCategories();
    case effGetProgramNameIndexed: return text && getProgramNameIndexed(v, index, text) ? 1 : 0;
    case effCopyProgram: return copyProgram(index) ? 1 : 0;
    case effConnectInput: connectInput(index, value != 0); return 1;
    case effConnectOutput: connectOutput(index, value != 0); return 1;
    case effGetInputProperties:
        return ptr && getInputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetOutputProperties:
        return ptr && getOutputProperties(index, static_cast<VstPinProperties*>(ptr)) ? 1 : 0;
    case effGetPlugCategory: return getPlugCategory();
    case effGetCurrentPosition: return getCurrentPosition();
    case effGetDestinationBuffer: return reinterpret_cast<intptr_t>(getDestinationBuffer());
    case effOfflineNotify: return offlineNotify(ptr, v, index != 0) ? 1 : 0;
    case effOfflinePrepare: return offlinePrepare(ptr, v) ? 1 : 0;
    case effOfflineRun: return offlineRun(ptr, v) ? 1 : 0;
    case effProcessVarIo: return processVarIo(ptr) ? 1 : 0;
    case effSetSpeakerArrangement:
        return setSpeakerArrangement(reinterpret_cast<void*>(value), ptr) ? 1 : 0;
    case effSetBlockSizeAndSampleRate: setBlockSizeAndSampleRate(v, opt); return 1;
    case effSetBypass: return setBypass(value != 0) ? 1 : 0;
    case effGetEffectName: return text && getEffectName(text) ? 1 : 0;
    case effGetErrorText: return text && getErrorText(text) ? 1 : 0;
    case effGetVendorString: return text && getVendorString(text) ? 1 : 0;
    case effGetProductString: return text && getProductString(text) ? 1 : 0;
    case effGetVendorVersion: return getVendorVersion();
    case effVendorSpecific: return vendorSpecific(index, value, ptr, opt);
    case effCanDo: return canDo(text);
    case effGetTailSize: return getTailSize();
    case effIdle: return idle();
    case effGetIcon: return reinterpret_cast<intptr_t>(getIcon());
    case effSetViewPosition: return setViewPosition(index, v) ? 1 : 0;
    case effGetParameterProperties: return getParameterProperties(index, ptr) ? 1 : 0;
    case effKeysRequired: return keysRequired() ? 0 : 1;
    case effGetVstVersion: return getVstVersion();
    default: return EffectBase::dispatcher(opcode, index, value, ptr, opt);
    }
}

int32_t EffectBaseX::processEvents(VstEvents*) { return 0; }
bool EffectBaseX::canBeAutomated(int32_t) { return true; }
bool EffectBaseX::string2Parameter(int32_t, char*) { return false; }
float EffectBaseX::getChannelParameter(int32_t, int32_t) { return 0.0f; }
int32_t EffectBaseX::getNumProgramCategories() { return 1; }
bool EffectBaseX::getProgramNameIndexed(int32_t, int32_t, char*) { return false; }
bool EffectBaseX::copyProgram(int32_t) { return false; }
void EffectBaseX::connectInput(int32_t, bool) {}
void EffectBaseX::connectOutput(int32_t, bool) {}
bool EffectBaseX::getInputProperties(int32_t, VstPinProperties*) { return false; }
bool EffectBaseX::getOutputProperties(int32_t, VstPinProperties*) { return false; }

int32_t EffectBaseX::getPlugCategory() {
    return (aeffect.flags & effFlagsIsSynth) ? kPlugCategSynth : kPlugCategUnknown;
}

void EffectBaseX::setExtIsAsync(bool on) { setFlag(effFlagsExtIsAsync, on); }
void EffectBaseX::setExtHasBuffer(bool on) { setFlag(effFlagsExtHasBuffer, on); }
int32_t EffectBaseX::getCurrentPosition() { return 0; }
float* EffectBaseX::getDestinationBuffer() { return nullptr; }
bool EffectBaseX::offlineNotify(void*, int32_t, bool) { return false; }
bool EffectBaseX::offlinePrepare(void*, int32_t) { return false; }
bool EffectBaseX::offlineRun(void*, int32_t) { return false; }
int32_t EffectBaseX::offlineGetNumPasses() { return 0; }
int32_t EffectBaseX::offlineGetNumMetaPasses() { return 0; }
void EffectBaseX::setIsSynth(bool on) { setFlag(effFlagsIsSynth, on); }
void EffectBaseX::setNoSoundInStop(bool on) { setFlag(effFlagsNoSoundInStop, on); }
bool EffectBaseX::processVarIo(void*) { return false; }
bool EffectBaseX::setSpeakerArrangement(void*, void*) { return false; }

void EffectBaseX::setBlockSizeAndSampleRate(int32_t size, float rate) {
    blockSize = size;
    sampleRate = rate;   // stored directly: no rebuild through setSampleRate
}

bool EffectBaseX::setBypass(bool) { return false; }
bool EffectBaseX::getEffectName(char*) { return false; }
bool EffectBaseX::getErrorText(char*) { return false; }
bool EffectBaseX::getVendorString(char*) { return false; }
bool EffectBaseX::getProductString(char*) { return false; }
int32_t EffectBaseX::getVendorVersion() { return 0; }
intptr_t EffectBaseX::vendorSpecific(int32_t, intptr_t, void*, float) { return 0; }
int32_t EffectBaseX::canDo(char*) { return 0; }
void* EffectBaseX::getIcon() { return nullptr; }
bool EffectBaseX::setViewPosition(int32_t, int32_t) { return false; }
int32_t EffectBaseX::getTailSize() { return 0; }
int32_t EffectBaseX::idle() { return 0; }
bool EffectBaseX::getParameterProperties(int32_t, void*) { return false; }
bool EffectBaseX::keysRequired() { return false; }
int32_t EffectBaseX::getVstVersion() { return 2; }
