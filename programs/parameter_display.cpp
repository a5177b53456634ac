#include <cmath>
#include <cstdio>
#include <cstring>

#include "programs/parameter_display.h"
#include "programs/parameter_table.h"

#include <algorithm>

namespace {

// Longest regular text is 11 characters ("-10.00 oct."); values far outside
// 0..1 could format longer, so every text is cut to this many characters.
constexpr size_t kMaxDisplayChars = 15;

float cutoffHertz(float x, float sampleRate) {
    float f = 20.0f * static_cast<float>(std::pow(2.0, static_cast<double>(10.0f * x)));
    if (f < 20.0f) f = 20.0f;
    const float ceiling = sampleRate * 0.4761905f;
    if (f > ceiling) f = ceiling;
    return f;
}

}  // namespace

void formatParameterDisplay(int32_t index, float x, float sampleRate, char* text) {
    if (!text) return;
    text[0] = '\0';
    if (index < 0 || index >= kNumParameters) return;

    char formatted[64] = "";
    switch (kParameters[index].display) {
    case DisplayKind::Percent:
        std::snprintf(formatted, sizeof(formatted), "%.2f %%", static_cast<double>(x * 100.0f));
        break;
    case DisplayKind::BipolarPercent:
        std::snprintf(formatted, sizeof(formatted), "%.2f %%", static_cast<double>((x - 0.5f) * 200.0f));
        break;
    case DisplayKind::Semitones:
        std::snprintf(formatted, sizeof(formatted), "%.2f smt.", static_cast<double>((x - 0.5f) * 24.0f));
        break;
    case DisplayKind::Octaves20:
        std::snprintf(formatted, sizeof(formatted), "%.2f oct.", static_cast<double>((x - 0.5f) * 20.0f));
        break;
    case DisplayKind::Octaves4:
        std::snprintf(formatted, sizeof(formatted), "%.2f oct.", static_cast<double>((x - 0.5f) * 4.0f));
        break;
    case DisplayKind::RawHz:
        std::snprintf(formatted, sizeof(formatted), "%.2f Hz", static_cast<double>(x));
        break;
    case DisplayKind::Cutoff:
        std::snprintf(formatted, sizeof(formatted), "%.0f Hz",
                      static_cast<double>(cutoffHertz(x, sampleRate)));
        break;
    case DisplayKind::OnOff:
        std::strcpy(formatted, x >= 0.5f ? "on" : "off");
        break;
    case DisplayKind::Empty:
        break;
    }
    const size_t length = std::min(std::strlen(formatted), kMaxDisplayChars);
    std::memcpy(text, formatted, length);
    text[length] = '\0';
}
