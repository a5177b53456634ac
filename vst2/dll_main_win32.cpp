#include <windows.h>
#include <commctrl.h>

#include "editor/gui_resources.h"
#include "editor/window_classes.h"

// The module's load-time entry: the editor's window classes and graphics are
// made once per process attach and serve every editor of every instance.
//
// The classes are unregistered again at detach (and their brushes deleted),
// so that a host which unloads and reloads the module, possibly at another
// address, never keeps a class whose window procedure points into the old
// image. Should a class survive anyway (its windows outlived the module),
// the attach replaces it.

namespace {

struct ClassSpec {
    const char* name;
    UINT style;
    WNDPROC procedure;
    int cursor;          // system cursor id
    int patternBitmap;   // 0 for a black background
};

constexpr int kArrowCursor = 32512;    // IDC_ARROW
constexpr int kSizeNsCursor = 32645;   // IDC_SIZENS, the knobs' vertical-drag cursor
constexpr UINT kDoubleClickStyle = CS_HREDRAW | CS_VREDRAW | CS_DBLCLKS;

const ClassSpec kClasses[] = {
    {kEditorClassName, CS_HREDRAW | CS_VREDRAW, editorWindowProc, kArrowCursor, kBackgroundBitmapId},
    {kKnobClassName, kDoubleClickStyle, knobWindowProc, kSizeNsCursor, 0},
    {kDisplayClassName, kDoubleClickStyle, displayWindowProc, kArrowCursor, kDisplayBitmapId},
    {kButtonClassName, kDoubleClickStyle, buttonWindowProc, kArrowCursor, 0},
};
constexpr int kClassCount = sizeof kClasses / sizeof kClasses[0];

// Each class owns its background brush, separate from the GuiResources ones.
HBRUSH classBrushes[kClassCount] = {};

HBRUSH makeClassBrush(const ClassSpec& spec) {
    if (!spec.patternBitmap) return CreateSolidBrush(RGB(0, 0, 0));
    HBITMAP pattern = LoadBitmapA(guiResources.instance, MAKEINTRESOURCEA(spec.patternBitmap));
    HBRUSH brush = CreatePatternBrush(pattern);
    if (pattern) DeleteObject(pattern);   // the brush keeps its own copy
    return brush;
}

void registerClass(int i) {
    const ClassSpec& spec = kClasses[i];
    classBrushes[i] = makeClassBrush(spec);
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = spec.style;
    windowClass.lpfnWndProc = spec.procedure;
    windowClass.cbClsExtra = 0;
    windowClass.cbWndExtra = 0;
    windowClass.hInstance = guiResources.instance;
    windowClass.hIcon = nullptr;
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(spec.cursor));
    windowClass.hbrBackground = classBrushes[i];
    windowClass.lpszMenuName = nullptr;
    windowClass.lpszClassName = spec.name;
    windowClass.hIconSm = nullptr;
    if (RegisterClassExA(&windowClass)) return;
    if (GetLastError() == ERROR_CLASS_ALREADY_EXISTS &&
        UnregisterClassA(spec.name, guiResources.instance) && RegisterClassExA(&windowClass))
        return;
    // Registration results are not fatal: the editor then fails to open.
    DeleteObject(classBrushes[i]);
    classBrushes[i] = nullptr;
}

void unregisterClasses() {
    for (int i = kClassCount - 1; i >= 0; --i) {
        // A class whose windows still exist stays; so does its brush, still in use.
        if (UnregisterClassA(kClasses[i].name, guiResources.instance) && classBrushes[i]) {
            DeleteObject(classBrushes[i]);
            classBrushes[i] = nullptr;
        }
    }
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    guiResources.instance = instance;
    if (reason == DLL_PROCESS_ATTACH) {
        for (int i = 0; i < kClassCount; ++i) registerClass(i);
        return loadGuiResources() ? TRUE : FALSE;
    }
    if (reason == DLL_PROCESS_DETACH) {
        freeGuiResources();
        // At process exit (reserved non-null) the classes go with the process.
        if (!reserved) unregisterClasses();
    }
    return TRUE;
}
