#include "web/web_instrument.h"

#include <algorithm>
#include <cstring>

void WebInstrument::midi(uint8_t status, uint8_t data1, uint8_t data2, bool adopt) {
    const uint8_t bytes[3] = {status, data1, data2};
    // The worklet takes messages and renders on one thread, between blocks:
    // the message plays now, so a program change's prepared tables are adopted
    // before the next block rather than rebuilt in it.
    synth.playMidiNow(bytes);
    if (adopt && (status & 0xF0) == 0xC0) adoptPreparedTables();
}

void WebInstrument::prepareTable(int32_t program, int32_t i, const float* table, int32_t length) {
    if (table && length == synth.wavetableLength()) prepare(program, i, table, length);
}

bool WebInstrument::prepare(int32_t program, int32_t i, const float* table, int32_t length) {
    if (program < 0 || program >= Instrument::kNumPrograms || i < 0 || i >= Engine::kNumWavetables || !ready())
        return false;
    auto entry = std::find_if(prepared.begin(), prepared.end(), [&](const PreparedTables& p) { return p.program == program; });
    if (entry == prepared.end()) {
        if (prepared.size() == prepared.capacity()) prepared.reserve(Instrument::kNumPrograms);
        entry = prepared.insert(prepared.end(), PreparedTables{program, synth.programRecord(program), {-1, -1, -1}});
    }
    const WavetableCache::Shape shape = WavetableCache::shapeOf(entry->record, i);
    auto found = std::find_if(shapes.begin(), shapes.end(), [&](const PreparedShape& s) { return s.shape == shape; });
    if (found == shapes.end()) {
        if (!table) return false;
        const size_t bytes = sizeof(float) * static_cast<size_t>(length);
        if ((shapes.size() + 1) * bytes > kPreparedBytes) return false;
        if (shapes.size() == shapes.capacity()) shapes.reserve(kPreparedBytes / bytes + 1);
        found = shapes.insert(shapes.end(), PreparedShape{shape, std::vector<float>(table, table + length)});
    }
    entry->shape[i] = static_cast<int32_t>(found - shapes.begin());
    return true;
}

void WebInstrument::adoptPreparedTables() {
    const int32_t program = synth.program();
    const ProgramRecord now = synth.programRecord(program);
    for (const PreparedTables& p : prepared) {
        if (p.program != program || std::memcmp(&p.record, &now, sizeof now) != 0) continue;
        for (int32_t i = 0; i < Engine::kNumWavetables; ++i) {
            if (p.shape[i] < 0) continue;
            const std::vector<float>& table = shapes[static_cast<size_t>(p.shape[i])].table;
            synth.adoptWavetable(i, table.data(), static_cast<int32_t>(table.size()));
        }
    }
}

void WebInstrument::render(int32_t frames) {
    if (frames < 1 || frames > kMaxBlockFrames) return;
    synth.render(left, right, frames, true);
}
