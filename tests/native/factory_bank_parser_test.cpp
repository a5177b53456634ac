// The bank parser on the real factory bank and on every kind of broken bank.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"

namespace {

using Bytes = std::vector<uint8_t>;

void put32(Bytes& b, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) b.push_back(static_cast<uint8_t>(v >> shift));
}
void putCode(Bytes& b, const char* code) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(code[i]));
}
void putFloat(Bytes& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    put32(b, v);
}

// A bank in the VST bank-file layout; value i of program p is p + i / 100.
struct BankBuilder {
    const char* kind = "FxBk";
    uint32_t version = 1;
    uint32_t programs = 2;
    uint32_t values = 38;
    std::vector<Bytes> names;   // 28-byte name fields; default "Prog N"

    Bytes build() const {
        Bytes b;
        putCode(b, "CcnK");
        put32(b, 216);
        putCode(b, kind);
        put32(b, version);
        putCode(b, "Trlx");
        put32(b, 1);
        put32(b, programs);
        b.insert(b.end(), 128, 0);
        for (uint32_t p = 0; p < programs; ++p) {
            putCode(b, "CcnK");
            put32(b, 200);
            putCode(b, "FxCk");
            put32(b, 1);
            putCode(b, "Trlx");
            put32(b, 1);
            put32(b, values);
            Bytes name(28, 0);
            if (p < names.size()) name = names[p];
            else {
                const std::string text = "Prog " + std::to_string(p);
                std::memcpy(name.data(), text.data(), text.size());
            }
            b.insert(b.end(), name.begin(), name.end());
            for (uint32_t i = 0; i < values; ++i) putFloat(b, static_cast<float>(p) + static_cast<float>(i) / 100.0f);
        }
        return b;
    }
};

class BankParser : public ::testing::Test {
protected:
    // A bank of default programs and the engine that listens to its voice limit.
    struct Programs {
        ProgramBank bank;
        Engine engine{bank};
    };
    void SetUp() override {
        held = std::make_unique<Programs>();
        held->engine.setSampleRate(44100.0f);
    }
    ProgramBank& programs() { return held->bank; }
    bool parse(const Bytes& bytes) { return programs().parseBank(bytes.data(), bytes.size()); }
    bool allDefaultsFrom(int32_t first) {
        const ProgramRecord blank;
        for (int32_t p = first; p < 128; ++p)
            if (std::memcmp(&programs().program(p), &blank, sizeof(blank)) != 0) return false;
        return true;
    }
    std::unique_ptr<Programs> held;
};

Bytes committedBank() {
    std::ifstream file(VORZLE_SOURCE_DIR "/resources/factory_bank.bin", std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

}  // namespace

TEST_F(BankParser, RealBankLoadsEveryProgram) {
    const Bytes bank = committedBank();
    ASSERT_EQ(bank.size(), 26848u);
    ASSERT_TRUE(parse(bank));
    const ProgramRecord* loaded = &programs().program(0);
    EXPECT_STREQ(loaded[0].name, "Classiq");
    EXPECT_EQ(loaded[0].valueOf(Param::AmpDecay), 0.587f);
    EXPECT_EQ(loaded[0].valueOf(Param::Osc1On), 2.0f);
    EXPECT_EQ(loaded[0].valueOf(Param::Cutoff), 0.4810007f);
    EXPECT_STREQ(loaded[1].name, "Rave bass");
    EXPECT_EQ(loaded[1].valueOf(Param::Volume), 0.586f);
    EXPECT_EQ(loaded[1].valueOf(Param::Osc3On), 0.0f);
    EXPECT_STREQ(loaded[2].name, "Walking Bass");
    EXPECT_STREQ(loaded[127].name, "Blank");
    EXPECT_EQ(loaded[127].valueOf(Param::Volume), 0.2320002f);
    EXPECT_EQ(loaded[127].valueOf(Param::Osc3On), 1.0f);
    for (int32_t p = 0; p < 128; ++p) EXPECT_EQ(loaded[p].valueOf(Param::Polyphony), 1.0f) << p;
}

TEST_F(BankParser, TheInstrumentStartsOnTheFactoryBank) {
    SynthPlugin fresh(versionOnlyHost);
    EXPECT_EQ(fresh.instrument().program(), 0);
    EXPECT_STREQ(fresh.instrument().programRecord(0).name, "Classiq");
    EXPECT_EQ(fresh.instrument().dueWavetables(), 0);   // program 0's tables are prepared: none to build
    char text[32];
    fresh.getParamDisplay(Param::AmpDecay, text);
    EXPECT_STREQ(text, "58.70 %");
}

TEST_F(BankParser, SmallBankFillsItsProgramsOnly) {
    ASSERT_TRUE(parse(BankBuilder{}.build()));
    EXPECT_STREQ(programs().program(1).name, "Prog 1");
    EXPECT_EQ(programs().program(1).valueOf(5), 1.05f);
    EXPECT_EQ(programs().program(0).valueOf(37), 0.37f);
    EXPECT_EQ(programs().program(0).valueOf(Param::Polyphony), 1.0f);
    EXPECT_TRUE(allDefaultsFrom(2));
    EXPECT_NE(programs().dueFlags() & 7, 0);   // shape values went through the store
}

TEST_F(BankParser, HeaderChecksFailBeforeAnyProgram) {
    EXPECT_FALSE(parse(Bytes{'C', 'c', 'n'}));
    EXPECT_FALSE(parse(Bytes{}));
    EXPECT_FALSE(programs().parseBank(nullptr, 100));
    Bytes wrongMagic = BankBuilder{}.build();
    std::memcpy(wrongMagic.data(), "FxBk", 4);
    EXPECT_FALSE(parse(wrongMagic));
    BankBuilder version2;
    version2.version = 2;
    EXPECT_FALSE(parse(version2.build()));
    BankBuilder wrongKind;
    wrongKind.kind = "FxCk";
    EXPECT_FALSE(parse(wrongKind.build()));
    EXPECT_TRUE(allDefaultsFrom(0));
}

TEST_F(BankParser, OpaqueChunkBankLoadsNothing) {
    BankBuilder chunk;
    chunk.kind = "FBCh";
    EXPECT_TRUE(parse(chunk.build()));
    EXPECT_TRUE(allDefaultsFrom(0));
}

TEST_F(BankParser, TruncatedAnywhereNeverReadsPastTheData) {
    const Bytes bank = BankBuilder{}.build();
    for (size_t size = 0; size < bank.size(); ++size) {
        SetUp();
        // A copy of exactly size bytes, so a read past it is caught by the sanitizers.
        std::unique_ptr<uint8_t[]> copy(new uint8_t[size ? size : 1]);
        if (size) std::memcpy(copy.get(), bank.data(), size);
        // Only the last program's values may run short: they read as 0.0.
        const size_t lastValuesStart = 156 + 208 + 56;
        EXPECT_EQ(programs().parseBank(copy.get(), size), size >= lastValuesStart) << size;
        if (size < 156) {
            EXPECT_TRUE(allDefaultsFrom(0)) << size;
        }
    }
}

TEST_F(BankParser, TruncatedValuesReadAsZero) {
    Bytes bank = BankBuilder{}.build();
    bank.resize(156 + 56 + 10 * 4 + 2);   // program 0 with ten whole values and a half
    EXPECT_FALSE(parse(bank));   // the values are stored, then the next program's magic is missing
    EXPECT_STREQ(programs().program(0).name, "Prog 0");
    EXPECT_EQ(programs().program(0).valueOf(9), 0.09f);
    EXPECT_EQ(programs().program(0).valueOf(10), 0.0f);
    EXPECT_EQ(programs().program(0).valueOf(37), 0.0f);
}

TEST_F(BankParser, ThirtyNineValuesSetPolyphonyAndSilence) {
    BankBuilder bank;
    bank.values = 39;
    const uint8_t noteOn[3] = {0x90, 60, 100};
    held->engine.handleMidiMessage(noteOn);
    ASSERT_TRUE(parse(bank.build()));
    EXPECT_EQ(programs().program(0).valueOf(Param::Polyphony), 0.38f);
    EXPECT_EQ(programs().program(1).valueOf(Param::Polyphony), 1.38f);
    for (const Voice& v : held->engine.view().voices) EXPECT_EQ(v.active, 0);
    EXPECT_EQ(held->engine.view().noteCounter, 0u);
}

TEST_F(BankParser, HugeValueCountsEndWithTheData) {
    BankBuilder bank;
    bank.programs = 1;
    bank.values = 0x7FFFFFFF;   // the builder would write them all: write 40 instead
    BankBuilder real = bank;
    real.values = 40;
    Bytes bytes = real.build();
    // Patch the count to the huge value.
    const size_t countAt = 156 + 24;
    bytes[countAt] = 0x7F;
    bytes[countAt + 1] = bytes[countAt + 2] = bytes[countAt + 3] = 0xFF;
    EXPECT_TRUE(parse(bytes));
    EXPECT_EQ(programs().program(0).valueOf(37), 0.37f);
}

TEST_F(BankParser, NamesAreCutAndAlwaysTerminated) {
    BankBuilder bank;
    Bytes empty(28, 0);
    Bytes full(28, 'N');   // no NUL in the whole field
    bank.names = {empty, full};
    ASSERT_TRUE(parse(bank.build()));
    EXPECT_STREQ(programs().program(0).name, "");
    EXPECT_EQ(std::string(programs().program(1).name), std::string(23, 'N'));

    // A name without NUL at the very end of the data stops at the end.
    BankBuilder one;
    one.programs = 1;
    one.names = {full};
    Bytes cut = one.build();
    cut.resize(156 + 28 + 5);
    std::unique_ptr<uint8_t[]> copy(new uint8_t[cut.size()]);
    std::memcpy(copy.get(), cut.data(), cut.size());
    SetUp();
    EXPECT_FALSE(programs().parseBank(copy.get(), cut.size()));
    EXPECT_EQ(std::string(programs().program(0).name), "NNNNN");
}

TEST_F(BankParser, MoreThan128ProgramsLoadTheFirst128) {
    BankBuilder bank;
    bank.programs = 200;
    ASSERT_TRUE(parse(bank.build()));
    EXPECT_STREQ(programs().program(127).name, "Prog 127");
    EXPECT_EQ(programs().program(127).valueOf(1), 127.01f);
}

TEST(BigEndianReader, ReadsWordsAndStopsAtTheEnd) {
    const uint8_t data[6] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC};
    const uint8_t* cursor = data;
    EXPECT_EQ(ProgramBank::readBigEndian32(cursor, data + 6), 0x12345678u);
    EXPECT_EQ(cursor, data + 4);
    EXPECT_EQ(ProgramBank::readBigEndian32(cursor, data + 6), 0u);
    EXPECT_EQ(cursor, data + 4);
}
