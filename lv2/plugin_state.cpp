#include "lv2/plugin_state.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include <lv2/atom/atom.h>

#include "lv2/lv2_instrument.h"

namespace {

// One parameter vector as an atom:Vector body of floats.
struct FloatVector {
    LV2_Atom_Vector_Body head;
    float values[kNumParameters];
};

FloatVector vectorOf(const float* values, LV2_URID floatType) {
    FloatVector v;
    v.head.child_size = sizeof(float);
    v.head.child_type = floatType;
    std::memcpy(v.values, values, sizeof(v.values));
    return v;
}

constexpr uint32_t kPodFlags = LV2_STATE_IS_POD | LV2_STATE_IS_PORTABLE;

// A vector of our parameters, each within its range: the values playing as
// strictly as a chunk checks them (the one check every front end shares),
// port values within their ports'. One value outside refuses the vector.
bool readVector(const Lv2Instrument::Uris& uris, const void* data, size_t size, uint32_t type, float* out,
                bool portValues) {
    if (!data || type != uris.atomVector || size != sizeof(FloatVector)) return false;
    FloatVector v;
    std::memcpy(&v, data, sizeof(v));
    if (v.head.child_size != sizeof(float) || v.head.child_type != uris.atomFloat) return false;
    for (int32_t p = 0; p < kNumParameters; ++p) {
        const float x = v.values[p];
        const bool allowed = portValues ? x >= kPortInfo[p].minimum && x <= kPortInfo[p].maximum
                                        : storedValueAllowed(p, x);
        if (!allowed) return false;   // NaN included
        out[p] = x;
    }
    return true;
}

}  // namespace

LV2_State_Status saveInstrumentState(Lv2Instrument& instrument, LV2_State_Store_Function store,
                                     LV2_State_Handle handle) {
    const Lv2Instrument::Uris& uris = instrument.uris;
    const Lv2Instrument::Snapshot s = instrument.snapshot();
    const int32_t program = s.program;
    LV2_State_Status status = store(handle, uris.program, &program, sizeof(program), uris.atomInt, kPodFlags);
    if (status != LV2_STATE_SUCCESS) return status;
    const FloatVector sound = vectorOf(s.sound, uris.atomFloat);
    status = store(handle, uris.sound, &sound, sizeof(sound), uris.atomVector, kPodFlags);
    if (status != LV2_STATE_SUCCESS) return status;
    // Before the first block no port has been taken: nothing to say.
    for (float seen : s.portsSeen)
        if (std::isnan(seen)) return LV2_STATE_SUCCESS;
    const FloatVector seen = vectorOf(s.portsSeen, uris.atomFloat);
    return store(handle, uris.portsSeen, &seen, sizeof(seen), uris.atomVector, kPodFlags);
}

LV2_State_Status restoreInstrumentState(Lv2Instrument& instrument, LV2_State_Retrieve_Function retrieve,
                                        LV2_State_Handle handle) {
    const Lv2Instrument::Uris& uris = instrument.uris;
    size_t size = 0;
    uint32_t type = 0, flags = 0;
    const void* program = retrieve(handle, uris.program, &size, &type, &flags);
    if (!program) {
        instrument.resetState();
        return LV2_STATE_SUCCESS;
    }
    Lv2Instrument::Snapshot s;
    bool valid = type == uris.atomInt && size == sizeof(int32_t);
    if (valid) {
        std::memcpy(&s.program, program, sizeof(int32_t));
        valid = s.program >= 0 && s.program < Instrument::kNumPrograms;
    }
    const void* sound = retrieve(handle, uris.sound, &size, &type, &flags);
    valid = valid && readVector(uris, sound, size, type, s.sound, false);
    const void* seen = retrieve(handle, uris.portsSeen, &size, &type, &flags);
    if (seen) {
        valid = valid && readVector(uris, seen, size, type, s.portsSeen, true);
    } else {
        for (float& x : s.portsSeen) x = NAN;
    }
    if (!valid) {
        std::fprintf(stderr, "Vorzle: the saved state is not Vorzle's, is damaged or holds a value out of its range; "
                             "it was not restored\n");
        return LV2_STATE_ERR_BAD_TYPE;
    }
    instrument.restore(s);
    return LV2_STATE_SUCCESS;
}
