#include <new>

#include "engine/engine.h"
#include "engine/sample_rate.h"
#include "engine/wave_shape.h"
#include "engine/wavetable_cache.h"

namespace {

constexpr int32_t kSpareTableEntries = 30;
constexpr int32_t kSpareDelayEntries = 10;

void fillWavetable(float* table, int32_t length, int32_t i, const ProgramRecord& program) {
    WavetableCache::build(table, length, WavetableCache::shapeOf(program, i));
}

float* allocateZeroed(int32_t count) {
    float* buffer = new (std::nothrow) float[count];
    if (buffer)
        for (int32_t i = 0; i < count; ++i) buffer[i] = 0.0f;
    return buffer;
}

}  // namespace

// A snapshot of the current program, each value read whole, so that a store
// made meanwhile on another thread cannot mix two states within one build.
static ProgramRecord snapshotOf(const ProgramRecord& program) {
    ProgramRecord copy;
    for (int32_t p = 0; p < kNumParameters; ++p) copy.valueOf(p) = ProgramBank::loadValue(program, p);
    return copy;
}

void Engine::buildWavetable(int32_t i) {
    if (i < 0 || i >= kNumWavetables || !bank.hasPrograms()) return;
    const ProgramRecord program = snapshotOf(bank.currentProgram());
    if (!ownTables[i] || tableLength <= 0) return;
    fillWavetable(ownTables[i], tableLength, i, program);
    wavetables[i] = ownTables[i];
}

// Everything the new rate needs is allocated and built before the render gate
// is taken, so a render running meanwhile loses at most the few instructions
// of the swap (it plays silence then). An unusable rate, or one whose buffers
// cannot be allocated, leaves the instrument without tables: it stays silent
// and safe until a usable rate arrives.
void Engine::setSampleRate(float rate) {
    const bool usable = isUsableSampleRate(rate);
    const int32_t delayLength = usable ? delayLineLengthFor(rate) : 0;
    const int32_t length = usable ? wavetableLengthFor(rate) : 0;

    float* newDelayBuffers[2] = {nullptr, nullptr};
    float* newTables[kNumWavetables] = {nullptr, nullptr, nullptr};
    if (usable) {
        for (float*& buffer : newDelayBuffers) buffer = allocateZeroed(delayLength + kSpareDelayEntries);
        if (bank.hasPrograms()) {
            const ProgramRecord program = snapshotOf(bank.currentProgram());
            for (int32_t i = 0; i < kNumWavetables; ++i) {
                newTables[i] = new (std::nothrow) float[length + kSpareTableEntries];
                if (newTables[i]) fillWavetable(newTables[i], length, i, program);
            }
        }
    }

    float* oldDelayBuffers[2];
    float* oldTables[kNumWavetables];
    WavetableCache* oldCache = nullptr;
    {
        ControlScope scope(renderGate);
        currentRate = rate;
        for (int32_t c = 0; c < 2; ++c) {
            oldDelayBuffers[c] = delayLines[c].buffer;
            delayLines[c].buffer = newDelayBuffers[c];
            delayLines[c].length = newDelayBuffers[c] ? delayLength : 0;
        }
        tableLength = length;
        for (int32_t i = 0; i < kNumWavetables; ++i) {
            oldTables[i] = ownTables[i];
            ownTables[i] = newTables[i];
            wavetables[i] = newTables[i];
        }
        // The old rate's tables go; the new rate's come from the preparing thread.
        oldCache = prepared;
        prepared = nullptr;
        resetVoicesAndDelayLines();
    }
    for (float* buffer : oldDelayBuffers) delete[] buffer;
    for (float* table : oldTables) delete[] table;
    delete oldCache;
    if (preparing && usable) requestPreparedTables(length);
}
