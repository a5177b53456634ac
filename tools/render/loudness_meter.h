#pragma once
#include <cstddef>
#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/render/frame_sink.h"

// EBU R 128 / ITU-R BS.1770 measurement of a stereo render, by libebur128:
// integrated loudness, loudness range and true peak (4x oversampled).
// Builds without the library measure nothing and say so (available()).

struct Loudness {
    double integratedLufs = -HUGE_VAL;   // -inf for silence (below the absolute gate)
    double rangeLu = 0.0;
    double truePeakDbtp = -HUGE_VAL;
};

// "-16.0 LUFS, range 4.2 LU, true peak -1.0 dBTP"
std::string loudnessText(const Loudness& loudness);

class LoudnessMeter : public FrameSink {
public:
    static bool available();

    LoudnessMeter() = default;
    ~LoudnessMeter() override;
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    // Frames written go on to `next` too, when it is given.
    bool start(uint32_t sampleRate, FrameSink* next, std::string& error);
    bool writePlanar(const float* left, const float* right, size_t frames, std::string& error) override;
    Loudness result() const;

private:
    void* state_ = nullptr;   // the library's ebur128_state
    FrameSink* next_ = nullptr;
    std::vector<float> interleaved_;
};

// The gain that takes a render measured as `measured` to `targetLufs`, held so
// that its true peak stays at or below `ceilingDbtp` (when a ceiling is set).
// Without a target, the gain only lowers a render above the ceiling. Silence
// gets 1. `ceilingWon` tells that the ceiling cut the gain.
struct LoudnessGain {
    float gain = 1.0f;
    bool ceilingWon = false;
    double reductionDb = 0.0;            // how far below the target gain the ceiling held it
};
LoudnessGain loudnessGain(const Loudness& measured, bool hasTarget, double targetLufs, bool hasCeiling,
                          double ceilingDbtp);
