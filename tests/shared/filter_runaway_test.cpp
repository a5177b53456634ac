#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/engine.h"
#include "engine/master_stage.h"

// Cutoff jumps at full resonance run the voice filter away. Whatever the
// controllers do, at every sample rate, no voice outputs a sample beyond
// kVoiceOutputLimit, every sample, voice state and delay-line value stays
// finite and within the limits, a runaway filter starts again from rest, and
// the four-voice lanes match the one-voice loop to the bit.
// Built into the native and the Windows test programs alike.

namespace {

// One voice seen at the output (a voice limit of one, no drive, clip or
// chorus, the centre balance): its sample times these gains, rounded likewise.
const float kOneVoiceBound = kVoiceOutputLimit * driveGain(0.0f) * volumeGain(0.25f) * 0.5f;

// An engine on the default program with every oscillator on and a held
// sustain; one in lanes, one voice by voice. Loud: full drive, the chorus and
// 64 voices; otherwise one voice seen at the output.
struct Pair {
    ProgramBank bank[2];
    std::unique_ptr<Engine> engine[2];
    explicit Pair(bool loud = true, float rate = 44100.0f) {
        for (int i = 0; i < 2; ++i) {
            bank[i].selectProgram(0);
            for (int32_t p : {Param::Osc1On, Param::Osc2On, Param::Osc3On, Param::AmpSustain})
                bank[i].storeParameter(p, 1.0f);
            for (int32_t p : {Param::Drive, Param::Chorus, Param::Polyphony}) bank[i].storeParameter(p, loud ? 1.0f : 0.0f);
            if (!loud) bank[i].storeParameter(Param::Volume, 0.25f);
            bank[i].markAllDirty();
            engine[i] = std::make_unique<Engine>(bank[i]);
            engine[i]->setSampleRate(rate);
            engine[i]->renderInLanes(i == 0);
        }
    }
    void midi(uint8_t status, uint8_t d1, uint8_t d2) {
        const uint8_t bytes[3] = {status, d1, d2};
        for (auto& e : engine) e->handleMidiMessage(bytes);
    }
};

// Renders n frames into both engines; false when they differ in any bit.
// Widens peak by the largest output magnitude and counts non-finite samples.
bool renderBoth(Pair& pair, int32_t n, float& peak, int32_t& nonFinite) {
    std::vector<float> out[2][2];
    for (int i = 0; i < 2; ++i) {
        out[i][0].assign(static_cast<size_t>(n), 0.0f);
        out[i][1].assign(static_cast<size_t>(n), 0.0f);
        pair.engine[i]->render(out[i][0].data(), out[i][1].data(), n, true);
    }
    for (const auto& channel : out[0])
        for (float x : channel) {
            if (!std::isfinite(x)) ++nonFinite;
            peak = std::fmax(peak, std::fabs(x));
        }
    return std::memcmp(out[0][0].data(), out[1][0].data(), static_cast<size_t>(n) * sizeof(float)) == 0 &&
           std::memcmp(out[0][1].data(), out[1][1].data(), static_cast<size_t>(n) * sizeof(float)) == 0;
}

// Every voice's filter history and both delay lines finite and within the limit.
bool statesBounded(const Engine& engine) {
    for (const Voice& v : engine.view().voices)
        for (float x : {v.filterAIn2, v.filterAIn1, v.filterAOut2, v.filterAOut1, v.filterBIn2, v.filterBIn1,
                        v.filterBOut2, v.filterBOut1})
            if (!(std::fabs(x) <= kFilterLimit)) return false;
    for (const DelayLine& line : engine.view().delayLines)
        for (int32_t i = 0; i < line.length; ++i)
            if (!std::isfinite(line.buffer[i])) return false;
    return true;
}

// What the rule bounds the loud output to: 64 voices at the limit, full
// drive without the clip, full volume, and the chorus doubling at most.
const float kOutputBound = 64.0f * kVoiceOutputLimit * driveGain(1.0f) * volumeGain(1.0f) * 2.0f;
// A loud output no ordinary voice reaches: one voice at half the limit
// through the drive, the clip and the volume, at the centre balance.
const float kRunawayEvidence = softClip(0.5f * kVoiceOutputLimit * driveGain(1.0f)) * volumeGain(1.0f) * 0.5f;

// After a run of renders that should have run a filter away: both paths the
// same, everything finite, the output within the bound and yet far from quiet.
void expectContained(const Pair& pair, bool same, int32_t nonFinite, float peak, const std::string& label,
                     bool loud = true) {
    EXPECT_TRUE(same) << label;
    EXPECT_EQ(nonFinite, 0) << label;
    EXPECT_LE(peak, loud ? kOutputBound : kOneVoiceBound) << label;
    EXPECT_GE(peak, loud ? kRunawayEvidence : kOneVoiceBound) << label << ": no filter ran away here; the test needs a harder case";
    EXPECT_TRUE(statesBounded(*pair.engine[0]) && statesBounded(*pair.engine[1])) << label;
}

}  // namespace

TEST(FilterRunaway, CutoffJumpsAtFullResonanceStayFiniteAndRecover) {
    struct Jumps {
        int32_t notes;   // 1: the one-voice path; more: lanes
        bool loud;       // otherwise one voice seen at the output
        float rate;
        int32_t frames;   // between cutoff moves
    };
    for (const Jumps& j : {Jumps{1, true, 44100.0f, 32}, Jumps{5, true, 44100.0f, 32}, Jumps{1, false, 8000.0f, 64},
                           Jumps{1, false, 44100.0f, 64}, Jumps{1, false, 192000.0f, 64}}) {
        const std::string label = std::to_string(j.notes) + " notes, " + std::to_string(j.rate) + " Hz";
        Pair pair(j.loud, j.rate);
        pair.midi(0xB0, 13, 127);
        for (int32_t k = 0; k < j.notes; ++k) pair.midi(0x90, static_cast<uint8_t>(48 + 7 * k), 100);
        float peak = 0.0f;
        int32_t nonFinite = 0;
        bool same = true;
        // Cutoff between 0 and 127, 4000 times.
        for (int32_t block = 0; block < 4000; ++block) {
            pair.midi(0xB0, 12, block % 2 ? 127 : 0);
            same = renderBoth(pair, j.frames, peak, nonFinite) && same;
        }
        expectContained(pair, same, nonFinite, peak, label, j.loud);

        // Still cutoff, all sound off, a new note: ordinary sound within a second.
        pair.midi(0xB0, 12, 64);
        pair.midi(0xB0, 120, 0);
        pair.midi(0x90, 60, 100);
        float settling = 0.0f, after = 0.0f;
        renderBoth(pair, static_cast<int32_t>(j.rate), settling, nonFinite);
        renderBoth(pair, static_cast<int32_t>(j.rate) / 10, after, nonFinite);
        EXPECT_EQ(nonFinite, 0) << label;
        EXPECT_GT(after, 0.01f) << label;
        EXPECT_LT(after, 20.0f) << label;
    }
}

TEST(FilterRunaway, RandomControllerSoakStaysFiniteAndBounded) {
    struct Soak {
        uint32_t seed;
        bool loud;   // otherwise one voice seen at the output
        float rate;
    };
    for (const Soak& soak : {Soak{11, true, 44100.0f}, Soak{12, true, 44100.0f}, Soak{13, true, 44100.0f},
                             Soak{21, false, 8000.0f}, Soak{22, false, 96000.0f}, Soak{23, false, 192000.0f}}) {
        const uint32_t seed = soak.seed;
        Pair pair(soak.loud, soak.rate);
        std::mt19937 random(seed);
        auto pick = [&random](uint32_t n) { return static_cast<uint8_t>(random() % n); };
        float peak = 0.0f;
        int32_t nonFinite = 0;
        bool same = true;
        // Three seconds of notes, bends and the sound controllers: the cutoff
        // moves at almost every block, half the time to an end of its range;
        // the resonance now and then, mostly high.
        for (int32_t frames = 0; frames < 3 * 44100;) {
            const uint8_t kind = pick(20);
            if (kind < 12) pair.midi(0xB0, 12, pick(2) ? pick(128) : 127 * pick(2));
            else if (kind < 14) pair.midi(0xB0, 13, pick(4) ? 64 + pick(64) : pick(128));
            else if (kind < 16) pair.midi(pick(3) ? 0x90 : 0x80, 36 + pick(48), 1 + pick(127));
            else if (kind < 17) pair.midi(0xE0, pick(128), pick(128));
            else {
                // The volume (7) only where it changes no gain the bound counts on.
                static const uint8_t controllers[] = {1, 72, 73, 7};
                pair.midi(0xB0, controllers[pick(soak.loud ? 4 : 3)], pick(128));
            }
            const int32_t n = 1 + pick(64);
            same = renderBoth(pair, n, peak, nonFinite) && same;
            frames += n;
        }
        expectContained(pair, same, nonFinite, peak, "seed " + std::to_string(seed), soak.loud);
    }
}
