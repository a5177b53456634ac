#pragma once
#include <cstdint>
#include <cstring>

// A float whose exponent field is zero (a zero or a subnormal) becomes +0.0,
// so that decaying filters and delay lines never run on subnormal numbers.
inline float flush(float x) {
    uint32_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return (bits & 0x7F800000u) == 0 ? 0.0f : x;
}
