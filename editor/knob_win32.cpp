#include <windows.h>
#include <commctrl.h>

#include <cstdint>

#include "editor/control_values.h"
#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/knob_drag.h"
#include "editor/window_classes.h"
#include "programs/parameter_table.h"

KnobDragState knobDrag;

namespace {

// The counter's last two characters as glyphs of the digit strip, right-aligned.
void paintCounter(HDC dc, float value) {
    const CounterGlyphs glyphs = counterGlyphs(value);
    ImageList_Draw(guiResources.digitImages, glyphs.tens, dc, 0, 0, ILD_NORMAL);
    ImageList_Draw(guiResources.digitImages, glyphs.units, dc, kDigitCellWidth, 0, ILD_NORMAL);
}

void paint(HWND window) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(window, &ps);
    const float value = readControlValue(window);
    if (controlParameter(window) == Param::Polyphony)
        paintCounter(dc, value);
    else
        ImageList_Draw(guiResources.knobImages, knobFrame(value), dc, 0, 0, ILD_NORMAL);
    EndPaint(window, &ps);
}

void startDrag(HWND window) {
    SetCapture(window);
    // A press that arrives while a drag is still recorded (its release went
    // elsewhere) must not hide the cursor a second time.
    if (!knobDrag.dragging) ShowCursor(FALSE);
    else if (knobDrag.knob) tellEditor(knobDrag.knob, EditorMessage::EditEnds);
    tellEditor(window, EditorMessage::EditBegins);
    knobDrag.dragging = true;
    knobDrag.knob = window;
    GetCursorPos(&knobDrag.anchor);
}

// The cursor comes back on the anchor and is shown again.
void finishDrag() {
    if (!knobDrag.dragging) return;
    SetCursorPos(knobDrag.anchor.x, knobDrag.anchor.y);
    if (knobDrag.knob) tellEditor(knobDrag.knob, EditorMessage::EditEnds);
    knobDrag.dragging = false;
    knobDrag.knob = nullptr;
    ShowCursor(TRUE);
}

void endDrag() {
    ReleaseCapture();
    finishDrag();
}

// The hidden cursor is put back on the anchor after every move, so each move
// reports only the distance since the last one.
void dragStep(HWND window, WPARAM keys) {
    POINT p;
    GetCursorPos(&p);
    SetCursorPos(knobDrag.anchor.x, knobDrag.anchor.y);
    const float value = readControlValue(window);
    const int32_t dy = p.y - knobDrag.anchor.y;   // positive downwards
    const float next = draggedValue(value, dy, (keys & MK_CONTROL) != 0, (keys & MK_SHIFT) != 0);
    if (dy == 0) return;
    writeControlValue(window, next);
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

}  // namespace

LRESULT CALLBACK knobWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_PAINT:
            paint(window);
            return 1;
        case WM_ERASEBKGND:
            return 1;   // the frame covers the whole window
        case WM_LBUTTONDOWN:
            startDrag(window);
            break;
        case WM_LBUTTONUP:
            endDrag();
            break;
        case WM_MOUSEMOVE:
            if (knobDrag.dragging) dragStep(window, wParam);
            break;
        case WM_CAPTURECHANGED:
            // Another window took the mouse (a dialog, a switch to another
            // program) or the knob is going away: the drag ends here, so the
            // host's cursor is never left hidden.
            finishDrag();
            break;
        case WM_DESTROY:
            // The editor closes in the middle of a drag.
            if (knobDrag.dragging && knobDrag.knob == window) {
                ReleaseCapture();
                finishDrag();
            }
            break;
        default:
            break;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
