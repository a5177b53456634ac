#include "engine/engine.h"

#include <atomic>
#include <cstring>
#include <new>
#include <system_error>
#include <utility>

Engine::Engine(ProgramBank& programBank) : bank(programBank) { bank.setVoiceLimitListener(this); }

Engine::~Engine() {
    preparerCancel.store(true, std::memory_order_relaxed);
    {
        std::lock_guard<std::mutex> lock(preparerMutex);
        preparerStop = true;
    }
    preparerWake.notify_one();
    if (preparer.joinable()) preparer.join();
    delete incoming.exchange(nullptr);
    delete retired.exchange(nullptr);
    bank.setVoiceLimitListener(nullptr);
    for (DelayLine& line : delayLines) {
        delete[] line.buffer;
        line.buffer = nullptr;
    }
    for (float*& table : ownTables) {
        delete[] table;
        table = nullptr;
    }
    delete prepared;
}

WavetableCache* Engine::prepareCache(int32_t length, const std::atomic<bool>* cancel) {
    if (!bank.hasPrograms() || length <= 0) return nullptr;
    WavetableCache* cache = new (std::nothrow) WavetableCache;
    if (cache && !cache->prepare(&bank.program(0), ProgramBank::kNumPrograms, length, cancel)) {
        delete cache;
        cache = nullptr;
    }
    return cache;
}

bool Engine::preparePrograms(bool on) {
    int32_t length;
    {
        ControlScope scope(renderGate);
        length = tableLength;
    }
    // Without a usable rate there is nothing to build yet: the first usable one brings the tables.
    WavetableCache* cache = on && length > 0 ? prepareCache(length) : nullptr;
    const bool failed = on && length > 0 && !cache;
    WavetableCache* old;
    {
        ControlScope scope(renderGate);
        old = prepared;
        prepared = cache;
        preparing = on && !failed;
        usePreparedTables();
    }
    delete old;
    return !failed;
}

// Control side: the request is taken by the preparing thread, which starts
// here the first time. Without a thread the tables are built at once.
void Engine::requestPreparedTables(int32_t length) {
    delete retired.exchange(nullptr);
    {
        std::lock_guard<std::mutex> lock(preparerMutex);
        prepareLength = length;
        if (!preparer.joinable()) {
            try {
                preparer = std::thread([this] { prepareInBackground(); });
            } catch (const std::system_error&) {
            }
        }
    }
    if (preparer.joinable()) {
        preparerWake.notify_one();
        return;
    }
    delete incoming.exchange(prepareCache(length));
}

// Builds without the gate (the programs' values are read whole), so renders
// go on meanwhile, and hands the tables over through incoming.
void Engine::prepareInBackground() {
    std::unique_lock<std::mutex> lock(preparerMutex);
    for (;;) {
        preparerWake.wait(lock, [this] { return prepareLength > 0 || preparerStop; });
        if (preparerStop) return;
        const int32_t length = prepareLength;
        prepareLength = 0;
        lock.unlock();
        // Tables nobody took yet are replaced, never in use.
        delete incoming.exchange(prepareCache(length, &preparerCancel));
        lock.lock();
    }
}

// The tables are taken before they are looked at: the preparing thread may
// replace and delete whatever still waits in incoming.
void Engine::takeIncomingTables() {
    if (retired.load(std::memory_order_acquire) != nullptr) return;
    WavetableCache* cache = incoming.exchange(nullptr, std::memory_order_acq_rel);
    if (!cache) return;
    if (cache->length() != tableLength) {
        // Built for another rate: back where it waited, unless newer tables came meanwhile.
        WavetableCache* none = nullptr;
        if (!incoming.compare_exchange_strong(none, cache, std::memory_order_acq_rel))
            retired.store(cache, std::memory_order_release);
        return;
    }
    retired.store(prepared, std::memory_order_release);
    prepared = cache;
}

size_t Engine::preparedBytes() const { return prepared ? prepared->bytes() : 0; }

void Engine::usePreparedTables() {
    takeIncomingTables();
    // The bits taken first: a store after this marks its table again.
    bank.takeDirtyFlags();
    uint8_t stillDue = 0;
    for (int32_t i = 0; i < kNumWavetables; ++i) {
        const float* table = nullptr;
        if (prepared && bank.hasPrograms() && prepared->length() == tableLength)
            table = prepared->find(WavetableCache::shapeOf(bank.currentProgram(), i));
        wavetables[i] = table ? table : ownTables[i];
        if (!table) stillDue |= 1u << i;   // built from the current program in the next render
    }
    if (stillDue) bank.markDirty(stillDue);
}

bool Engine::buffersPresent() const {
    for (const float* table : ownTables)
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
    if (delayLinesClear) return;
    for (DelayLine& line : delayLines) {
        if (!line.buffer) continue;
        for (int32_t i = 0; i < line.length; ++i) line.buffer[i] = 0.0f;
    }
    delayLinesClear = true;
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
    int32_t length;
    {
        ControlScope scope(renderGate);
        for (int32_t i = 0; i < count; ++i) bank.writeProgram(first + i, records[i]);
        selectProgramHoldingGate(current);
        length = tableLength;
    }
    // The tables prepared so far stay (they are found by shape, never wrong);
    // the new programs' come from the preparing thread.
    if (preparing && length > 0) requestPreparedTables(length);
}

bool Engine::adoptWavetable(int32_t i, const float* table, int32_t length) {
    if (i < 0 || i >= kNumWavetables || !table || !ownTables[i] || length != tableLength) return false;
    std::memcpy(ownTables[i], table, sizeof(float) * static_cast<size_t>(length));
    wavetables[i] = ownTables[i];
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
    if (preparing) usePreparedTables();
    else bank.markAllDirty();
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
