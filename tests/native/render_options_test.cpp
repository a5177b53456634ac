#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/render/render_options.h"

namespace {

struct Parsed {
    bool ok;
    RenderOptions options;
    OptionError error;
};

Parsed parse(std::vector<std::string> args) {
    Parsed p{};
    p.ok = parseRenderOptions(args, p.options, p.error);
    return p;
}

void expectRefused(std::vector<std::string> args, const std::string& subject, const std::string& problemPart) {
    const Parsed p = parse(args);
    std::string line;
    for (const auto& a : args) line += a + " ";
    ASSERT_FALSE(p.ok) << line;
    EXPECT_EQ(p.error.subject, subject) << line;
    EXPECT_NE(p.error.problem.find(problemPart), std::string::npos) << line << "-> " << p.error.problem;
}

}  // namespace

TEST(RenderOptions, DefaultsForAPlainRender) {
    const Parsed p = parse({"song.mid", "-o", "out.wav"});
    ASSERT_TRUE(p.ok) << p.error.problem;
    EXPECT_EQ(p.options.mode, RenderOptions::Mode::Render);
    EXPECT_EQ(p.options.midiPath, "song.mid");
    EXPECT_EQ(p.options.outputPath, "out.wav");
    EXPECT_EQ(p.options.pluginPath, "");
    EXPECT_EQ(p.options.program, -1);
    EXPECT_EQ(p.options.sampleRate, 44100u);
    EXPECT_EQ(p.options.blockSize, 512);
    EXPECT_FALSE(p.options.tailGiven);
    EXPECT_EQ(p.options.format, WavSampleFormat::Float32);
    EXPECT_TRUE(p.options.dither);
    EXPECT_FALSE(p.options.quiet);
}

TEST(RenderOptions, EveryOptionInBothSpellingsAndAnyOrder) {
    const Parsed p = parse({"--plugin", "x.dll", "--program=1", "--sample-rate", "48000", "--block-size=64",
                            "song.mid", "--tail", "2.5", "--format=s24", "--no-dither", "-q", "--output=o.wav"});
    ASSERT_TRUE(p.ok) << p.error.problem;
    EXPECT_EQ(p.options.pluginPath, "x.dll");
    EXPECT_EQ(p.options.program, 1);
    EXPECT_EQ(p.options.sampleRate, 48000u);
    EXPECT_EQ(p.options.blockSize, 64);
    EXPECT_TRUE(p.options.tailGiven);
    EXPECT_DOUBLE_EQ(p.options.tailSeconds, 2.5);
    EXPECT_EQ(p.options.format, WavSampleFormat::Pcm24);
    EXPECT_FALSE(p.options.dither);
    EXPECT_TRUE(p.options.quiet);
    EXPECT_EQ(p.options.outputPath, "o.wav");
    EXPECT_EQ(p.options.midiPath, "song.mid");

    const Parsed s16 = parse({"a.mid", "-o", "b.wav", "--format", "s16", "--tail", "0"});
    ASSERT_TRUE(s16.ok);
    EXPECT_EQ(s16.options.format, WavSampleFormat::Pcm16);
    EXPECT_TRUE(s16.options.tailGiven);
    EXPECT_EQ(s16.options.tailSeconds, 0.0);
}

TEST(RenderOptions, RangesAreInclusive) {
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--block-size", "1"}).ok);
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--block-size", "8192"}).ok);
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--sample-rate", "8000"}).ok);
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--sample-rate", "384000"}).ok);
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--tail", "600"}).ok);
    EXPECT_TRUE(parse({"a.mid", "-o", "b", "--program", "0"}).ok);
}

TEST(RenderOptions, AbsurdValuesAreRefusedWithTheOptionNamed) {
    expectRefused({"a.mid", "-o", "b", "--block-size", "0"}, "--block-size", "out of range (1 to 8192)");
    expectRefused({"a.mid", "-o", "b", "--block-size", "8193"}, "--block-size", "out of range");
    expectRefused({"a.mid", "-o", "b", "--block-size", "abc"}, "--block-size", "'abc' is not a whole number");
    expectRefused({"a.mid", "-o", "b", "--block-size", "12k"}, "--block-size", "not a whole number");
    expectRefused({"a.mid", "-o", "b", "--block-size", " 12"}, "--block-size", "not a whole number");
    expectRefused({"a.mid", "-o", "b", "--block-size", "99999999999999999999"}, "--block-size", "not a whole number");
    expectRefused({"a.mid", "-o", "b", "--sample-rate", "7999"}, "--sample-rate", "out of range (8000 to 384000)");
    expectRefused({"a.mid", "-o", "b", "--sample-rate", "44100.5"}, "--sample-rate", "not a whole number");
    expectRefused({"a.mid", "-o", "b", "--tail", "-1"}, "--tail", "out of range");
    expectRefused({"a.mid", "-o", "b", "--tail", "600.01"}, "--tail", "out of range");
    expectRefused({"a.mid", "-o", "b", "--tail", "nan"}, "--tail", "not a number of seconds");
    expectRefused({"a.mid", "-o", "b", "--tail", "inf"}, "--tail", "not a number of seconds");
    expectRefused({"a.mid", "-o", "b", "--tail", "0x10"}, "--tail", "not a number of seconds");
    expectRefused({"a.mid", "-o", "b", "--tail", "1e999"}, "--tail", "not a number of seconds");
    expectRefused({"a.mid", "-o", "b", "--program", "-1"}, "--program", "out of range");
    expectRefused({"a.mid", "-o", "b", "--format", "s8"}, "--format", "not a format (f32, s16 or s24)");
}

TEST(RenderOptions, MalformedCommandLinesAreRefused) {
    expectRefused({"a.mid", "-o", "b", "--bogus"}, "--bogus", "unknown option");
    expectRefused({"a.mid", "-o", "b", "-x"}, "-x", "unknown option");
    expectRefused({"a.mid", "-o"}, "-o", "needs a value");
    expectRefused({"a.mid", "-o", "b", "--block-size"}, "--block-size", "needs a value");
    expectRefused({"a.mid", "-o", "b", "--tail="}, "--tail", "needs a value");
    expectRefused({"a.mid", "-o", "b", "--quiet=yes"}, "--quiet", "takes no value");
    expectRefused({"-o", "b"}, "", "no MIDI file given");
    expectRefused({"a.mid"}, "a.mid", "no output file given");
    expectRefused({"a.mid", "b.mid", "-o", "c"}, "b.mid", "only one MIDI file");
    expectRefused({"a.mid", "-o", "b", "--json"}, "--json", "only goes with --info");
    expectRefused({"--info", "a.mid"}, "a.mid", "--info takes no MIDI file");
    expectRefused({"--info", "-o", "x.wav"}, "-o", "writes no output file");
}

TEST(RenderOptions, InfoHelpAndTheEndOfOptions) {
    const Parsed info = parse({"--info", "--json", "--plugin", "p.so"});
    ASSERT_TRUE(info.ok);
    EXPECT_EQ(info.options.mode, RenderOptions::Mode::Info);
    EXPECT_TRUE(info.options.json);
    EXPECT_EQ(info.options.pluginPath, "p.so");

    // Help wins over everything else on the line, even over mistakes after it.
    EXPECT_EQ(parse({"--info", "--help"}).options.mode, RenderOptions::Mode::Help);
    EXPECT_EQ(parse({"-h"}).options.mode, RenderOptions::Mode::Help);

    const Parsed dashed = parse({"-o", "out.wav", "--", "--odd-name.mid"});
    ASSERT_TRUE(dashed.ok) << dashed.error.problem;
    EXPECT_EQ(dashed.options.midiPath, "--odd-name.mid");

    EXPECT_NE(renderUsage().find("--sample-rate HZ"), std::string::npos);
}

TEST(RenderOptions, StrictNumberReaders) {
    int64_t n = 0;
    EXPECT_TRUE(parseWholeNumber("+42", n));
    EXPECT_EQ(n, 42);
    EXPECT_TRUE(parseWholeNumber("-7", n));
    EXPECT_EQ(n, -7);
    for (const char* bad : {"", "-", "+", "4 2", "4.0", "1e3", "0x10", "123456789012345678901"})
        EXPECT_FALSE(parseWholeNumber(bad, n)) << bad;
    double d = 0;
    EXPECT_TRUE(parseDecimal("1.5e1", d));
    EXPECT_EQ(d, 15.0);
    EXPECT_TRUE(parseDecimal(".5", d));
    EXPECT_EQ(d, 0.5);
    for (const char* bad : {"", " 1", "1 ", "1,5", "infinity", "NaN", "0x1p3", "1e400", "--1"})
        EXPECT_FALSE(parseDecimal(bad, d)) << bad;
}
