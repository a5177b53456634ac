#pragma once
#include <cstdint>
#include "vst2/editor_base.h"
#include "vst2/vst2_abi.h"

// The basic level of an effect: the record handed to the host, the setup
// operations, the basic dispatcher (opcodes 0 to 24) and the first host services.
class EffectBase {
public:
    EffectBase(audioMasterCallback audioMaster, int32_t numPrograms, int32_t numParams);
    virtual ~EffectBase();

    virtual void setParameter(int32_t index, float value);
    virtual float getParameter(int32_t index);
    virtual void automateParameter(int32_t index, float value);

    virtual void process(float** inputs, float** outputs, int32_t sampleFrames) = 0;
    virtual void processReplacing(float** inputs, float** outputs, int32_t sampleFrames);

    virtual intptr_t dispatcher(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    virtual void open();
    virtual void close();
    virtual int32_t getProgram();
    virtual void setProgram(int32_t program);
    virtual void setProgramName(char* text);
    virtual void getProgramName(char* text);
    virtual void getParamLabel(int32_t index, char* text);
    virtual void getParamDisplay(int32_t index, char* text);
    virtual void getParamName(int32_t index, char* text);
    virtual float getVu();
    virtual int32_t getChunk(void** data, bool isPreset);
    virtual int32_t setChunk(void* data, int32_t byteSize, bool isPreset);
    virtual void setSampleRate(float rate);
    virtual void setBlockSize(int32_t size);
    virtual void suspend();
    virtual void resume();

    virtual void setUniqueId(int32_t id);
    virtual void setNumInputs(int32_t n);
    virtual void setNumOutputs(int32_t n);
    virtual void setHasVu(bool on);
    virtual void setHasClip(bool on);
    virtual void setCanMono(bool on);
    virtual void setCanReplacing(bool on);
    virtual void setProgramChunks(bool on);
    virtual void setRealQualities(int32_t q);
    virtual void setOffQualities(int32_t q);
    virtual void setInitialDelay(int32_t d);

    virtual float getSampleRate();
    virtual int32_t getBlockSize();

    virtual int32_t hostVersion();
    virtual int32_t hostCurrentId();
    virtual void hostIdle();
    virtual bool hostInputConnected(int32_t input);
    virtual bool hostOutputConnected(int32_t output);

    virtual void dbToString(float value, char* text);
    virtual void hzToString(float samples, char* text);
    virtual void msToString(float samples, char* text);
    virtual void floatToString(float value, char* text);
    virtual void longToString(int32_t value, char* text);

    AEffect* getAEffect() { return &aeffect; }

    float sampleRate = 44100.0f;
    audioMasterCallback audioMaster;
    int32_t numPrograms;
    int32_t numParams;
    int32_t curProgram = 0;
    int32_t blockSize = 1024;
    AEffect aeffect;
    EditorBase* editor = nullptr;

protected:
    // One host call: sends nothing and answers 0 when there is no callback.
    intptr_t callHost(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
    void setFlag(int32_t flag, bool on);
};
