#include <windows.h>
#include <commctrl.h>

#include <cstring>

#include "editor/gui_resources.h"
#include "editor/synth_editor.h"
#include "editor/window_classes.h"
#include "engine/wave_shape.h"
#include "programs/parameter_table.h"

// The envelope display, the three waveform displays and the value readout.
// Everything is drawn in the erase handler into an off-screen bitmap that is
// copied to the screen in one transfer, so a redraw never flickers.

namespace {

constexpr COLORREF kReadoutTextColour = RGB(200, 200, 255);
constexpr size_t kReadoutTextSize = 100;

// float to int as the processor truncates it, without undefined behaviour
// for values no window could show.
int truncateToInt(float value) {
    if (!(value > -2147483648.0f && value < 2147483648.0f)) return INT32_MIN;
    return static_cast<int>(value);
}

void line(HDC dc, int x0, int y0, int x1, int y1) {
    MoveToEx(dc, x0, y0, nullptr);
    LineTo(dc, x1, y1);
}

// Attack, hold, decay and release each take up to a quarter of the width;
// sustain is a level only.
void drawEnvelope(HDC dc, const RECT& inner, PanelClient& client) {
    const float attack = client.parameterValue(Param::AmpAttack);
    const float hold = client.parameterValue(Param::AmpHold);
    const float decay = client.parameterValue(Param::AmpDecay);
    const float sustain = client.parameterValue(Param::AmpSustain);
    const float release = client.parameterValue(Param::AmpRelease);

    const int quarter = (inner.right - inner.left) / 4;
    const int height = inner.bottom - inner.top;
    const float q = static_cast<float>(quarter);
    const int x1 = truncateToInt(attack * q);
    const int x2 = x1 + truncateToInt(hold * q);
    const int x3 = x2 + truncateToInt(decay * q);
    const int x4 = x3 + truncateToInt(release * q);
    const int sustainY = truncateToInt((1.0f - sustain) * static_cast<float>(height));

    HGDIOBJ oldPen = SelectObject(dc, guiResources.darkPen);
    for (int x : {x1, x2, x3, x4}) line(dc, x, 0, x, height);

    SelectObject(dc, guiResources.brightPen);
    MoveToEx(dc, 0, height, nullptr);
    LineTo(dc, x1, 0);
    LineTo(dc, x2, 0);
    LineTo(dc, x3, sustainY);
    LineTo(dc, x4, height);
    SelectObject(dc, oldPen);
}

// One period of oscillator k's table, computed the way the wavetable builder
// computes it: the area under the curve, the zero line, then the curve.
void drawWaveform(HDC dc, const RECT& inner, PanelClient& client, int oscillator) {
    const int base = Param::Osc1Level + 7 * oscillator;
    const float sineMix = client.parameterValue(base + Param::Osc1Sine - Param::Osc1Level);
    const float square = client.parameterValue(base + Param::Osc1Width - Param::Osc1Level);
    const float symmetry = client.parameterValue(base + Param::Osc1Center - Param::Osc1Level);
    const float level = client.parameterValue(base);
    const float phaseOffset = client.parameterValue(base + Param::Osc1Shift - Param::Osc1Level);

    const int width = inner.right - inner.left;
    const int half = (inner.bottom - inner.top) / 2;
    const float widthF = static_cast<float>(width);
    const float halfF = static_cast<float>(half);
    auto curveY = [&](int column) {
        const float phase = static_cast<float>(column) / widthF;
        return half - truncateToInt(halfF * waveShape(phase, sineMix, square, symmetry, level, phaseOffset));
    };

    HGDIOBJ oldPen = SelectObject(dc, guiResources.darkPen);
    for (int i = 0; i < width; ++i) line(dc, i, half, i, curveY(i));

    SelectObject(dc, guiResources.midPen);
    line(dc, 0, half, width, half);

    SelectObject(dc, guiResources.brightPen);
    MoveToEx(dc, 0, half, nullptr);
    for (int i = 0; i < width; ++i) LineTo(dc, i, curveY(i));
    SelectObject(dc, oldPen);
}

// The display text of the knob under the mouse, centred and framed.
void drawReadout(HDC dc, const RECT& full, const SynthEditor& editor) {
    char text[kReadoutTextSize] = {};
    editor.client->parameterDisplay(editor.hoveredParameter, text);
    text[kReadoutTextSize - 1] = '\0';

    HGDIOBJ oldFont = SelectObject(dc, guiResources.readoutFont);
    FillRect(dc, &full, guiResources.blackBrush);
    const int length = static_cast<int>(strlen(text));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SetTextColor(dc, kReadoutTextColour);
    SetBkMode(dc, TRANSPARENT);
    TextOutA(dc, (full.right - extent.cx - full.left) / 2, (full.bottom - extent.cy - full.top) / 2, text, length);

    HGDIOBJ oldPen = SelectObject(dc, guiResources.brightPen);
    MoveToEx(dc, 0, 0, nullptr);
    LineTo(dc, full.right - 1, 0);
    LineTo(dc, full.right - 1, full.bottom - 1);
    LineTo(dc, 0, full.bottom - 1);
    LineTo(dc, 0, 0);
    SelectObject(dc, oldPen);
    SelectObject(dc, oldFont);
}

void draw(HWND window, HDC target) {
    RECT r;
    GetClientRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    HBITMAP bitmap = CreateCompatibleBitmap(target, width, height);
    HDC memory = CreateCompatibleDC(target);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);

    FillRect(memory, &r, guiResources.displayBrush);
    const RECT full = r;
    RECT inner = r;
    inner.right -= 1;
    inner.bottom -= 1;

    const SynthEditor* editor = editorOfWindow(GetParent(window));
    if (editor && editor->client) {
        PanelClient& client = *editor->client;
        switch (static_cast<DisplayId>(GetWindowLongPtrA(window, GWLP_USERDATA))) {
            case DisplayId::Envelope: drawEnvelope(memory, inner, client); break;
            case DisplayId::Wave1: drawWaveform(memory, inner, client, 0); break;
            case DisplayId::Wave2: drawWaveform(memory, inner, client, 1); break;
            case DisplayId::Wave3: drawWaveform(memory, inner, client, 2); break;
            case DisplayId::Readout: drawReadout(memory, full, *editor); break;
            default: break;   // background only
        }
    }

    BitBlt(target, 0, 0, width, height, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldBitmap);
    DeleteDC(memory);
    DeleteObject(bitmap);
}

}  // namespace

LRESULT CALLBACK displayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_ERASEBKGND) {
        draw(window, reinterpret_cast<HDC>(wParam));
        return 1;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}
