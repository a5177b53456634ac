#include "programs/program_bank.h"

#include <cstring>
#include <new>

ProgramBank::ProgramBank() { programs = new (std::nothrow) ProgramRecord[kNumPrograms]; }

ProgramBank::~ProgramBank() {
    delete[] programs;
    delete[] loaded;
    programs = nullptr;
    loaded = nullptr;
}

namespace {
void copyRecord(ProgramRecord& target, const ProgramRecord& source) {
    for (int32_t p = 0; p < kNumParameters; ++p) ProgramBank::writeValue(target, p, ProgramBank::loadValue(source, p));
    std::memcpy(target.name, source.name, ProgramRecord::kNameSize);
}
}  // namespace

bool ProgramBank::keepProgramsAsLoaded() {
    if (!programs) return false;
    if (!loaded) loaded = new (std::nothrow) ProgramRecord[kNumPrograms];
    if (!loaded) return false;
    for (int32_t i = 0; i < kNumPrograms; ++i) copyRecord(loaded[i], programs[i]);
    return true;
}

float ProgramBank::loadValue(const ProgramRecord& program, int32_t parameter) {
    float& value = const_cast<ProgramRecord&>(program).valueOf(parameter);
    return std::atomic_ref<float>(value).load(std::memory_order_relaxed);
}

void ProgramBank::writeValue(ProgramRecord& program, int32_t parameter, float value) {
    std::atomic_ref<float>(program.valueOf(parameter)).store(value, std::memory_order_relaxed);
}

int32_t ProgramBank::currentProgramIndex() {
    std::atomic_ref<int32_t> current(curProgram);
    int32_t index = current.load();
    if (index >= kNumPrograms) {
        index = kNumPrograms - 1;
        current.store(index);
    } else if (index < 0) {
        // Nothing selects a negative program; should one arrive, it must not index before the array.
        index = 0;
        current.store(index);
    }
    return index;
}

ProgramRecord& ProgramBank::currentProgram() { return programs[currentProgramIndex()]; }

bool ProgramBank::selectProgram(int32_t program) {
    if (program < 0 || program >= kNumPrograms) return false;
    if (loaded && programs) copyRecord(programs[program], loaded[program]);
    std::atomic_ref<int32_t>(curProgram).store(program);
    return true;
}

void ProgramBank::storeParameter(int32_t index, float value) {
    // Each store works from its own arguments, so stores from two threads never mix.
    if (!programs) return;
    ProgramRecord& program = currentProgram();
    if (index < 0 || index >= kNumParameters) return;

    writeValue(program, index, value);
    if (const uint8_t bit = kParameters[index].rebuildBit) dirtyFlags.fetch_or(bit);

    if (index == Param::Polyphony && voiceLimitListener) voiceLimitListener->voiceLimitChanged();
}

float ProgramBank::readParameter(int32_t index) {
    if (!programs || index < 0 || index >= kNumParameters) return 0.0f;
    return loadValue(currentProgram(), index);
}

bool ProgramBank::copyProgram(int32_t destination) {
    if (!programs || destination < 0 || destination >= kNumPrograms) return false;
    const ProgramRecord& source = currentProgram();
    ProgramRecord& target = programs[destination];
    if (&source == &target) return true;
    copyRecord(target, source);
    if (loaded) copyRecord(loaded[destination], source);
    return true;
}

bool ProgramBank::writeProgram(int32_t i, const ProgramRecord& record) {
    if (!programs || i < 0 || i >= kNumPrograms) return false;
    copyRecord(programs[i], record);
    if (loaded) copyRecord(loaded[i], record);
    return true;
}

void ProgramBank::renameCurrentProgram(const char* name) {
    if (programs && name) currentProgram().setName(name);
}
