#pragma once
#include <atomic>
#include <cstdint>

#include "editor/synth_editor.h"
#include "vst3/vst3_abi.h"

class Vst3Plugin;

// The panel as the plug-in's view: a child window of the host's (an X11
// window on Linux, driven by the host's run loop; an HWND on Windows, driven
// by a timer of its own), fixed at the panel's size.
class View final : public vst3::IPlugView
#if !defined(_WIN32)
    , public vst3::ITimerHandler
#endif
{
public:
    // Null when it cannot be allocated.
    static View* create(Vst3Plugin& plugin);
    vst3::IPlugView* plugView() { return this; }
    // Runs the panel's events; repaints it when the values changed behind its back.
    void tick();

    vst3::tresult VST3_API queryInterface(const vst3::TUID iid, void** obj) override;
    uint32_t VST3_API addRef() override;
    uint32_t VST3_API release() override;

    vst3::tresult VST3_API isPlatformTypeSupported(vst3::FIDString type) override;
    vst3::tresult VST3_API attached(void* parent, vst3::FIDString type) override;
    vst3::tresult VST3_API removed() override;
    vst3::tresult VST3_API onWheel(float) override { return vst3::kResultFalse; }
    vst3::tresult VST3_API onKeyDown(vst3::char16, int16_t, int16_t) override { return vst3::kResultFalse; }
    vst3::tresult VST3_API onKeyUp(vst3::char16, int16_t, int16_t) override { return vst3::kResultFalse; }
    vst3::tresult VST3_API getSize(vst3::ViewRect* size) override;
    vst3::tresult VST3_API onSize(vst3::ViewRect* size) override;
    vst3::tresult VST3_API onFocus(vst3::TBool) override { return vst3::kResultOk; }
    vst3::tresult VST3_API setFrame(vst3::IPlugFrame* frame) override;
    vst3::tresult VST3_API canResize() override { return vst3::kResultFalse; }
    vst3::tresult VST3_API checkSizeConstraint(vst3::ViewRect* rect) override;

#if !defined(_WIN32)
    void VST3_API onTimer() override { tick(); }
#endif

private:
    explicit View(Vst3Plugin& plugin);
    ~View();
    bool startTimer();
    void stopTimer();

    std::atomic<uint32_t> references{1};
    Vst3Plugin& plugin;
    SynthEditor editor;
    vst3::IPlugFrame* frame = nullptr;
    bool open = false;
#if defined(_WIN32)
    uintptr_t timer = 0;
#else
    vst3::IRunLoop* runLoop = nullptr;
#endif
};
