#pragma once
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "tools/render/frame_sink.h"
#include "tools/render/wav_writer.h"

// Keeps a render's frames as raw 32-bit floats in a temporary file, so that a
// second pass can scale them once the peak is known (peak normalisation). It
// takes 8 bytes of disk per frame and a fixed 64 KiB of memory, however long
// the song. The file is created new (never a user's file) and removed when the
// spool is destroyed.
class FloatSpool : public FrameSink {
public:
    FloatSpool() = default;
    ~FloatSpool() override;
    FloatSpool(const FloatSpool&) = delete;
    FloatSpool& operator=(const FloatSpool&) = delete;

    // Creates "<base>.spool" (or "<base>.1.spool"...).
    bool open(const std::filesystem::path& base, std::string& error);
    bool writePlanar(const float* left, const float* right, size_t frames, std::string& error) override;

    // Levels of everything written so far.
    const WavLevels& levels() const { return levels_; }
    const std::filesystem::path& path() const { return path_; }

    // Plays the frames back into `sink`, each sample multiplied by gain.
    bool replay(FrameSink& sink, float gain, std::string& error);

    // Reading back piece by piece, beside other spools: rewind, then read
    // answers up to maxFrames frames (`got`, 0 at the end).
    bool rewind(std::string& error);
    bool read(float* left, float* right, size_t maxFrames, size_t& got, std::string& error);

private:
    static constexpr size_t kChunkFrames = 4096;

    std::FILE* file_ = nullptr;
    std::filesystem::path path_;
    std::vector<float> buffer_;
    WavLevels levels_;
    uint64_t readFrames_ = 0;
};

// The gain that brings `peak` to `targetDbfs`; 1 for silence.
float normalizingGain(double peak, double targetDbfs);
