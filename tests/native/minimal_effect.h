#pragma once
#include <vector>

#include "vst2/effect_base_x.h"

// The smallest concrete effect: the base classes' defaults, plus a record of
// which power operations ran.
class MinimalEffect : public EffectBaseX {
public:
    explicit MinimalEffect(audioMasterCallback master) : EffectBaseX(master, 4, 3) {}
    void process(float**, float**, int32_t) override {}
    void suspend() override { log.push_back("suspend"); }
    void resume() override { log.push_back("resume"); }
    void setSampleRate(float rate) override {
        log.push_back("setSampleRate");
        EffectBaseX::setSampleRate(rate);
    }
    std::vector<const char*> log;
};

// A host callback that records calls and answers a chosen value.
struct RecordedCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};
std::vector<RecordedCall>& recordedCalls();
intptr_t& recordedAnswer();
intptr_t recordingHost(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);
