#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/engine.h"
#include "programs/program_bank.h"
#include "programs/program_chunk.h"

// Vorzle as every front end plays it: the 128 programs and the engine that
// reads them, put together once. A new instrument starts as the plug-in
// starts for a host: the rate, the factory bank, program 0 with every table
// due, silence. Front ends translate their host's calls into these
// operations and nothing else; none of them reaches into the bank or the
// engine.
//
// Threads: as the engine's. Render and MIDI deliveries run on the audio
// thread; program selection, state, rate and reset on the control side
// (they take the render gate and may wait); parameter values and program
// names may be read and written from any thread.
class Instrument {
public:
    static constexpr int32_t kNumPrograms = ProgramBank::kNumPrograms;
    static constexpr int32_t kMaxDisplayText = 16;   // display texts, NUL included

    explicit Instrument(float sampleRate = 44100.0f);
    Instrument(const Instrument&) = delete;
    Instrument& operator=(const Instrument&) = delete;

    // False when the programs or the buffers of the rate could not be had:
    // the instrument then stays silent.
    bool usable() const { return bank.hasPrograms() && engine.buffersPresent(); }

    // ---- sound
    void setSampleRate(float rate) { engine.setSampleRate(rate); }
    float sampleRate() const { return engine.sampleRate(); }
    // n frames into left and right, overwriting them (replacing) or adding to
    // them; with one of the two null both channels go into the other.
    void render(float* left, float* right, int32_t n, bool replacing) { engine.render(left, right, n, replacing); }
    // Silences every voice, empties the delay lines, drops waiting MIDI.
    void reset() { engine.reset(); }
    // A stream that must sound the same every time it starts (a host's
    // activation): silence, the modulators at their start, the balance
    // centred, the controllers reset. For the audio thread or a single thread.
    void startStream();
    // The cutoff LFO and the chorus modulators back to their start (a
    // host's transport starting). For the audio thread or a single thread.
    void restartModulators() { engine.restartModulators(); }

    // ---- MIDI
    // One host delivery: each message plays on its frame in the next render
    // (see Engine::MidiDelivery).
    class MidiDelivery {
    public:
        explicit MidiDelivery(Instrument& instrument) : delivery(instrument.engine) {}
        void add(const uint8_t bytes[3], int32_t frame = 0) { delivery.add(bytes, frame); }

    private:
        Engine::MidiDelivery delivery;
    };
    // Plays one message at once. Only on the thread that renders, between
    // renders, or on a single thread.
    void playMidiNow(const uint8_t bytes[3]) { engine.handleMidiMessage(bytes); }
    // Told when MIDI changed the program or its values (the panel repaints).
    void setChangeListener(ProgramListener* listener) { engine.setProgramListener(listener); }

    // ---- programs
    int32_t program() { return bank.currentProgramIndex(); }
    // As a host's program change: every voice stops. Outside 0..127 nothing changes.
    void selectProgram(int32_t index) { engine.selectProgram(index); }
    // The program whose name is name, compared without regard to case; -1 for none.
    int32_t findProgram(std::string_view name) const;
    // Parameter stores edit the sound playing and leave the programs as
    // loaded: a program change always plays the program as loaded, however
    // the last one was edited. For front ends whose host keeps the edits in
    // its own controls and presets (LV2). False when memory ran out.
    bool keepProgramsAsLoaded() { return bank.keepProgramsAsLoaded(); }
    // Program i's name; empty outside 0..127.
    const char* programName(int32_t i) const;
    void renameProgram(const char* name) { bank.renameCurrentProgram(name); }
    // Puts record, name and values, into program i, as restoring a saved
    // program does (every voice stops); nothing changes outside 0..127.
    void storeProgram(int32_t i, const ProgramRecord& record) { engine.restorePrograms(&record, i, 1, program()); }
    // Copies the current program over destination; false outside 0..127.
    bool copyProgram(int32_t destination) { return bank.copyProgram(destination); }

    // ---- parameters (0..38, the values as stored: 0..1)
    float parameter(int32_t index) { return bank.readParameter(index); }
    void setParameter(int32_t index, float value) { bank.storeParameter(index, value); }
    // The text the panel and hosts show for the current value: at most 15
    // characters and the NUL; empty outside 0..38.
    void parameterDisplay(int32_t index, char text[kMaxDisplayText]);
    std::string parameterDisplay(int32_t index);
    // Parameter index's panel name, and the unit its display text ends in
    // ("%", "Hz", "smt.", "oct."; empty for switches and the voice count);
    // both empty outside 0..38.
    static const char* parameterName(int32_t index);
    static const char* parameterUnit(int32_t index);

    // ---- saved state: the chunk a host keeps with a session or preset
    enum class StateScope { Bank, Program };
    // False when memory ran out.
    bool saveState(StateScope scope, std::vector<uint8_t>& out);
    // Restores a chunk of scope; false with a reason, nothing changed, for
    // anything else than a whole, valid chunk of that scope. A bank chunk
    // replaces every program and selects the current program it holds; a
    // program chunk (a preset) replaces the current program alone, whichever
    // program it was saved from, and selects it again (the voices stop).
    bool restoreState(const uint8_t* data, size_t size, StateScope scope, std::string* reason = nullptr);

    // ---- bank files (.fxb)
    std::vector<uint8_t> bankFile();
    // Replaces the bank with the file's and selects its current program;
    // false with a one-line reason, nothing changed, for any other file.
    bool loadBankFile(const uint8_t* data, size_t size, std::string& reason);

    // ---- wavetables
    // Every program's tables built now, on the calling thread, and again at
    // each new rate and restore, so that a program change costs the audio
    // thread no table building: exactly the samples it gave before. Equal
    // shapes share a table (the factory bank: 57 tables, about 10.7 MB at
    // 192 kHz). A shape edit is built in the render after the store, in every
    // front end: the edited shape sounds from the next block on. Control
    // side; false when memory ran out (programs then build their tables in
    // the render, as without).
    bool keepProgramTablesPrepared() { return engine.preparePrograms(true); }
    size_t preparedTableBytes() const { return engine.preparedBytes(); }

    // ---- wavetables handed over from another instance (the page builds
    // them off its audio thread); see Engine::adoptWavetable.
    uint8_t takeDueWavetables() { return bank.takeDirtyFlags() & 7; }
    int32_t wavetableLength() const { return engine.wavetableLength(); }
    // Table i as the current program makes it; null outside 0..2.
    const float* buildWavetable(int32_t i);
    bool adoptWavetable(int32_t i, const float* table, int32_t length) { return engine.adoptWavetable(i, table, length); }
    // A copy of program i (0..127), each value read whole.
    ProgramRecord programRecord(int32_t i) const;

    // ---- for tests and benchmarks
    void renderInLanes(bool on) { engine.renderInLanes(on); }
    Engine::View view() const { return engine.view(); }
    uint8_t dueWavetables() const { return bank.dueFlags(); }

private:
    bool restore(const program_chunk::Contents& contents, int32_t first, int32_t current);

    ProgramBank bank;
    Engine engine{bank};
};
