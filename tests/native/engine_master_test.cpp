#include <gtest/gtest.h>

#include <cmath>
#include <vector>

#include "../../engine/delay_effect.h"
#include "../../engine/master_stage.h"
#include "engine_test_support.h"

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
