#include <cmath>
#include <cstdio>
#include <cstring>

#include "vst2/effect_base.h"

// Fixed eight-character texts for effects that show raw values.

namespace {
const char kHuge[] = " Huge!  ";
}

void EffectBase::floatToString(float value, char* text) {
    if (!text) return;
    double v = value;
    const bool negative = v < 0.0;
    if (negative) v = -v;
    int count = negative ? 1 : 0;
    if (std::isnan(v) || v > (negative ? 9999999.0 : 99999999.0)) {
        std::memcpy(text, kHuge, sizeof(kHuge));
        return;
    }

    // Integer digits are produced from the least significant one upward.
    char integerDigits[10];
    int integerCount = 0;
    double x = std::floor(v);
    integerDigits[integerCount++] = static_cast<char>('0' + static_cast<int>(std::fmod(x, 10.0)));
    x *= 0.1;
    count += 2;   // the first digit and the point
    while (x >= 1.0 && count < 8) {
        integerDigits[integerCount++] = static_cast<char>('0' + static_cast<int>(std::fmod(x, 10.0)));
        x *= 0.1;
        ++count;
    }

    int n = 0;
    if (negative) text[n++] = '-';
    for (int i = integerCount - 1; i >= 0; --i) text[n++] = integerDigits[i];
    text[n++] = '.';

    const int fractionCount = 8 - count;
    if (fractionCount > 0) {
        double f = (v - std::floor(v)) * std::pow(10.0, fractionCount);
        for (int i = fractionCount - 1; i >= 0; --i) {
            const int digit = f > 0.0 ? static_cast<int>(std::fmod(f, 10.0)) : 0;
            text[n + i] = static_cast<char>('0' + digit);
            f *= 0.1;
        }
        n += fractionCount;
    }
    text[n] = '\0';
}

void EffectBase::longToString(int32_t value, char* text) {
    if (!text) return;
    if (value >= 100000000) {
        std::memcpy(text, kHuge, sizeof(kHuge));
        return;
    }
    char wide[16];
    std::snprintf(wide, sizeof(wide), "%7d", static_cast<int>(value));
    std::memcpy(text, wide, 8);
    text[8] = '\0';
}

void EffectBase::dbToString(float value, char* text) {
    if (!text) return;
    if (!(value > 0.0f)) {
        std::strcpy(text, "  -oo   ");
        return;
    }
    floatToString(static_cast<float>(20.0 * std::log10(static_cast<double>(value))), text);
}

void EffectBase::hzToString(float samples, char* text) {
    floatToString(samples == 0.0f ? 0.0f : sampleRate / samples, text);
}

void EffectBase::msToString(float samples, char* text) {
    floatToString(samples * 1000.0f / sampleRate, text);
}
