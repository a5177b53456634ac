#include "vst3/view.h"

#include <cstring>
#include <new>

#include "editor/panel_layout.h"
#include "vst3/vst3_plugin.h"

using namespace vst3;

namespace {

#if defined(_WIN32)
constexpr const char* kPlatformType = kPlatformTypeHWND;
#else
constexpr const char* kPlatformType = kPlatformTypeX11EmbedWindowID;
#endif

}  // namespace

View* View::create(Vst3Plugin& plugin) { return new (std::nothrow) View(plugin); }

View::View(Vst3Plugin& p) : plugin(p), editor(p.panelClient(), &p) {}

View::~View() {
    removed();
    setFrame(nullptr);
    plugin.viewClosed();
}

tresult View::queryInterface(const TUID iid, void** obj) {
    if (!obj) return kInvalidArgument;
    *obj = nullptr;
    if (FUnknown::iid == iid || IPlugView::iid == iid) {
        *obj = static_cast<IPlugView*>(this);
#if !defined(_WIN32)
    } else if (ITimerHandler::iid == iid) {
        *obj = static_cast<ITimerHandler*>(this);
#endif
    } else {
        return kNoInterface;
    }
    addRef();
    return kResultOk;
}

uint32_t View::addRef() { return references.fetch_add(1) + 1; }

uint32_t View::release() {
    const uint32_t left = references.fetch_sub(1) - 1;
    if (left == 0) delete this;
    return left;
}

tresult View::isPlatformTypeSupported(FIDString type) {
    return type && std::strcmp(type, kPlatformType) == 0 ? kResultTrue : kResultFalse;
}

tresult View::attached(void* parent, FIDString type) {
    if (!parent || isPlatformTypeSupported(type) != kResultTrue) return kInvalidArgument;
    if (open) return kResultFalse;
    if (!editor.open(parent)) return kResultFalse;
    open = true;
    startTimer();
    return kResultOk;
}

tresult View::removed() {
    if (!open) return kResultFalse;
    stopTimer();
    editor.close();
    open = false;
    return kResultOk;
}

tresult View::getSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    *size = ViewRect{0, 0, kEditorWidth, kEditorHeight};
    return kResultOk;
}

// The panel has one size: any other is answered with it.
tresult View::onSize(ViewRect* size) {
    if (!size) return kInvalidArgument;
    return size->right - size->left == kEditorWidth && size->bottom - size->top == kEditorHeight ? kResultOk
                                                                                                  : kResultFalse;
}

tresult View::checkSizeConstraint(ViewRect* rect) {
    if (!rect) return kInvalidArgument;
    rect->right = rect->left + kEditorWidth;
    rect->bottom = rect->top + kEditorHeight;
    return kResultOk;
}

tresult View::setFrame(IPlugFrame* f) {
    if (f == frame) return kResultOk;
    stopTimer();
    if (f) f->addRef();
    if (frame) frame->release();
    frame = f;
    if (open) startTimer();
    return kResultOk;
}

void View::tick() {
    if (!open) return;
    if (plugin.takePanelStale()) editor.update();
    editor.idle();
}

#if defined(_WIN32)
#include <windows.h>

namespace {
// Timers of the thread's message loop carry no pointer: the open views are
// found by their timer's id.
constexpr int kMaxViews = 64;
View* views[kMaxViews] = {};
UINT_PTR timers[kMaxViews] = {};

void CALLBACK onTimer(HWND, UINT, UINT_PTR id, DWORD) {
    for (int i = 0; i < kMaxViews; ++i)
        if (timers[i] == id && views[i]) views[i]->tick();
}
}  // namespace

bool View::startTimer() {
    if (timer || !open) return timer != 0;
    for (int i = 0; i < kMaxViews; ++i) {
        if (views[i]) continue;
        timer = SetTimer(nullptr, 0, 30, onTimer);
        if (!timer) return false;
        views[i] = this;
        timers[i] = timer;
        return true;
    }
    return false;
}

void View::stopTimer() {
    if (!timer) return;
    KillTimer(nullptr, timer);
    for (int i = 0; i < kMaxViews; ++i)
        if (views[i] == this) views[i] = nullptr, timers[i] = 0;
    timer = 0;
}
#else
// The host's run loop, lent through the frame, calls the panel about 30
// times a second on the host's user-interface thread.
bool View::startTimer() {
    if (runLoop || !open || !frame) return runLoop != nullptr;
    void* loop = nullptr;
    if (frame->queryInterface(IRunLoop::iid.bytes, &loop) != kResultOk || !loop) return false;
    runLoop = static_cast<IRunLoop*>(loop);
    if (runLoop->registerTimer(this, 30) != kResultOk) {
        runLoop->release();
        runLoop = nullptr;
        return false;
    }
    return true;
}

void View::stopTimer() {
    if (!runLoop) return;
    runLoop->unregisterTimer(this);
    runLoop->release();
    runLoop = nullptr;
}
#endif
