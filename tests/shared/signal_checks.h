#pragma once
#include <cmath>
#include <vector>

// What the tests ask of a stretch of samples, in every build.
namespace signal_checks {

inline bool allFinite(const std::vector<float>& samples) {
    for (float x : samples)
        if (!std::isfinite(x)) return false;
    return true;
}

inline bool allZero(const std::vector<float>& samples) {
    for (float x : samples)
        if (x != 0.0f) return false;
    return true;
}

inline float peak(const std::vector<float>& samples) {
    float m = 0.0f;
    for (float x : samples) m = std::fmax(m, std::fabs(x));
    return m;
}

}  // namespace signal_checks
