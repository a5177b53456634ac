#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "engine/delay_effect.h"
#include "engine/master_stage.h"
#include "engine/sample_rate.h"
#include "tests/native/engine_test_support.h"

using namespace engine_test;

TEST(EngineMasterStage, DriveGainAndClipSwitch) {
    EXPECT_EQ(driveGain(0.0f), 0.1f);
    EXPECT_EQ(driveGain(1.0f), 10.1f);
    EXPECT_EQ(volumeGain(0.5f), 2.0f);
    EXPECT_FALSE(softClipOn(0.0f));
    EXPECT_FALSE(softClipOn(0.005f));
    EXPECT_TRUE(softClipOn(0.006f));
}

TEST(EngineMasterStage, FullDriveClipsHalfToOnePointFourOhFive) {
    float x[2] = {0.5f, -0.5f};
    runMasterStage(x, 2, driveGain(1.0f), volumeGain(0.5f), softClipOn(1.0f));
    EXPECT_NEAR(x[0], 1.405f * 4.0f * 0.5f, 1e-6f);
    EXPECT_NEAR(x[1], -1.405f * 4.0f * 0.5f, 1e-6f);
}

TEST(EngineMasterStage, ClipStartsJustAboveHalfAPercentOfDrive) {
    // No drive: scaled by 0.1, never clipped.
    float a[1] = {20.0f};
    runMasterStage(a, 1, driveGain(0.0f), 1.0f, softClipOn(0.0f));
    EXPECT_NEAR(a[0], 2.0f, 1e-6f);
    float b[1] = {20.0f};
    runMasterStage(b, 1, driveGain(0.005f), 1.0f, softClipOn(0.005f));
    EXPECT_NEAR(b[0], 3.0f, 1e-5f);
    float c[1] = {20.0f};
    runMasterStage(c, 1, driveGain(0.006f), 1.0f, softClipOn(0.006f));
    EXPECT_NEAR(c[0], (3.2f - 1.0f) * 0.1f + 1.0f, 1e-5f);
    // Inside +-1 the curve is the identity.
    float d[2] = {0.9f, -0.9f};
    runMasterStage(d, 2, 1.0f, 1.0f, true);
    EXPECT_EQ(d[0], 0.9f);
    EXPECT_EQ(d[1], -0.9f);
}

TEST(EngineMasterStage, ZeroVolumeSilences) {
    float x[3] = {0.3f, -2.0f, 7.0f};
    runMasterStage(x, 3, driveGain(0.7f), volumeGain(0.0f), true);
    for (float v : x) EXPECT_EQ(v, 0.0f);
}

TEST(EngineDelaySetup, FortyFourPointOneKilohertz) {
    const DelaySetup left = delaySetup(0, 44100.0f);
    const DelaySetup right = delaySetup(1, 44100.0f);
    EXPECT_EQ(left.samplesPerMs, 44.0999985f);
    EXPECT_EQ(left.baseDelay, 440);   // not 441
    EXPECT_EQ(right.baseDelay, 617);
    EXPECT_EQ(left.phaseIncrement, 1.0f * 0.5f * 6.283185f / 44100.0f);
    EXPECT_EQ(right.phaseIncrement, 2.0f * 0.5f * 6.283185f / 44100.0f);
}

TEST(EngineDelaySetup, ReadRangeBehindTheWritePosition) {
    const DelaySetup left = delaySetup(0, 44100.0f);
    const DelaySetup right = delaySetup(1, 44100.0f);
    EXPECT_EQ(delayReadDistance(left, 0.0f), 440.0f);
    EXPECT_NEAR(delayReadDistance(left, 1.0f), 528.2f, 1e-4f);
    EXPECT_EQ(delayReadDistance(right, 0.0f), 617.0f);
    EXPECT_NEAR(delayReadDistance(right, 1.0f), 705.2f, 1e-4f);
}

namespace {

struct OwnedLine {
    std::vector<float> storage;
    DelayLine line;
    explicit OwnedLine(int32_t length) : storage(length + 10, 0.0f) {
        line.length = length;
        line.buffer = storage.data();
    }
};

// Runs a line over a signal in sub-blocks of 44.
std::vector<float> runLine(DelayLine& line, int32_t c, std::vector<float> signal, float rate = 44100.0f) {
    for (size_t start = 0; start < signal.size(); start += 44) {
        const int32_t n = static_cast<int32_t>(std::min<size_t>(44, signal.size() - start));
        runDelayEffect(line, c, signal.data() + start, n, rate);
    }
    return signal;
}

}  // namespace

TEST(EngineDelayEffect, ImpulseEchoesNegativelyWithinTheReadRange) {
    for (int32_t c : {0, 1}) {
        OwnedLine owned(2646);
        std::vector<float> signal(800, 0.0f);
        signal[0] = 1.0f;
        const std::vector<float> out = runLine(owned.line, c, signal);
        EXPECT_EQ(out[0], 1.0f);
        const int32_t first = c == 0 ? 440 : 617;
        const int32_t last = c == 0 ? 529 : 706;
        float sum = 0.0f;
        for (int32_t i = 1; i < 800; ++i) {
            if (i < first || i > last) EXPECT_EQ(out[i], 0.0f) << c << " " << i;
            else sum += out[i];
        }
        EXPECT_NEAR(sum, -0.5f, 0.05f) << c;
        EXPECT_EQ(owned.line.writeIndex, 800u);
    }
}

TEST(EngineDelayEffect, ConstantInputDecaysToZero) {
    OwnedLine owned(2646);
    const std::vector<float> out = runLine(owned.line, 0, std::vector<float>(44100 * 2, 0.25f));
    EXPECT_EQ(out[0], 0.25f);
    EXPECT_LT(std::fabs(out.back()), 1e-3f);
    EXPECT_NEAR(owned.storage[100], 0.5f, 1e-3f);   // the line holds twice the input
}

TEST(EngineDelayEffect, WriteIndexBeyondTheLengthRestartsAtZero) {
    OwnedLine owned(100);
    owned.line.writeIndex = 150;
    float x[1] = {0.75f};
    runDelayEffect(owned.line, 0, x, 1, 44100.0f);
    EXPECT_EQ(owned.storage[0], 0.75f);
    EXPECT_EQ(owned.line.writeIndex, 1u);
}

TEST(EngineDelayEffect, ModulatorWrapsToZeroPastTwoPi) {
    OwnedLine owned(2646);
    owned.line.modPhase = 6.2831f;
    float x[2] = {0.0f, 0.0f};
    runDelayEffect(owned.line, 1, x, 2, 44100.0f);
    EXPECT_EQ(owned.line.modPhase, 0.0f + 2.0f * 0.5f * 6.283185f / 44100.0f);
}

TEST(EngineDelayEffect, SubnormalsAreFlushed) {
    OwnedLine owned(2646);
    float x[1] = {1e-40f};
    runDelayEffect(owned.line, 0, x, 1, 44100.0f);
    EXPECT_EQ(x[0], 0.0f);
    EXPECT_EQ(owned.storage[0], 0.0f);
}

TEST(EngineDelayEffect, MissingBufferOrLengthSkipsTheLine) {
    DelayLine none;
    float x[2] = {0.5f, -0.5f};
    runDelayEffect(none, 0, x, 2, 44100.0f);
    EXPECT_EQ(x[0], 0.5f);
    OwnedLine empty(0);
    runDelayEffect(empty.line, 1, x, 2, 44100.0f);
    EXPECT_EQ(x[1], -0.5f);
    EXPECT_EQ(empty.line.writeIndex, 0u);
}

TEST(EngineDelayEffect, RateFarFromTheLineSizeStaysInside) {
    // A one-sample line read 40000 samples back, and a non-finite phase.
    OwnedLine tiny(1);
    tiny.line.modPhase = NAN;
    std::vector<float> signal(500, 0.5f);
    const std::vector<float> out = runLine(tiny.line, 0, signal, 4000000.0f);
    EXPECT_TRUE(allFinite(out));
    EXPECT_LT(tiny.line.writeIndex, 2u);
    EXPECT_TRUE(std::isfinite(tiny.line.modPhase));
}

TEST(EngineDelayEffect, ReadRoundedUpToTheLengthInterpolatesFromTheStart) {
    // p + length can round to exactly length, so j wraps to 0; the fraction
    // must wrap with it. Search the modulator phases, float by float, for one
    // whose read position rounds up that way one sample after a write index.
    const float rate = 44100.0f;
    const int32_t length = delayLineLengthFor(rate);
    const float span = static_cast<float>(length);
    const DelaySetup setup = delaySetup(0, rate);
    bool found = false;
    for (uint32_t writeIndex = 445; writeIndex < 528 && !found; ++writeIndex) {
        // Where |sin| puts the read distance right at the write index.
        const float v = (static_cast<float>(writeIndex) - static_cast<float>(setup.baseDelay)) / (2.0f * setup.samplesPerMs);
        float phase = static_cast<float>(std::asin(static_cast<double>(v)));
        for (int step = 0; step < 4000 && !found; ++step, phase = std::nextafter(phase, 10.0f)) {
            const float wave = std::fabs(static_cast<float>(std::sin(static_cast<double>(phase))));
            const float p = static_cast<float>(writeIndex) - delayReadDistance(setup, wave);
            if (!(p < 0.0f && p + span == span)) continue;
            found = true;
            OwnedLine owned(length);
            owned.storage[0] = -0.25f;
            owned.storage[1] = 0.75f;
            owned.line.writeIndex = writeIndex;
            owned.line.modPhase = phase;
            float x[1] = {0.0f};
            runDelayEffect(owned.line, 0, x, 1, rate);
            // The output is -d/2 with d between its two neighbours.
            EXPECT_GE(x[0], -0.375f) << "phase " << phase << " write index " << writeIndex;
            EXPECT_LE(x[0], 0.125f) << "phase " << phase << " write index " << writeIndex;
        }
    }
    EXPECT_TRUE(found);
}

TEST(EngineDelayEffect, LongRandomSongStaysWithinWhatTheLineCanAdd) {
    // The line holds x + d/2 and reads back an interpolation of it, so |d| can
    // never pass twice the loudest dry sample, nor the output |x - d/2| either.
    // A read that extrapolates breaks that bound with a single sample.
    // At 48 kHz the right line's read first rounds up to its length after
    // 241.9 s (sample 11612917), so the song runs a little longer.
    auto wet = makePlugin();
    auto dry = makePlugin();
    for (Synth* p : {wet.get(), dry.get()}) {
        p->setSampleRate(48000.0f);
        // Bright, held and few: a wrapped read is loud when neighbours differ.
        p->setParameter(Param::Cutoff, 0.9f);
        p->setParameter(Param::Resonance, 0.0f);
        p->setParameter(Param::AmpSustain, 1.0f);
        p->setParameter(Param::Polyphony, 3.0f / 63.0f);
    }
    wet->setParameter(Param::Chorus, 1.0f);
    dry->setParameter(Param::Chorus, 0.0f);
    uint32_t seed = 12345;
    auto next = [&seed](uint32_t range) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % range;
    };
    float dryPeak = 0.0f, wetPeak = 0.0f;
    int64_t frameCount = 0;
    while (frameCount < 48000 * 245) {
        const uint8_t messages[][3] = {
            {0x90, static_cast<uint8_t>(70 + next(40)), static_cast<uint8_t>(1 + next(127))},
            {0x80, static_cast<uint8_t>(70 + next(40)), 0},
            {0xE0, 0, static_cast<uint8_t>(next(128))},
            {0xB0, 1, static_cast<uint8_t>(next(128))},
        };
        for (const auto& m : messages) {
            if (next(3) != 0) continue;
            midi(*wet, m[0], m[1], m[2]);
            midi(*dry, m[0], m[1], m[2]);
        }
        const int32_t frames = 1 + static_cast<int32_t>(next(16000));
        frameCount += frames;
        const Stereo w = renderReplacing(*wet, frames);
        const Stereo d = renderReplacing(*dry, frames);
        dryPeak = std::fmax(dryPeak, std::fmax(peak(d.left), peak(d.right)));
        wetPeak = std::fmax(wetPeak, std::fmax(peak(w.left), peak(w.right)));
    }
    ASSERT_GT(dryPeak, 0.01f);
    EXPECT_LE(wetPeak, 2.0f * dryPeak);
}
