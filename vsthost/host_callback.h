#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "vst2/vst2_abi.h"

// One call a plug-in made to its host.
struct HostCall {
    AEffect* effect;
    int32_t opcode;
    int32_t index;
    intptr_t value;
    void* ptr;
    float opt;
};

// The host side of the callback. The VST 2 callback carries no user data, so
// there is one host per process; it records every call and answers the usual
// requests, each answer replaceable per opcode.
class Host {
public:
    static Host& instance();
    static intptr_t callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr,
                             float opt);

    // Forgets recorded calls and restores the default answers.
    void reset();
    std::vector<HostCall> calls();
    // Records nothing while false (a long render would otherwise grow the log).
    void setRecording(bool on);

    void setAnswer(int32_t opcode, intptr_t answer);
    void setSampleRate(float rate) { sampleRate = rate; }
    void setBlockSize(int32_t size) { blockSize = size; }

private:
    intptr_t answer(int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt);

    std::mutex mutex;
    std::vector<HostCall> log;
    std::map<int32_t, intptr_t> answers;
    bool recording = true;
    float sampleRate = 44100.0f;
    int32_t blockSize = 512;
};
