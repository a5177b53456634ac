// Checks the fast sines and powers against the maths library of this build
// on every float argument of a range, and prints the count and any mismatch;
// exit status 1 if there is one.
//   float-math-sweep                 sin and cos of every float 0..8 (a superset
//                                    of the chorus phases, 0..2 pi, and of the
//                                    wavetables' sine arguments, 0..pi/2)
//   float-math-sweep --power E       pow(b, E) for every float b in (0, 1]
//   float-math-sweep --two           pow(2, e) for every float e in -16..16
// Run natively (build/native/bin/float-math-sweep) and in the 32-bit build
// under Wine (wine build/win32/bin/float-math-sweep.exe): about a minute each
// natively, a few under Wine.
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <initializer_list>

#include "engine/exact_float_math.h"

namespace {

constexpr int32_t kRun = 64;

uint32_t bitsOf(float x) { return std::bit_cast<uint32_t>(x); }

// Counts (and prints) the fast values that differ in any bit from the
// library's; name describes argument i.
uint64_t countMismatches(const float* fast, int32_t n, const std::function<float(int32_t)>& library,
                    const std::function<void(int32_t)>& name) {
    uint64_t bad = 0;
    for (int32_t i = 0; i < n; ++i) {
        const float reference = library(i);
        if (bitsOf(reference) == bitsOf(fast[i])) continue;
        ++bad;
        std::printf("mismatch: ");
        name(i);
        std::printf(" library %.9g fast %.9g\n", static_cast<double>(reference), static_cast<double>(fast[i]));
    }
    return bad;
}

// Feeds every float with bit pattern first..last to check in runs of kRun;
// check answers the mismatches of one run.
uint64_t sweep(uint32_t first, uint32_t last, const std::function<uint64_t(const float*, int32_t)>& check,
               uint64_t& checked) {
    uint64_t mismatches = 0;
    float args[kRun];
    for (uint64_t bits = first; bits <= last;) {
        int32_t n = 0;
        for (; n < kRun && bits <= last; ++n, ++bits) args[n] = std::bit_cast<float>(static_cast<uint32_t>(bits));
        mismatches += check(args, n);
        checked += static_cast<uint64_t>(n);
        if ((bits & 0x03FFFFFF) == 0) {
            std::fprintf(stderr, "\r%5.1f %%", 100.0 * static_cast<double>(bits - first) / (last - first));
            std::fflush(stderr);
        }
    }
    std::fprintf(stderr, "\n");
    return mismatches;
}

}  // namespace

int main(int argc, char** argv) {
    uint64_t checked = 0, mismatches = 0;
    float fast[kRun];
    if (argc == 3 && std::strcmp(argv[1], "--power") == 0) {
        const float exponent = static_cast<float>(std::atof(argv[2]));
        float exponents[kRun];
        for (float& e : exponents) e = exponent;
        mismatches = sweep(1, bitsOf(1.0f), [&](const float* bases, int32_t n) {
            powersToFloat(bases, exponents, fast, n);
            return countMismatches(
                fast, n, [&](int32_t i) { return libraryPower(bases[i], exponent); },
                [&](int32_t i) { std::printf("pow(%.9g, %.9g)", static_cast<double>(bases[i]), static_cast<double>(exponent)); });
        }, checked);
        std::printf("%llu values checked (pow(b, %.9g) for every float b in (0, 1]), %llu mismatches\n",
                    static_cast<unsigned long long>(checked), static_cast<double>(exponent),
                    static_cast<unsigned long long>(mismatches));
    } else if (argc == 2 && std::strcmp(argv[1], "--two") == 0) {
        float twos[kRun];
        for (float& t : twos) t = 2.0f;
        for (uint32_t sign : {0u, 0x80000000u}) {
            mismatches += sweep(sign, sign | bitsOf(16.0f), [&](const float* exponents, int32_t n) {
                powersToFloat(twos, exponents, fast, n);
                return countMismatches(
                    fast, n, [&](int32_t i) { return libraryPower(2.0f, exponents[i]); },
                    [&](int32_t i) { std::printf("pow(2, %.9g)", static_cast<double>(exponents[i])); });
            }, checked);
        }
        std::printf("%llu values checked (pow(2, e) for every float e in -16..16), %llu mismatches\n",
                    static_cast<unsigned long long>(checked), static_cast<unsigned long long>(mismatches));
    } else if (argc == 1) {
        for (bool cosine : {false, true}) {
            mismatches += sweep(0, bitsOf(8.0f), [&](const float* x, int32_t n) {
                sinesToFloat(x, fast, n, cosine);
                return countMismatches(
                    fast, n, [&](int32_t i) { return librarySine(x[i], cosine); },
                    [&](int32_t i) { std::printf("%s(%.9g)", cosine ? "cos" : "sin", static_cast<double>(x[i])); });
            }, checked);
        }
        std::printf("%llu values checked (sin and cos of every float 0..8), %llu mismatches\n",
                    static_cast<unsigned long long>(checked), static_cast<unsigned long long>(mismatches));
    } else {
        std::fprintf(stderr, "usage: float-math-sweep [--power EXPONENT | --two]\n");
        return 2;
    }
    return mismatches == 0 ? 0 : 1;
}
