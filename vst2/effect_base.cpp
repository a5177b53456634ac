#include "vst2/effect_base.h"

#include <atomic>
#include <cmath>
#include <cstring>

namespace {

EffectBase* owner(AEffect* e) { return e ? static_cast<EffectBase*>(e->object) : nullptr; }

intptr_t entryDispatcher(AEffect* e, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    EffectBase* effect = owner(e);
    if (!effect) return 0;
    if (opcode == effClose) {
        effect->dispatcher(opcode, index, value, ptr, opt);
        delete effect;   // the record lives inside the object: the host's pointer dangles now
        return 1;
    }
    return effect->dispatcher(opcode, index, value, ptr, opt);
}

void entryProcess(AEffect* e, float** inputs, float** outputs, int32_t sampleFrames) {
    if (EffectBase* effect = owner(e)) effect->process(inputs, outputs, sampleFrames);
}

void entryProcessReplacing(AEffect* e, float** inputs, float** outputs, int32_t sampleFrames) {
    if (EffectBase* effect = owner(e)) effect->processReplacing(inputs, outputs, sampleFrames);
}

void entrySetParameter(AEffect* e, int32_t index, float value) {
    if (EffectBase* effect = owner(e)) effect->setParameter(index, value);
}

float entryGetParameter(AEffect* e, int32_t index) {
    EffectBase* effect = owner(e);
    return effect ? effect->getParameter(index) : 0.0f;
}

void writeEmpty(char* text) {
    if (text) text[0] = '\0';
}

}  // namespace

EffectBase::EffectBase(audioMasterCallback master, int32_t programs, int32_t params)
    : audioMaster(master), numPrograms(programs), numParams(params) {
    std::memset(&aeffect, 0, sizeof(aeffect));
    aeffect.magic = kEffectMagic;
    aeffect.dispatcher = entryDispatcher;
    aeffect.process = entryProcess;
    aeffect.setParameter = entrySetParameter;
    aeffect.getParameter = entryGetParameter;
    aeffect.numPrograms = programs;
    aeffect.numParams = params;
    aeffect.numInputs = 1;
    aeffect.numOutputs = 2;
    aeffect.ioRatio = 1.0f;
    aeffect.object = this;
    aeffect.uniqueID = fourCharCode("NoEf");
    aeffect.version = 1;
    aeffect.processReplacing = entryProcessReplacing;
}

EffectBase::~EffectBase() {
    delete editor;
}

void EffectBase::setParameter(int32_t, float) {}
float EffectBase::getParameter(int32_t) { return 0.0f; }
void EffectBase::processReplacing(float**, float**, int32_t) {}

intptr_t EffectBase::dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    char* text = static_cast<char*>(ptr);
    switch (opcode) {
    case effOpen: open(); return 0;
    case effClose: close(); return 0;
    case effSetProgram:
        if (value >= 0 && value < numPrograms) setProgram(static_cast<int32_t>(value));
        return 0;
    case effGetProgram: return getProgram();
    case effSetProgramName: if (text) setProgramName(text); return 0;
    case effGetProgramName: if (text) getProgramName(text); return 0;
    case effGetParamLabel: if (text) getParamLabel(index, text); return 0;
    case effGetParamDisplay: if (text) getParamDisplay(index, text); return 0;
    case effGetParamName: if (text) getParamName(index, text); return 0;
    case effGetVu: {
        const double vu = static_cast<double>(getVu()) * 32767.0;
        if (!(vu > -2147483648.0 && vu < 2147483648.0)) return 0;   // NaN or beyond int32
        return static_cast<int32_t>(vu);
    }
    case effSetSampleRate: setSampleRate(opt); return 0;
    case effSetBlockSize: setBlockSize(static_cast<int32_t>(value)); return 0;
    case effMainsChanged:
        if (value == 0) suspend(); else resume();
        return 0;
    case effEditGetRect:
        return editor ? editor->getRect(static_cast<ERect**>(ptr)) : 0;
    case effEditOpen:
        return editor ? editor->open(ptr) : 0;
    case effEditClose:
        if (editor) editor->close();
        return 0;
    case effEditIdle:
        if (editor) editor->idle();
        return 0;
    case effIdentify: return fourCharCode("NvEf");
    case effGetChunk: return getChunk(static_cast<void**>(ptr), index != 0);
    case effSetChunk: return setChunk(ptr, static_cast<int32_t>(value), index != 0);
    default: return 0;   // 16, 17, 18, 20, 21 and every unknown opcode
    }
}

void EffectBase::open() {}
void EffectBase::close() {}
// A MIDI program change writes the number on the audio thread.
int32_t EffectBase::getProgram() { return std::atomic_ref<int32_t>(curProgram).load(); }
void EffectBase::setProgram(int32_t program) { curProgram = program; }
void EffectBase::setProgramName(char* text) { writeEmpty(text); }
void EffectBase::getProgramName(char* text) { writeEmpty(text); }
void EffectBase::getParamLabel(int32_t, char* text) { writeEmpty(text); }
void EffectBase::getParamDisplay(int32_t, char* text) { writeEmpty(text); }
void EffectBase::getParamName(int32_t, char* text) { writeEmpty(text); }
float EffectBase::getVu() { return 0.0f; }
int32_t EffectBase::getChunk(void**, bool) { return 0; }
int32_t EffectBase::setChunk(void*, int32_t, bool) { return 0; }
void EffectBase::setSampleRate(float rate) { sampleRate = rate; }
void EffectBase::setBlockSize(int32_t size) { blockSize = size; }
void EffectBase::suspend() {}
void EffectBase::resume() {}

void EffectBase::setFlag(int32_t flag, bool on) {
    if (on) aeffect.flags |= flag; else aeffect.flags &= ~flag;
}

void EffectBase::setUniqueId(int32_t id) { aeffect.uniqueID = id; }
void EffectBase::setNumInputs(int32_t n) { aeffect.numInputs = n; }
void EffectBase::setNumOutputs(int32_t n) { aeffect.numOutputs = n; }
void EffectBase::setHasVu(bool on) { setFlag(effFlagsHasVu, on); }
void EffectBase::setHasClip(bool on) { setFlag(effFlagsHasClip, on); }
void EffectBase::setCanMono(bool on) { setFlag(effFlagsCanMono, on); }
void EffectBase::setCanReplacing(bool on) { setFlag(effFlagsCanReplacing, on); }
void EffectBase::setProgramChunks(bool on) { setFlag(effFlagsProgramChunks, on); }
void EffectBase::setRealQualities(int32_t q) { aeffect.realQualities = q; }
void EffectBase::setOffQualities(int32_t q) { aeffect.offQualities = q; }
void EffectBase::setInitialDelay(int32_t d) { aeffect.initialDelay = d; }

float EffectBase::getSampleRate() { return sampleRate; }
int32_t EffectBase::getBlockSize() { return blockSize; }
