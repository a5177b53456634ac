#include "instrument/instrument.h"

#include <cctype>
#include <cstring>
#include <memory>
#include <new>

#include "programs/bank_file.h"
#include "programs/parameter_display.h"
#include "programs/parameter_table.h"
#include "programs/program_chunk.h"

// The plug-in's construction order: rate, factory bank, program 0 with every
// table due, silence.
Instrument::Instrument(float sampleRate) {
    engine.setSampleRate(sampleRate);
    if (bank.hasPrograms()) bank.loadFactoryBank();
    bank.markAllDirty();
    engine.reset();
}

void Instrument::startStream() {
    engine.reset();
    engine.restartModulators();
    engine.centreBalance();
    const uint8_t resetControllers[3] = {0xB0, 121, 0};
    engine.handleMidiMessage(resetControllers);
}

int32_t Instrument::findProgram(std::string_view name) const {
    if (!bank.hasPrograms()) return -1;
    auto same = [](std::string_view a, const char* b) {
        const size_t n = std::strlen(b);
        if (a.size() != n) return false;
        for (size_t i = 0; i < n; ++i)
            if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i])))
                return false;
        return true;
    };
    for (int32_t i = 0; i < kNumPrograms; ++i)
        if (same(name, bank.program(i).name)) return i;
    return -1;
}

const char* Instrument::programName(int32_t i) const {
    if (!bank.hasPrograms() || i < 0 || i >= kNumPrograms) return "";
    return bank.program(i).name;
}

void Instrument::parameterDisplay(int32_t index, char text[kMaxDisplayText]) {
    if (!text) return;
    text[0] = '\0';
    if (!bank.hasPrograms() || index < 0 || index >= kNumParameters) return;
    formatParameterDisplay(index, bank.readParameter(index), engine.sampleRate(), text);
}

std::string Instrument::parameterDisplay(int32_t index) {
    char text[kMaxDisplayText] = {};
    parameterDisplay(index, text);
    return text;
}

const char* Instrument::parameterName(int32_t index) {
    return index >= 0 && index < kNumParameters ? kParameters[index].name : "";
}

const char* Instrument::parameterUnit(int32_t index) {
    if (index < 0 || index >= kNumParameters) return "";
    switch (kParameters[index].display) {
    case DisplayKind::Percent:
    case DisplayKind::BipolarPercent: return "%";
    case DisplayKind::Semitones: return "smt.";
    case DisplayKind::Octaves20:
    case DisplayKind::Octaves4: return "oct.";
    case DisplayKind::RawHz:
    case DisplayKind::Cutoff: return "Hz";
    case DisplayKind::OnOff:
    case DisplayKind::Empty: break;
    }
    return "";
}

bool Instrument::saveState(StateScope scope, std::vector<uint8_t>& out) {
    if (!bank.hasPrograms()) return false;
    const auto kind = scope == StateScope::Program ? program_chunk::Kind::Program : program_chunk::Kind::Bank;
    try {
        out.resize(program_chunk::chunkSize(kind));
    } catch (const std::bad_alloc&) {
        return false;
    }
    program_chunk::writeChunk(kind, &bank.program(0), bank.currentProgramIndex(), out.data());
    return true;
}

bool Instrument::restoreState(const uint8_t* data, size_t size, StateScope scope, std::string* reason) {
    const auto kind = scope == StateScope::Program ? program_chunk::Kind::Program : program_chunk::Kind::Bank;
    std::unique_ptr<program_chunk::Contents> contents(new (std::nothrow) program_chunk::Contents);
    const char* error = "out of memory";
    if (!data || !contents || !bank.hasPrograms() || !program_chunk::readChunk(data, size, kind, *contents, error)) {
        if (reason) *reason = data ? error : "no data";
        return false;
    }
    if (scope == StateScope::Bank) return restore(*contents, 0, contents->current);
    // A preset loads into the program playing now and touches no other: the
    // number it was saved from says nothing about where it is wanted.
    const int32_t here = bank.currentProgramIndex();
    return restore(*contents, here, here);
}

bool Instrument::restore(const program_chunk::Contents& contents, int32_t first, int32_t current) {
    engine.restorePrograms(contents.programs, first, contents.count, current);
    return true;
}

std::vector<uint8_t> Instrument::bankFile() {
    if (!bank.hasPrograms()) return {};
    return bank_file::write(&bank.program(0), bank.currentProgramIndex());
}

bool Instrument::loadBankFile(const uint8_t* data, size_t size, std::string& reason) {
    std::unique_ptr<program_chunk::Contents> contents(new (std::nothrow) program_chunk::Contents);
    if (!contents || !bank.hasPrograms()) {
        reason = "out of memory";
        return false;
    }
    if (!bank_file::read(data, size, *contents, reason)) return false;
    return restore(*contents, 0, contents->current);
}

const float* Instrument::buildWavetable(int32_t i) {
    if (i < 0 || i >= Engine::kNumWavetables) return nullptr;
    engine.buildWavetable(i);
    return engine.wavetable(i);
}

ProgramRecord Instrument::programRecord(int32_t i) const {
    ProgramRecord record;
    if (!bank.hasPrograms() || i < 0 || i >= kNumPrograms) return record;
    const ProgramRecord& source = bank.program(i);
    for (int32_t p = 0; p < kNumParameters; ++p) ProgramBank::writeValue(record, p, ProgramBank::loadValue(source, p));
    std::memcpy(record.name, source.name, ProgramRecord::kNameSize);
    return record;
}
