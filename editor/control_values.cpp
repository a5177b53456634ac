#include "editor/control_values.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr int32_t kLastKnobFrame = kKnobFrameCount - 1;
constexpr int32_t kMinusGlyph = 11;
constexpr int32_t kBlankGlyph = 0;

int32_t digitGlyph(char c) {
    if (c >= '0' && c <= '9') return 1 + (c - '0');
    if (c == '-') return kMinusGlyph;
    return kBlankGlyph;
}

}  // namespace

int32_t truncateToInt(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int32_t knobFrame(float value) {
    const int32_t frame = truncateToInt(value * static_cast<float>(kLastKnobFrame));
    if (frame > kLastKnobFrame) return kLastKnobFrame;
    if (frame < 0) return 0;
    return frame;
}

CounterGlyphs counterGlyphs(float value) {
    // Kept in a signed 8-bit number as the voice allocator keeps it.
    int8_t voices = static_cast<int8_t>(truncateToInt(value * 63.0f + 1.0f));
    if (voices > 64) voices = 64;
    char text[8];
    std::snprintf(text, sizeof text, "%d", voices);
    const size_t length = std::strlen(text);
    return {digitGlyph(length >= 2 ? text[length - 2] : ' '), digitGlyph(text[length - 1])};
}

bool buttonIsOn(float value) { return value >= 0.5f; }

int32_t buttonFrame(float value) { return buttonIsOn(value) ? kButtonOnFrame : kButtonOffFrame; }

float toggledValue(float value) { return buttonIsOn(value) ? 0.0f : 1.0f; }

float dragStep(bool control, bool shift) { return control ? kControlStep : shift ? kShiftStep : kNormalStep; }

float draggedValue(float value, int32_t dy, bool control, bool shift) {
    float next = value - static_cast<float>(dy) * dragStep(control, shift);
    if (next > 1.0f) next = 1.0f;
    if (next < 0.0f) next = 0.0f;
    return next;
}
