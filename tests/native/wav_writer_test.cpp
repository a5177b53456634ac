#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <numbers>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tools/render/float_spool.h"
#include "tools/render/wav_writer.h"

namespace fs = std::filesystem;

namespace {

std::string run(const std::string& command) {
    std::string output;
    FILE* pipe = popen(command.c_str(), "r");
    if (!pipe) return output;
    char chunk[4096];
    size_t n;
    while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) output.append(chunk, n);
    EXPECT_EQ(pclose(pipe), 0) << command;
    return output;
}

std::string quoted(const fs::path& p) { return "'" + p.string() + "'"; }

std::string soxiField(const fs::path& p, const char* flag) {
    std::string text = run("soxi " + std::string(flag) + " " + quoted(p) + " 2>/dev/null");
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

// Frames as read back by sox (normalized to ±1; sox clamps floats beyond full scale).
std::vector<std::pair<double, double>> soxFrames(const fs::path& p) {
    std::istringstream lines(run("sox " + quoted(p) + " -t dat - 2>/dev/null"));
    std::vector<std::pair<double, double>> frames;
    std::string line;
    while (std::getline(lines, line)) {
        if (line.empty() || line[0] == ';') continue;
        std::istringstream fields(line);
        double time, left, right;
        fields >> time >> left >> right;
        frames.push_back({left, right});
    }
    return frames;
}

// 16-bit files read by Python's wave module: "channels width rate frames" then the samples.
struct PythonWave {
    int channels = 0, width = 0, rate = 0, frames = 0;
    std::vector<int> samples;
};

PythonWave readWithPython(const fs::path& p) {
    const std::string script =
        "import wave,struct,sys\n"
        "w=wave.open(sys.argv[1],'rb')\n"
        "n=w.getnframes()\n"
        "d=w.readframes(n)\n"
        "print(w.getnchannels(),w.getsampwidth(),w.getframerate(),n)\n"
        "print(' '.join(str(v) for v in struct.unpack('<%dh'%(len(d)//2),d)))\n";
    std::string escaped;
    for (char c : script) escaped += c == '\'' ? std::string("'\\''") : std::string(1, c);
    std::istringstream in(run("/usr/bin/python3 -c '" + escaped + "' " + quoted(p)));
    PythonWave w;
    in >> w.channels >> w.width >> w.rate >> w.frames;
    int v;
    while (in >> v) w.samples.push_back(v);
    return w;
}

std::vector<uint8_t> fileBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | (uint32_t(b[at + 1]) << 8) | (uint32_t(b[at + 2]) << 16) | (uint32_t(b[at + 3]) << 24);
}

uint16_t le16(const std::vector<uint8_t>& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

std::vector<int> pcm16Samples(const std::vector<uint8_t>& bytes) {
    std::vector<int> s;
    for (size_t i = 44; i + 1 < bytes.size(); i += 2) s.push_back(int16_t(le16(bytes, i)));
    return s;
}

class WavWriterTest : public testing::Test {
protected:
    void SetUp() override {
        std::random_device seed;
        dir_ = fs::path(testing::TempDir()) / ("vorzle_wav_" + std::to_string(seed()));
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // Writes the planar channels in one file and returns its path.
    fs::path write(const std::string& name, WavSampleFormat format, bool dither, const std::vector<float>& left,
                   const std::vector<float>& right, uint32_t rate = 44100) {
        const fs::path path = dir_ / name;
        WavWriter writer;
        std::string error;
        EXPECT_TRUE(writer.open(path, rate, format, dither, error)) << error;
        EXPECT_TRUE(writer.writePlanar(left.data(), right.data(), left.size(), error)) << error;
        EXPECT_TRUE(writer.finish(error)) << error;
        lastLevels_ = writer.levels();
        return path;
    }

    fs::path dir_;
    WavLevels lastLevels_;
};

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

}  // namespace

TEST_F(WavWriterTest, Pcm16RoundsToNearestClampsAndCounts) {
    const std::vector<float> left{0.0f, 0.5f, -0.5f, 1.0f, -1.0f, 1.5f, -2.0f,
                                  0.5f / 32768, -0.5f / 32768, 0.49f / 32768, 100.7f / 32768, kNaN};
    const std::vector<float> right{0.25f, -0.75f, 1.0f / 32768, -1.0f / 32768, 0.999f, -0.999f,
                                   1e-7f, -1.0000001f, 2.5f / 32768, -2.5f / 32768, kInf, 0.0f};
    const fs::path path = write("pcm16.wav", WavSampleFormat::Pcm16, false, left, right, 22050);

    const PythonWave w = readWithPython(path);
    EXPECT_EQ(w.channels, 2);
    EXPECT_EQ(w.width, 2);
    EXPECT_EQ(w.rate, 22050);
    EXPECT_EQ(w.frames, 12);
    // Halves round up (ties towards +inf); +1.0 and beyond give the largest code.
    const std::vector<int> expectedLeft{0, 16384, -16384, 32767, -32768, 32767, -32768, 1, 0, 0, 101, 0};
    const std::vector<int> expectedRight{8192, -24576, 1, -1, 32735, -32735, 0, -32768, 3, -2, 0, 0};
    ASSERT_EQ(w.samples.size(), 24u);
    for (int i = 0; i < 12; ++i) {
        EXPECT_EQ(w.samples[2 * i], expectedLeft[i]) << "left " << i;
        EXPECT_EQ(w.samples[2 * i + 1], expectedRight[i]) << "right " << i;
    }

    EXPECT_EQ(soxiField(path, "-c"), "2");
    EXPECT_EQ(soxiField(path, "-r"), "22050");
    EXPECT_EQ(soxiField(path, "-s"), "12");
    EXPECT_EQ(soxiField(path, "-b"), "16");
    EXPECT_EQ(soxiField(path, "-e"), "Signed Integer PCM");

    EXPECT_EQ(lastLevels_.frames, 12u);
    EXPECT_EQ(lastLevels_.clippedSamples, 3u);   // 1.5, -2.0, -1.0000001; exactly ±1.0 is not clipped
    EXPECT_EQ(lastLevels_.nonFiniteSamples, 2u);
    EXPECT_EQ(lastLevels_.peak, 2.0);
    EXPECT_NEAR(lastLevels_.peakDbfs(), 6.0206, 1e-4);
}

TEST_F(WavWriterTest, Pcm24KeepsTwentyFourBits) {
    const std::vector<float> left{1.0f, -1.0f, 1.0f / 8388608, 0.123456789f, -0.5f, 3.0f};
    const std::vector<float> right{-1.0f / 8388608, 0.75f, 0.0f, -0.987654321f, 0.5f / 8388608, -0.25f};
    const fs::path path = write("pcm24.wav", WavSampleFormat::Pcm24, false, left, right, 96000);

    EXPECT_EQ(soxiField(path, "-c"), "2");
    EXPECT_EQ(soxiField(path, "-r"), "96000");
    EXPECT_EQ(soxiField(path, "-s"), "6");
    EXPECT_EQ(soxiField(path, "-b"), "24");
    EXPECT_EQ(soxiField(path, "-e"), "Signed Integer PCM");

    const std::vector<double> codesLeft{8388607, -8388608, 1, std::floor(0.123456789f * 8388608.0 + 0.5), -4194304,
                                        8388607};
    const std::vector<double> codesRight{-1, 6291456, 0, std::floor(-0.987654321f * 8388608.0 + 0.5), 1, -2097152};
    const auto frames = soxFrames(path);
    ASSERT_EQ(frames.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_NEAR(frames[i].first, codesLeft[i] / 8388608.0, 1e-10) << i;
        EXPECT_NEAR(frames[i].second, codesRight[i] / 8388608.0, 1e-10) << i;
    }
    const std::vector<uint8_t> bytes = fileBytes(path);
    ASSERT_EQ(bytes.size(), 44u + 6 * 6);
    EXPECT_EQ(le16(bytes, 20), 1);    // PCM
    EXPECT_EQ(le16(bytes, 32), 6);    // block align
    EXPECT_EQ(le16(bytes, 34), 24);   // bits
    EXPECT_EQ(bytes[44], 0xFF);       // +full scale, little-endian 0x7FFFFF
    EXPECT_EQ(bytes[45], 0xFF);
    EXPECT_EQ(bytes[46], 0x7F);
    EXPECT_EQ(lastLevels_.clippedSamples, 1u);
}

TEST_F(WavWriterTest, FloatHeaderHasFactChunkAndKeepsValuesBeyondFullScale) {
    const std::vector<float> left{0.5f, 1.5f, -0.125f};
    const std::vector<float> right{-0.999f, 1e-8f, -3.0f};
    const fs::path path = write("float.wav", WavSampleFormat::Float32, true, left, right, 48000);
    const std::vector<uint8_t> b = fileBytes(path);
    ASSERT_EQ(b.size(), 58u + 3 * 8);
    EXPECT_EQ(std::string(b.begin(), b.begin() + 4), "RIFF");
    EXPECT_EQ(le32(b, 4), 58u - 8 + 24);
    EXPECT_EQ(std::string(b.begin() + 8, b.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(le32(b, 16), 18u);        // fmt chunk size with cbSize
    EXPECT_EQ(le16(b, 20), 3);          // WAVE_FORMAT_IEEE_FLOAT
    EXPECT_EQ(le16(b, 22), 2);          // channels
    EXPECT_EQ(le32(b, 24), 48000u);     // sample rate
    EXPECT_EQ(le32(b, 28), 384000u);    // bytes per second
    EXPECT_EQ(le16(b, 32), 8);          // block align
    EXPECT_EQ(le16(b, 34), 32);         // bits per sample
    EXPECT_EQ(le16(b, 36), 0);          // cbSize
    EXPECT_EQ(std::string(b.begin() + 38, b.begin() + 42), "fact");
    EXPECT_EQ(le32(b, 42), 4u);
    EXPECT_EQ(le32(b, 46), 3u);         // frames
    EXPECT_EQ(std::string(b.begin() + 50, b.begin() + 54), "data");
    EXPECT_EQ(le32(b, 54), 24u);
    for (size_t i = 0; i < 3; ++i) {   // bit-exact, dither does not touch float output
        float l, r;
        std::memcpy(&l, &b[58 + 8 * i], 4);
        std::memcpy(&r, &b[62 + 8 * i], 4);
        EXPECT_EQ(l, left[i]);
        EXPECT_EQ(r, right[i]);
    }

    EXPECT_EQ(soxiField(path, "-c"), "2");
    EXPECT_EQ(soxiField(path, "-r"), "48000");
    EXPECT_EQ(soxiField(path, "-s"), "3");
    EXPECT_EQ(soxiField(path, "-b"), "32");
    EXPECT_EQ(soxiField(path, "-e"), "Floating Point PCM");
    const auto frames = soxFrames(path);
    ASSERT_EQ(frames.size(), 3u);
    EXPECT_NEAR(frames[0].first, 0.5, 1e-9);
    EXPECT_NEAR(frames[0].second, -0.999, 1e-7);
    EXPECT_NEAR(frames[2].first, -0.125, 1e-9);
    EXPECT_EQ(lastLevels_.clippedSamples, 2u);
    EXPECT_EQ(lastLevels_.peak, 3.0);
}

TEST_F(WavWriterTest, SizesArePatchedForEveryFormatWhenStreamingBlocks) {
    // 10000 frames in uneven interleaved blocks must equal one planar write.
    const size_t kFrames = 10000;
    std::vector<float> left(kFrames), right(kFrames), interleaved(2 * kFrames);
    for (size_t i = 0; i < kFrames; ++i) {
        left[i] = float(std::sin(0.01 * double(i)));
        right[i] = float(0.5 * std::cos(0.003 * double(i)));
        interleaved[2 * i] = left[i];
        interleaved[2 * i + 1] = right[i];
    }
    struct Case {
        WavSampleFormat format;
        uint32_t header;
        uint32_t blockAlign;
        const char* bits;
    };
    for (const Case& c : {Case{WavSampleFormat::Float32, 58, 8, "32"}, Case{WavSampleFormat::Pcm16, 44, 4, "16"},
                          Case{WavSampleFormat::Pcm24, 44, 6, "24"}}) {
        const fs::path whole = write("whole.wav", c.format, true, left, right);
        const fs::path streamed = dir_ / "streamed.wav";
        WavWriter writer;
        std::string error;
        ASSERT_TRUE(writer.open(streamed, 44100, c.format, true, error)) << error;
        size_t done = 0;
        for (size_t block : {1u, 44u, 4097u, 0u, 3000u, 8192u}) {
            const size_t n = std::min(block, kFrames - done);
            ASSERT_TRUE(writer.writeInterleaved(interleaved.data() + 2 * done, n, error)) << error;
            done += n;
        }
        ASSERT_EQ(done, kFrames);
        ASSERT_TRUE(writer.finish(error)) << error;

        const std::vector<uint8_t> a = fileBytes(whole);
        const std::vector<uint8_t> b = fileBytes(streamed);
        EXPECT_EQ(a, b) << c.bits;
        ASSERT_EQ(b.size(), c.header + kFrames * c.blockAlign);
        EXPECT_EQ(le32(b, 4), b.size() - 8);
        EXPECT_EQ(le32(b, c.header - 4), kFrames * c.blockAlign);
        EXPECT_EQ(soxiField(streamed, "-s"), "10000");
        EXPECT_EQ(soxiField(streamed, "-b"), c.bits);
        EXPECT_EQ(writer.levels().frames, kFrames);
    }
}

TEST_F(WavWriterTest, TpdfDitherIsDeterministicAndLinearizesLowLevels) {
    // A constant quarter of an LSB: plain rounding gives all zeros, TPDF dither
    // averages out to the true level and never strays more than 1.5 LSB from it.
    const size_t kFrames = 20000;
    const std::vector<float> quarter(kFrames, 0.25f / 32768);
    const std::vector<float> silence(kFrames, 0.0f);
    const std::vector<int> plain = pcm16Samples(fileBytes(write("plain.wav", WavSampleFormat::Pcm16, false, quarter, silence)));
    const std::vector<uint8_t> firstBytes = fileBytes(write("d1.wav", WavSampleFormat::Pcm16, true, quarter, silence));
    const std::vector<uint8_t> secondBytes = fileBytes(write("d2.wav", WavSampleFormat::Pcm16, true, quarter, silence));
    EXPECT_EQ(firstBytes, secondBytes);

    const std::vector<int> dithered = pcm16Samples(firstBytes);
    ASSERT_EQ(dithered.size(), 2 * kFrames);
    double sumLeft = 0.0, sumRight = 0.0;
    int nonZeroRight = 0;
    for (size_t i = 0; i < kFrames; ++i) {
        EXPECT_EQ(plain[2 * i], 0);
        EXPECT_LE(std::abs(dithered[2 * i] - 0.25), 1.5);
        EXPECT_LE(std::abs(dithered[2 * i + 1]), 1);
        sumLeft += dithered[2 * i];
        sumRight += dithered[2 * i + 1];
        nonZeroRight += dithered[2 * i + 1] != 0;
    }
    EXPECT_NEAR(sumLeft / kFrames, 0.25, 0.02);
    EXPECT_NEAR(sumRight / kFrames, 0.0, 0.02);
    // Triangular ±1 LSB on silence: P(|code| = 1) = 1/4.
    EXPECT_NEAR(double(nonZeroRight) / kFrames, 0.25, 0.02);
}

TEST_F(WavWriterTest, LevelsReadInDbfs) {
    std::vector<float> sine(48000), half(48000, -0.5f), silence(48000, 0.0f);
    for (size_t i = 0; i < sine.size(); ++i) sine[i] = float(std::sin(2.0 * std::numbers::pi * 1000.0 * double(i) / 48000.0));
    write("sine.wav", WavSampleFormat::Float32, false, sine, sine, 48000);
    EXPECT_NEAR(lastLevels_.peakDbfs(), 0.0, 1e-6);
    EXPECT_NEAR(lastLevels_.rmsDbfs(), -3.0103, 1e-4);
    EXPECT_EQ(lastLevels_.clippedSamples, 0u);

    write("half.wav", WavSampleFormat::Pcm16, false, half, silence);
    EXPECT_NEAR(lastLevels_.peakDbfs(), -6.0206, 1e-4);
    EXPECT_NEAR(lastLevels_.rmsDbfs(), -9.0309, 1e-4);   // one channel at -6 dB, the other silent

    write("silence.wav", WavSampleFormat::Pcm24, false, silence, silence);
    EXPECT_EQ(lastLevels_.peakDbfs(), -std::numeric_limits<double>::infinity());
    EXPECT_EQ(lastLevels_.rmsDbfs(), -std::numeric_limits<double>::infinity());
}

TEST_F(WavWriterTest, DestinationOnlyEverHoldsACompleteFile) {
    const fs::path destination = dir_ / "out.wav";
    { std::ofstream(destination) << "old"; }
    const std::vector<float> ones(100, 0.25f);
    std::string error;
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(destination, 44100, WavSampleFormat::Pcm16, false, error)) << error;
        EXPECT_EQ(writer.temporaryPath(), dir_ / "out.wav.partial");
        ASSERT_TRUE(writer.writePlanar(ones.data(), ones.data(), ones.size(), error));
        EXPECT_TRUE(fs::exists(writer.temporaryPath()));
        EXPECT_EQ(fileBytes(destination).size(), 3u);   // still the old file
        ASSERT_TRUE(writer.finish(error)) << error;
        EXPECT_FALSE(fs::exists(writer.temporaryPath()));
        EXPECT_EQ(fileBytes(destination).size(), 44u + 400);
        EXPECT_FALSE(writer.writePlanar(ones.data(), ones.data(), 1, error));
        EXPECT_EQ(error, "output file not open");
    }
    {   // abort: temporary removed, destination untouched
        WavWriter writer;
        ASSERT_TRUE(writer.open(destination, 44100, WavSampleFormat::Float32, false, error)) << error;
        ASSERT_TRUE(writer.writePlanar(ones.data(), ones.data(), ones.size(), error));
        writer.abort();
        EXPECT_FALSE(fs::exists(dir_ / "out.wav.partial"));
        EXPECT_EQ(fileBytes(destination).size(), 44u + 400);
        EXPECT_FALSE(writer.finish(error));
    }
    {   // destroyed without finish: same as abort
        WavWriter writer;
        ASSERT_TRUE(writer.open(destination, 44100, WavSampleFormat::Pcm24, false, error)) << error;
        ASSERT_TRUE(writer.writePlanar(ones.data(), ones.data(), ones.size(), error));
    }
    EXPECT_FALSE(fs::exists(dir_ / "out.wav.partial"));
    EXPECT_EQ(fileBytes(destination).size(), 44u + 400);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
}

TEST_F(WavWriterTest, OpenFailuresLeaveNothingBehind) {
    WavWriter writer;
    std::string error;
    EXPECT_FALSE(writer.open(dir_ / "missing" / "out.wav", 44100, WavSampleFormat::Pcm16, false, error));
    EXPECT_EQ(error.rfind("cannot create the temporary file ", 0), 0u) << error;
    EXPECT_FALSE(writer.open(dir_ / "out.wav", 0, WavSampleFormat::Pcm16, false, error));
    EXPECT_EQ(error, "invalid sample rate 0");
    EXPECT_TRUE(fs::is_empty(dir_));
    ASSERT_TRUE(writer.open(dir_ / "out.wav", 44100, WavSampleFormat::Pcm16, false, error)) << error;
    EXPECT_FALSE(writer.open(dir_ / "other.wav", 44100, WavSampleFormat::Pcm16, false, error));
    EXPECT_EQ(error, "output file already open");
    ASSERT_TRUE(writer.finish(error)) << error;
    EXPECT_EQ(soxiField(dir_ / "out.wav", "-s"), "0");   // an empty render is still a valid file
}

TEST_F(WavWriterTest, TemporaryFilesAreNewSoAUsersFileOfThatNameSurvives) {
    const fs::path destination = dir_ / "out.wav";
    { std::ofstream(dir_ / "out.wav.partial") << "mine"; }
    { std::ofstream(dir_ / "out.wav.1.partial") << "mine too"; }
    const std::vector<float> ones(10, 0.5f);
    std::string error;
    {
        WavWriter writer;
        ASSERT_TRUE(writer.open(destination, 44100, WavSampleFormat::Pcm16, false, error)) << error;
        EXPECT_EQ(writer.temporaryPath(), dir_ / "out.wav.2.partial");
        ASSERT_TRUE(writer.writePlanar(ones.data(), ones.data(), ones.size(), error));
    }   // destroyed unfinished: only its own file goes
    WavWriter writer;
    ASSERT_TRUE(writer.open(destination, 44100, WavSampleFormat::Pcm16, false, error)) << error;
    ASSERT_TRUE(writer.finish(error)) << error;
    EXPECT_EQ(fileBytes(dir_ / "out.wav.partial").size(), 4u);
    EXPECT_EQ(fileBytes(dir_ / "out.wav.1.partial").size(), 8u);
    EXPECT_FALSE(fs::exists(dir_ / "out.wav.2.partial"));
    EXPECT_TRUE(fs::exists(destination));
}

TEST_F(WavWriterTest, NormalizingReplaysTheSpoolScaledToTheTargetPeak) {
    std::vector<float> left(10000), right(10000);
    for (size_t i = 0; i < left.size(); ++i) {
        left[i] = 3.7f * std::sin(0.01f * float(i));   // peaks above full scale, as real songs do
        right[i] = -0.5f * left[i];
    }
    std::string error;
    fs::path spoolPath;
    {
        FloatSpool spool;
        ASSERT_TRUE(spool.open(dir_ / "out.wav", error)) << error;
        spoolPath = spool.path();
        EXPECT_EQ(spool.path(), dir_ / "out.wav.spool");
        for (size_t at = 0; at < left.size(); at += 3000)
            ASSERT_TRUE(spool.writePlanar(&left[at], &right[at], std::min<size_t>(3000, left.size() - at), error));
        EXPECT_EQ(spool.levels().frames, 10000u);
        EXPECT_NEAR(spool.levels().peak, 3.7, 1e-4);

        for (double target : {-1.0, 0.0, -20.0}) {
            WavWriter writer;
            ASSERT_TRUE(writer.open(dir_ / "out.wav", 44100, WavSampleFormat::Pcm24, false, error)) << error;
            ASSERT_TRUE(spool.replay(writer, normalizingGain(spool.levels().peak, target), error)) << error;
            ASSERT_TRUE(writer.finish(error)) << error;
            EXPECT_EQ(writer.levels().frames, 10000u);
            EXPECT_LE(writer.levels().peakDbfs(), target) << target;
            EXPECT_GT(writer.levels().peakDbfs(), target - 1e-4) << target;
            EXPECT_EQ(writer.levels().clippedSamples, 0u) << target;
        }
    }
    EXPECT_FALSE(fs::exists(spoolPath));   // the spool removes its file
    EXPECT_EQ(normalizingGain(0.0, -1.0), 1.0f);   // silence stays silence
}

TEST_F(WavWriterTest, StandardOutputCarriesKnownOrLargestSizesAndAFileGetsThemPatched) {
    const std::vector<float> half(100, 0.5f);
    // Standard output is redirected to a file for the test, and to a pipe.
    const fs::path file = dir_ / "stdout.wav";
    for (uint64_t expected : {uint64_t(0), uint64_t(100)}) {
        std::fflush(stdout);
        const int saved = dup(fileno(stdout));
        ASSERT_TRUE(std::freopen(file.c_str(), "wb", stdout));
        WavWriter writer;
        std::string error;
        const bool ok = writer.openStandardOutput(44100, WavSampleFormat::Pcm16, false, expected, error) &&
                        writer.writePlanar(half.data(), half.data(), half.size(), error) && writer.finish(error);
        std::fflush(stdout);
        dup2(saved, fileno(stdout));
        close(saved);
        ASSERT_TRUE(ok) << error;
        EXPECT_EQ(soxiField(file, "-s"), "100") << expected;
        EXPECT_EQ(le32(fileBytes(file), 40), 400u) << expected;
    }
}
