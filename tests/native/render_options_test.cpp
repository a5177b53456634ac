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
    // --json reports a render too; the song and loudness options refuse what contradicts them.
    expectRefused({"a.mid", "-o", "b", "--drums"}, "--drums", "goes with --gm");
    expectRefused({"a.mid", "-o", "b", "--gm", "--program", "2"}, "--program", "and --gm exclude each other");
    expectRefused({"a.mid", "-o", "b", "--loudness", "-16", "--normalize"}, "--loudness", "and --normalize exclude");
    expectRefused({"a.mid", "-o", "b", "--true-peak", "1"}, "--true-peak", "out of range");
    expectRefused({"a.mid", "-o", "b", "--transpose", "49"}, "--transpose", "out of range");
    expectRefused({"a.mid", "-o", "b", "--stems", "-"}, "--stems", "needs a folder");
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

TEST(RenderOptions, LevelsProgramsChannelsAndBlocks) {
    const Parsed p = parse({"a.mid", "-o", "b.WAV", "--gain", "-6.5", "--program", "Walk", "--channels", "1-9,11-16",
                            "--fixed-blocks", "--ignore-program-changes", "--strict"});
    ASSERT_TRUE(p.ok) << p.error.problem;
    EXPECT_EQ(p.options.gainDb, -6.5);
    EXPECT_FALSE(p.options.normalize);
    EXPECT_EQ(p.options.program, -1);
    EXPECT_EQ(p.options.programName, "Walk");
    EXPECT_EQ(p.options.channels, 0xFDFF);   // all but channel 10
    EXPECT_TRUE(p.options.fixedBlocks);
    EXPECT_TRUE(p.options.ignoreProgramChanges);
    EXPECT_TRUE(p.options.strict);
    const Parsed defaults = parse({"a.mid", "-o", "b.wav"});
    EXPECT_FALSE(defaults.options.fixedBlocks || defaults.options.strict || defaults.options.ignoreProgramChanges);
    EXPECT_EQ(defaults.options.channels, 0xFFFF);

    // --normalize takes an optional level: a following number, or =LEVEL.
    const Parsed plain = parse({"--normalize", "a.mid", "-o", "b.wav"});
    ASSERT_TRUE(plain.ok) << plain.error.problem;
    EXPECT_TRUE(plain.options.normalize);
    EXPECT_EQ(plain.options.normalizeDbfs, -1.0);
    EXPECT_EQ(plain.options.midiPath, "a.mid");
    EXPECT_EQ(parse({"a.mid", "-o", "b.wav", "--normalize", "-3"}).options.normalizeDbfs, -3.0);
    EXPECT_EQ(parse({"a.mid", "-o", "b.wav", "--normalize=0"}).options.normalizeDbfs, 0.0);
    expectRefused({"a.mid", "-o", "b.wav", "--normalize", "3"}, "--normalize", "3 is out of range (-100 to 0)");
    expectRefused({"a.mid", "-o", "b.wav", "--normalize=loud"}, "--normalize", "'loud' is not a number");
    expectRefused({"a.mid", "-o", "b.wav", "--normalize", "--gain", "2"}, "--gain", "exclude each other");
    expectRefused({"a.mid", "-o", "b.wav", "--gain", "61"}, "--gain", "out of range (-60 to 60)");

    uint16_t mask = 0;
    std::string problem;
    EXPECT_TRUE(parseChannelList("10", mask, problem));
    EXPECT_EQ(mask, 0x0200);
    EXPECT_TRUE(parseChannelList("16,1-2", mask, problem));
    EXPECT_EQ(mask, 0x8003);
    for (const char* bad : {"0", "17", "1-", "-3", "3-1", "1,,2", "1-9,", "a", "1-2-3"}) {
        EXPECT_FALSE(parseChannelList(bad, mask, problem)) << bad;
        EXPECT_NE(problem.find("1 to 16"), std::string::npos) << bad;
    }
    EXPECT_EQ(parse({"--version", "--info"}).options.mode, RenderOptions::Mode::Version);
    EXPECT_EQ(versionText().rfind("vorzle-render ", 0), 0u);
}

TEST(RenderOptions, OutputNamesOtherThanWavAreRefusedWithAWayToConvert) {
    for (const char* name : {"out.wav", "OUT.Wav", "take.wave", "noextension", "dir.v2/out"})
        EXPECT_TRUE(parse({"a.mid", "-o", name}).ok) << name;
    expectRefused({"a.mid", "-o", "song.mp3"}, "song.mp3",
                  "vorzle-render writes WAV only; to get mp3, convert on the way: vorzle-render a.mid -o - | "
                  "ffmpeg -i - song.mp3");
    expectRefused({"a.mid", "-o", "dir/x.MID"}, "dir/x.MID",
                  "the output is audio, not MIDI: write x.wav, or another audio format on the way: vorzle-render "
                  "a.mid -o - | ffmpeg -i - x.flac");
    expectRefused({"a.mid", "-o", "dir/song.FLAC"}, "dir/song.FLAC", "to get flac");
    const Parsed toStdout = parse({"a.mid", "-o", "-"});
    ASSERT_TRUE(toStdout.ok);
    EXPECT_TRUE(writesToStandardOutput(toStdout.options));
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
