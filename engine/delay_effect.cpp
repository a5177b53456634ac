#include "engine/delay_effect.h"

#include <cmath>

#include "engine/exact_float_math.h"
#include "engine/flush.h"

namespace {

constexpr int32_t kMaxWrapSteps = 8;
// Modulator values are worked out this many samples at a time.
constexpr int32_t kModulatorRun = 64;

// The interpolated read, the feedback write and the output of n samples,
// given each sample's modulator depth. Answers the new write position.
uint32_t readAndWrite(float* buffer, int32_t length, const DelaySetup& setup, uint32_t writeIndex,
                      const float* depths, float* samples, int32_t n) {
    const float span = static_cast<float>(length);
    for (int32_t i = 0; i < n; ++i) {
        float p = static_cast<float>(writeIndex) - delayReadDistance(setup, depths[i]);
        // The read distance spans at most a few line lengths, so a step or two
        // wraps it; only a sample rate far from the one the line was sized
        // for needs more, and those are folded at once.
        int32_t steps = 0;
        while (p < 0.0f) {
            if (++steps > kMaxWrapSteps) {
                p = static_cast<float>(std::fmod(static_cast<double>(p), static_cast<double>(span)));
                if (p < 0.0f) p = p + span;
                break;
            }
            p = p + span;
        }
        // A non-finite position (never from a usable rate) reads from the start.
        if (!(p >= 0.0f && p < 2147483648.0f)) p = 0.0f;
        int32_t j = static_cast<int32_t>(p);
        float fraction = p - static_cast<float>(j);
        // p + length can round up to exactly length: the read wraps to the
        // start, and so must the fraction, or the line would extrapolate by
        // thousands of times the step between two samples.
        if (j >= length) {
            j = 0;
            fraction = p - span;
        }
        int32_t j2 = j + 1;
        if (j2 >= length) j2 = 0;
        float d = buffer[j] + (buffer[j2] - buffer[j]) * fraction;
        if (writeIndex >= static_cast<uint32_t>(length)) writeIndex = 0;
        const float x = flush(samples[i]);
        d = flush(d);
        samples[i] = x - 0.5f * d;
        buffer[writeIndex] = x + 0.5f * d;
        writeIndex += 1;
    }
    return writeIndex;
}

}  // namespace

DelaySetup delaySetup(int32_t line, float sampleRate) {
    DelaySetup setup;
    setup.samplesPerMs = static_cast<float>(0.001 * static_cast<double>(sampleRate));
    // The product in double: 10 * 44.0999985 is 440, not 441.
    setup.baseDelay = static_cast<int32_t>(static_cast<double>(10 + 4 * line) * static_cast<double>(setup.samplesPerMs));
    setup.phaseIncrement = static_cast<float>(line + 1) * 0.5f * kModulatorWrap / sampleRate;
    return setup;
}

void runDelayEffect(DelayLine& delayLine, int32_t line, float* samples, int32_t n, float sampleRate) {
    const int32_t length = delayLine.length;
    float* buffer = delayLine.buffer;
    if (!buffer || length <= 0) return;
    const DelaySetup setup = delaySetup(line, sampleRate);

    uint32_t writeIndex = delayLine.writeIndex;
    float modPhase = delayLine.modPhase;
    float phases[kModulatorRun];
    float depths[kModulatorRun];
    for (int32_t start = 0; start < n; start += kModulatorRun) {
        const int32_t count = n - start < kModulatorRun ? n - start : kModulatorRun;
        // The phase recurrence first, then all its sines or cosines at once.
        for (int32_t i = 0; i < count; ++i) {
            phases[i] = modPhase;
            modPhase += setup.phaseIncrement;
            // Written as "not within" so that a non-finite phase restarts too.
            if (!(modPhase <= kModulatorWrap)) modPhase = 0.0f;
        }
        // |sin| on line 0, |cos| on line 1.
        sinesToFloat(phases, depths, count, line != 0);
        for (int32_t i = 0; i < count; ++i) depths[i] = std::fabs(depths[i]);
        writeIndex = readAndWrite(buffer, length, setup, writeIndex, depths, samples + start, count);
    }
    delayLine.writeIndex = writeIndex;
    delayLine.modPhase = modPhase;
}
