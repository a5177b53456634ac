// Programs as the instrument holds them: record defaults, the parameter
// store with its rebuild bits, and the display texts.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"

namespace {

bool sameRecord(const ProgramRecord& a, const ProgramRecord& b) { return std::memcmp(&a, &b, sizeof a) == 0; }

class ProgramStore : public ::testing::Test {
protected:
    void SetUp() override {
        plugin = std::make_unique<SynthPlugin>(versionOnlyHost);
        // Start from a default record so the texts don't depend on the bank.
        plugin->instrument().storeProgram(0, ProgramRecord());
        plugin->setProgram(0);
        plugin->instrument().takeDueWavetables();
    }
    std::string display(int32_t index) {
        char text[64];
        std::memset(text, 'x', sizeof(text));
        plugin->getParamDisplay(index, text);
        return text;
    }
    std::string displayOf(int32_t index, float value) {
        plugin->instrument().setParameter(index, value);
        return display(index);
    }
    std::unique_ptr<SynthPlugin> plugin;
};

}  // namespace

TEST(ProgramRecordTest, DefaultsInFieldOrder) {
    const ProgramRecord record;
    EXPECT_STREQ(record.name, "Blank");
    const float byField[39] = {0.58f, 0.0f, 0.1f, 0.3f, 1.0f, 1.0f, 0.5f, 0.1f, 0.5f, 0.1f, 1.0f, 0.3f, 0.0f,
                               0.3f, 0.5f, 1.0f, 0.5f, 0.0f, 1.0f, 0.0f, 0.0f, 2.0f, 1.0f, 0.505f, 0.0f, 1.0f,
                               0.0f, 0.0f, 1.0f, 1.0f, 0.51f, 0.0f, 1.0f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 1.0f};
    for (int32_t f = 0; f < 39; ++f) EXPECT_EQ(record.fields[f], byField[f]) << "field " << f;
    // Parameters by field: 8, 9, 10, 11, 13, 12, 14, 15, 16, 1, 3, 5, 4, 2, 0, 17..37, 7, 6, 38.
    const int32_t parameterOfField[39] = {8,  9,  10, 11, 13, 12, 14, 15, 16, 1,  3,  5,  4,
                                          2,  0,  17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27,
                                          28, 29, 30, 31, 32, 33, 34, 35, 36, 37, 7,  6,  38};
    for (int32_t f = 0; f < 39; ++f) EXPECT_EQ(fieldOfParameter(parameterOfField[f]), f);
    EXPECT_EQ(fieldOfParameter(39), -1);
    EXPECT_EQ(fieldOfParameter(-1), -1);
}

TEST(ProgramRecordTest, NamesAreCutToFitTheirNul) {
    ProgramRecord record;
    record.setName("A name that is much longer than the field");
    EXPECT_EQ(std::strlen(record.name), 23u);
    EXPECT_EQ(std::string(record.name), "A name that is much lon");
    record.setName("");
    EXPECT_STREQ(record.name, "");
}

TEST_F(ProgramStore, FreshRecordTexts) {
    EXPECT_EQ(display(0), "50.00 %");
    EXPECT_EQ(display(8), "1114 Hz");
    EXPECT_EQ(display(14), "0.00 oct.");
    EXPECT_EQ(display(15), "0.10 Hz");
    EXPECT_EQ(display(16), "0.00 oct.");
    EXPECT_EQ(display(17), "100.00 %");
    EXPECT_EQ(display(18), "0.00 smt.");
    EXPECT_EQ(display(25), "0.12 smt.");
    EXPECT_EQ(display(23), "on");
    EXPECT_EQ(display(6), "");
    EXPECT_EQ(display(38), "");
    EXPECT_EQ(display(39), "");
    EXPECT_EQ(display(-1), "");
}

TEST_F(ProgramStore, EveryDisplayKind) {
    EXPECT_EQ(displayOf(3, 0.587f), "58.70 %");
    EXPECT_EQ(displayOf(24, 0.0f), "-100.00 %");
    EXPECT_EQ(displayOf(24, 1.0f), "100.00 %");
    EXPECT_EQ(displayOf(32, 0.0f), "-12.00 smt.");
    EXPECT_EQ(displayOf(14, 0.0f), "-10.00 oct.");
    EXPECT_EQ(displayOf(14, 1.0f), "10.00 oct.");
    EXPECT_EQ(displayOf(16, 1.0f), "2.00 oct.");
    EXPECT_EQ(displayOf(15, 1.0f), "1.00 Hz");
    EXPECT_EQ(displayOf(30, 0.49f), "off");
    EXPECT_EQ(displayOf(30, 0.5f), "on");
    EXPECT_EQ(displayOf(6, 0.0f), "");
}

TEST_F(ProgramStore, CutoffTextFollowsTheSampleRate) {
    EXPECT_EQ(displayOf(8, 1.0f), "20480 Hz");
    EXPECT_EQ(displayOf(8, 0.0f), "20 Hz");
    EXPECT_EQ(displayOf(8, -3.0f), "20 Hz");
    plugin->setSampleRate(32000.0f);
    EXPECT_EQ(displayOf(8, 1.0f), "15238 Hz");
    plugin->setSampleRate(44100.0f);
    EXPECT_EQ(displayOf(8, 2.0f), "21000 Hz");
}

TEST_F(ProgramStore, AbsurdValuesGiveShortTexts) {
    for (float v : {1e30f, -1e30f, 3e38f}) {
        for (int32_t index : {0, 14, 17, 18}) {
            const std::string text = displayOf(index, v);
            EXPECT_LE(text.size(), 15u) << index << " " << v;
        }
    }
}

TEST_F(ProgramStore, RebuildBitsPerGroup) {
    for (int32_t index = 0; index < 39; ++index) {
        plugin->instrument().takeDueWavetables();
        plugin->instrument().setParameter(index, 0.25f);
        const uint8_t expected = (index >= 17 && index <= 22)   ? 1
                                 : (index >= 24 && index <= 29) ? 2
                                 : (index >= 31 && index <= 36) ? 4
                                                                : 0;
        EXPECT_EQ(plugin->instrument().dueWavetables(), expected) << index;
        EXPECT_EQ(plugin->instrument().parameter(index), 0.25f) << index;
    }
}

TEST_F(ProgramStore, StoresWithoutRangeLimitsOrConversion) {
    plugin->instrument().setParameter(Param::Cutoff, 7.5f);
    EXPECT_EQ(plugin->instrument().parameter(Param::Cutoff), 7.5f);
    plugin->instrument().setParameter(Param::Volume, -2.0f);
    EXPECT_EQ(plugin->instrument().parameter(Param::Volume), -2.0f);
    EXPECT_EQ(plugin->instrument().programRecord(plugin->instrument().program()).fields[14], -2.0f);
}

TEST_F(ProgramStore, OutOfRangeIndexesChangeNothing) {
    const ProgramRecord before = plugin->instrument().programRecord(plugin->instrument().program());
    plugin->instrument().setParameter(39, 0.3f);
    plugin->instrument().setParameter(-1, 0.3f);
    plugin->instrument().setParameter(1000, 0.3f);
    EXPECT_TRUE(sameRecord(before, plugin->instrument().programRecord(plugin->instrument().program())));
    EXPECT_EQ(plugin->instrument().dueWavetables(), 0);
    EXPECT_EQ(plugin->instrument().parameter(39), 0.0f);
    EXPECT_EQ(plugin->instrument().parameter(-1), 0.0f);
}

TEST_F(ProgramStore, PolyphonyStoreSilencesEveryVoice) {
    const uint8_t noteOn[3] = {0x90, 60, 100};
    plugin->instrument().playMidiNow(noteOn);
    plugin->instrument().playMidiNow(noteOn);
    EXPECT_EQ(plugin->instrument().view().noteCounter, 2u);
    plugin->instrument().setParameter(Param::Polyphony, 1.0f);   // the same value again still resets
    for (const Voice& v : plugin->instrument().view().voices) EXPECT_EQ(v.active, 0);
    EXPECT_EQ(plugin->instrument().view().noteCounter, 0u);
    plugin->instrument().playMidiNow(noteOn);
    EXPECT_EQ(plugin->instrument().view().voices[0].startOrder, 0u);
}

