#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include <lv2/atom/atom.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/ui/ui.h>
#include <lv2/urid/urid.h>

#include "editor/synth_editor.h"
#include "lv2/lv2_uris.h"
#include "lv2/ui_panel_ports.h"

// The LV2 UI: the X11 panel of the VST 2 plug-in, embedded in the host's
// window (ui:parent) and driven by the host's idle calls.

namespace {

struct PanelUi {
    PanelUi(LV2UI_Write_Function write, LV2UI_Controller controller, float rate)
        : ports(write, controller, rate), editor(ports, nullptr) {}
    PanelPorts ports;
    SynthEditor editor;
    bool repaint = false;
};

const void* feature(const LV2_Feature* const* features, const char* uri) {
    for (int i = 0; features && features[i]; ++i)
        if (std::strcmp(features[i]->URI, uri) == 0) return features[i]->data;
    return nullptr;
}

// The host's sample rate when it says it (the cutoff's text depends on it).
float sampleRateOf(const LV2_Feature* const* features) {
    const auto* options = static_cast<const LV2_Options_Option*>(feature(features, LV2_OPTIONS__options));
    const auto* map = static_cast<const LV2_URID_Map*>(feature(features, LV2_URID__map));
    if (!options || !map) return 44100.0f;
    const LV2_URID rate = map->map(map->handle, LV2_PARAMETERS__sampleRate);
    const LV2_URID floatType = map->map(map->handle, LV2_ATOM__Float);
    for (const LV2_Options_Option* o = options; o->key; ++o)
        if (o->key == rate && o->type == floatType && o->size == sizeof(float)) return *static_cast<const float*>(o->value);
    return 44100.0f;
}

LV2UI_Handle instantiate(const LV2UI_Descriptor*, const char* pluginUri, const char*, LV2UI_Write_Function write,
                         LV2UI_Controller controller, LV2UI_Widget* widget, const LV2_Feature* const* features) {
    void* parent = const_cast<void*>(feature(features, LV2_UI__parent));
    if (!parent || !write || std::strcmp(pluginUri, VORZLE_LV2_URI) != 0) {
        std::fprintf(stderr, "Vorzle: the panel needs a parent window from the host\n");
        return nullptr;
    }
    auto* ui = new (std::nothrow) PanelUi(write, controller, sampleRateOf(features));
    if (!ui) return nullptr;
    if (!ui->editor.open(parent)) {
        std::fprintf(stderr, "Vorzle: the panel could not open its window\n");
        delete ui;
        return nullptr;
    }
    *widget = ui->editor.editorWindow;
    return ui;
}

void cleanup(LV2UI_Handle handle) { delete static_cast<PanelUi*>(handle); }

// Port changes move the knobs at the next idle call, once however many came.
void portEvent(LV2UI_Handle handle, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
    auto* ui = static_cast<PanelUi*>(handle);
    if (format != 0 || size != sizeof(float) || !buffer) return;
    if (ui->ports.portEvent(port, *static_cast<const float*>(buffer))) ui->repaint = true;
}

int idle(LV2UI_Handle handle) {
    auto* ui = static_cast<PanelUi*>(handle);
    if (ui->repaint) {
        ui->repaint = false;
        ui->editor.update();
    }
    ui->editor.idle();
    return 0;
}

const LV2UI_Idle_Interface kIdleInterface = {idle};

const void* extensionData(const char* uri) {
    if (uri && std::strcmp(uri, LV2_UI__idleInterface) == 0) return &kIdleInterface;
    return nullptr;
}

const LV2UI_Descriptor kDescriptor = {VORZLE_LV2_UI_URI, instantiate, cleanup, portEvent, extensionData};

}  // namespace

extern "C" LV2_SYMBOL_EXPORT const LV2UI_Descriptor* lv2ui_descriptor(uint32_t index) {
    return index == 0 ? &kDescriptor : nullptr;
}
