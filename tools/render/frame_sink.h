#pragma once
#include <cstddef>
#include <string>

// Where rendered stereo frames go: the WAV writer, or a spool that keeps them
// for a second pass.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // On failure returns false with a one-line reason.
    virtual bool writePlanar(const float* left, const float* right, size_t frames, std::string& error) = 0;
};
