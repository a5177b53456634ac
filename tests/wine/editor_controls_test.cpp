// Knobs, the polyphony counter and the on/off buttons, driven the way a user
// drives them: the cursor moved with SetCursorPos and the mouse messages the
// system would send, the results read back through the host's display texts
// and the pixels on screen.
#include "tests/wine/editor_test_support.h"

using namespace editor_test;

namespace {

const Image& knobStrip() {
    static const Image strip = readBmp(sourcePath("resources/bitmaps/knob.bmp"));
    return strip;
}

const Image& digitGlyphs() {
    static const Image glyphs = readBmp(sourcePath("resources/bitmaps/digits.bmp"));
    return glyphs;
}

const Image& buttonFaces() {
    static const Image faces = readBmp(sourcePath("resources/bitmaps/button.bmp"));
    return faces;
}

Image knobFrame(int frame) { return knobStrip().crop(40 * frame, 0, 40, 40); }
Image digitGlyph(int glyph) { return digitGlyphs().crop(9 * glyph, 0, 9, 16); }
Image buttonFace(bool on) { return buttonFaces().crop(on ? 0 : 27, 0, 27, 13); }

bool cursorShowing() {
    CURSORINFO info = {};
    info.cbSize = sizeof info;
    GetCursorInfo(&info);
    return (info.flags & CURSOR_SHOWING) != 0;
}

POINT cursor() {
    POINT p;
    GetCursorPos(&p);
    return p;
}

bool samePoint(POINT a, POINT b) { return a.x == b.x && a.y == b.y; }

// A left-button drag on a knob: pressed at the knob's centre, moved by
// placing the cursor and sending the move the system would send.
class KnobDrag {
public:
    KnobDrag(OpenEditor& e, HWND knob) : knob(knob) {
        RECT r;
        GetWindowRect(knob, &r);
        anchor = {(r.left + r.right) / 2, (r.top + r.bottom) / 2};
        SetCursorPos(anchor.x, anchor.y);
        SendMessageA(knob, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
        (void)e;
    }
    // dy pixels down (negative: up) from the anchor, with these keys held.
    void move(int dy, WPARAM keys = 0) {
        SetCursorPos(anchor.x, anchor.y + dy);
        SendMessageA(knob, WM_MOUSEMOVE, MK_LBUTTON | keys, MAKELPARAM(20, 20 + dy));
    }
    void release() { SendMessageA(knob, WM_LBUTTONUP, 0, MAKELPARAM(20, 20)); }

    HWND knob;
    POINT anchor;
};

constexpr int kVolume = 0;
constexpr int kPolyphony = 38;
constexpr const char* kKnobClass = "TRELLUXMKNOBCLASS";
constexpr const char* kButtonClass = "TRELLUXMUTTONCLASS";

void repaint(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

}  // namespace

TEST_F(EditorTest, KnobDragRaisesUpLowersDownWithShiftAndControlSteps) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND volume = e.control(kKnobClass, kVolume);
    ASSERT_NE(volume, nullptr);
    struct Case {
        const char* name;
        int dy;
        WPARAM keys;
        const char* text;
    };
    const Case cases[] = {
        {"30 up", -30, 0, "53.00 %"},
        {"20 down", 20, 0, "48.00 %"},
        {"30 up with Shift", -30, MK_SHIFT, "80.00 %"},
        {"30 up with Control", -30, MK_CONTROL, "50.30 %"},
        {"Control wins over Shift", -30, MK_CONTROL | MK_SHIFT, "50.30 %"},
        {"15 down with Shift", 15, MK_SHIFT, "35.00 %"},
        {"sideways only", 0, 0, "50.00 %"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        e.setValue(kVolume, 0.5f);
        KnobDrag drag(e, volume);
        EXPECT_FALSE(cursorShowing());
        EXPECT_EQ(GetCapture(), volume);
        drag.move(c.dy, c.keys);
        EXPECT_EQ(e.display(kVolume), c.text);
        // The hidden cursor is parked on the anchor after every step.
        EXPECT_TRUE(samePoint(cursor(), drag.anchor));
        EXPECT_FALSE(cursorShowing());
        drag.release();
        EXPECT_TRUE(cursorShowing());
        EXPECT_TRUE(samePoint(cursor(), drag.anchor));
        EXPECT_EQ(GetCapture(), nullptr);
    }
}

TEST_F(EditorTest, KnobDragAddsUpStepsAndClampsAtBothEnds) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND volume = e.control(kKnobClass, kVolume);
    e.setValue(kVolume, 0.5f);
    KnobDrag drag(e, volume);
    for (int i = 0; i < 4; ++i) drag.move(-10);
    EXPECT_EQ(e.display(kVolume), "54.00 %");
    drag.move(-40, MK_SHIFT);
    drag.move(-40, MK_SHIFT);
    EXPECT_EQ(e.value(kVolume), 1.0f);
    EXPECT_EQ(e.display(kVolume), "100.00 %");
    drag.move(-5);   // already at the top: stays 1
    EXPECT_EQ(e.value(kVolume), 1.0f);
    for (int i = 0; i < 3; ++i) drag.move(50, MK_SHIFT);
    EXPECT_EQ(e.value(kVolume), 0.0f);
    EXPECT_EQ(e.display(kVolume), "0.00 %");
    drag.move(0);   // the move of the cursor coming back to the anchor changes nothing
    EXPECT_EQ(e.value(kVolume), 0.0f);
    drag.release();
    EXPECT_TRUE(cursorShowing());
}

TEST_F(EditorTest, KnobPressAndReleaseWithoutMovingRestoresTheCursor) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND drive = e.control(kKnobClass, 7);
    e.setValue(7, 0.25f);
    KnobDrag drag(e, drive);
    SetCursorPos(drag.anchor.x + 200, drag.anchor.y + 100);   // the pointer wanders without a move message
    drag.release();
    EXPECT_TRUE(samePoint(cursor(), drag.anchor));
    EXPECT_TRUE(cursorShowing());
    EXPECT_EQ(e.value(7), 0.25f);
    // A move after the release is no drag.
    SetCursorPos(drag.anchor.x, drag.anchor.y - 50);
    SendMessageA(drive, WM_MOUSEMOVE, 0, 0);
    EXPECT_EQ(e.value(7), 0.25f);
}

TEST_F(EditorTest, KnobDragEndsWhenAnotherWindowTakesTheMouse) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND volume = e.control(kKnobClass, kVolume);
    HWND other = e.control(kKnobClass, 7);
    e.setValue(kVolume, 0.5f);
    KnobDrag drag(e, volume);
    drag.move(-10);
    EXPECT_EQ(e.display(kVolume), "51.00 %");
    EXPECT_FALSE(cursorShowing());
    SetCapture(other);   // as a dialog or another program would
    EXPECT_TRUE(cursorShowing());
    EXPECT_TRUE(samePoint(cursor(), drag.anchor));
    ReleaseCapture();
    // Moves after the loss drag nothing, and a late release changes nothing.
    SetCursorPos(drag.anchor.x, drag.anchor.y - 40);
    SendMessageA(volume, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(e.display(kVolume), "51.00 %");
    drag.release();
    EXPECT_TRUE(cursorShowing());
    // A new drag works as before.
    KnobDrag again(e, volume);
    again.move(-10);
    EXPECT_EQ(e.display(kVolume), "52.00 %");
    again.release();
    EXPECT_TRUE(cursorShowing());
}

TEST_F(EditorTest, ClosingTheEditorDuringADragShowsTheCursor) {
    {
        OpenEditor e(module);
        ASSERT_TRUE(e.ready());
        KnobDrag drag(e, e.control(kKnobClass, kVolume));
        drag.move(-5);
        EXPECT_FALSE(cursorShowing());
    }   // the editor closes with the button still down
    EXPECT_TRUE(cursorShowing());
}

TEST_F(EditorTest, KnobDoubleClickStartsNoDrag) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND drive = e.control(kKnobClass, 7);
    e.setValue(7, 0.25f);
    SendMessageA(drive, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
    EXPECT_TRUE(cursorShowing());
    EXPECT_EQ(GetCapture(), nullptr);
    const POINT p = e.onScreen(50, 60);
    SetCursorPos(p.x, p.y - 30);
    SendMessageA(drive, WM_MOUSEMOVE, MK_LBUTTON, 0);
    EXPECT_EQ(e.value(7), 0.25f);
    SendMessageA(drive, WM_LBUTTONUP, 0, 0);
    EXPECT_TRUE(samePoint(cursor(), POINT{p.x, p.y - 30}));   // no anchor to return to
    EXPECT_TRUE(cursorShowing());
}

TEST_F(EditorTest, KnobShowsTheFilmStripFrameOfItsValue) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    ASSERT_EQ(knobStrip().width, 3600);
    HWND cutoff = e.control(kKnobClass, 8);
    struct Case {
        float value;
        int frame;
    };
    for (const Case c : {Case{0.0f, 0}, Case{0.5f, 44}, Case{1.0f, 89}, Case{0.3f, 26}, Case{1.5f, 89}, Case{-0.2f, 0}}) {
        SCOPED_TRACE(c.value);
        e.setValue(8, c.value);
        repaint(cutoff);
        EXPECT_TRUE(capture(cutoff) == knobFrame(c.frame));
    }
    // A drag repaints the knob at once.
    e.setValue(8, 0.5f);
    repaint(cutoff);
    KnobDrag drag(e, cutoff);
    drag.move(-50, MK_SHIFT);
    EXPECT_TRUE(capture(cutoff) == knobFrame(89));
    drag.release();
}

TEST_F(EditorTest, CounterShowsTheVoiceLimitInDigitGlyphs) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    ASSERT_EQ(digitGlyphs().width, 108);
    HWND counter = e.control(kKnobClass, kPolyphony);
    ASSERT_NE(counter, nullptr);
    // Glyph 0 is blank, 1 to 10 the digits 0 to 9.
    struct Case {
        float value;
        int tens, units;
    };
    for (const Case c : {Case{0.0f, 0, 2}, Case{0.5f, 4, 3}, Case{1.0f, 7, 5}, Case{0.1f, 0, 8}, Case{2.0f, 7, 5}}) {
        SCOPED_TRACE(c.value);
        e.setValue(kPolyphony, c.value);
        repaint(counter);
        const Image shown = capture(counter);
        ASSERT_EQ(shown.width, 18);
        EXPECT_TRUE(shown.crop(0, 0, 9, 16) == digitGlyph(c.tens));
        EXPECT_TRUE(shown.crop(9, 0, 9, 16) == digitGlyph(c.units));
    }
    // Dragged like a knob: 16 pixels up from 0 is one more voice.
    e.setValue(kPolyphony, 0.0f);
    KnobDrag drag(e, counter);
    drag.move(-16);
    drag.release();
    EXPECT_TRUE(capture(counter).crop(9, 0, 9, 16) == digitGlyph(3));
}

TEST_F(EditorTest, ReadoutFollowsTheDraggedKnobAndStaysOnIt) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND readout = e.readout();
    HWND attack = e.control(kKnobClass, 1);
    e.setValue(1, 0.5f);
    e.moveCursorTo(180, 50);   // on AmpAttack
    e.idle();
    ASSERT_TRUE(IsWindowVisible(readout));
    const RECT before = placement(readout);

    KnobDrag drag(e, attack);
    drag.move(-30);
    e.idle();   // the parked cursor is on the knob's window, but the readout keeps its parameter
    EXPECT_TRUE(IsWindowVisible(readout));
    EXPECT_EQ(placement(readout).left, before.left);
    EXPECT_TRUE(capture(readout) == expectedReadout("53.00 %"));
    // Even with the cursor away from every knob the readout stays during a drag.
    SetCursorPos(e.onScreen(5, 5).x, e.onScreen(5, 5).y);
    e.idle();
    EXPECT_TRUE(IsWindowVisible(readout));
    drag.move(-10);
    EXPECT_TRUE(capture(readout) == expectedReadout("54.00 %"));
    drag.release();
    e.moveCursorTo(5, 5);
    e.idle();
    EXPECT_FALSE(IsWindowVisible(readout));
}

TEST_F(EditorTest, ButtonsToggleOnLeftRightAndDoubleClicks) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    ASSERT_EQ(buttonFaces().width, 54);
    constexpr int kOsc1On = 23;
    HWND button = e.control(kButtonClass, kOsc1On);
    ASSERT_NE(button, nullptr);
    auto press = [&](UINT message) { SendMessageA(button, message, 0, MAKELPARAM(5, 5)); };

    e.setValue(kOsc1On, 0.5f);   // exactly 0.5 is on
    repaint(button);
    EXPECT_TRUE(capture(button) == buttonFace(true));
    press(WM_LBUTTONDOWN);
    EXPECT_EQ(e.value(kOsc1On), 0.0f);
    EXPECT_EQ(e.display(kOsc1On), "off");
    EXPECT_TRUE(capture(button) == buttonFace(false));   // repainted at once
    press(WM_LBUTTONUP);
    EXPECT_EQ(e.value(kOsc1On), 0.0f);

    // A left double click is a press and a double-click press: two toggles.
    press(WM_LBUTTONDOWN);
    press(WM_LBUTTONUP);
    press(WM_LBUTTONDBLCLK);
    press(WM_LBUTTONUP);
    EXPECT_EQ(e.value(kOsc1On), 0.0f);

    press(WM_RBUTTONDOWN);
    EXPECT_EQ(e.value(kOsc1On), 1.0f);
    EXPECT_TRUE(capture(button) == buttonFace(true));
    // A right double click toggles once: its second press is not handled.
    press(WM_RBUTTONUP);
    press(WM_RBUTTONDOWN);
    press(WM_RBUTTONUP);
    press(WM_RBUTTONDBLCLK);
    press(WM_RBUTTONUP);
    EXPECT_EQ(e.value(kOsc1On), 0.0f);

    e.setValue(kOsc1On, 2.0f);   // outside 0..1 still shows on
    repaint(button);
    EXPECT_TRUE(capture(button) == buttonFace(true));
    press(WM_LBUTTONDOWN);
    EXPECT_EQ(e.value(kOsc1On), 0.0f);
}

TEST_F(EditorTest, ValueMessagesCarryFloatBitPatterns) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    EXPECT_EQ(sendSetValue(e.editor, 9, 0.625f), 1);
    EXPECT_EQ(static_cast<uint32_t>(SendMessageA(e.editor, kGetValue, 9, 0)), std::bit_cast<uint32_t>(0.625f));
    EXPECT_EQ(e.display(9), "62.50 %");
    // Indexes outside 0..38 read as 0 and store nothing.
    EXPECT_EQ(sendSetValue(e.editor, 39, 0.75f), 1);
    EXPECT_EQ(SendMessageA(e.editor, kGetValue, 39, 0), 0);
    EXPECT_EQ(sendSetValue(e.editor, -1, 0.75f), 1);
    EXPECT_EQ(SendMessageA(e.editor, kGetValue, static_cast<WPARAM>(-1), 0), 0);
}
