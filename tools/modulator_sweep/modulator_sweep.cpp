// Checks the chorus modulator's fast path against the maths library on every
// float phase from 0 to 8 (over a billion values, a superset of the 0..2 pi the
// phases reach), for both lines: |sin| and |cos|. Run it once per build whose
// maths library matters:
//   build/native/bin/modulator-sweep
//   wine build/win32/bin/modulator-sweep.exe
// Prints the count checked and every mismatch; exit status 1 if there is one.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "engine/chorus_modulator.h"

int main() {
    constexpr int32_t kRun = 64;
    const float limit = 8.0f;
    uint32_t limitBits;
    std::memcpy(&limitBits, &limit, sizeof limitBits);
    uint64_t checked = 0, mismatches = 0;
    float phases[kRun], fast[kRun];
    for (uint32_t bits = 0; bits <= limitBits;) {
        int32_t n = 0;
        for (; n < kRun && bits <= limitBits; ++n, ++bits) std::memcpy(&phases[n], &bits, sizeof bits);
        for (bool cosine : {false, true}) {
            modulatorDepths(phases, fast, n, cosine);
            for (int32_t i = 0; i < n; ++i) {
                const float reference = libraryModulatorDepth(phases[i], cosine);
                ++checked;
                if (std::memcmp(&reference, &fast[i], sizeof reference) != 0) {
                    ++mismatches;
                    std::printf("mismatch: %s(%.9g) library %.9g fast %.9g\n", cosine ? "cos" : "sin",
                                static_cast<double>(phases[i]), static_cast<double>(reference),
                                static_cast<double>(fast[i]));
                }
            }
        }
        if ((bits & 0x03FFFFFF) == 0) {
            std::fprintf(stderr, "\r%5.1f %%", 100.0 * bits / limitBits);
            std::fflush(stderr);
        }
    }
    std::fprintf(stderr, "\n");
    std::printf("%llu values checked (every float phase 0..8, sin and cos), %llu mismatches\n",
                static_cast<unsigned long long>(checked), static_cast<unsigned long long>(mismatches));
    return mismatches == 0 ? 0 : 1;
}
