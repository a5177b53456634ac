#include "vsthost/host_callback.h"

#include <cstring>

namespace {
constexpr intptr_t kHostVersion = 2400;
constexpr const char* kHostCanDo[] = {"sendVstEvents", "sendVstMidiEvent", "sendVstTimeInfo",
                                       "receiveVstEvents", "receiveVstMidiEvent", "supplyIdle"};
}

Host& Host::instance() {
    static Host host;
    return host;
}

intptr_t Host::callback(AEffect* effect, int32_t opcode, int32_t index, intptr_t value, void* ptr, float opt) {
    Host& host = instance();
    {
        std::lock_guard<std::mutex> lock(host.mutex);
        if (host.recording) host.log.push_back(HostCall{effect, opcode, index, value, ptr, opt});
        auto configured = host.answers.find(opcode);
        if (configured != host.answers.end()) return configured->second;
    }
    return host.answer(opcode, index, value, ptr, opt);
}

intptr_t Host::answer(int32_t opcode, int32_t, intptr_t, void* ptr, float) {
    switch (opcode) {
    case audioMasterVersion: return kHostVersion;
    case audioMasterWantMidi: return 1;
    case audioMasterGetSampleRate: return static_cast<intptr_t>(sampleRate);
    case audioMasterGetBlockSize: return blockSize;
    case audioMasterGetVendorString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), "Vorzle");
        return 1;
    case audioMasterGetProductString:
        if (ptr) std::strcpy(static_cast<char*>(ptr), "vorzle-render");
        return 1;
    case audioMasterGetVendorVersion: return 1;
    case audioMasterCanDo:
        if (!ptr) return 0;
        for (const char* text : kHostCanDo)
            if (std::strcmp(static_cast<const char*>(ptr), text) == 0) return 1;
        return 0;
    case audioMasterGetLanguage: return 1;   // English
    case audioMasterUpdateDisplay:
    case audioMasterIOChanged:
    case audioMasterNeedIdle: return 1;
    default: return 0;
    }
}

void Host::reset() {
    std::lock_guard<std::mutex> lock(mutex);
    log.clear();
    answers.clear();
    recording = true;
    sampleRate = 44100.0f;
    blockSize = 512;
}

std::vector<HostCall> Host::calls() {
    std::lock_guard<std::mutex> lock(mutex);
    return log;
}

void Host::setRecording(bool on) {
    std::lock_guard<std::mutex> lock(mutex);
    recording = on;
}

void Host::setAnswer(int32_t opcode, intptr_t value) {
    std::lock_guard<std::mutex> lock(mutex);
    answers[opcode] = value;
}
