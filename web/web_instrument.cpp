#include "web/web_instrument.h"

#include <algorithm>
#include <cstring>

#include "programs/parameter_display.h"
#include "programs/parameter_table.h"

// The plug-in's construction order: rate, factory bank, program 0 with every
// table due, silence.
WebInstrument::WebInstrument() {
    engine.setSampleRate(44100.0f);
    if (!bank.allocationFailed()) bank.loadFactoryBank();
    bank.curProgram = 0;
    bank.markAllDirty();
    engine.reset();
}

bool WebInstrument::ready() const { return !bank.allocationFailed() && engine.buffersPresent(); }

void WebInstrument::setSampleRate(float rate) { engine.setSampleRate(rate); }

void WebInstrument::selectProgram(int32_t program) { engine.selectProgram(program); }

int32_t WebInstrument::currentProgram() { return bank.currentProgramIndex(); }

void WebInstrument::midi(uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[3] = {status, data1, data2};
    // The worklet takes messages and renders on one thread, between blocks:
    // the message plays now, so a program change's prepared tables are adopted
    // before the next block rather than rebuilt in it.
    engine.handleMidiMessage(bytes);
    if ((status & 0xF0) == 0xC0) adoptPreparedTables();
}

void WebInstrument::prepareTable(int32_t program, int32_t i, const float* table, int32_t length) {
    if (program < 0 || program >= ProgramBank::kNumPrograms || i < 0 || i >= Engine::kNumWavetables || !bank.programs)
        return;
    auto entry = std::find_if(prepared.begin(), prepared.end(), [&](const PreparedTables& p) { return p.program == program; });
    if (entry == prepared.end()) entry = prepared.insert(prepared.end(), PreparedTables{program, bank.programs[program], {}});
    entry->tables[i].assign(table, table + length);
}

void WebInstrument::adoptPreparedTables() {
    const int32_t program = bank.currentProgramIndex();
    for (const PreparedTables& p : prepared) {
        if (p.program != program || std::memcmp(&p.record, &bank.programs[program], sizeof p.record) != 0) continue;
        for (int32_t i = 0; i < Engine::kNumWavetables; ++i)
            adoptTable(i, p.tables[i].data(), static_cast<int32_t>(p.tables[i].size()));
    }
}

void WebInstrument::render(int32_t frames) {
    if (frames < 1 || frames > kMaxBlockFrames) return;
    engine.render(left, right, frames, true);
}

const float* WebInstrument::buildTable(int32_t i) {
    if (i < 0 || i >= Engine::kNumWavetables) return nullptr;
    engine.buildWavetable(i);
    return engine.wavetables[i];
}

bool WebInstrument::adoptTable(int32_t i, const float* table, int32_t length) {
    if (i < 0 || i >= Engine::kNumWavetables || !table || !engine.wavetables[i] || length != engine.tableLength)
        return false;
    std::copy_n(table, length, engine.wavetables[i]);
    const uint8_t stillDue = bank.takeDirtyFlags() & ~(1u << i);
    if (stillDue) bank.dirtyFlags.fetch_or(stillDue);
    return true;
}

float WebInstrument::parameterValue(int32_t index) { return bank.readParameter(index); }

void WebInstrument::setParameterFromPanel(int32_t index, float value) { bank.storeParameter(index, value); }

void WebInstrument::parameterDisplay(int32_t index, char* text) {
    if (!text) return;
    text[0] = '\0';
    if (!bank.programs || index < 0 || index >= kNumParameters) return;
    formatParameterDisplay(index, bank.readParameter(index), engine.sampleRate(), text);
}
