#include <windows.h>
#include <commctrl.h>

#include <cstdint>
#include <cstdio>
#include <cstring>

#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/knob_drag.h"
#include "editor/window_classes.h"
#include "programs/parameter_table.h"

KnobDragState knobDrag;

namespace {

constexpr int kLastKnobFrame = 89;
constexpr int kDigitCellWidth = 9;

// Per pixel of vertical movement: normal, with Shift, with Control.
constexpr float kNormalStep = 0.001f;
constexpr float kShiftStep = 0.01f;
constexpr float kControlStep = 0.0001f;

// float to int32 as the processor truncates it: out of range gives INT32_MIN.
int32_t truncateToInt(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int32_t>(value);
}

int knobFrame(float value) {
    const int32_t frame = truncateToInt(value * static_cast<float>(kLastKnobFrame));
    if (frame > kLastKnobFrame) return kLastKnobFrame;
    if (frame < 0) return 0;
    return frame;
}

int digitGlyph(char c) {
    if (c >= '0' && c <= '9') return 1 + (c - '0');
    if (c == '-') return 11;
    return 0;   // blank
}

// The polyphony counter shows the voice limit the allocator derives from the
// value, as its last two characters, right-aligned.
void paintCounter(HDC dc, float value) {
    int8_t voices = static_cast<int8_t>(truncateToInt(value * 63.0f + 1.0f));
    if (voices > 64) voices = 64;
    char text[8];
    std::snprintf(text, sizeof text, "%d", voices);
    const size_t length = std::strlen(text);
    const char tens = length >= 2 ? text[length - 2] : ' ';
    const char units = text[length - 1];
    ImageList_Draw(guiResources.digitImages, digitGlyph(tens), dc, 0, 0, ILD_NORMAL);
    ImageList_Draw(guiResources.digitImages, digitGlyph(units), dc, kDigitCellWidth, 0, ILD_NORMAL);
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
    knobDrag.dragging = true;
    knobDrag.knob = window;
    GetCursorPos(&knobDrag.anchor);
}

// The cursor comes back on the anchor and is shown again.
void finishDrag() {
    if (!knobDrag.dragging) return;
    SetCursorPos(knobDrag.anchor.x, knobDrag.anchor.y);
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
    const float step = (keys & MK_CONTROL) ? kControlStep : (keys & MK_SHIFT) ? kShiftStep : kNormalStep;
    float next = value - static_cast<float>(dy) * step;
    if (next > 1.0f) next = 1.0f;
    if (next < 0.0f) next = 0.0f;
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
