#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/render/frame_sink.h"

// Streams a stereo WAV file: 32-bit float (format 3, with a fact chunk) or
// 16/24-bit integer PCM (format 1). The file is written under a temporary name
// beside the destination ("<name>.partial", or "<name>.1.partial"... when that
// exists: the temporary file is always a new one) and renamed onto the
// destination by finish(), so the destination never holds a half-written file;
// abort(), a failed write or destruction before finish() removes the temporary
// file.
//
// Written to standard output, or straight into an output that is not a
// regular file (a device, a FIFO), the header carries the sizes when they are
// known in advance, and otherwise the largest sizes (as pipes into other tools
// expect); when the stream can seek, finish() patches them. A write that finds
// the reader gone fails with "output closed" and outputClosed() is true.
//
// Integer output is scaled by 2^(bits−1), optionally TPDF-dithered, rounded to
// nearest and clamped to the integer range (so +1.0 becomes the largest code).
// The dither is triangular, ±1 LSB peak, from a fixed-seed generator: the same
// samples always give the same file. Float output keeps values beyond ±1.0.
// NaN and infinite samples are written as 0 in every format.

enum class WavSampleFormat { Float32, Pcm16, Pcm24 };

struct WavLevels {
    uint64_t frames = 0;
    uint64_t clippedSamples = 0;     // samples (either channel) with |x| > 1.0
    uint64_t nonFiniteSamples = 0;   // NaN or infinite input samples
    double peak = 0.0;               // largest |x| of the finite input samples
    double sumOfSquares = 0.0;       // over both channels, finite samples

    // 20·log10 of the peak and of the RMS of both channels; -inf for silence.
    // A full-scale sine reads 0 dBFS peak and -3.01 dBFS RMS.
    double peakDbfs() const;
    double rmsDbfs() const;

    // Counts one sample (either channel).
    void add(float x);
};

class WavWriter : public FrameSink {
public:
    WavWriter() = default;
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    bool open(const std::filesystem::path& destination, uint32_t sampleRate, WavSampleFormat format,
              bool dither, std::string& error);
    // expectedFrames: the frames that will be written, or 0 when not known.
    bool openStandardOutput(uint32_t sampleRate, WavSampleFormat format, bool dither, uint64_t expectedFrames,
                            std::string& error);
    // The same into `device`, opened here and closed by finish().
    bool openStream(const std::filesystem::path& device, uint32_t sampleRate, WavSampleFormat format, bool dither,
                    uint64_t expectedFrames, std::string& error);
    bool outputClosed() const { return outputClosed_; }

    // Interleaved: left, right, left, right... `frames` pairs.
    bool writeInterleaved(const float* samples, size_t frames, std::string& error);
    bool writePlanar(const float* left, const float* right, size_t frames, std::string& error) override;

    // Patches the sizes, closes and renames onto the destination.
    bool finish(std::string& error);
    // Closes and removes the temporary file; the destination is left untouched.
    // On standard output, only stops writing.
    void abort();

    const WavLevels& levels() const { return levels_; }
    const std::filesystem::path& temporaryPath() const { return temporaryPath_; }

private:
    int32_t bytesPerSample() const;
    uint32_t headerBytes() const;
    bool start(uint32_t sampleRate, WavSampleFormat format, bool dither, std::string& error);
    bool writeHeader(uint32_t dataBytes);
    bool startStream(std::FILE* file, bool owned, uint64_t expectedFrames, std::string& error);
    // The reason of a failed write or flush of the stream, errno as it left it.
    std::string streamError(int errnoValue);
    void closeFile();
    void appendSample(float x);
    bool flushBuffer(std::string& error);
    float nextDither();

    std::FILE* file_ = nullptr;
    bool toStandardOutput_ = false;   // any stream: standard output or a device
    bool ownsStream_ = false;
    bool outputClosed_ = false;
    std::string streamName_;
    std::filesystem::path destination_;
    std::filesystem::path temporaryPath_;
    WavSampleFormat format_ = WavSampleFormat::Float32;
    uint32_t sampleRate_ = 0;
    bool dither_ = false;
    bool isOpen_ = false;
    uint64_t dataBytes_ = 0;
    uint64_t ditherState_ = 0;
    std::vector<uint8_t> buffer_;
    WavLevels levels_;
};
