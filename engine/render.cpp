#include <algorithm>
#include <atomic>

#include "engine/control_memo.h"
#include "engine/cutoff_lfo.h"
#include "engine/delay_effect.h"
#include "engine/engine.h"
#include "engine/envelope.h"
#include "engine/flush.h"
#include "engine/master_stage.h"
#include "engine/oscillator.h"
#include "engine/sample_rate.h"
#include "engine/voice_filter.h"
#include "engine/voice_lanes.h"

namespace {

// Leaves the render side of the gate however render returns.
class RenderScope {
public:
    explicit RenderScope(RenderGate& g) : gate(g) {}
    ~RenderScope() { gate.leaveRender(); }
    RenderScope(const RenderScope&) = delete;
    RenderScope& operator=(const RenderScope&) = delete;

private:
    RenderGate& gate;
};

// Replacing mode owes the host a full buffer even when nothing can be played.
void writeSilence(float* left, float* right, int32_t sampleFrames, bool replacing) {
    if (!replacing || sampleFrames <= 0 || !left) return;
    std::fill(left, left + sampleFrames, 0.0f);
    std::fill(right, right + sampleFrames, 0.0f);
}

// Everything a voice reads besides its own record during one sub-block.
struct VoiceContext {
    const float* tables[Engine::kNumWavetables];
    int32_t tableLength;
    bool oscOn[Engine::kNumWavetables];
    const EnvelopeRates* rates;
    float pitchBend;
    double lfoCosine = 0.0;   // taken when the first sounding voice needs it
    float sampleRate;
};

// The per-sample part of the voice steps: oscillators, both filter sections,
// the amplitude envelope and both envelope updates, summed into the mix.
template <bool On1, bool On2, bool On3>
void renderVoiceSamples(Voice& voice, const VoiceContext& ctx, const float inc[3], const FilterCoefficients& k,
                        const EnvelopeStep& ampStep, const EnvelopeStep& filterStep, int32_t n, float* mix) {
    OscillatorState osc1{voice.osc1Advance, voice.osc1Pos};
    OscillatorState osc2{voice.osc2Advance, voice.osc2Pos};
    OscillatorState osc3{voice.osc3Advance, voice.osc3Pos};
    FilterSection a{voice.filterAIn2, voice.filterAIn1, voice.filterAOut2, voice.filterAOut1};
    FilterSection b{voice.filterBIn2, voice.filterBIn1, voice.filterBOut2, voice.filterBOut1};
    EnvelopeState amp{voice.ampLevel, voice.ampProgress};
    EnvelopeState filterEnv{voice.filterEnvLevel, voice.filterEnvProgress};
    const int32_t length = ctx.tableLength;

    for (int32_t i = 0; i < n; ++i) {
        float s = 0.0f;
        if (On1) s = nextOscillatorValue(osc1, ctx.tables[0], length, inc[0]);
        if (On2) s = s + nextOscillatorValue(osc2, ctx.tables[1], length, inc[1]);
        if (On3) s = s + nextOscillatorValue(osc3, ctx.tables[2], length, inc[2]);
        s = flush(s);
        const float y = filterSample(b, k, filterSample(a, k, s));
        const float out = limitVoiceOutput(y * amp.level);
        advanceEnvelope(amp, ampStep);
        advanceEnvelope(filterEnv, filterStep);
        mix[i] += out;
    }

    voice.osc1Advance = osc1.advance;
    voice.osc1Pos = osc1.position;
    voice.osc2Advance = osc2.advance;
    voice.osc2Pos = osc2.position;
    voice.osc3Advance = osc3.advance;
    voice.osc3Pos = osc3.position;
    voice.filterAIn2 = a.in2;
    voice.filterAIn1 = a.in1;
    voice.filterAOut2 = a.out2;
    voice.filterAOut1 = a.out1;
    voice.filterBIn2 = b.in2;
    voice.filterBIn1 = b.in1;
    voice.filterBOut2 = b.out2;
    voice.filterBOut1 = b.out1;
    voice.ampLevel = amp.level;
    voice.ampProgress = amp.progress;
    voice.filterEnvLevel = filterEnv.level;
    voice.filterEnvProgress = filterEnv.progress;
    clearRunawayFilter(voice);
}

using VoiceSampleRenderer = void (*)(Voice&, const VoiceContext&, const float[3], const FilterCoefficients&,
                                     const EnvelopeStep&, const EnvelopeStep&, int32_t, float*);

// One renderer per combination of oscillator switches, indexed by bits 1, 2, 4.
constexpr VoiceSampleRenderer kVoiceRenderers[8] = {
    renderVoiceSamples<false, false, false>, renderVoiceSamples<true, false, false>,
    renderVoiceSamples<false, true, false>,  renderVoiceSamples<true, true, false>,
    renderVoiceSamples<false, false, true>,  renderVoiceSamples<true, false, true>,
    renderVoiceSamples<false, true, true>,   renderVoiceSamples<true, true, true>,
};

// The control part of the voice steps for one sounding voice and one
// sub-block: increments, glide, stage checks, coefficients. False when the
// amplitude envelope has ended the voice.
bool voiceControls(Voice& voice, const ProgramRecord& prog, const VoiceContext& ctx, int32_t n, VoiceControls& c) {
    const float octaves = pitchOctaves(voice.pitch, ctx.pitchBend);
    const float tune[3] = {ProgramBank::loadValue(prog, Param::Osc1Pitch), ProgramBank::loadValue(prog, Param::Osc2Pitch),
                           ProgramBank::loadValue(prog, Param::Osc3Pitch)};
    memoIncrements(voice.memo, octaves, tune, c.inc);
    voice.pitch = glide(voice.pitch, voice.note, n);

    if (!checkAmpStage(voice, *ctx.rates, c.ampStep)) return false;
    const float amount = (ProgramBank::loadValue(prog, Param::FilterEnvAmount) - 0.5f) * 20.0f;
    c.filterStep = checkFilterStage(voice, *ctx.rates, amount, ProgramBank::loadValue(prog, Param::FilterSustain));

    const double exponent = cutoffExponent(ProgramBank::loadValue(prog, Param::Cutoff),
                                           ProgramBank::loadValue(prog, Param::LfoAmount), ctx.lfoCosine,
                                           voice.filterEnvLevel);
    c.k = memoCoefficients(voice.memo, exponent, ProgramBank::loadValue(prog, Param::Resonance), ctx.sampleRate);
    return true;
}

// The sample part for the sounding voices of one sub-block, in pool order:
// four at a time in lanes, or one by one on the reference path. A lone voice
// left over takes the one-voice loop, which is the cheaper for one.
void renderVoiceSamples(Voice* const* voices, const VoiceControls* controls, int32_t count, const VoiceContext& ctx,
                        int32_t n, bool lanes, float* mix) {
    const int32_t switches = (ctx.oscOn[0] ? 1 : 0) | (ctx.oscOn[1] ? 2 : 0) | (ctx.oscOn[2] ? 4 : 0);
    int32_t v = 0;
    if (lanes) {
        for (; count - v >= 2; v += kVoiceLanes) {
            const int32_t group = count - v < kVoiceLanes ? count - v : kVoiceLanes;
            renderVoiceLanes(voices + v, controls + v, group, ctx.tables, ctx.tableLength, switches, n, mix);
        }
    }
    for (; v < count; ++v) {
        const VoiceControls& c = controls[v];
        kVoiceRenderers[switches](*voices[v], ctx, c.inc, c.k, c.ampStep, c.filterStep, n, mix);
    }
}

}  // namespace

void Engine::rebuildDirtyWavetables() {
    // Bits set meanwhile by another thread stay for the next call.
    const uint8_t dirty = bank.takeDirtyFlags();
    if (dirty & 1) buildWavetable(0);
    if (dirty & 2) buildWavetable(1);
    if (dirty & 4) buildWavetable(2);
}

void Engine::render(float* left, float* right, int32_t sampleFrames, bool replacing) {
    renderCount.fetch_add(1, std::memory_order_relaxed);
    if (!left) left = right;
    if (!right) right = left;
    // A sample-rate change swapping buffers on another thread: play silence
    // rather than wait for it. The delivered MIDI waits for the next render.
    if (!renderGate.tryEnterRender()) {
        writeSilence(left, right, sampleFrames, replacing);
        return;
    }
    RenderScope scope(renderGate);

    // MIDI that came while another thread held the gate plays first.
    playPendingMidi();
    const bool tablesPresent = wavetables[0] && wavetables[1] && wavetables[2] && tableLength > 0;
    if (!tablesPresent || !bank.hasPrograms() || !isUsableSampleRate(currentRate) || !left) {
        playTimedMidiNow();
        writeSilence(left, right, sampleFrames, replacing);
        return;
    }

    // The pieces between the frames where messages play, each rendered as a
    // render call of its own; a message past the end plays on the last frame.
    const int32_t lastFrame = sampleFrames > 0 ? sampleFrames - 1 : 0;
    auto frameOf = [&](int32_t i) { return std::min(timedMidi[i].frame, lastFrame); };
    int32_t done = 0;
    int32_t next = 0;
    for (;;) {
        while (next < timedMidi.size() && frameOf(next) <= done) handleMidiMessage(timedMidi[next++].bytes);
        const int32_t end = next < timedMidi.size() ? frameOf(next) : sampleFrames;
        renderPiece(left + done, right + done, end - done, replacing);
        if (next == timedMidi.size()) break;
        done = end;
    }
    timedMidi.clear();
}

void Engine::renderPiece(float* left, float* right, int32_t sampleFrames, bool replacing) {
    const float sampleRate = currentRate;
    delayLinesClear = false;
    rebuildDirtyWavetables();

    const ProgramRecord& prog = bank.currentProgram();

    // Values taken once per call.
    EnvelopeRates rates;
    rates.ampAttack = envelopeRate(ProgramBank::loadValue(prog, Param::AmpAttack));
    rates.ampHold = envelopeRate(ProgramBank::loadValue(prog, Param::AmpHold));
    rates.ampDecay = envelopeRate(ProgramBank::loadValue(prog, Param::AmpDecay));
    rates.ampSustain = ProgramBank::loadValue(prog, Param::AmpSustain);
    rates.ampRelease = envelopeRate(ProgramBank::loadValue(prog, Param::AmpRelease));
    rates.filterAttack = envelopeRate(ProgramBank::loadValue(prog, Param::FilterAttack));
    rates.filterHold = envelopeRate(ProgramBank::loadValue(prog, Param::FilterHold));
    rates.filterDecay = envelopeRate(ProgramBank::loadValue(prog, Param::FilterDecay));

    VoiceContext ctx;
    for (int32_t t = 0; t < kNumWavetables; ++t) ctx.tables[t] = wavetables[t];
    ctx.tableLength = tableLength;
    ctx.oscOn[0] = ProgramBank::loadValue(prog, Param::Osc1On) >= 0.5f;
    ctx.oscOn[1] = ProgramBank::loadValue(prog, Param::Osc2On) >= 0.5f;
    ctx.oscOn[2] = ProgramBank::loadValue(prog, Param::Osc3On) >= 0.5f;
    ctx.rates = &rates;
    ctx.sampleRate = sampleRate;

    const float drive = driveGain(ProgramBank::loadValue(prog, Param::Drive));
    const float volume = volumeGain(ProgramBank::loadValue(prog, Param::Volume));

    if (sampleFrames <= 0) return;

    int32_t remaining = sampleFrames;
    while (remaining > 0) {
        const int32_t n = std::min(remaining, kSubBlockSize);
        // The right channel is copied from the left below.
        std::fill(mixLeft, mixLeft + kSubBlockSize, 0.0f);

        ctx.pitchBend = std::atomic_ref<float>(pitchBend).load(std::memory_order_relaxed);
        // Control work for every sounding voice first: it reads nothing
        // another voice's samples change.
        Voice* sounding[kNumVoices];
        VoiceControls controls[kNumVoices];
        int32_t count = 0;
        bool lfoTaken = false;   // only voices read the LFO: no voice, no cosine
        for (Voice& voice : voices) {
            if (!voice.active) continue;
            if (!lfoTaken) {
                ctx.lfoCosine = lfoCosine(cutoffLfoPhase);
                lfoTaken = true;
            }
            if (voiceControls(voice, prog, ctx, n, controls[count])) sounding[count++] = &voice;
        }
        // Voices are mono and both channels take the same sum through the
        // same drive and volume: work it out once and copy it.
        renderVoiceSamples(sounding, controls, count, ctx, n, lanes, mixLeft);
        const bool clip = softClipOn(ProgramBank::loadValue(prog, Param::Drive));
        runMasterStage(mixLeft, n, drive, volume, clip);
        std::copy(mixLeft, mixLeft + n, mixRight);

        if (ProgramBank::loadValue(prog, Param::Chorus) >= 0.5f) {
            runDelayEffect(delayLines[0], 0, mixLeft, n, sampleRate);
            runDelayEffect(delayLines[1], 1, mixRight, n, sampleRate);
        }

        cutoffLfoPhase = advanceCutoffLfo(cutoffLfoPhase, n, sampleRate, ProgramBank::loadValue(prog, Param::LfoRate));

        // Balance as every MIDI source means it: 0 hard left, 1 hard right.
        const float rightGain = std::atomic_ref<float>(outputPan).load(std::memory_order_relaxed);
        const float leftGain = 1.0f - rightGain;
        writeBalanced(left, mixLeft, leftGain, n, replacing);
        writeBalanced(right, mixRight, rightGain, n, replacing);
        left += n;
        right += n;
        remaining -= n;
    }
}
