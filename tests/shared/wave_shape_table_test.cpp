#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/wave_shape.h"

// The table builder must give, bit for bit, what waveShape gives entry by
// entry. Built into the native and the Windows test programs alike, since
// both rest on their own maths library.

namespace {

struct Shape {
    float sineMix, square, symmetry, level, phaseOffset;
};

// Entries of the table that differ in any bit from waveShape's.
int32_t differingEntries(const Shape& s, int32_t length) {
    std::vector<float> table(static_cast<size_t>(length));
    waveShapeTable(table.data(), length, s.sineMix, s.square, s.symmetry, s.level, s.phaseOffset);
    int32_t count = 0;
    for (int32_t k = 0; k < length; ++k) {
        const float phase = static_cast<float>(static_cast<double>(k) / static_cast<double>(length));
        const float expected = waveShape(phase, s.sineMix, s.square, s.symmetry, s.level, s.phaseOffset);
        count += std::memcmp(&expected, &table[static_cast<size_t>(k)], sizeof expected) != 0;
    }
    return count;
}

}  // namespace

TEST(WaveShapeTable, MatchesWaveShapeOnRandomShapesAtEveryRate) {
    std::mt19937 random(12);
    std::uniform_real_distribution<float> unit(0.0f, 1.0f);
    // Table lengths at 22.05, 44.1 and 96 kHz, and short odd ones.
    const int32_t lengths[] = {5393, 10787, 23483, 1, 2, 63, 65, 997};
    for (int32_t i = 0; i < 120; ++i) {
        const Shape s{unit(random), unit(random), unit(random), unit(random), unit(random)};
        const int32_t length = lengths[i % 8];
        EXPECT_EQ(differingEntries(s, length), 0) << "shape " << i << ", length " << length;
    }
}

TEST(WaveShapeTable, MatchesWaveShapeOnEdgeShapes) {
    // Every combination of the values where branches begin, end or vanish.
    const float edges[] = {0.0f, 0.005f, 0.5f, 0.995f, 1.0f};
    int32_t differing = 0;
    for (float b : edges)
        for (float c : edges)
            for (float d : edges)
                for (float e : {0.0f, 0.5f, 1.0f})
                    for (float f : {0.0f, 0.25f, 1.0f}) differing += differingEntries({b, c, d, e, f}, 997);
    EXPECT_EQ(differing, 0);
}

TEST(WaveShapeTable, MatchesWaveShapeOnValuesNoKnobSets) {
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const Shape odd[] = {{0.5f, 0.5f, 0.3f, 1.0f, -0.3f},   {0.5f, 0.5f, -0.2f, 1.0f, 0.0f},
                         {0.5f, 0.5f, 1.7f, 1.0f, 0.0f},    {1.5f, -0.5f, 0.3f, 2.0f, 100.5f},
                         {0.5f, 0.5f, 0.3f, 1.0f, 1e30f},   {0.5f, 0.5f, nan, 1.0f, 0.0f},
                         {0.5f, 0.5f, 0.3f, 1.0f, nan},     {-1.0f, 0.5f, 0.3f, 1.0f, 0.7f}};
    for (const Shape& s : odd) EXPECT_EQ(differingEntries(s, 997), 0) << s.symmetry << " " << s.phaseOffset;
}
