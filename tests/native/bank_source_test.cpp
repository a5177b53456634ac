#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/bankgen/bank_source.h"

namespace {

std::string readFile(const char* path) {
    std::ifstream in(path, std::ios::binary);
    EXPECT_TRUE(in.good()) << "cannot open " << path;
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

uint32_t bitsOf(float value) {
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

uint32_t wordAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return (uint32_t{bytes[offset]} << 24) | (uint32_t{bytes[offset + 1]} << 16) |
           (uint32_t{bytes[offset + 2]} << 8) | uint32_t{bytes[offset + 3]};
}

std::string codeAt(const std::vector<uint8_t>& bytes, size_t offset) {
    return std::string(bytes.begin() + static_cast<long>(offset),
                       bytes.begin() + static_cast<long>(offset + 4));
}

size_t programOffset(int program) { return 156 + 208 * static_cast<size_t>(program); }

// Bit pattern of value i of a program in the bank file.
uint32_t storedBits(const std::vector<uint8_t>& bytes, int program, int value) {
    return wordAt(bytes, programOffset(program) + 56 + 4 * static_cast<size_t>(value));
}

std::string storedName(const std::vector<uint8_t>& bytes, int program) {
    const char* field = reinterpret_cast<const char*>(bytes.data() + programOffset(program) + 28);
    return std::string(field, strnlen(field, 28));
}

std::vector<uint8_t> committedBank() {
    std::string bin = readFile(VORZLE_SOURCE_DIR "/resources/factory_bank.bin");
    return std::vector<uint8_t>(bin.begin(), bin.end());
}

// A complete source: the given head, then one default line for each program not in skip.
std::string withPrograms(const std::string& head, int from, int skip = -1) {
    std::string text = head;
    for (int p = from; p < kBankPrograms; ++p) {
        if (p != skip) text += "program " + std::to_string(p) + " \"Blank\"\n";
    }
    return text;
}

void expectRow(const std::vector<uint8_t>& bytes, int program, const float (&row)[38]) {
    for (int i = 0; i < 38; ++i) {
        EXPECT_EQ(storedBits(bytes, program, i), bitsOf(row[i]))
            << "program " << program << " parameter " << i;
    }
}

}  // namespace

TEST(FactoryBankFile, IsTheBankGeneratedFromItsSource) {
    std::string text = readFile(VORZLE_SOURCE_DIR "/resources/factory_bank.txt");
    std::vector<uint8_t> committed = committedBank();

    ProgramBank bank;
    BankSourceError error;
    ASSERT_TRUE(parseBankSource(text, bank, error)) << error.message;
    std::vector<uint8_t> generated = encodeBank(bank);

    EXPECT_EQ(committed.size(), 26848u);
    EXPECT_EQ(generated.size(), 26848u);
    EXPECT_TRUE(committed == generated)
        << "resources/factory_bank.bin is stale: run bankgen on resources/factory_bank.txt";
}

// The factory bank, and values at the edges of what a float holds, survive
// being written back as text and read again, to the bit.
TEST(BankSource, WrittenBackAsTextReadsToTheSameBank) {
    const std::string edges = withPrograms(
        "program 0 \"Edges # not a comment\"\n"
        "  Volume -0  AmpAttack 1e-45  AmpHold 3.4028235e38  AmpDecay 0.1  AmpSustain -1.17549435e-38\n", 1);
    for (const std::string& text : {readFile(VORZLE_SOURCE_DIR "/resources/factory_bank.txt"), edges}) {
        ProgramBank bank, again;
        BankSourceError error;
        ASSERT_TRUE(parseBankSource(text, bank, error)) << error.message;
        const std::string written = formatBankSource(bank);
        ASSERT_TRUE(parseBankSource(written, again, error)) << error.message << "\n" << written;
        EXPECT_TRUE(encodeBank(bank) == encodeBank(again)) << written;
        EXPECT_EQ(formatBankSource(again), written);
    }
}

TEST(FactoryBankFile, FollowsTheBankLayout) {
    std::vector<uint8_t> bytes = committedBank();
    ASSERT_EQ(bytes.size(), 26848u);

    EXPECT_EQ(codeAt(bytes, 0), "CcnK");
    EXPECT_EQ(wordAt(bytes, 4), 216u);
    EXPECT_EQ(codeAt(bytes, 8), "FxBk");
    EXPECT_EQ(wordAt(bytes, 12), 1u);
    EXPECT_EQ(codeAt(bytes, 16), "Trlx");
    EXPECT_EQ(wordAt(bytes, 20), 1u);
    EXPECT_EQ(wordAt(bytes, 24), 128u);
    for (size_t i = 28; i < 156; ++i) ASSERT_EQ(bytes[i], 0) << "reserved byte " << i;

    for (int p = 0; p < 128; ++p) {
        size_t at = programOffset(p);
        SCOPED_TRACE("program " + std::to_string(p));
        EXPECT_EQ(codeAt(bytes, at), "CcnK");
        EXPECT_EQ(wordAt(bytes, at + 4), 200u);
        EXPECT_EQ(codeAt(bytes, at + 8), "FxCk");
        EXPECT_EQ(wordAt(bytes, at + 12), 1u);
        EXPECT_EQ(codeAt(bytes, at + 16), "Trlx");
        EXPECT_EQ(wordAt(bytes, at + 20), 1u);
        EXPECT_EQ(wordAt(bytes, at + 24), 38u);
        // The name, its NUL, then zeros to the end of the 28-byte field.
        size_t nameLength = storedName(bytes, p).size();
        EXPECT_LE(nameLength, 23u);
        for (size_t i = at + 28 + nameLength; i < at + 56; ++i) EXPECT_EQ(bytes[i], 0);
    }
    for (size_t i = programOffset(128); i < 26848; ++i) ASSERT_EQ(bytes[i], 0) << "trailer byte " << i;
}

TEST(FactoryBankFile, HoldsTheTellingPrograms) {
    std::vector<uint8_t> bytes = committedBank();
    ASSERT_EQ(bytes.size(), 26848u);

    EXPECT_EQ(storedName(bytes, 0), "Classiq");
    EXPECT_EQ(storedBits(bytes, 0, Param::AmpDecay), bitsOf(0.587f));
    EXPECT_EQ(storedBits(bytes, 0, Param::Osc1On), bitsOf(2.0f));
    const float classiq[38] = {0.5f, 0, 0, 0.587f, 0, 0.3f, 1, 0, 0.4810007f, 0.114f, 0.39f, 1, 1, 1,
                               0.4259999f, 0.1f, 0.5030001f, 1, 0.5000002f, 0, 1, 0, 0, 2, 1,
                               0.5069995f, 0, 1, 1, 0, 1, 1, 0.5000005f, 0, 1, 0, 0, 0};
    expectRow(bytes, 0, classiq);

    // The printed row of "Rave bass" holds one zero too many at values 25 and 26; without it
    // oscillator 2 sits an octave down and is switched on, and oscillator 3 keeps its pitch.
    EXPECT_EQ(storedName(bytes, 1), "Rave bass");
    const float raveBass[38] = {0.586f, 0.1f, 0.3050001f, 0.6159999f, 0, 0.146f, 1, 0, 0.697f, 0.127f,
                                0.504f, 1, 1, 1, 0.323f, 0.1f, 0.4820001f, 1, 0.5000999f, 0, 0.648f,
                                0, 0, 2, 1, 0, 0.212f, 0.4969999f, 0.994f, 0.192f, 1, 0.6950001f,
                                0.5099998f, 0, 0.6420002f, 1, 0, 0};
    expectRow(bytes, 1, raveBass);

    EXPECT_EQ(storedName(bytes, 127), "Blank");
    const float blank127[38] = {0.2320002f, 0.343f, 0, 0.74f, 0, 0.261f, 1, 0, 0.98f, 0, 1, 1, 1, 1,
                                0.5110003f, 0, 0.5f, 1, 1, 0, 0, 0, 0, 2, 1, 0.5030003f, 0, 0, 0, 0,
                                1, 1, 0, 0, 0, 0, 0, 1};
    expectRow(bytes, 127, blank127);
}

TEST(FactoryBankFile, StoredValuesKeepTheirPromisedRanges) {
    std::vector<uint8_t> bytes = committedBank();
    ASSERT_EQ(bytes.size(), 26848u);

    EXPECT_EQ(storedName(bytes, 2), "Walking Bass");
    int osc1OnAtTwo = 0;
    for (int p = 0; p < 128; ++p) {
        for (int i = 0; i < 38; ++i) {
            uint32_t bits = storedBits(bytes, p, i);
            float value;
            std::memcpy(&value, &bits, sizeof value);
            if (i == Param::Osc1On) {
                osc1OnAtTwo += value == 2.0f;
                EXPECT_TRUE(value == 0.0f || value == 1.0f || value == 2.0f) << "program " << p;
            } else if (i == Param::Osc2On || i == Param::Osc3On || i == Param::Chorus) {
                EXPECT_TRUE(value == 0.0f || value == 1.0f) << "program " << p << " parameter " << i;
            } else {
                EXPECT_TRUE(value >= 0.0f && value <= 1.0f) << "program " << p << " parameter " << i;
            }
        }
    }
    EXPECT_EQ(osc1OnAtTwo, 56);
    for (int p : {0, 1, 127}) EXPECT_EQ(storedBits(bytes, p, Param::Osc1On), bitsOf(2.0f)) << "program " << p;
}

TEST(BankSource, ReadsValuesNamesAndDefaults) {
    std::string text =
        "# leading comment\r\n"
        "program 0 \"Lead #1\"   # a '#' inside quotes belongs to the name\r\n"
        "  Volume 0.25  Cutoff +1e-1 Drive 1.5\r\n"
        "  Osc1Level -0.5\tOsc3On 0\r\n"
        "program 1 \"Exactly twenty-three ch\"\n"
        "program 2 \"\" Resonance .75\n";
    text = withPrograms(text, 3);

    ProgramBank bank;
    BankSourceError error;
    ASSERT_TRUE(parseBankSource(text, bank, error)) << error.message;
    const ProgramRecord fresh;

    EXPECT_STREQ(bank[0].name, "Lead #1");
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::Volume)), bitsOf(0.25f));
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::Cutoff)), bitsOf(0.1f));
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::Drive)), bitsOf(1.5f));      // outside 0..1, kept
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::Osc1Level)), bitsOf(-0.5f));
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::Osc3On)), bitsOf(0.0f));
    EXPECT_EQ(bitsOf(bank[0].valueOf(Param::AmpAttack)), bitsOf(fresh.valueOf(Param::AmpAttack)));

    EXPECT_STREQ(bank[1].name, "Exactly twenty-three ch");
    EXPECT_STREQ(bank[2].name, "");
    EXPECT_EQ(bitsOf(bank[2].valueOf(Param::Resonance)), bitsOf(0.75f));
    EXPECT_STREQ(bank[127].name, "Blank");
    for (int i = 0; i < kNumParameters; ++i) {
        EXPECT_EQ(bitsOf(bank[127].valueOf(i)), bitsOf(fresh.valueOf(i))) << "parameter " << i;
    }

    std::vector<uint8_t> bytes = encodeBank(bank);
    ASSERT_EQ(bytes.size(), 26848u);
    EXPECT_EQ(storedName(bytes, 0), "Lead #1");
    EXPECT_EQ(storedBits(bytes, 0, Param::Osc1Level), bitsOf(-0.5f));
    EXPECT_EQ(storedBits(bytes, 0, Param::Osc3On), bitsOf(0.0f));
    EXPECT_EQ(storedBits(bytes, 2, Param::Resonance), bitsOf(0.75f));
}

struct BadSource {
    const char* what;
    std::string text;
    int line;
    const char* message;   // expected part of the message after "line N: "
};

TEST(BankSource, RejectsBadSourcesWithTheirLine) {
    const std::string p0 = "program 0 \"Zero\"\n";   // line 1
    const BadSource cases[] = {
        {"unknown name", withPrograms(p0 + "  Volume 0.5 Volumes 0.5\n", 1), 2,
         "unknown parameter name 'Volumes'"},
        {"names are case-sensitive", withPrograms(p0 + "  volume 0.5\n", 1), 2,
         "unknown parameter name 'volume'"},
        {"polyphony", withPrograms(p0 + "  Polyphony 1\n", 1), 2,
         "parameter 'Polyphony' is not stored in the factory bank"},
        {"word value", withPrograms(p0 + "  Volume abc\n", 1), 2, "value 'abc' of 'Volume' is not a number"},
        {"trailing junk", withPrograms(p0 + "  Volume 0.5x\n", 1), 2, "value '0.5x' of 'Volume' is not a number"},
        {"nan", withPrograms(p0 + "  Volume nan\n", 1), 2, "value 'nan' of 'Volume' is not a number"},
        {"inf", withPrograms(p0 + "  Volume -inf\n", 1), 2, "value '-inf' of 'Volume' is not a number"},
        {"hex", withPrograms(p0 + "  Volume 0x1p-1\n", 1), 2, "value '0x1p-1' of 'Volume' is not a number"},
        {"bare exponent", withPrograms(p0 + "  Volume 1e\n", 1), 2, "value '1e' of 'Volume' is not a number"},
        {"lone point", withPrograms(p0 + "  Volume .\n", 1), 2, "value '.' of 'Volume' is not a number"},
        {"too large", withPrograms(p0 + "  Volume 1e39\n", 1), 2,
         "value '1e39' of 'Volume' is outside the range of a 32-bit float"},
        {"value missing", withPrograms(p0 + "  Volume\n  0.5\n", 1), 2, "value missing after 'Volume'"},
        {"quoted value", withPrograms(p0 + "  Volume \"0.5\"\n", 1), 2, "value missing after 'Volume'"},
        {"stray quotes", withPrograms(p0 + "  Volume 0.5 \"x\"\n", 1), 2, "unexpected quoted text \"x\""},
        {"parameter twice", withPrograms(p0 + "  Volume 0.5 AmpAttack 0\n\n  Volume 0.6\n", 1), 4,
         "parameter 'Volume' given twice in program 0 (first on line 2)"},
        {"before any program", withPrograms("# bank\nVolume 0.5\n" + p0, 1), 2,
         "parameter 'Volume' comes before the first 'program' line"},
        {"program 128", withPrograms(p0, 1) + "program 128 \"X\"\n", 129, "program number 128 is outside 0..127"},
        {"program -1", "program -1 \"X\"\n" + withPrograms(p0, 1), 1, "program number -1 is outside 0..127"},
        {"program 99999999999", "program 99999999999 \"X\"\n", 1,
         "program number 99999999999 is outside 0..127"},
        {"program 1.5", "program 1.5 \"X\"\n", 1, "program number '1.5' is not a whole number"},
        {"number missing", p0 + "program \"One\"\n", 2, "program number missing after 'program'"},
        {"keyword alone", p0 + "program\n", 2, "program number missing after 'program'"},
        {"program twice", withPrograms(p0, 1) + "\nprogram 0 \"Again\"\n", 130,
         "program 0 given twice (first on line 1)"},
        {"program missing", withPrograms(p0, 1, 77), 127, "program 77 is missing"},
        {"empty text", "", 1, "program 0 is missing"},
        {"name 24 long", "program 0 \"Exactly twenty-four chars\"\n", 1,
         "name \"Exactly twenty-four chars\" is longer than 23 characters"},
        {"name missing", "program 0 Zero\n", 1, "name of program 0 missing (write it in double quotes)"},
        {"name not closed", p0 + "program 1 \"One\n" + withPrograms("", 2), 2, "missing closing quote"},
        {"name with a tab", "program 0 \"Ze\tro\"\n", 1,
         "name of program 0 holds a character that is not printable ASCII"},
    };
    for (const BadSource& bad : cases) {
        SCOPED_TRACE(bad.what);
        ProgramBank bank;
        BankSourceError error;
        ASSERT_FALSE(parseBankSource(bad.text, bank, error));
        EXPECT_EQ(error.line, bad.line);
        EXPECT_EQ(error.message, "line " + std::to_string(bad.line) + ": " + bad.message);
    }
}
