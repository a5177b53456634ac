#include "engine/wavetable_cache.h"

#include <cstring>
#include <new>

#include "engine/wave_shape.h"
#include "programs/program_bank.h"

namespace {

struct ShapeParameters {
    int32_t sineMix, square, symmetry, level, phaseOffset;
};

constexpr ShapeParameters kShapes[WavetableCache::kTablesPerProgram] = {
    {Param::Osc1Sine, Param::Osc1Width, Param::Osc1Center, Param::Osc1Level, Param::Osc1Shift},
    {Param::Osc2Sine, Param::Osc2Width, Param::Osc2Center, Param::Osc2Level, Param::Osc2Shift},
    {Param::Osc3Sine, Param::Osc3Width, Param::Osc3Center, Param::Osc3Level, Param::Osc3Shift},
};

}  // namespace

bool WavetableCache::Shape::operator==(const Shape& other) const { return std::memcmp(this, &other, sizeof(Shape)) == 0; }

WavetableCache::Shape WavetableCache::shapeOf(const ProgramRecord& program, int32_t table) {
    const ShapeParameters& s = kShapes[table];
    auto value = [&](int32_t p) { return ProgramBank::loadValue(program, p); };
    return {value(s.sineMix), value(s.square), value(s.symmetry), value(s.level), value(s.phaseOffset)};
}

void WavetableCache::build(float* table, int32_t length, const Shape& shape) {
    waveShapeTable(table, length, shape.sineMix, shape.square, shape.symmetry, shape.level, shape.phaseOffset);
    for (int32_t k = length; k < length + kSpareEntries; ++k) table[k] = 0.0f;
}

bool WavetableCache::prepare(const ProgramRecord* programs, int32_t count, int32_t length,
                             const std::atomic<bool>* cancel) {
    shapes.clear();
    tables.clear();
    tableLength = length > 0 ? length : 0;
    return tableLength > 0 && add(programs, count, cancel);
}

bool WavetableCache::add(const ProgramRecord* programs, int32_t count, const std::atomic<bool>* cancel) {
    const int32_t length = tableLength;
    if (length <= 0 || (!programs && count > 0)) return false;
    try {
        for (int32_t i = 0; i < count; ++i) {
            if (cancel && cancel->load(std::memory_order_relaxed)) {
                shapes.clear();
                tables.clear();
                tableLength = 0;
                return false;
            }
            for (int32_t t = 0; t < kTablesPerProgram; ++t) {
                const Shape shape = shapeOf(programs[i], t);
                if (find(shape)) continue;
                std::unique_ptr<float[]> table(new float[static_cast<size_t>(length) + kSpareEntries]);
                build(table.get(), length, shape);
                shapes.push_back(shape);
                tables.push_back(std::move(table));
            }
        }
    } catch (const std::bad_alloc&) {
        shapes.clear();
        tables.clear();
        tableLength = 0;
        return false;
    }
    return true;
}

const float* WavetableCache::find(const Shape& shape) const {
    for (size_t i = 0; i < shapes.size(); ++i)
        if (shapes[i] == shape) return tables[i].get();
    return nullptr;
}
