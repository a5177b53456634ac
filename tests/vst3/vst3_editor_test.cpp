#include <unistd.h>

#include <algorithm>

#include "editor/panel_layout.h"
#include "programs/parameter_table.h"
#include "tests/shared/x11_host_window.h"
#include "tests/vst3/vst3_test_host.h"

// The VST 3 panel in a host window under Xvfb, on the host's run loop: a
// knob dragged with the mouse reaches the host as one begin/perform/end
// edit, a button's click as one of its own.

using namespace vst3_test;

namespace {

// The host's frame, lending its run loop: the test runs the panel's timer.
class Frame : public IPlugFrame, public IRunLoop {
public:
    tresult VST3_API queryInterface(const TUID iid, void** obj) override {
        if (FUnknown::iid == iid || IPlugFrame::iid == iid) *obj = static_cast<IPlugFrame*>(this);
        else if (IRunLoop::iid == iid) *obj = static_cast<IRunLoop*>(this);
        else return *obj = nullptr, kNoInterface;
        return kResultOk;
    }
    uint32_t VST3_API addRef() override { return 1; }
    uint32_t VST3_API release() override { return 1; }
    tresult VST3_API resizeView(IPlugView*, ViewRect*) override { return kResultFalse; }
    tresult VST3_API registerEventHandler(IEventHandler*, int) override { return kResultOk; }
    tresult VST3_API unregisterEventHandler(IEventHandler*) override { return kResultOk; }
    tresult VST3_API registerTimer(ITimerHandler* handler, uint64_t) override { return timer = handler, kResultOk; }
    tresult VST3_API unregisterTimer(ITimerHandler* handler) override { return timer = handler == timer ? nullptr : timer, kResultOk; }
    ITimerHandler* timer = nullptr;
};

Module& module() { return Module::once(VORZLE_BINARY_DIR "/vst3/Vorzle.vst3/Contents/x86_64-linux/Vorzle.so"); }

class Vst3Panel : public X11HostWindow {
protected:
    void idle(int times = 3) {
        for (int i = 0; i < times; ++i) {
            XSync(display, False);
            usleep(5000);
            if (frame.timer) frame.timer->onTimer();
        }
    }
    Frame frame;
};

const PanelControl& control(ControlKind kind, int32_t id) {
    const PanelControl* c = panelControls();
    return *std::find_if(c, c + kPanelControlCount, [&](const PanelControl& p) { return p.kind == kind && p.id == id; });
}

}  // namespace

TEST_F(Vst3Panel, DragAndClickReachTheHostAsEdits) {
    Plugin plugin(module().factory);
    ASSERT_TRUE(plugin.ready());
    IPlugView* view = plugin.controller->createView("editor");
    ASSERT_TRUE(view);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeX11EmbedWindowID), kResultTrue);
    EXPECT_EQ(view->isPlatformTypeSupported(kPlatformTypeHWND), kResultFalse);
    ViewRect size{};
    ASSERT_EQ(view->getSize(&size), kResultOk);
    EXPECT_EQ(std::pair(size.right - size.left, size.bottom - size.top), std::pair(kEditorWidth, kEditorHeight));
    view->setFrame(&frame);
    const Window host = newHostWindow();
    ASSERT_EQ(view->attached(asParent(host), kPlatformTypeX11EmbedWindowID), kResultOk);
    ASSERT_TRUE(frame.timer) << "the panel runs on the host's run loop";
    idle();
    ASSERT_NE(panelOf(host), 0u);

    const double before = plugin.controller->getParamNormalized(Param::Cutoff);
    const PanelControl& knob = control(ControlKind::Knob, Param::Cutoff);
    moveTo(knob.x + 20, knob.y + 20);
    button(Button1, true);
    idle();
    for (int dy = 10; dy <= 40; dy += 10) {
        moveTo(knob.x + 20, knob.y + 20 - dy);
        idle();
    }
    button(Button1, false);
    idle();
    const std::vector<std::string>& calls = plugin.handler.calls;
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "begin 8");
    EXPECT_EQ(calls.back(), "end 8");
    for (size_t i = 1; i + 1 < calls.size(); ++i) EXPECT_EQ(calls[i], "perform 8") << i;
    EXPECT_NE(plugin.controller->getParamNormalized(Param::Cutoff), before);
    EXPECT_EQ(plugin.handler.lastValue, plugin.controller->getParamNormalized(Param::Cutoff));

    plugin.handler.calls.clear();
    const PanelControl& chorus = control(ControlKind::Button, Param::Chorus);
    moveTo(chorus.x + 10, chorus.y + 6);
    button(Button1, true);
    button(Button1, false);
    idle();
    EXPECT_EQ(calls, (std::vector<std::string>{"begin 6", "perform 6", "end 6"}));

    EXPECT_EQ(view->removed(), kResultOk);
    EXPECT_FALSE(frame.timer) << "the timer goes with the panel";
    view->setFrame(nullptr);
    view->release();
}
