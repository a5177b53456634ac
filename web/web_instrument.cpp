#include "web/web_instrument.h"

#include <algorithm>
#include <cstring>

void WebInstrument::midi(uint8_t status, uint8_t data1, uint8_t data2) {
    const uint8_t bytes[3] = {status, data1, data2};
    // The worklet takes messages and renders on one thread, between blocks:
    // the message plays now, so a program change's prepared tables are adopted
    // before the next block rather than rebuilt in it.
    synth.playMidiNow(bytes);
    if ((status & 0xF0) == 0xC0) adoptPreparedTables();
}

void WebInstrument::prepareTable(int32_t program, int32_t i, const float* table, int32_t length) {
    if (program < 0 || program >= Instrument::kNumPrograms || i < 0 || i >= Engine::kNumWavetables || !ready()) return;
    auto entry = std::find_if(prepared.begin(), prepared.end(), [&](const PreparedTables& p) { return p.program == program; });
    if (entry == prepared.end()) entry = prepared.insert(prepared.end(), PreparedTables{program, synth.programRecord(program), {}});
    entry->tables[i].assign(table, table + length);
}

void WebInstrument::adoptPreparedTables() {
    const int32_t program = synth.program();
    const ProgramRecord now = synth.programRecord(program);
    for (const PreparedTables& p : prepared) {
        if (p.program != program || std::memcmp(&p.record, &now, sizeof now) != 0) continue;
        for (int32_t i = 0; i < Engine::kNumWavetables; ++i)
            synth.adoptWavetable(i, p.tables[i].data(), static_cast<int32_t>(p.tables[i].size()));
    }
}

void WebInstrument::render(int32_t frames) {
    if (frames < 1 || frames > kMaxBlockFrames) return;
    synth.render(left, right, frames, true);
}
