// The eight-character texts of the effect base's display tools.
#include <gtest/gtest.h>

#include <string>

#include "tests/native/minimal_effect.h"

namespace {

template <typename Tool, typename Value>
std::string format(Tool tool, Value value, float sampleRate = 44100.0f) {
    MinimalEffect effect(nullptr);
    effect.sampleRate = sampleRate;
    char text[32];
    std::fill(std::begin(text), std::end(text), 'x');
    (effect.*tool)(value, text);
    return text;
}

}  // namespace

TEST(DisplayTools, FloatToStringFillsEightCharacters) {
    EXPECT_EQ(format(&EffectBase::floatToString, 0.5f), "0.500000");
    EXPECT_EQ(format(&EffectBase::floatToString, -0.5f), "-0.50000");
    EXPECT_EQ(format(&EffectBase::floatToString, 123.25f), "123.2500");
    EXPECT_EQ(format(&EffectBase::floatToString, 0.0f), "0.000000");
    EXPECT_EQ(format(&EffectBase::floatToString, 1.0f), "1.000000");
    EXPECT_EQ(format(&EffectBase::floatToString, 1234567.0f), "1234567.");
    EXPECT_EQ(format(&EffectBase::floatToString, -250.0f), "-250.000");
    for (float v : {0.1f, 3.75f, -42.125f, 99999.0f, 7.0f}) {
        const std::string text = format(&EffectBase::floatToString, v);
        EXPECT_EQ(text.size(), 8u) << text;
        EXPECT_NEAR(std::stod(text), v, 1e-4 * std::max(1.0f, std::abs(v))) << text;
    }
    // Beyond the width the text is the same as the integer tool's.
    EXPECT_EQ(format(&EffectBase::floatToString, 1e9f), " Huge!  ");
    EXPECT_EQ(format(&EffectBase::floatToString, -1e8f), " Huge!  ");
}

TEST(DisplayTools, LongToString) {
    EXPECT_EQ(format(&EffectBase::longToString, 99999999), "99999999");
    EXPECT_EQ(format(&EffectBase::longToString, 100000000), " Huge!  ");
    EXPECT_EQ(format(&EffectBase::longToString, -5), "     -5");
    EXPECT_EQ(format(&EffectBase::longToString, 42), "     42");
    EXPECT_EQ(format(&EffectBase::longToString, -12345678), "-1234567");   // cut to 8 characters
}

TEST(DisplayTools, DecibelsHertzAndMilliseconds) {
    EXPECT_EQ(format(&EffectBase::dbToString, 0.0f), "  -oo   ");
    EXPECT_EQ(format(&EffectBase::dbToString, -1.0f), "  -oo   ");
    EXPECT_EQ(format(&EffectBase::dbToString, 1.0f), "0.000000");
    EXPECT_EQ(format(&EffectBase::dbToString, 10.0f), "20.00000");
    EXPECT_EQ(format(&EffectBase::hzToString, 0.0f), "0.000000");
    EXPECT_EQ(format(&EffectBase::hzToString, 100.0f), "441.0000");
    EXPECT_EQ(format(&EffectBase::msToString, 441.0f), "10.00000");
    EXPECT_EQ(format(&EffectBase::msToString, 480.0f, 48000.0f), "10.00000");
}
