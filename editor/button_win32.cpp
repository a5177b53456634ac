#include <windows.h>
#include <commctrl.h>

#include "editor/control_values.h"
#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/window_classes.h"

namespace {

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    ImageList_Draw(guiResources.buttonImages, buttonFrame(readControlValue(window)), dc, 0, 0, ILD_NORMAL);
    EndPaint(window, &ps);
}

void toggle(HWND window) {
    tellEditor(window, EditorMessage::EditBegins);
    writeControlValue(window, toggledValue(readControlValue(window)));
    tellEditor(window, EditorMessage::EditEnds);
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
