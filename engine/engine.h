#pragma once
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

#include "engine/delay_line.h"
#include "engine/pending_midi.h"
#include "engine/program_listener.h"
#include "engine/render_gate.h"
#include "engine/timed_midi.h"
#include "engine/voice.h"
#include "engine/wavetable_cache.h"
#include "programs/program_bank.h"

// The synth engine: voices, wavetables, delay lines, the cutoff LFO, pitch
// bend and balance, and the render loop that turns MIDI into samples. It
// reads parameter values from the program bank it is given.
//
// Threads: the host renders on its audio thread, delivers MIDI on a thread of
// its choosing (usually the audio thread, right before a render) and changes
// the sample rate or resets on its other threads. Renders and MIDI enter the
// render gate without waiting. A delivery that gets the gate keeps each
// message with its frame for the next render, which plays the frames before
// it, then the message, then the rest: sample for sample what separate render
// calls for those pieces would give. Several deliveries before one render
// all keep their frames. MIDI that finds the gate taken waits in
// the pending queue and plays at the start of the next render, so two threads
// never change the voices at once. Sample-rate changes, resets, program
// selection and restoring saved programs hold the gate from the control side
// (they are the ones that wait). Pitch bend and balance are plain floats read
// and written whole through std::atomic_ref.
class Engine : private ProgramBank::VoiceLimitListener {
public:
    static constexpr int32_t kNumWavetables = 3;
    static constexpr int32_t kSubBlockSize = 44;

    // Listens to the bank's voice limit for as long as it lives. Without a
    // sample rate it stays silent: call setSampleRate first.
    explicit Engine(ProgramBank& bank);
    ~Engine();
    Engine(const Engine&) = delete;
    Engine& operator=(const Engine&) = delete;

    // Sizes the delay lines and builds the wavetables for rate, then resets.
    // An unusable rate, or buffers that cannot be allocated, leave the engine
    // without tables: silent and safe until a usable rate arrives.
    void setSampleRate(float rate);
    float sampleRate() const { return currentRate; }
    // True when the buffers of the current rate are all there.
    bool buffersPresent() const;

    // Silences every voice, empties the delay lines and drops the MIDI
    // waiting for the next render.
    void reset();

    // n frames into left and right, overwriting them (replacing) or adding to
    // them, with the delivered MIDI at its frames (a frame past the end plays
    // on the last one). With one of the two null both channels go into the other.
    void render(float* left, float* right, int32_t n, bool replacing);

    // Plays one MIDI message now. Only for a holder of the render gate or a
    // single-threaded caller (tests, benchmarks, the factory set-up).
    void handleMidiMessage(const uint8_t bytes[3]);

    // One host delivery of MIDI: holds the render gate for its lifetime when
    // it is free (playing what waited first) and keeps each message with its
    // frame in the next render; otherwise queues the messages for the start
    // of the next render. When more come than the next render can keep, those
    // kept so far play at once.
    class MidiDelivery {
    public:
        explicit MidiDelivery(Engine& engine);
        ~MidiDelivery();
        MidiDelivery(const MidiDelivery&) = delete;
        MidiDelivery& operator=(const MidiDelivery&) = delete;
        void add(const uint8_t bytes[3], int32_t frame = 0);

    private:
        Engine& engine;
        bool holdingGate;
    };

    // Selects a program: every voice and the delay lines stop, the tables are rebuilt.
    void selectProgram(int32_t program);
    // Puts count programs, names and values, into the bank from first on and
    // selects current, as a program change does. Nothing changes when the
    // range or current lies outside the bank.
    void restorePrograms(const ProgramRecord* records, int32_t first, int32_t count, int32_t current);

    // Rebuilds wavetable i from the current program.
    void buildWavetable(int32_t i);

    // Keeps the wavetables of every program prepared, so that a program
    // change on the audio thread only points the oscillators at them: built
    // now on the calling thread, and after each new rate or restore of
    // programs on a thread of the engine's own, so that those calls stay
    // quick. A program whose tables are not prepared (its shape edited away
    // from every prepared one, or a change that comes before the preparing
    // thread is done) has them built in the next render, as with this off.
    // Control side; false when memory ran out (then off).
    bool preparePrograms(bool on);
    // The prepared tables' memory in bytes (0 when off).
    size_t preparedBytes() const;
    void markWavetablesDirty() { bank.markAllDirty(); }
    void setProgramListener(ProgramListener* l) { listener = l; }

    // Wavetables by the current rate's length; a table is null while the
    // rate is unusable.
    int32_t wavetableLength() const { return tableLength; }
    const float* wavetable(int32_t i) const { return i >= 0 && i < kNumWavetables ? wavetables[i] : nullptr; }
    // Takes a table built elsewhere for the current program and rate in
    // place of building it, and clears its due bit; false (the table left
    // due) when i or the length does not fit. For a holder of the render
    // gate or a single-threaded caller.
    bool adoptWavetable(int32_t i, const float* table, int32_t length);

    // A new stream starts from nothing the last one left: the cutoff LFO
    // and the chorus modulators back to their start, the balance centred.
    // For a holder of the render gate or a single-threaded caller.
    void restartModulators();
    void centreBalance();

    // Voices render four at a time in SSE lanes; off renders them one by
    // one, the reference the lanes must match to the bit.
    void renderInLanes(bool on) { lanes = on; }

    // What tests and benchmarks may look at, read-only: the voices, tables,
    // delay lines and the values the modulators and controllers left.
    struct View {
        const Voice (&voices)[kNumVoices];
        const float* const (&wavetables)[kNumWavetables];
        const int32_t& tableLength;
        const DelayLine (&delayLines)[2];
        const float& cutoffLfoPhase;
        const float& pitchBend;
        const float& outputPan;
        const uint32_t& noteCounter;
    };
    View view() const {
        return {voices, wavetables, tableLength, delayLines, cutoffLfoPhase, pitchBend, outputPan, noteCounter};
    }

private:
    ProgramBank& bank;
    int32_t tableLength = 0;
    // What the oscillators play: the engine's own tables or prepared ones.
    const float* wavetables[kNumWavetables] = {nullptr, nullptr, nullptr};
    float* ownTables[kNumWavetables] = {nullptr, nullptr, nullptr};
    // The tables a program change finds: changed by a holder of the gate.
    WavetableCache* prepared = nullptr;
    bool preparing = false;
    // Hand-over from the preparing thread, lock-free for the audio thread: the
    // thread puts new tables in incoming; a program change (holding the gate)
    // takes them when retired is empty and leaves the tables it replaces in
    // retired, which the control side deletes.
    std::atomic<WavetableCache*> incoming{nullptr};
    std::atomic<WavetableCache*> retired{nullptr};
    void takeIncomingTables();   // for a holder of the gate
    // The preparing thread, started at the first request; its request is the
    // table length wanted.
    std::thread preparer;
    std::mutex preparerMutex;
    std::condition_variable preparerWake;
    int32_t prepareLength = 0;
    bool preparerStop = false;
    std::atomic<bool> preparerCancel{false};   // raised when the instance ends: the build in progress stops
    void requestPreparedTables(int32_t length);
    void prepareInBackground();
    // A cache of every program's tables at length; null when memory ran out.
    WavetableCache* prepareCache(int32_t length, const std::atomic<bool>* cancel = nullptr);
    // Points the oscillators at the prepared tables of the current program,
    // leaving due only those not prepared. For a holder of the gate.
    void usePreparedTables();
    DelayLine delayLines[2];
    Voice voices[kNumVoices] = {};
    float cutoffLfoPhase = 0.0f;
    float pitchBend = 0.0f;
    float outputPan = 0.5f;
    float mixLeft[kSubBlockSize] = {};
    float mixRight[kSubBlockSize] = {};
    uint32_t noteCounter = 0;
    RenderGate renderGate;
    PendingMidi pendingMidi;
    TimedMidi timedMidi;
    // Render calls so far: a delivery knows whether the MIDI still waiting
    // missed its render or shares it (a host delivering in several calls).
    std::atomic<uint32_t> renderCount{0};
    bool lanes = true;

    void voiceLimitChanged() override;
    void rebuildDirtyWavetables();
    void resetVoicesAndDelayLines();   // reset, for a holder of the gate
    // True while no render has written the delay lines since they were
    // emptied: a run of program changes empties them once.
    bool delayLinesClear = false;
    void selectProgramHoldingGate(int32_t program);
    void playPendingMidi();            // for a holder of the gate
    void playTimedMidiNow();           // for a holder of the gate
    // One piece of a render, as a whole render call without its MIDI.
    void renderPiece(float* left, float* right, int32_t n, bool replacing);
    void noteOn(uint8_t note, uint8_t velocity);
    void noteOff(uint8_t note);
    void controlChange(uint8_t controller, uint8_t value);
    // The sustain pedal (64) and controllers 120, 121 and 123 to 127; false for any other.
    bool channelModeMessage(uint8_t controller, uint8_t value);
    void releaseSustainPedal();
    void allNotesOff();

    float currentRate = 0.0f;
    ProgramListener* listener = nullptr;
    // Changed only by controllers 64 and 121; program changes and resets keep it.
    bool sustainPedalDown = false;
};
