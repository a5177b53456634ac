// A host's side of a panel under a real X server (Xvfb), for the panel tests
// of every front end: one display connection, top-level host windows, the
// user's mouse and keys through XTest at panel coordinates, and captures.
// Include it after any LV2 atom header: X11's Bool macro breaks the forge.
#pragma once

#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdint>
#include <vector>

constexpr int kHostX = 50;   // where the host's first window sits on the screen
constexpr int kHostY = 40;

struct Capture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};

class X11HostWindow : public ::testing::Test {
protected:
    // One connection for the whole program, as a host keeps it: when the
    // last client leaves, the X server resets and refuses connections a while.
    static void SetUpTestSuite() { display = XOpenDisplay(nullptr); }
    static void TearDownTestSuite() {
        if (display) XCloseDisplay(display);
        display = nullptr;
    }
    void SetUp() override {
        ASSERT_NE(display, nullptr) << "no X display (run under xvfb-run)";
        int event, error, major, minor;
        ASSERT_TRUE(XTestQueryExtension(display, &event, &error, &major, &minor));
    }
    void TearDown() override {
        for (Window w : hostWindows) XDestroyWindow(display, w);
        if (display) XSync(display, False);
    }

    // A mapped top-level window, destroyed after the test.
    Window newHostWindow(int x = kHostX, int y = kHostY) {
        const int screen = DefaultScreen(display);
        Window w = XCreateSimpleWindow(display, RootWindow(display, screen), x, y, 800, 600, 0, 0, 0);
        XSelectInput(display, w, StructureNotifyMask);
        XMapWindow(display, w);
        XEvent e;
        do XWindowEvent(display, w, StructureNotifyMask, &e);
        while (e.type != MapNotify);
        hostWindows.push_back(w);
        return w;
    }
    static void* asParent(Window w) { return reinterpret_cast<void*>(static_cast<uintptr_t>(w)); }

    // The panel's window: the host window's one child, or 0.
    Window panelOf(Window host) {
        Window root, parent, *children = nullptr;
        unsigned int count = 0;
        XQueryTree(display, host, &root, &parent, &children, &count);
        const Window panel = count == 1 ? children[0] : 0;
        if (children) XFree(children);
        return panel;
    }

    // Mouse and keys as the server sees them, at coordinates in the first host window.
    void moveTo(int x, int y) {
        XTestFakeMotionEvent(display, DefaultScreen(display), kHostX + x, kHostY + y, 0);
        XSync(display, False);
    }
    void button(unsigned int which, bool down) {
        XTestFakeButtonEvent(display, which, down, 0);
        XSync(display, False);
    }
    void key(KeySym symbol, bool down) {
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, symbol), down, 0);
        XSync(display, False);
    }

    Capture capture(Window w, int x, int y, int width, int height) {
        Capture c{width, height, {}};
        XImage* image = XGetImage(display, w, x, y, width, height, AllPlanes, ZPixmap);
        if (!image) return c;
        for (int row = 0; row < height; ++row)
            for (int col = 0; col < width; ++col) c.pixels.push_back(XGetPixel(image, col, row) & 0xFFFFFF);
        XDestroyImage(image);
        return c;
    }

    static inline Display* display = nullptr;
    std::vector<Window> hostWindows;
};
