#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "programs/program_record.h"

// The 128 programs, the current one, and the single write path for their
// values.
//
// Threads: values are plain floats read and written whole through
// std::atomic_ref, so a value is never torn, whichever threads store (the
// editor, MIDI) and read (the render loop, the editor). Each store carries its
// own index and value, so two stores from two threads never mix. dirtyFlags is
// an atomic byte that stores OR their rebuild bits into and the render loop
// exchanges with 0, so a rebuild bit is never lost. The current program index
// is read and written whole too.
class ProgramBank {
public:
    static constexpr int32_t kNumPrograms = 128;

    // Told when a store changes the voice limit (Polyphony): every voice must
    // stop at once, without release.
    class VoiceLimitListener {
    public:
        virtual void voiceLimitChanged() = 0;

    protected:
        ~VoiceLimitListener() = default;
    };

    ProgramBank();   // 128 programs at their defaults; none when allocation fails
    ~ProgramBank();
    ProgramBank(const ProgramBank&) = delete;
    ProgramBank& operator=(const ProgramBank&) = delete;

    bool allocationFailed() const { return programs == nullptr; }
    bool hasPrograms() const { return programs != nullptr; }
    void setVoiceLimitListener(VoiceLimitListener* listener) { voiceLimitListener = listener; }

    // The current program, with the index pulled back into range first.
    ProgramRecord& currentProgram();
    int32_t currentProgramIndex();
    // Makes program the current one; false outside 0..127 (nothing changes).
    // With the programs kept as loaded, the program comes back as loaded first.
    bool selectProgram(int32_t program);

    // From now on stores edit the sound playing, not the program a selection
    // plays: each selection gives the program back as it was loaded (the
    // factory's, a restored bank's), for hosts whose own controls carry the
    // edits and their presets (LV2 ports). Programs written, copied or loaded
    // later are kept as they arrive. False when memory ran out.
    bool keepProgramsAsLoaded();

    // The single write path: the value goes into the current program, and a
    // shape parameter makes its wavetable due.
    void storeParameter(int32_t index, float value);
    // The current program's value; 0 outside 0..38 or without programs.
    float readParameter(int32_t index);

    // Copies the current program, name and values, into destination.
    bool copyProgram(int32_t destination);
    // Program i (0..127), read-only; the caller checks the index and hasPrograms.
    const ProgramRecord& program(int32_t i) const { return programs[i]; }
    // Puts a program, name and values, into slot i; false outside 0..127.
    bool writeProgram(int32_t i, const ProgramRecord& record);
    // Names the current program.
    void renameCurrentProgram(const char* name);

    // Wavetable rebuild bits (1, 2, 4) set since the last take.
    uint8_t takeDirtyFlags() { return dirtyFlags.exchange(0); }
    // Puts back bits that were taken but not served.
    void markDirty(uint8_t bits) { dirtyFlags.fetch_or(bits); }
    void markAllDirty() { dirtyFlags.store(255); }
    // The bits due now, without taking them.
    uint8_t dueFlags() const { return dirtyFlags.load(); }

    // Fills the programs from the bank the module carries; program 0 current after.
    void loadFactoryBank();
    // Reads a bank in the VST bank-file layout into the programs.
    bool parseBank(const uint8_t* data, size_t size);
    // Next big-endian word at cursor; 0 and the cursor unmoved when fewer
    // than four bytes remain before end.
    static uint32_t readBigEndian32(const uint8_t*& cursor, const uint8_t* end);

    // Value of a parameter in a program, read or written as one 32-bit unit.
    static float loadValue(const ProgramRecord& program, int32_t parameter);
    static void writeValue(ProgramRecord& program, int32_t parameter, float value);

private:
    ProgramRecord* programs = nullptr;
    ProgramRecord* loaded = nullptr;   // the programs as loaded, while kept
    int32_t curProgram = 0;
    std::atomic<uint8_t> dirtyFlags{0};
    VoiceLimitListener* voiceLimitListener = nullptr;
};

// Where the factory bank's bytes live: a module resource on Windows,
// embedded bytes in the native build. open answers false when they cannot
// be found; close releases what open took.
struct FactoryBankBytes {
    const uint8_t* data = nullptr;
    size_t size = 0;
    void* handle = nullptr;
};
bool openFactoryBank(FactoryBankBytes& bank);
void closeFactoryBank(FactoryBankBytes& bank, bool parsed);
