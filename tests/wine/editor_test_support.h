#pragma once
// What the editor tests share: a host window with an open editor, window
// lookups, pixel captures, the artwork read straight from its files, and the
// editor's private messages as a control sends them.
#include <windows.h>

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "editor/readout_font.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

namespace editor_test {

constexpr UINT kGetValue = WM_USER + 100;
constexpr UINT kSetValue = WM_USER + 101;
constexpr int kEditorWidth = 664;
constexpr int kEditorHeight = 441;
constexpr POINT kHostOrigin = {100, 80};   // screen position of the host window's client area

constexpr uint32_t rgb(uint32_t r, uint32_t g, uint32_t b) { return (r << 16) | (g << 8) | b; }
constexpr uint32_t kBright = rgb(255, 230, 230);
constexpr uint32_t kDark = rgb(40, 40, 70);
constexpr uint32_t kMid = rgb(100, 100, 200);
constexpr uint32_t kBlack = 0;
constexpr uint32_t kReadoutText = rgb(200, 200, 255);
constexpr uint32_t kMarker = rgb(255, 0, 255);   // a colour no artwork uses

// Pixels as 0xRRGGBB, rows top-down.
struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
    Image crop(int x0, int y0, int w, int h) const {
        Image out{w, h, std::vector<uint32_t>(static_cast<size_t>(w) * h)};
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) out.pixels[static_cast<size_t>(y) * w + x] = at(x0 + x, y0 + y);
        return out;
    }
    bool operator==(const Image& other) const {
        return width == other.width && height == other.height && pixels == other.pixels;
    }
    size_t count(uint32_t colour) const {
        size_t n = 0;
        for (uint32_t p : pixels) n += p == colour;
        return n;
    }
};

// Writes a file named by a Linux path from the environment (Wine maps it to drive Z).
inline bool writeFile(std::string path, const void* bytes, size_t size) {
    if (!path.empty() && path[0] == '/') path = "Z:" + path;
    FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool ok = std::fwrite(bytes, 1, size, file) == size;
    return std::fclose(file) == 0 && ok;
}

inline std::string sourcePath(const char* relative) {
    // Wine maps the Linux root to drive Z.
    return std::string("Z:") + VORZLE_SOURCE_DIR + "/" + relative;
}

// Reads an uncompressed 8- or 24-bit BMP file.
inline Image readBmp(const std::string& path) {
    Image image;
    FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return image;
    std::vector<uint8_t> bytes;
    uint8_t chunk[4096];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, file)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(file);
    if (bytes.size() < 54) return image;
    auto u32 = [&](size_t at) { return bytes[at] | bytes[at + 1] << 8 | bytes[at + 2] << 16 | uint32_t(bytes[at + 3]) << 24; };
    const uint32_t offset = u32(10), headerSize = u32(14);
    const int32_t width = static_cast<int32_t>(u32(18)), height = static_cast<int32_t>(u32(22));
    const int bits = bytes[28] | bytes[29] << 8;
    if ((bits != 8 && bits != 24) || u32(30) != 0 || width <= 0 || height <= 0) return image;
    const size_t stride = ((static_cast<size_t>(width) * bits / 8) + 3) & ~size_t(3);
    if (offset + stride * height > bytes.size()) return image;
    image.width = width;
    image.height = height;
    image.pixels.resize(static_cast<size_t>(width) * height);
    const size_t palette = 14 + headerSize;
    for (int y = 0; y < height; ++y) {
        const uint8_t* row = &bytes[offset + stride * (height - 1 - y)];
        for (int x = 0; x < width; ++x) {
            const uint8_t* p = bits == 24 ? row + 3 * x : &bytes[palette + 4 * row[x]];
            image.pixels[static_cast<size_t>(y) * width + x] = rgb(p[2], p[1], p[0]);
        }
    }
    return image;
}

// What a window shows on screen in its client area (siblings above it included),
// read through its parent's device context.
inline Image capture(HWND window, int x = 0, int y = 0, int width = -1, int height = -1) {
    RECT client;
    GetClientRect(window, &client);
    if (width < 0) width = client.right;
    if (height < 0) height = client.bottom;
    Image image{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)};
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(window);
    HBITMAP dib = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC memory = CreateCompatibleDC(screen);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, width, height, screen, x, y, SRCCOPY);
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < image.pixels.size(); ++i) image.pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    ReleaseDC(window, screen);
    return image;
}

// Paints the marker colour over a window's client area without invalidating
// it: the marker survives until the window repaints itself.
inline void paintMarker(HWND window) {
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    HBRUSH brush = CreateSolidBrush(RGB(255, 0, 255));
    FillRect(dc, &client, brush);
    DeleteObject(brush);
    ReleaseDC(window, dc);
}

inline bool showsMarker(HWND window) {
    const Image image = capture(window);
    return !image.pixels.empty() && image.count(kMarker) == image.pixels.size();
}

inline bool repainted(HWND window) { return capture(window).count(kMarker) == 0; }

inline void pumpMessages() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

inline std::string className(HWND window) {
    char name[128] = {};
    GetClassNameA(window, name, sizeof name);
    return name;
}

inline LONG_PTR userData(HWND window) { return GetWindowLongPtrA(window, GWLP_USERDATA); }

// Children of a window in the system's order of siblings, topmost first.
inline std::vector<HWND> childWindows(HWND parent) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

// The child of the editor with this class and user data, or null.
inline HWND findControl(HWND editor, const char* windowClass, LONG_PTR data) {
    for (HWND child : childWindows(editor))
        if (className(child) == windowClass && userData(child) == data) return child;
    return nullptr;
}

// Window rectangle in the parent's client coordinates.
inline RECT placement(HWND window) {
    RECT r;
    GetWindowRect(window, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

inline float sendGetValue(HWND editor, int parameter) {
    return std::bit_cast<float>(static_cast<uint32_t>(SendMessageA(editor, kGetValue, parameter, 0)));
}

inline LRESULT sendSetValue(HWND editor, int parameter, float value) {
    return SendMessageA(editor, kSetValue, parameter, static_cast<LPARAM>(std::bit_cast<uint32_t>(value)));
}

inline void registerHostClass() {
    static bool done = false;
    if (done) return;
    WNDCLASSEXA windowClass = {};
    windowClass.cbSize = sizeof windowClass;
    windowClass.lpfnWndProc = DefWindowProcA;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hCursor = LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));
    windowClass.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    windowClass.lpszClassName = "VorzleTestHostWindow";
    RegisterClassExA(&windowClass);
    done = true;
}

// Borderless top-level windows standing in for the host's editor frame. They
// live for the whole test program (Wine waits for the display server each
// time a top-level window is mapped or withdrawn, so tests share them); each
// slot sits at its own screen position.
inline HWND hostWindow(int slot = 0) {
    static HWND windows[2] = {};
    if (slot < 0 || slot > 1) return nullptr;
    if (!windows[slot] || !IsWindow(windows[slot])) {
        registerHostClass();
        const int left = slot == 0 ? kHostOrigin.x : kHostOrigin.x + kEditorWidth + 10;
        windows[slot] = CreateWindowExA(0, "VorzleTestHostWindow", "Vorzle test host", WS_POPUP | WS_VISIBLE, left,
                                        kHostOrigin.y, kEditorWidth, kEditorHeight, nullptr, nullptr,
                                        GetModuleHandleA(nullptr), nullptr);
    }
    // Whatever an earlier test left inside goes now.
    for (HWND child = GetWindow(windows[slot], GW_CHILD); child; child = GetWindow(windows[slot], GW_CHILD))
        DestroyWindow(child);
    return windows[slot];
}

// One instance of the plug-in with its editor open in a host window.
class OpenEditor {
public:
    explicit OpenEditor(PluginModule& module, int slot = 0) {
        std::string error;
        plugin = PluginInstance::create(module.entry(), error);
        if (!plugin) {
            ADD_FAILURE() << error;
            return;
        }
        host = hostWindow(slot);
        openResult = plugin->dispatch(effEditOpen, 0, 0, host);
        editor = GetWindow(host, GW_CHILD);
        pumpMessages();
    }
    ~OpenEditor() {
        if (plugin) {
            plugin->dispatch(effEditClose);
            plugin->close();
        }
        pumpMessages();
    }
    OpenEditor(const OpenEditor&) = delete;
    OpenEditor& operator=(const OpenEditor&) = delete;

    bool ready() const { return plugin && host && editor && openResult == 1; }
    void idle() { plugin->dispatch(effEditIdle); }
    std::string display(int parameter) { return plugin->paramDisplay(parameter); }
    HWND control(const char* windowClass, LONG_PTR data) const { return findControl(editor, windowClass, data); }
    HWND readout() const { return control("TRELLUDRAWITORCLASS", 200); }
    // Screen position of a point given in editor client pixels.
    POINT onScreen(int x, int y) const {
        POINT p = {x, y};
        ClientToScreen(editor, &p);
        return p;
    }
    void moveCursorTo(int x, int y) const {
        const POINT p = onScreen(x, y);
        SetCursorPos(p.x, p.y);
    }
    void setValue(int parameter, float value) { sendSetValue(editor, parameter, value); }
    float value(int parameter) { return sendGetValue(editor, parameter); }

    std::unique_ptr<PluginInstance> plugin;
    HWND host = nullptr;
    HWND editor = nullptr;
    intptr_t openResult = -1;
};

// The plug-in module, loaded for one test.
class EditorTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
    }
    PluginModule module;
};

// The readout as it must look for a text: black, the text centred in
// RGB(200, 200, 255) with the readout font, framed in the bright colour.
// Text in the readout font and colour on black, as the readout draws it,
// with its top-left corner at `at`, or centred in the field when at is null.
struct FontText {
    Image pixels;
    SIZE extent;
};
inline FontText drawInReadoutFont(int width, int height, const POINT* at, const std::string& text) {
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HDC memory = CreateCompatibleDC(nullptr);
    HBITMAP dib = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ oldBitmap = SelectObject(memory, dib);
    HFONT font = CreateFontA(8, 8, 0, 0, 400, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_CHARACTER_PRECIS,
                             CLIP_DEFAULT_PRECIS, PROOF_QUALITY, 0, "MS Sans Serif");
    HGDIOBJ oldFont = SelectObject(memory, font);
    RECT all = {0, 0, width, height};
    FillRect(memory, &all, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    FontText out{{width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height)}, {0, 0}};
    GetTextExtentPoint32A(memory, text.c_str(), static_cast<int>(text.size()), &out.extent);
    SetTextColor(memory, RGB(200, 200, 255));
    SetBkMode(memory, TRANSPARENT);
    const POINT origin = at ? *at : POINT{(width - out.extent.cx) / 2, (height - out.extent.cy) / 2};
    TextOutA(memory, origin.x, origin.y, text.c_str(), static_cast<int>(text.size()));
    GdiFlush();
    const uint32_t* source = static_cast<const uint32_t*>(bits);
    for (size_t i = 0; i < out.pixels.pixels.size(); ++i) out.pixels.pixels[i] = source[i] & 0xFFFFFF;
    SelectObject(memory, oldFont);
    DeleteObject(font);
    SelectObject(memory, oldBitmap);
    DeleteObject(dib);
    DeleteDC(memory);
    return out;
}

// As wide as the text needs (55 for a text that fits).
inline Image expectedReadout(const std::string& text) {
    const int w = readoutWidth(text.c_str());
    const POINT at{readoutTextX(text.c_str(), w), (16 - kReadoutFontHeight) / 2};
    Image image = drawInReadoutFont(w, 16, &at, text).pixels;
    for (int x = 0; x < w; ++x) image.pixels[x] = image.pixels[15 * w + x] = kBright;
    for (int y = 0; y < 16; ++y) image.pixels[y * w] = image.pixels[y * w + w - 1] = kBright;
    return image;
}

// A knob as the editor lays it out: its layout point and parameter.
struct KnobPlace {
    int x;
    int y;
    int parameter;
};

inline std::vector<KnobPlace> knobLayout() {
    std::vector<KnobPlace> knobs = {{33, 43, 0}, {76, 43, 7}};
    for (int i = 0; i < 5; ++i) knobs.push_back({175 + 43 * i, 43, 1 + i});
    const int filterX[9] = {33, 76, 174, 273, 317, 361, 405, 507, 550};
    const int filterParameter[9] = {8, 9, 14, 10, 11, 12, 13, 15, 16};
    for (int i = 0; i < 9; ++i) knobs.push_back({filterX[i], 114, filterParameter[i]});
    const int oscillatorX[6] = {34, 77, 160, 203, 246, 289};
    for (int row = 0; row < 3; ++row)
        for (int i = 0; i < 6; ++i) knobs.push_back({oscillatorX[i], 213 + 79 * row, 17 + 7 * row + i});
    return knobs;
}

}  // namespace editor_test
