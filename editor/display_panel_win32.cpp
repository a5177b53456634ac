#include <windows.h>

#include <cstring>

#include "editor/display_drawing.h"
#include "editor/gui_resources.h"
#include "editor/panel_values.h"
#include "editor/readout_font.h"
#include "editor/synth_editor.h"
#include "editor/window_classes.h"

// The envelope display, the three waveform displays and the value readout.
// Everything is drawn in the erase handler into an off-screen bitmap that is
// copied to the screen in one transfer, so a redraw never flickers. The
// bitmap is a DIB section, so the shared drawing code writes its pixels
// directly; the system draws only the background pattern and the text.

namespace {

constexpr COLORREF kReadoutTextColourRef = RGB(200, 200, 255);
constexpr size_t kReadoutTextSize = 100;

// The display text of the knob under the mouse, centred and framed.
void drawReadout(HDC dc, PixelCanvas& canvas, const SynthEditor& editor) {
    char text[kReadoutTextSize] = {};
    readoutText(*editor.client, editor.hoveredParameter, text, kReadoutTextSize);

    fillReadout(canvas);
    HGDIOBJ oldFont = SelectObject(dc, guiResources.readoutFont);
    const int length = static_cast<int>(strlen(text));
    SIZE extent = {0, 0};
    GetTextExtentPoint32A(dc, text, length, &extent);
    SetTextColor(dc, kReadoutTextColourRef);
    SetBkMode(dc, TRANSPARENT);
    const TextOrigin at = readoutTextOrigin(canvas.width, canvas.height, extent.cx, extent.cy);
    TextOutA(dc, readoutTextX(text, canvas.width), at.y, text, length);
    SelectObject(dc, oldFont);
    GdiFlush();   // the text is in the pixels before the frame goes over it
    frameReadout(canvas);
}

HBITMAP createCanvasBitmap(HDC target, int width, int height, PixelCanvas& canvas) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;   // rows top-down, as the canvas has them
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(target, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    canvas = PixelCanvas{static_cast<uint32_t*>(bits), bitmap ? width : 0, bitmap ? height : 0, width};
    return bitmap;
}

void draw(HWND window, HDC target) {
    RECT r;
    GetClientRect(window, &r);
    const int width = r.right - r.left;
    const int height = r.bottom - r.top;
    PixelCanvas canvas{};
    HBITMAP bitmap = createCanvasBitmap(target, width, height, canvas);
    if (!bitmap) return;
    HDC memory = CreateCompatibleDC(target);
    HGDIOBJ oldBitmap = SelectObject(memory, bitmap);

    // The pattern starts at the bitmap's origin: every display shows the
    // top-left corner of the display bitmap as its background.
    FillRect(memory, &r, guiResources.displayBrush);
    GdiFlush();

    const SynthEditor* editor = editorOfWindow(GetParent(window));
    if (editor && editor->client) {
        const auto id = static_cast<DisplayId>(GetWindowLongPtrA(window, GWLP_USERDATA));
        if (id == DisplayId::Readout)
            drawReadout(memory, canvas, *editor);
        else
            drawDisplay(canvas, id, *editor->client);   // unknown ids: background only
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
