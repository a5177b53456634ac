// The editor window as the host opens it: its size, its controls and their
// order, and the hover regions of the knobs as the value readout reveals them.
#include "tests/wine/editor_test_support.h"

#include <algorithm>
#include <set>

using namespace editor_test;

namespace {

constexpr LONG kControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

struct ExpectedControl {
    const char* windowClass;
    int x, y, width, height;
    LONG style;
    LONG_PTR data;
};

// Every child of the editor in creation order, which the system keeps as
// its order of siblings with the first created on top.
std::vector<ExpectedControl> expectedControls() {
    const char* knob = "TRELLUXMKNOBCLASS";
    const char* button = "TRELLUXMUTTONCLASS";
    const char* display = "TRELLUDRAWITORCLASS";
    std::vector<ExpectedControl> controls = {
        {display, 0, 0, 0, 0, WS_CHILD | WS_CLIPSIBLINGS, 200},   // the readout, hidden until hovered
        {button, 530, 383, 27, 13, kControlStyle, 6},
        {knob, 621, 383, 18, 16, kControlStyle, 38},
    };
    const std::vector<KnobPlace> knobs = knobLayout();
    auto addKnobs = [&](size_t from, size_t to) {
        for (size_t i = from; i < to; ++i)
            controls.push_back({knob, knobs[i].x - 3, knobs[i].y + 1, 40, 40, kControlStyle, knobs[i].parameter});
    };
    addKnobs(0, 7);
    controls.push_back({display, 417, 38, 206, 48, kControlStyle, 1});
    addKnobs(7, 16);
    for (int row = 0; row < 3; ++row) {
        addKnobs(16 + 6 * row, 22 + 6 * row);
        controls.push_back({display, 348, 208 + 80 * row, 102, 48, kControlStyle, 3 + row});
        controls.push_back({button, 4, 223 + 79 * row, 27, 13, kControlStyle, 23 + 7 * row});
    }
    return controls;
}

void expectLayout(const OpenEditor& e) {
    const std::vector<HWND> children = childWindows(e.editor);
    const std::vector<ExpectedControl> expected = expectedControls();
    ASSERT_EQ(children.size(), expected.size());
    ASSERT_EQ(expected.size(), 44u);
    for (size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE("control " + std::to_string(i + 1));
        const ExpectedControl& want = expected[i];
        const RECT r = placement(children[i]);
        EXPECT_EQ(className(children[i]), want.windowClass);
        EXPECT_EQ(userData(children[i]), want.data);
        EXPECT_EQ(GetWindowLongA(children[i], GWL_STYLE), want.style);
        EXPECT_EQ(GetWindowLongA(children[i], GWL_EXSTYLE), 0);
        EXPECT_EQ(r.left, want.x);
        EXPECT_EQ(r.top, want.y);
        if (i == 0) continue;   // the readout's size changes once it is shown
        EXPECT_EQ(r.right - r.left, want.width);
        EXPECT_EQ(r.bottom - r.top, want.height);
    }
}

// Gives the 34 knob parameters values whose display texts all differ, so that
// the readout names the parameter it shows.
void giveKnobsDistinctTexts(OpenEditor& e) {
    std::set<std::string> texts;
    int n = 0;
    for (const KnobPlace& knob : knobLayout()) {
        e.setValue(knob.parameter, 0.02f * static_cast<float>(++n) + 0.003f);
        texts.insert(e.display(knob.parameter));
    }
    ASSERT_EQ(texts.size(), 34u);
}

// Hovering each knob's hit region shows the readout 15 right of and 20 below
// the cursor, on top of the controls, with that knob's text.
void expectEveryKnobHovers(OpenEditor& e) {
    HWND readout = e.readout();
    ASSERT_NE(readout, nullptr);
    for (const KnobPlace& knob : knobLayout()) {
        SCOPED_TRACE("parameter " + std::to_string(knob.parameter));
        e.moveCursorTo(0, 0);   // on no knob: hides the readout
        e.idle();
        ASSERT_FALSE(IsWindowVisible(readout));
        // The top-left corner of the region lies just outside the knob's window.
        e.moveCursorTo(knob.x, knob.y);
        e.idle();
        ASSERT_TRUE(IsWindowVisible(readout));
        const RECT r = placement(readout);
        const std::string text = e.display(knob.parameter);
        const int width = readoutWidth(text.c_str());   // 55 unless the text needs more
        EXPECT_EQ(r.left, width > 55 ? std::min(knob.x + 15, 664 - width) : knob.x + 15);
        EXPECT_EQ(r.top, knob.y + 20);
        EXPECT_EQ(r.right - r.left, width);
        EXPECT_EQ(r.bottom - r.top, 16);
        // Read from the editor's surface: what is on screen there, the readout above the knob.
        EXPECT_TRUE(capture(e.editor, r.left, knob.y + 20, width, 16) == expectedReadout(text));
    }
}

}  // namespace

TEST_F(EditorTest, EditorRectangleIsFixedWithOrWithoutTheWindow) {
    std::string error;
    auto plugin = PluginInstance::create(module.entry(), error);
    ASSERT_TRUE(plugin) << error;
    ERect* rect = nullptr;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &rect), 1);
    ASSERT_NE(rect, nullptr);
    EXPECT_EQ(rect->top, 0);
    EXPECT_EQ(rect->left, 0);
    EXPECT_EQ(rect->bottom, 441);
    EXPECT_EQ(rect->right, 664);

    HWND host = hostWindow();
    ASSERT_EQ(plugin->dispatch(effEditOpen, 0, 0, host), 1);
    ERect* again = nullptr;
    EXPECT_EQ(plugin->dispatch(effEditGetRect, 0, 0, &again), 1);
    EXPECT_EQ(again, rect);
    EXPECT_EQ(again->bottom, 441);
    EXPECT_EQ(again->right, 664);
    plugin->dispatch(effEditClose);
}

TEST_F(EditorTest, OpenBuildsTheEditorWindowAndEveryControlInOrder) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    EXPECT_EQ(className(e.editor), "TRELLUXMEDITORCLASS");
    EXPECT_EQ(GetWindowLongA(e.editor, GWL_STYLE), WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS);
    EXPECT_EQ(childWindows(e.host).size(), 1u);
    const RECT r = placement(e.editor);
    EXPECT_EQ(r.left, 0);
    EXPECT_EQ(r.top, 0);
    EXPECT_EQ(r.right, 664);
    EXPECT_EQ(r.bottom, 441);
    // The editor window carries the instance: the object behind the record.
    EXPECT_EQ(reinterpret_cast<void*>(userData(e.editor)), e.plugin->effect()->object);
    expectLayout(e);
}

TEST_F(EditorTest, EveryKnobHoversAfterOpenCloseAndOpenAgain) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    giveKnobsDistinctTexts(e);
    expectEveryKnobHovers(e);

    e.plugin->dispatch(effEditClose);
    EXPECT_EQ(childWindows(e.host).size(), 0u);
    ASSERT_EQ(e.plugin->dispatch(effEditOpen, 0, 0, e.host), 1);
    e.editor = GetWindow(e.host, GW_CHILD);
    pumpMessages();
    expectLayout(e);
    expectEveryKnobHovers(e);
}

TEST_F(EditorTest, OpeningAnOpenEditorReplacesItsWindow) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND secondHost = hostWindow(1);
    ASSERT_EQ(e.plugin->dispatch(effEditOpen, 0, 0, secondHost), 1);
    EXPECT_FALSE(IsWindow(e.editor));
    EXPECT_EQ(childWindows(e.host).size(), 0u);
    ASSERT_EQ(childWindows(secondHost).size(), 1u);
    HWND editor = GetWindow(secondHost, GW_CHILD);
    EXPECT_EQ(childWindows(editor).size(), 44u);
    e.plugin->dispatch(effEditClose);
    EXPECT_FALSE(IsWindow(editor));
}

TEST_F(EditorTest, HitRegionsIncludeTheirEdgesAndStartLeftOfTheKnobWindow) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND readout = e.readout();
    const KnobPlace knob = {33, 43, 0};   // Volume; Drive's region starts at 76
    struct Probe {
        int x, y;
        bool shows;
    };
    const Probe probes[] = {
        {knob.x + 40, knob.y + 40, true},    // bottom-right corner, edges included
        {knob.x, knob.y, true},              // the row above the knob's window
        {knob.x + 39, knob.y + 20, true},    // up to four columns right of the window
        {knob.x - 1, knob.y + 20, false},    // the window's leftmost columns show nothing
        {knob.x - 3, knob.y + 20, false},
        {knob.x + 41, knob.y + 20, false},   // between Volume and Drive
        {knob.x + 20, knob.y + 41, false},
        {knob.x + 20, knob.y - 1, false},
        {530 + 5, 383 + 5, false},            // the Chorus button
        {621 + 5, 383 + 5, false},            // the polyphony counter
    };
    for (const Probe& probe : probes) {
        SCOPED_TRACE("at " + std::to_string(probe.x) + "," + std::to_string(probe.y));
        e.moveCursorTo(5, 5);   // on no knob first, so that every probe starts hidden
        e.idle();
        ASSERT_FALSE(IsWindowVisible(readout));
        e.moveCursorTo(probe.x, probe.y);
        e.idle();
        EXPECT_EQ(IsWindowVisible(readout) != FALSE, probe.shows);
        if (probe.shows) {
            EXPECT_EQ(placement(readout).left, probe.x + 15);
        }
    }
}

TEST_F(EditorTest, ReadoutStaysPutWhileTheCursorStaysOnOneKnob) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND readout = e.readout();
    e.moveCursorTo(180, 50);   // AmpAttack, region 175..215
    e.idle();
    ASSERT_TRUE(IsWindowVisible(readout));
    EXPECT_EQ(placement(readout).left, 195);
    EXPECT_EQ(placement(readout).top, 70);
    e.moveCursorTo(200, 60);
    e.idle();
    EXPECT_EQ(placement(readout).left, 195);
    EXPECT_EQ(placement(readout).top, 70);
    e.moveCursorTo(225, 60);   // AmpHold, region 218..258: moves with the new knob
    e.idle();
    EXPECT_EQ(placement(readout).left, 240);
    EXPECT_EQ(placement(readout).top, 80);
    e.moveCursorTo(5, 5);
    e.idle();
    EXPECT_FALSE(IsWindowVisible(readout));
}

TEST_F(EditorTest, EditorWindowDestroyedByTheHostLeavesNoStaleHandles) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    DestroyWindow(e.editor);   // a host tearing down its frame without effEditClose
    EXPECT_FALSE(IsWindow(e.editor));
    e.idle();
    e.plugin->dispatch(effSetProgram, 0, 2);
    e.idle();
    e.plugin->dispatch(effEditClose);
    ASSERT_EQ(e.plugin->dispatch(effEditOpen, 0, 0, e.host), 1);
    e.editor = GetWindow(e.host, GW_CHILD);
    expectLayout(e);
    e.moveCursorTo(40, 50);
    e.idle();
    EXPECT_TRUE(IsWindowVisible(e.readout()));
}
