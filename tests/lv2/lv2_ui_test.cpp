// The LV2 panel as a host embeds it, under a real X server (Xvfb): the UI
// module loaded from the bundle, its window in the host's window, port
// events moving its controls, and real XTest input on its controls reaching
// the host as port writes.
#include <gtest/gtest.h>

#include "tests/lv2/lv2_test_host.h"
#include "tests/shared/x11_host_window.h"
#include <dlfcn.h>
#include <lv2/ui/ui.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "editor/control_values.h"
#include "editor/panel_layout.h"
#include "lv2/port_layout.h"

namespace {

class Lv2PanelHost : public X11HostWindow {
protected:
    void SetUp() override {
        X11HostWindow::SetUp();
        if (HasFatalFailure()) return;
        module = dlopen(VORZLE_BINARY_DIR "/lv2/Vorzle.lv2/vorzle_ui.so", RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(module, nullptr) << dlerror();
        auto entry = reinterpret_cast<LV2UI_DescriptorFunction>(dlsym(module, "lv2ui_descriptor"));
        ASSERT_TRUE(entry && (descriptor = entry(0)) && !entry(1)) << "one UI in the module";
        EXPECT_STREQ(descriptor->URI, "urn:harvane:vorzle:ui");
        host = newHostWindow();
    }
    void TearDown() override {
        if (ui) descriptor->cleanup(ui);
        X11HostWindow::TearDown();
        if (module) dlclose(module);
    }

    LV2UI_Handle open(bool withParent = true) {
        parent = {LV2_UI__parent, asParent(host)};
        const LV2_Feature* features[] = {&urids.mapEntry, &idleFeature, withParent ? &parent : nullptr, nullptr};
        LV2UI_Widget widget = nullptr;
        LV2UI_Handle handle = descriptor->instantiate(descriptor, "urn:harvane:vorzle", VORZLE_BINARY_DIR "/lv2/Vorzle.lv2/",
                                                      record, this, &widget, features);
        panel = static_cast<Window>(reinterpret_cast<uintptr_t>(widget));
        return handle;
    }
    static void record(LV2UI_Controller self, uint32_t port, uint32_t size, uint32_t format, const void* buffer) {
        ASSERT_TRUE(size == sizeof(float) && format == 0u);
        static_cast<Lv2PanelHost*>(self)->writes.push_back({port, *static_cast<const float*>(buffer)});
    }
    void idle(int times = 3) {
        const auto* idler = static_cast<const LV2UI_Idle_Interface*>(descriptor->extension_data(LV2_UI__idleInterface));
        for (int i = 0; i < times; ++i) {
            XSync(display, False);
            usleep(5000);
            ASSERT_EQ(idler->idle(ui), 0);
        }
    }
    void portEvent(uint32_t port, float value) { descriptor->port_event(ui, port, sizeof(float), 0, &value), idle(); }
    void moveTo(int x, int y) { X11HostWindow::moveTo(x, y), idle(1); }
    void button(bool down) { X11HostWindow::button(Button1, down), idle(); }
    std::vector<uint32_t> capture(const PanelControl& c) { return X11HostWindow::capture(panel, c.x, c.y, c.width, c.height).pixels; }
    static const PanelControl& control(int32_t parameter) {
        return *std::find_if(panelControls(), panelControls() + kPanelControlCount, [&](const PanelControl& c) {
            return c.id == parameter && c.kind != ControlKind::Display && c.kind != ControlKind::Readout;
        });
    }

    void* module = nullptr;
    const LV2UI_Descriptor* descriptor = nullptr;
    Window host = 0, panel = 0;
    LV2UI_Handle ui = nullptr;
    lv2_test::UridMap urids;
    LV2_Feature parent{}, idleFeature{LV2_UI__idleInterface, nullptr};
    std::vector<std::pair<uint32_t, float>> writes;
};

}  // namespace

TEST_F(Lv2PanelHost, OpensInTheHostsWindowAndPortsMoveItsControls) {
    EXPECT_EQ(open(false), nullptr) << "without a parent window there is no panel";
    ASSERT_NE(ui = open(), nullptr);
    idle();
    XWindowAttributes a;
    ASSERT_TRUE(XGetWindowAttributes(display, panel, &a));
    EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height, a.map_state}), std::vector<int>({0, 0, kEditorWidth, kEditorHeight, IsViewable}));
    EXPECT_EQ(panelOf(host), panel) << "the panel is the host window's child";

    // The host's control inputs and the playing outputs both move the knob.
    const PanelControl& cutoff = control(Param::Cutoff);
    portEvent(Port::control(Param::Cutoff), 0.0f);
    const auto closed = capture(cutoff);
    portEvent(Port::control(Param::Cutoff), 1.0f);
    EXPECT_NE(capture(cutoff), closed);
    portEvent(Port::playing(Param::Cutoff), 0.0f);
    EXPECT_EQ(capture(cutoff), closed);
    EXPECT_TRUE(writes.empty()) << "port events are not written back";
}

// A knob drag, a switch click and a counter drag reach the host as writes of
// their control ports, in port units (the counter in whole voices).
TEST_F(Lv2PanelHost, ControlsWriteTheirPortsThroughTheHost) {
    ASSERT_NE(ui = open(), nullptr);
    // The value the control shows first, the drag (0: a click) and the value written.
    const struct { int32_t parameter; float shown; int dy; float written; } gestures[] = {
        {Param::Cutoff, 0.3f, -100, draggedValue(0.3f, -100, false, false)},
        {Param::Osc1On, 2.0f, 0, 0.0f},
        {Param::Polyphony, 8.0f, -160, 18.0f},
    };
    for (const auto& g : gestures) {
        portEvent(Port::control(g.parameter), g.shown);
        writes.clear();
        const PanelControl& c = control(g.parameter);
        const int x = c.x + c.width / 2, y = c.y + c.height / 2;
        moveTo(x, y);
        button(true);
        if (g.dy) moveTo(x, y + g.dy);
        button(false);
        ASSERT_FALSE(writes.empty()) << "parameter " << g.parameter;
        EXPECT_TRUE(writes.back() == decltype(writes)::value_type(Port::control(g.parameter), g.written)) << "parameter " << g.parameter;
    }
}
