#include "tools/render/loudness_meter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#ifdef VORZLE_HAVE_EBUR128
#include <ebur128.h>
#endif

std::string loudnessText(const Loudness& loudness) {
    char text[96];
    auto level = [](double value, const char* unit, char* out, size_t size) {
        if (std::isinf(value) && value < 0) std::snprintf(out, size, "-inf %s", unit);
        else std::snprintf(out, size, "%.1f %s", value, unit);
    };
    char integrated[32], peak[32];
    level(loudness.integratedLufs, "LUFS", integrated, sizeof integrated);
    level(loudness.truePeakDbtp, "dBTP", peak, sizeof peak);
    std::snprintf(text, sizeof text, "%s, range %.1f LU, true peak %s", integrated, loudness.rangeLu, peak);
    return text;
}

#ifdef VORZLE_HAVE_EBUR128

namespace {
ebur128_state* stateOf(void* state) { return static_cast<ebur128_state*>(state); }
}  // namespace

bool LoudnessMeter::available() { return true; }

LoudnessMeter::~LoudnessMeter() {
    ebur128_state* state = stateOf(state_);
    if (state) ebur128_destroy(&state);
}

bool LoudnessMeter::start(uint32_t sampleRate, FrameSink* next, std::string& error) {
    // The histogram keeps memory fixed however long the song.
    state_ = ebur128_init(2, sampleRate, EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK |
                                             EBUR128_MODE_HISTOGRAM);
    next_ = next;
    if (!state_) error = "cannot start the loudness measurement";
    return state_ != nullptr;
}

bool LoudnessMeter::writePlanar(const float* left, const float* right, size_t frames, std::string& error) {
    interleaved_.resize(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        // NaN and infinities are written as 0; measure what is written.
        interleaved_[2 * i] = std::isfinite(left[i]) ? left[i] : 0.0f;
        interleaved_[2 * i + 1] = std::isfinite(right[i]) ? right[i] : 0.0f;
    }
    if (frames > 0 && ebur128_add_frames_float(stateOf(state_), interleaved_.data(), frames) != EBUR128_SUCCESS) {
        error = "the loudness measurement failed";
        return false;
    }
    return !next_ || next_->writePlanar(left, right, frames, error);
}

Loudness LoudnessMeter::result() const {
    Loudness out;
    double value = 0.0;
    if (ebur128_loudness_global(stateOf(state_), &value) == EBUR128_SUCCESS) out.integratedLufs = value;
    if (ebur128_loudness_range(stateOf(state_), &value) == EBUR128_SUCCESS) out.rangeLu = value;
    double peak = 0.0;
    for (unsigned c = 0; c < 2; ++c)
        if (ebur128_true_peak(stateOf(state_), c, &value) == EBUR128_SUCCESS) peak = std::max(peak, value);
    out.truePeakDbtp = peak > 0.0 ? 20.0 * std::log10(peak) : -HUGE_VAL;
    return out;
}

#else

bool LoudnessMeter::available() { return false; }
LoudnessMeter::~LoudnessMeter() = default;
bool LoudnessMeter::start(uint32_t, FrameSink*, std::string& error) {
    error = "this build of vorzle-render has no loudness measurement (libebur128)";
    return false;
}
bool LoudnessMeter::writePlanar(const float*, const float*, size_t, std::string& error) {
    error = "no loudness measurement";
    return false;
}
Loudness LoudnessMeter::result() const { return Loudness{}; }

#endif

LoudnessGain loudnessGain(const Loudness& measured, bool hasTarget, double targetLufs, bool hasCeiling,
                          double ceilingDbtp) {
    LoudnessGain out;
    if (std::isinf(measured.truePeakDbtp)) return out;   // silence
    double gainDb = 0.0;
    if (hasTarget && std::isfinite(measured.integratedLufs)) gainDb = targetLufs - measured.integratedLufs;
    if (hasCeiling && measured.truePeakDbtp + gainDb > ceilingDbtp) {
        const double held = ceilingDbtp - measured.truePeakDbtp;
        out.reductionDb = gainDb - held;
        out.ceilingWon = true;
        gainDb = held;
    }
    out.gain = static_cast<float>(std::pow(10.0, gainDb / 20.0));
    return out;
}
