#include "engine/engine.h"

#include <atomic>
#include <cstring>

Engine::Engine(ProgramBank& programBank) : bank(programBank) { bank.setVoiceLimitListener(this); }

Engine::~Engine() {
    bank.setVoiceLimitListener(nullptr);
    for (DelayLine& line : delayLines) {
        delete[] line.buffer;
        line.buffer = nullptr;
    }
    for (float*& table : wavetables) {
        delete[] table;
        table = nullptr;
    }
}

bool Engine::buffersPresent() const {
    for (const float* table : wavetables)
        if (!table) return false;
    for (const DelayLine& line : delayLines)
        if (!line.buffer) return false;
    return true;
}

void Engine::reset() {
    ControlScope scope(renderGate);
    resetVoicesAndDelayLines();
    timedMidi.clear();
    pendingMidi.drain([](const uint8_t*) {});
}

void Engine::resetVoicesAndDelayLines() {
    std::memset(static_cast<void*>(voices), 0, sizeof(voices));
    noteCounter = 0;
    for (DelayLine& line : delayLines) {
        if (!line.buffer) continue;
        for (int32_t i = 0; i < line.length; ++i) line.buffer[i] = 0.0f;
    }
}

// A new voice limit stops every voice at once, without release.
void Engine::voiceLimitChanged() {
    ControlScope scope(renderGate);
    for (Voice& voice : voices) voice.active = 0;
    noteCounter = 0;
}

void Engine::selectProgram(int32_t program) {
    if (program < 0 || program >= ProgramBank::kNumPrograms) return;
    ControlScope scope(renderGate);
    selectProgramHoldingGate(program);
}

void Engine::restorePrograms(const ProgramRecord* records, int32_t first, int32_t count, int32_t current) {
    constexpr int32_t n = ProgramBank::kNumPrograms;
    if (!bank.hasPrograms() || !records || first < 0 || count < 0 || count > n - first || current < 0 || current >= n)
        return;
    ControlScope scope(renderGate);
    for (int32_t i = 0; i < count; ++i) bank.writeProgram(first + i, records[i]);
    selectProgramHoldingGate(current);
}

bool Engine::adoptWavetable(int32_t i, const float* table, int32_t length) {
    if (i < 0 || i >= kNumWavetables || !table || !wavetables[i] || length != tableLength) return false;
    std::memcpy(wavetables[i], table, sizeof(float) * static_cast<size_t>(length));
    const uint8_t stillDue = bank.takeDirtyFlags() & ~(1u << i);
    if (stillDue) bank.markDirty(stillDue);
    return true;
}

void Engine::restartModulators() {
    for (DelayLine& line : delayLines) {
        line.writeIndex = 0;
        line.modPhase = 0.0f;
    }
    cutoffLfoPhase = 0.0f;
}

void Engine::centreBalance() { std::atomic_ref<float>(outputPan).store(0.5f, std::memory_order_relaxed); }

void Engine::selectProgramHoldingGate(int32_t program) {
    if (!bank.selectProgram(program)) return;
    bank.markAllDirty();
    resetVoicesAndDelayLines();
    if (listener) listener->programValuesChanged();
}

Engine::MidiDelivery::MidiDelivery(Engine& e) : engine(e), holdingGate(e.renderGate.tryEnterRender()) {
    if (!holdingGate) return;
    engine.playPendingMidi();
    engine.timedMidi.beginDelivery(engine.renderCount.load(std::memory_order_relaxed));
}

Engine::MidiDelivery::~MidiDelivery() {
    if (holdingGate) engine.renderGate.leaveRender();
}

void Engine::MidiDelivery::add(const uint8_t bytes[3], int32_t frame) {
    if (!holdingGate) {
        engine.pendingMidi.push(bytes);
        return;
    }
    if (engine.timedMidi.full()) engine.playTimedMidiNow();
    engine.timedMidi.add(frame, bytes);
}
