// The Linux panel in a host window under a real X server (Xvfb): this
// program plays the host, creates its window, opens the editor into it and
// drives it with real input events from the XTest extension, as a musician's
// mouse would; then it reads the parameters back and captures the window.
#include <gtest/gtest.h>

#include <X11/keysym.h>

#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <latch>
#include <malloc.h>
#include <memory>
#include <string>
#include <thread>
#include <unistd.h>

#include "editor/control_values.h"
#include "editor/panel_layout.h"
#include "editor/panel_painter.h"
#include "editor/synth_editor.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/version_only_host.h"
#include "tests/shared/png_image.h"
#include "tests/shared/x11_host_window.h"
#include "vsthost/plugin_instance.h"
#include "vsthost/plugin_module.h"

namespace {

class X11Host : public X11HostWindow {
protected:
    static intptr_t dispatch(SynthPlugin& plugin, int32_t opcode, void* ptr = nullptr) {
        AEffect* e = plugin.getAEffect();
        return e->dispatcher(e, opcode, 0, 0, ptr, 0.0f);
    }
    // The host's idle timer: the panel handles what the server sent it.
    void idle(AEffect* effect, int times = 3) {
        for (int i = 0; i < times; ++i) {
            XSync(display, False);
            usleep(5000);   // the server hands the panel its events meanwhile
            effect->dispatcher(effect, effEditIdle, 0, 0, nullptr, 0.0f);
        }
    }
    void idle(SynthPlugin& plugin, int times = 3) { idle(plugin.getAEffect(), times); }

    // Opens the editor in a new host window and shows it; the panel's window, or 0.
    Window openPanel(SynthPlugin& plugin) {
        const Window host = newHostWindow();
        if (dispatch(plugin, effEditOpen, asParent(host)) != 1) return 0;
        idle(plugin);
        return panelOf(host);
    }

    void pointerOnScreen(int& x, int& y) {
        Window root, child;
        int wx, wy;
        unsigned int mask;
        XQueryPointer(display, DefaultRootWindow(display), &root, &child, &x, &y, &wx, &wy, &mask);
    }
    bool pointerGrabbedElsewhere() {
        const int result = XGrabPointer(display, DefaultRootWindow(display), False, 0, GrabModeAsync, GrabModeAsync,
                                        None, None, CurrentTime);
        if (result == GrabSuccess) XUngrabPointer(display, CurrentTime);
        XSync(display, False);
        return result == AlreadyGrabbed;
    }
};

// A knob drag as the hand makes it: press on the knob, move, release.
struct KnobPoint {
    int x, y;
};

// The plug-in is large (64 voices, 128 programs): keep it off the stack.
std::unique_ptr<SynthPlugin> makePlugin() { return std::make_unique<SynthPlugin>(versionOnlyHost); }

long residentKilobytes() {
    std::ifstream statm("/proc/self/statm");
    long size = 0, resident = 0;
    statm >> size >> resident;
    return resident * (sysconf(_SC_PAGESIZE) / 1024);
}

std::vector<uint8_t> readSourceFile(const char* relative) {
    std::ifstream in(std::string(VORZLE_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// A server that takes connections and never answers: a local socket (in the
// abstract namespace Xlib tries first) or a TCP port, on a display of its own.
int silentServer(bool local, std::string& display) {
    const int fd = socket(local ? AF_UNIX : AF_INET, SOCK_STREAM, 0);
    if (local) {
        for (int number = 300; number < 400 && display.empty(); ++number) {
            sockaddr_un address = {AF_UNIX, {}};
            const std::string path = "/tmp/.X11-unix/X" + std::to_string(number);
            std::memcpy(address.sun_path + 1, path.data(), path.size());
            if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(sa_family_t) + 1 + path.size()) == 0)
                display = ":" + std::to_string(number);
        }
    } else {   // any free port from 6000 up is display (port - 6000)
        sockaddr_in address = {AF_INET, 0, {htonl(INADDR_LOOPBACK)}, {}};
        socklen_t size = sizeof address;
        if (bind(fd, reinterpret_cast<sockaddr*>(&address), size) == 0 &&
            getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
            display = "127.0.0.1:" + std::to_string(ntohs(address.sin_port) - 6000);
    }
    listen(fd, 8);
    return fd;
}

// The host's own error handler: it counts what reaches it.
int hostErrors = 0;
int countHostError(Display*, XErrorEvent*) { return ++hostErrors, 0; }

}  // namespace

TEST_F(X11Host, OpensAsAChildWindowOfTheHostsWindow) {
    auto plugin = makePlugin();
    EXPECT_TRUE(plugin->getAEffect()->flags & effFlagsHasEditor);
    ERect* rect = nullptr;
    ASSERT_EQ(dispatch(*plugin, effEditGetRect, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(std::vector<int>({rect->top, rect->left, rect->bottom, rect->right}), std::vector<int>({0, 0, 441, 664}));

    const Window host = newHostWindow();
    ASSERT_EQ(dispatch(*plugin, effEditOpen, asParent(host)), 1);
    XSync(display, False);
    const Window panel = panelOf(host);
    ASSERT_NE(panel, 0u);
    XWindowAttributes a;
    XGetWindowAttributes(display, panel, &a);
    EXPECT_EQ(std::vector<int>({a.x, a.y, a.width, a.height}), std::vector<int>({0, 0, 664, 441}));
    EXPECT_EQ(a.map_state, IsViewable);

    dispatch(*plugin, effEditClose);
    XSync(display, False);
    EXPECT_EQ(panelOf(host), 0u);
    // No parent, or one that does not exist: no panel, and no X error ends the host.
    EXPECT_EQ(dispatch(*plugin, effEditOpen, nullptr), 0);
    EXPECT_EQ(dispatch(*plugin, effEditOpen, asParent(0x7FFFFFF)), 0);
    dispatch(*plugin, effEditIdle);
    dispatch(*plugin, effEditClose);
}

TEST_F(X11Host, KnobDragsWithAndWithoutModifiersKeepThePointerHidden) {
    auto plugin = makePlugin();
    const Window panel = openPanel(*plugin);
    ASSERT_NE(panel, 0u);

    // Hovering shows the readout 15 right of and 20 below the pointer.
    const KnobPoint cutoff{33 + 20, 114 + 20};
    moveTo(cutoff.x, cutoff.y);
    idle(*plugin);
    int anchorX, anchorY;
    pointerOnScreen(anchorX, anchorY);
    float expected = plugin->instrument().parameter(Param::Cutoff);

    button(Button1, true);
    idle(*plugin);
    EXPECT_TRUE(pointerGrabbedElsewhere());   // the panel holds the pointer, with its empty cursor

    struct Step {
        int dy;
        KeySym modifier;   // 0 for none
        bool control, shift;
    };
    for (const Step s : {Step{-20, 0, false, false}, Step{7, XK_Shift_L, false, true},
                         Step{-30, XK_Control_L, true, false}, Step{5, 0, false, false}}) {
        if (s.modifier) key(s.modifier, true);
        moveTo(cutoff.x, cutoff.y + s.dy);
        idle(*plugin);
        if (s.modifier) key(s.modifier, false);
        expected = draggedValue(expected, s.dy, s.control, s.shift);
        EXPECT_EQ(plugin->instrument().parameter(Param::Cutoff), expected) << s.dy;
        int x, y;
        pointerOnScreen(x, y);
        EXPECT_EQ(std::make_pair(x, y), std::make_pair(anchorX, anchorY)) << "the pointer goes back to the anchor";

        // The readout follows the value at every step.
        char text[100] = {};
        plugin->instrument().parameterDisplay(Param::Cutoff, text);
        PixelImage readout(kReadoutWidth, kReadoutHeight);
        PixelCanvas canvas = readout.canvas();
        paintReadout(canvas, text);
        const Capture shown = capture(panel, cutoff.x + 15, cutoff.y + 20, kReadoutWidth, kReadoutHeight);
        EXPECT_EQ(shown.pixels, readout.pixels) << text;
    }
    button(Button1, false);
    idle(*plugin);
    EXPECT_FALSE(pointerGrabbedElsewhere());
    // The knob shows the frame of its new value.
    const PanelArtwork& art = *panelArtwork();
    const Capture knob = capture(panel, 30, 115, 40, 40);
    const int frame = knobFrame(expected);
    for (int y = 0; y < 40; y += 7)
        for (int x = 0; x < 40; x += 7) EXPECT_EQ(knob.at(x, y), art.knobs.at(frame * 40 + x, y));
    dispatch(*plugin, effEditClose);
}

TEST_F(X11Host, ButtonsToggleAndTheCounterDrags) {
    auto plugin = makePlugin();
    const Window panel = openPanel(*plugin);
    ASSERT_NE(panel, 0u);
    const PanelArtwork& art = *panelArtwork();

    const float before = plugin->instrument().parameter(Param::Chorus);
    moveTo(530 + 10, 383 + 6);
    for (unsigned int which : {Button1, Button3}) {   // left and right clicks both toggle
        const float was = plugin->instrument().parameter(Param::Chorus);
        button(which, true);
        button(which, false);
        idle(*plugin);
        EXPECT_EQ(plugin->instrument().parameter(Param::Chorus), toggledValue(was));
        const Capture face = capture(panel, 530, 383, 27, 13);
        const int frame = buttonFrame(plugin->instrument().parameter(Param::Chorus));
        EXPECT_EQ(face.at(13, 6), art.buttons.at(frame * 27 + 13, 6));
        EXPECT_EQ(face.at(3, 3), art.buttons.at(frame * 27 + 3, 3));
    }
    EXPECT_EQ(plugin->instrument().parameter(Param::Chorus), before);

    // The counter: 16 pixels up is one voice more at normal speed.
    const float polyphony = plugin->instrument().parameter(Param::Polyphony);
    moveTo(621 + 9, 383 + 8);
    button(Button1, true);
    idle(*plugin);
    moveTo(621 + 9, 383 + 8 - 160);
    idle(*plugin);
    button(Button1, false);
    idle(*plugin);
    const float raised = draggedValue(polyphony, -160, false, false);
    EXPECT_EQ(plugin->instrument().parameter(Param::Polyphony), raised);
    const CounterGlyphs glyphs = counterGlyphs(raised);
    const Capture digits = capture(panel, 621, 383, 18, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 9; ++x) {
            EXPECT_EQ(digits.at(x, y), art.digits.at(glyphs.tens * 9 + x, y));
            EXPECT_EQ(digits.at(9 + x, y), art.digits.at(glyphs.units * 9 + x, y));
        }
    dispatch(*plugin, effEditClose);
}

// The Linux panel next to the Windows one: every pixel the same. With
// VORZLE_LINUX_SCREENSHOT set, a PNG of it with the readout showing is
// written there (scripts/screenshot.sh).
TEST_F(X11Host, CaptureMatchesTheWindowsPanelPicture) {
    std::string error;
    const png_image::Rgb windows = png_image::decode(readSourceFile("docs/editor.png"), error);
    ASSERT_EQ(windows.width, kEditorWidth) << error;

    auto plugin = makePlugin();
    plugin->setProgram(0);
    const Window host = newHostWindow();
    moveTo(-40, -30);   // off the panel: no readout
    ASSERT_EQ(dispatch(*plugin, effEditOpen, asParent(host)), 1);
    idle(*plugin);
    const Capture shown = capture(panelOf(host), 0, 0, kEditorWidth, kEditorHeight);
    size_t differing = 0;
    for (size_t i = 0; i < shown.pixels.size(); ++i) differing += shown.pixels[i] != windows.pixels[i];
    EXPECT_EQ(differing, 0u);
    if (const char* path = std::getenv("VORZLE_LINUX_SCREENSHOT")) {
        // The picture shows the readout too, with the pointer on the Cutoff knob.
        moveTo(33 + 20, 114 + 18);
        idle(*plugin);
        const Capture hovered = capture(panelOf(host), 0, 0, kEditorWidth, kEditorHeight);
        const std::vector<uint8_t> png = png_image::encode({hovered.width, hovered.height, hovered.pixels});
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
    }
    dispatch(*plugin, effEditClose);
}

TEST_F(X11Host, OpenAndCloseAHundredTimesAndTwoEditorsAtOnce) {
    auto first = makePlugin();
    auto second = makePlugin();
    const Window hostA = newHostWindow();
    const Window hostB = newHostWindow(kHostX, kHostY + 100);
    auto cycle = [&] {
        ASSERT_EQ(dispatch(*first, effEditOpen, asParent(hostA)), 1);
        ASSERT_EQ(dispatch(*second, effEditOpen, asParent(hostB)), 1);
        dispatch(*first, effEditIdle);
        dispatch(*second, effEditIdle);
        dispatch(*first, effEditClose);
        dispatch(*second, effEditClose);
    };
    for (int i = 0; i < 10; ++i) cycle();
    const long before = residentKilobytes();
    const size_t heapBefore = mallinfo2().uordblks;
    for (int i = 0; i < 100; ++i) cycle();
    const long growth = residentKilobytes() - before;
    const long heapGrowth = static_cast<long>(mallinfo2().uordblks) - static_cast<long>(heapBefore);
    std::printf("after 100 open/close cycles of two editors: resident %+ld KB, heap in use %+ld bytes\n", growth,
                heapGrowth);
    // Heap in use is exact. Resident memory also moves with how the allocator
    // keeps freed pages: a few of the panels' 1.1 MB canvases and images may
    // stay in the heap's free space (up to 4.6 MB seen), so it only has to stay
    // far below one canvas per cycle (230 MB).
    EXPECT_LT(heapGrowth, 4096);
    EXPECT_LT(growth, 16384);
    XSync(display, False);
    EXPECT_EQ(panelOf(hostA), 0u);
    EXPECT_EQ(panelOf(hostB), 0u);

    // Both open: a drag on the second changes only the second instance.
    ASSERT_EQ(dispatch(*first, effEditOpen, asParent(hostA)), 1);
    ASSERT_EQ(dispatch(*second, effEditOpen, asParent(hostB)), 1);
    idle(*first);
    idle(*second);
    XRaiseWindow(display, hostB);
    const float a = first->instrument().parameter(Param::Volume), b = second->instrument().parameter(Param::Volume);
    moveTo(53, 100 + 63);
    button(Button1, true);
    idle(*first);
    idle(*second);
    moveTo(53, 100 + 63 - 40);
    idle(*first);
    idle(*second);
    button(Button1, false);
    idle(*first);
    idle(*second);
    EXPECT_EQ(first->instrument().parameter(Param::Volume), a);
    EXPECT_EQ(second->instrument().parameter(Param::Volume), draggedValue(b, -40, false, false));

    // The host destroys its window before closing the editor: nothing breaks.
    XDestroyWindow(display, hostA);
    hostWindows.erase(hostWindows.begin());
    XSync(display, False);
    dispatch(*first, effEditIdle);
    dispatch(*first, effEditClose);
    dispatch(*second, effEditClose);
}

// What a Linux host loads: Vorzle.so through its entry point, the panel drawn
// from the artwork the module carries, and a second load after the first is
// gone (hosts scan, unload and load again).
TEST_F(X11Host, TheShippedModuleShowsThePanelAcrossReloads) {
    std::string error;
    const png_image::Rgb windows = png_image::decode(readSourceFile("docs/editor.png"), error);
    ASSERT_EQ(windows.width, kEditorWidth) << error;
    const Window host = newHostWindow();
    moveTo(-40, -30);
    for (int load = 0; load < 2; ++load) {
        PluginModule module;
        ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
        std::unique_ptr<PluginInstance> instance = PluginInstance::create(module.entry(), error);
        ASSERT_NE(instance, nullptr) << error;
        EXPECT_TRUE(instance->hasFlag(effFlagsHasEditor));
        instance->dispatch(effSetProgram, 0, 0);
        ASSERT_EQ(instance->dispatch(effEditOpen, 0, 0, asParent(host)), 1);
        idle(instance->effect());
        EXPECT_EQ(capture(panelOf(host), 0, 0, kEditorWidth, kEditorHeight).pixels, windows.pixels) << load;

        // A drag on the Volume knob reaches the parameter: its text changes.
        const std::string before = instance->paramDisplay(Param::Volume);
        moveTo(53, 63);
        button(Button1, true);
        idle(instance->effect());
        moveTo(53, 63 - 100);
        idle(instance->effect());
        button(Button1, false);
        idle(instance->effect());
        EXPECT_NE(instance->paramDisplay(Param::Volume), before);
        moveTo(-40, -30);
        instance->dispatch(effEditClose);
        instance->close();
    }
}

// What careless hosts and broken displays do to the panel. The host has an
// error handler of its own; none of the panel's X errors may reach it, and
// it stays installed, the same, through every call.
TEST_F(X11Host, CarelessHostsAndBrokenDisplays) {
    const std::vector<std::pair<const char*, std::function<void()>>> scenarios = {
        {"the host destroys its window (flushed, not synced) before idle", [&] {
             auto plugin = makePlugin();
             for (int round = 0; round < 20; ++round) {
                 const Window host = newHostWindow();
                 ASSERT_EQ(dispatch(*plugin, effEditOpen, asParent(host)), 1);
                 idle(*plugin, 1);
                 moveTo(33 + 20, 114 + 20);   // hovering a knob: the panel asks where the pointer is
                 XDestroyWindow(display, host);
                 hostWindows.pop_back();
                 XFlush(display);
                 for (int i = 0; i < 3; ++i) dispatch(*plugin, effEditIdle);
                 plugin->setParameter(Param::Cutoff, round / 20.0f);
                 dispatch(*plugin, effEditIdle);
                 dispatch(*plugin, effEditClose);
             }
             ASSERT_NE(openPanel(*plugin), 0u);   // only that panel fell silent
             dispatch(*plugin, effEditClose);
         }},
        {"two panels open at once on two threads, then the module is unloaded", [&] {
             std::string error;
             {
                 PluginModule module;
                 ASSERT_TRUE(module.load(defaultPluginPath(), error)) << error;
                 std::unique_ptr<PluginInstance> instances[2] = {PluginInstance::create(module.entry(), error),
                                                                 PluginInstance::create(module.entry(), error)};
                 const Window hosts[2] = {newHostWindow(), newHostWindow(kHostX, kHostY + 100)};
                 for (int round = 0; round < 30; ++round) {
                     std::latch start(2);
                     auto session = [&](int i) {
                         start.arrive_and_wait();
                         EXPECT_EQ(instances[i]->dispatch(effEditOpen, 0, 0, asParent(hosts[i])), 1);
                         instances[i]->dispatch(effEditIdle);
                         instances[i]->dispatch(effEditClose);
                     };
                     std::jthread other(session, 0);
                     session(1);
                 }
                 for (auto& instance : instances) instance->close();
             }
             std::ifstream maps("/proc/self/maps");
             const std::string mapped(std::istreambuf_iterator<char>(maps), {});
             ASSERT_EQ(mapped.find(defaultPluginPath()), std::string::npos) << "the module stays loaded: nothing tested";
         }},
        {"a display that never answers, on a local socket and on TCP", [&] {
             auto plugin = makePlugin();
             const Window host = newHostWindow();
             const std::string ours = DisplayString(display);
             for (const bool local : {true, false}) {
                 std::string silent;
                 const int server = silentServer(local, silent);
                 ASSERT_FALSE(silent.empty());
                 setenv("DISPLAY", silent.c_str(), 1);
                 const auto began = std::chrono::steady_clock::now();
                 EXPECT_EQ(dispatch(*plugin, effEditOpen, asParent(host)), 0) << silent;
                 EXPECT_LT(std::chrono::steady_clock::now() - began, std::chrono::seconds(2)) << silent;
                 setenv("DISPLAY", ours.c_str(), 1);
                 close(server);
             }
             EXPECT_EQ(dispatch(*plugin, effEditOpen, asParent(host)), 1);
             dispatch(*plugin, effEditClose);
         }},
    };
    for (const auto& [what, run] : scenarios) {
        SCOPED_TRACE(what);
        hostErrors = 0;
        const XErrorHandler before = XSetErrorHandler(countHostError);
        run();
        XSync(display, False);
        EXPECT_EQ(hostErrors, 0);
        // An error of the host's own reaches the host's handler, and only it.
        XMapWindow(display, 0);
        XSync(display, False);
        EXPECT_EQ(hostErrors, 1);
        EXPECT_EQ(XSetErrorHandler(before), countHostError);
    }
}
