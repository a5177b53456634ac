#pragma once
#include <cstdint>

#include "vst3/vst3_abi.h"

// The format's strings are UTF-16; ours are ASCII. Copies at most size - 1
// characters and the terminating zero.
inline void copyUtf16(vst3::char16* out, const char* text, int32_t size) {
    if (!out || size <= 0) return;
    int32_t i = 0;
    for (; text && text[i] && i < size - 1; ++i) out[i] = static_cast<unsigned char>(text[i]);
    out[i] = 0;
}

// Characters outside ASCII become '?'.
inline void asciiFromUtf16(char* out, const vst3::char16* text, int32_t size) {
    if (!out || size <= 0) return;
    int32_t i = 0;
    for (; text && text[i] && i < size - 1; ++i) out[i] = text[i] < 128 ? static_cast<char>(text[i]) : '?';
    out[i] = 0;
}
