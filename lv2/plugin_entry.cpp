#include <cstdio>
#include <cstring>
#include <new>

#include <lv2/core/lv2.h>
#include <lv2/state/state.h>
#include <lv2/urid/urid.h>

#include "lv2/lv2_instrument.h"
#include "lv2/lv2_uris.h"
#include "lv2/plugin_state.h"

// The C face of the plug-in that hosts load.

namespace {

Lv2Instrument& instrumentOf(LV2_Handle handle) { return *static_cast<Lv2Instrument*>(handle); }

LV2_Handle instantiate(const LV2_Descriptor*, double rate, const char*, const LV2_Feature* const* features) {
    LV2_URID_Map* map = nullptr;
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, LV2_URID__map) == 0) map = static_cast<LV2_URID_Map*>(features[i]->data);
    if (!map) {
        std::fprintf(stderr, "Vorzle: the host offers no URID map; the plug-in cannot run\n");
        return nullptr;
    }
    Lv2Instrument* instrument = new (std::nothrow) Lv2Instrument(static_cast<float>(rate), *map);
    if (instrument && !instrument->usable()) {
        std::fprintf(stderr, "Vorzle: no memory or no usable sample rate (%g Hz); the plug-in cannot run\n", rate);
        delete instrument;
        instrument = nullptr;
    }
    return instrument;
}

void connectPort(LV2_Handle handle, uint32_t port, void* data) { instrumentOf(handle).connect(port, data); }
void activate(LV2_Handle handle) { instrumentOf(handle).activate(); }
void run(LV2_Handle handle, uint32_t n) { instrumentOf(handle).run(n); }
void deactivate(LV2_Handle) {}
void cleanup(LV2_Handle handle) { delete &instrumentOf(handle); }

LV2_State_Status save(LV2_Handle handle, LV2_State_Store_Function store, LV2_State_Handle state, uint32_t,
                      const LV2_Feature* const*) {
    return saveInstrumentState(instrumentOf(handle), store, state);
}

LV2_State_Status restore(LV2_Handle handle, LV2_State_Retrieve_Function retrieve, LV2_State_Handle state, uint32_t,
                         const LV2_Feature* const*) {
    return restoreInstrumentState(instrumentOf(handle), retrieve, state);
}

const LV2_State_Interface kStateInterface = {save, restore};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_STATE__interface) == 0) return &kStateInterface;
    return nullptr;
}

const LV2_Descriptor kDescriptor = {VORZLE_LV2_URI, instantiate, connectPort, activate, run,
                                    deactivate,     cleanup,     extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2_Descriptor* lv2_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
