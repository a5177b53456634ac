#pragma once
// A careless host for the native plug-in (bin/Vorzle.so of the tree under
// test): it loads the module through vsthost, times every call with a steady
// clock and checks every sample that comes back. The tests that use it pick
// odd but legal arguments from a seeded generator; VORZLE_CARELESS_SEED in the
// environment replays a run.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <random>
#include <string>

#include "vst2/vst2_abi.h"
#include "vsthost/plugin_module.h"
#include "version_only_host.h"

namespace careless {

// No call may take longer than this, whatever its arguments. The slowest
// legitimate ones (a rate change rebuilding the tables at 192 kHz, a list of
// 65,536 events) take tens of milliseconds natively; ThreadSanitizer makes
// everything several times slower.
#if defined(__SANITIZE_THREAD__)
constexpr double kCallBoundMs = 1000.0;
#else
constexpr double kCallBoundMs = 200.0;
#endif

// Far louder than the instrument can play: the loudest block measured over
// every factory program, 64 voices at full velocity, volume, cutoff and
// resonance, at rates from 17 Hz to 192 kHz, peaks near 180. An engine that
// plays with tables and filters made for another rate passes it within a
// second and goes on to infinity.
constexpr float kLoudest = 1000.0f;

// Buffer sizes a host must provide: program names (kVstMaxProgNameLen), the
// instrument's parameter texts (at most 15 characters), effect name, vendor
// and product strings, and the error text.
constexpr size_t kProgramNameBytes = 24;
constexpr size_t kParamTextBytes = 16;
constexpr size_t kEffectNameBytes = 32;
constexpr size_t kVendorTextBytes = 64;
constexpr size_t kErrorTextBytes = 256;

inline std::string pluginPath() { return std::string(VORZLE_BINARY_DIR) + "/bin/Vorzle.so"; }

inline uint32_t seed() {
    const char* text = std::getenv("VORZLE_CARELESS_SEED");
    return text ? static_cast<uint32_t>(std::strtoul(text, nullptr, 10)) : 15u;
}

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
// Rates a host may send, sensible or not.
constexpr float kOddRates[] = {0.0f, -1.0f, -44100.0f, kNaN, kInf, -kInf, 1e-40f, 1.0f, 16.0f, 20.0f, 100.0f,
                               8000.0f, 22050.0f, 44100.0f, 48000.0f, 96000.0f, 192000.0f, 1e9f};
// Block sizes a host may announce (opcodes 11 and 43).
constexpr intptr_t kOddBlockSizes[] = {0, 1, 7, 64, 4096, -1, 1 << 30, std::numeric_limits<int32_t>::max(),
                                       std::numeric_limits<int32_t>::min()};

// Milliseconds since start, on the steady clock.
inline double elapsedMs(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// Runs call, and fails the test (naming what describe() returns) when it took
// longer than the bound. Answers what the call answered.
template <typename Call, typename Describe>
auto timed(Call&& call, Describe&& describe) {
    const auto start = std::chrono::steady_clock::now();
    struct Check {
        std::chrono::steady_clock::time_point start;
        Describe& describe;
        ~Check() {
            const double ms = elapsedMs(start);
            if (ms > kCallBoundMs) ADD_FAILURE() << describe() << " took " << ms << " ms";
        }
    } check{start, describe};
    return call();
}

// The first sample that is not finite or louder than kLoudest, or -1.
inline int32_t firstBadSample(const float* samples, int32_t n) {
    for (int32_t i = 0; i < n; ++i)
        if (!(std::fabs(samples[i]) <= kLoudest)) return i;
    return -1;
}

}  // namespace careless
