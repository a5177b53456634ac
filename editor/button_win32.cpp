#include <windows.h>
#include <commctrl.h>

#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/window_classes.h"

namespace {

constexpr int kOnFrame = 0;
constexpr int kOffFrame = 1;

bool isOn(float value) { return value >= 0.5f; }

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const int frame = isOn(readControlValue(window)) ? kOnFrame : kOffFrame;
    ImageList_Draw(guiResources.buttonImages, frame, dc, 0, 0, ILD_NORMAL);
    EndPaint(window, &ps);
}

void toggle(HWND window) {
    writeControlValue(window, isOn(readControlValue(window)) ? 0.0f : 1.0f);
    InvalidateRect(window, nullptr, FALSE);
    UpdateWindow(window);
}

}  // namespace

LRESULT CALLBACK buttonWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND:
            return 1;   // the face covers the whole window
        case WM_PAINT:
            paint(window);
            return 1;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN:
            toggle(window);
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
