#pragma once
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "programs/program_record.h"

// The wavetables of many programs, built ahead on the control side so that a
// program change only points the oscillators at them: one table per distinct
// shape (equal shapes share one), each bit for bit what building it for the
// program at that moment gives. A table belongs to its shape, not to a
// program: an edited program whose shape matches a prepared one finds it too.
//
// Threads: prepare allocates and builds (control side, never the audio
// thread); find reads only and may run on the audio thread while nobody
// prepares the same cache.
class WavetableCache {
public:
    static constexpr int32_t kTablesPerProgram = 3;
    // Entries past the period that the oscillators may read.
    static constexpr int32_t kSpareEntries = 30;

    // The five values that make oscillator table's shape, in waveShape's
    // argument order, compared bit for bit.
    struct Shape {
        float sineMix, square, symmetry, level, phaseOffset;
        bool operator==(const Shape& other) const;
    };
    // Each value read whole (another thread may store meanwhile).
    static Shape shapeOf(const ProgramRecord& program, int32_t table);
    // One period of shape in length entries, and the spare ones after it.
    static void build(float* table, int32_t length, const Shape& shape);

    // Builds the tables of every shape the programs' oscillators use; false
    // (the cache then empty) when memory ran out, length is not positive or
    // cancel was raised meanwhile (an instance closing need not wait for it).
    bool prepare(const ProgramRecord* programs, int32_t count, int32_t length,
                 const std::atomic<bool>* cancel = nullptr);
    // Adds the shapes of more programs at the same length; false (the cache
    // then empty) when memory ran out or cancel was raised.
    bool add(const ProgramRecord* programs, int32_t count, const std::atomic<bool>* cancel = nullptr);
    // The table of shape; null when it was not prepared.
    const float* find(const Shape& shape) const;

    int32_t length() const { return tableLength; }
    int32_t tableCount() const { return static_cast<int32_t>(shapes.size()); }
    size_t bytes() const { return shapes.size() * (sizeof(Shape) + sizeof(float) * (tableLength + kSpareEntries)); }

private:
    std::vector<Shape> shapes;
    std::vector<std::unique_ptr<float[]>> tables;
    int32_t tableLength = 0;
};
