#pragma once
#include <lilv/lilv.h>
#include <lv2/atom/atom.h>
#include <lv2/atom/forge.h>
#include <lv2/midi/midi.h>
#include <lv2/time/time.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "lv2/port_layout.h"

// A small LV2 host on lilv, as hosts load the bundle: the URID map, the
// world with the bundle loaded, and instances whose ports it owns.
namespace lv2_test {

class UridMap {
public:
    LV2_URID map(const char* uri) {
        auto [it, added] = ids.emplace(uri, static_cast<LV2_URID>(uris.size() + 1));
        if (added) uris.push_back(uri);
        return it->second;
    }
    const char* unmap(LV2_URID id) const { return id >= 1 && id <= uris.size() ? uris[id - 1].c_str() : nullptr; }

    LV2_URID_Map mapFeature{this, [](LV2_URID_Map_Handle h, const char* uri) { return static_cast<UridMap*>(h)->map(uri); }};
    LV2_URID_Unmap unmapFeature{this, [](LV2_URID_Unmap_Handle h, LV2_URID id) { return static_cast<UridMap*>(h)->unmap(id); }};
    LV2_Feature mapEntry{LV2_URID__map, &mapFeature}, unmapEntry{LV2_URID__unmap, &unmapFeature};
    const LV2_Feature* features[3] = {&mapEntry, &unmapEntry, nullptr};

private:
    std::map<std::string, LV2_URID> ids;
    std::vector<std::string> uris;
};

struct World {
    explicit World(const std::string& bundleDir) : world(lilv_world_new()) {
        LilvNode* bundle = lilv_new_file_uri(world, nullptr, (bundleDir + "/").c_str());
        lilv_world_load_specifications(world);
        lilv_world_load_bundle(world, bundle);
        LilvNode* uri = lilv_new_uri(world, "urn:harvane:vorzle");
        plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), uri);
        lilv_node_free(uri);
        lilv_node_free(bundle);
    }
    ~World() { lilv_world_free(world); }
    LilvWorld* world;
    const LilvPlugin* plugin = nullptr;
    UridMap urids;
};

// The parameter a control port's symbol names, -1 for none.
inline int32_t parameterOf(const char* symbol) {
    for (int32_t p = 0; p < kNumParameters; ++p)
        if (std::strcmp(symbol, kPortInfo[p].symbol) == 0) return p;
    return -1;
}

// One event a block carries: MIDI bytes at a frame, or the host's
// transport rolling (speed 1) or stopped (speed 0) when the bytes are empty.
struct Event {
    uint32_t frame;
    std::vector<uint8_t> bytes;
    float transportSpeed = 0.0f;
};

class Instance {
public:
    Instance(World& w, double rate) : world(w), instance(lilv_plugin_instantiate(w.plugin, rate, w.urids.features)) {
        if (!instance) return;
        for (int32_t p = 0; p < kNumParameters; ++p) {
            controls[p] = portDefault(p);
            lilv_instance_connect_port(instance, Port::control(p), &controls[p]);
            lilv_instance_connect_port(instance, Port::playing(p), &playing[p]);
        }
        lilv_instance_connect_port(instance, Port::kMidiIn, sequence.data());
        lilv_instance_activate(instance);
    }
    ~Instance() {
        if (!instance) return;
        lilv_instance_deactivate(instance);
        lilv_instance_free(instance);
    }

    // Renders n frames with these events into left and right (appended).
    void run(uint32_t n, const std::vector<Event>& events = {}) {
        lv2_atom_forge_set_buffer(&forge, reinterpret_cast<uint8_t*>(sequence.data()), sequence.size() * sizeof(uint64_t));
        LV2_Atom_Forge_Frame frame, position;
        lv2_atom_forge_sequence_head(&forge, &frame, 0);
        for (const Event& e : events) {
            lv2_atom_forge_frame_time(&forge, e.frame);
            if (e.bytes.empty()) {   // a time:Position with one property, time:speed
                lv2_atom_forge_object(&forge, &position, 0, positionType);
                lv2_atom_forge_key(&forge, speedKey);
                lv2_atom_forge_float(&forge, e.transportSpeed);
                lv2_atom_forge_pop(&forge, &position);
            } else {
                lv2_atom_forge_atom(&forge, static_cast<uint32_t>(e.bytes.size()), midiType);
                lv2_atom_forge_write(&forge, e.bytes.data(), static_cast<uint32_t>(e.bytes.size()));
            }
        }
        lv2_atom_forge_pop(&forge, &frame);
        const size_t at = left.size();
        left.resize(at + n);
        right.resize(at + n);
        lilv_instance_connect_port(instance, Port::kLeft, left.data() + at);
        lilv_instance_connect_port(instance, Port::kRight, right.data() + at);
        lilv_instance_run(instance, n);
    }

    World& world;
    LilvInstance* instance;
    float controls[kNumParameters];
    float playing[kNumParameters] = {};
    std::vector<float> left, right;

private:
    std::vector<uint64_t> sequence = std::vector<uint64_t>(1024);
    // Mapped once here: mapping in run() would allocate on the audio path under test.
    LV2_Atom_Forge forge = [this] { LV2_Atom_Forge f; lv2_atom_forge_init(&f, &world.urids.mapFeature); return f; }();
    const LV2_URID midiType = world.urids.map(LV2_MIDI__MidiEvent), positionType = world.urids.map(LV2_TIME__Position),
                   speedKey = world.urids.map(LV2_TIME__speed);
};

}  // namespace lv2_test
