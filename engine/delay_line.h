#pragma once
#include <cstdint>

// One line of the stereo delay effect.
struct DelayLine {
    int32_t length = 0;
    float* buffer = nullptr;   // length + 10 floats, owned by the plug-in
    uint32_t writeIndex = 0;
    float modPhase = 0.0f;
};
