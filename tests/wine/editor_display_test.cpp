// The display panel: which displays repaint after which change, and what the
// envelope, waveform and readout displays draw, read back pixel by pixel.
#include "tests/wine/editor_test_support.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

using namespace editor_test;

namespace {

constexpr const char* kDisplayClass = "TRELLUDRAWITORCLASS";

const Image& displayBackground() {
    static const Image background = readBmp(sourcePath("resources/bitmaps/display.bmp"));
    return background;
}

struct Displays {
    HWND envelope, wave1, wave2, wave3, readout;
};

Displays displaysOf(const OpenEditor& e) {
    return {e.control(kDisplayClass, 1), e.control(kDisplayClass, 3), e.control(kDisplayClass, 4),
            e.control(kDisplayClass, 5), e.readout()};
}

// A display's pixels, with those that still show the display bitmap's
// top-left corner (the background) replaced by zero.
Image drawnOnly(const Image& shown) {
    Image out = shown;
    for (int y = 0; y < shown.height; ++y)
        for (int x = 0; x < shown.width; ++x)
            if (shown.at(x, y) == displayBackground().at(x, y)) out.pixels[static_cast<size_t>(y) * shown.width + x] = 0;
    return out;
}

bool isBackground(const Image& shown, int x, int y) { return shown.at(x, y) == displayBackground().at(x, y); }

}  // namespace

// Besides the control making the change, a change from the editor repaints
// the display of its group and the readout, and nothing else.
TEST_F(EditorTest, EditorChangesRepaintTheirGroupsDisplayAndTheReadout) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    const Displays d = displaysOf(e);
    HWND cutoffKnob = e.control("TRELLUXMKNOBCLASS", 8);
    HWND chorusButton = e.control("TRELLUXMUTTONCLASS", 6);
    e.moveCursorTo(40, 50);   // on the Volume knob: the readout shows
    e.idle();
    ASSERT_TRUE(IsWindowVisible(d.readout));

    struct Case {
        int parameter;
        bool envelope, wave1, wave2, wave3;
    };
    const Case cases[] = {
        {0, false, false, false, false},  {1, true, false, false, false},   {3, true, false, false, false},
        {5, true, false, false, false},   {6, false, false, false, false},  {7, false, false, false, false},
        {8, false, false, false, false},  {16, false, false, false, false}, {17, false, true, false, false},
        {18, false, true, false, false},  {22, false, true, false, false},  {23, false, false, false, false},
        {24, false, false, true, false},  {25, false, false, true, false},  {29, false, false, true, false},
        {30, false, false, false, false}, {31, false, false, false, true},  {32, false, false, false, true},
        {36, false, false, false, true},  {37, false, false, false, false}, {38, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("parameter " + std::to_string(c.parameter));
        for (HWND w : {d.envelope, d.wave1, d.wave2, d.wave3, d.readout, cutoffKnob, chorusButton}) paintMarker(w);
        ASSERT_TRUE(showsMarker(d.readout));
        e.setValue(c.parameter, 0.25f);
        EXPECT_EQ(repainted(d.envelope), c.envelope);
        EXPECT_EQ(repainted(d.wave1), c.wave1);
        EXPECT_EQ(repainted(d.wave2), c.wave2);
        EXPECT_EQ(repainted(d.wave3), c.wave3);
        EXPECT_TRUE(repainted(d.readout));
        EXPECT_TRUE(showsMarker(cutoffKnob));
        EXPECT_TRUE(showsMarker(chorusButton));
    }
}

TEST_F(EditorTest, ToggleRepaintsOnlyItsButtonAndTheReadout) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    const Displays d = displaysOf(e);
    HWND osc2Button = e.control("TRELLUXMUTTONCLASS", 30);
    e.moveCursorTo(40, 50);
    e.idle();
    for (HWND w : {d.envelope, d.wave1, d.wave2, d.wave3, d.readout, osc2Button}) paintMarker(w);
    SendMessageA(osc2Button, WM_LBUTTONDOWN, 0, 0);
    EXPECT_TRUE(repainted(osc2Button));
    EXPECT_TRUE(repainted(d.readout));
    for (HWND w : {d.envelope, d.wave1, d.wave2, d.wave3}) EXPECT_TRUE(showsMarker(w));
}

// Changes from MIDI and program changes only ask for an update: every
// control repaints at the next effEditIdle, and only once.
TEST_F(EditorTest, MidiAndProgramChangesRepaintEverythingAtTheNextIdle) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    e.moveCursorTo(5, 5);   // on no knob: the readout stays hidden
    e.idle();
    const Displays d = displaysOf(e);
    std::vector<HWND> watched = {d.envelope, d.wave1, d.wave2, d.wave3};
    for (const KnobPlace& knob : knobLayout()) watched.push_back(e.control("TRELLUXMKNOBCLASS", knob.parameter));
    for (int p : {6, 23, 30, 37}) watched.push_back(e.control("TRELLUXMUTTONCLASS", p));
    watched.push_back(e.control("TRELLUXMKNOBCLASS", 38));
    ASSERT_EQ(watched.size(), 43u);

    struct Change {
        const char* name;
        std::function<void()> apply;
        std::function<void()> check;
    };
    const Change changes[] = {
        // MIDI plays at the next render: 100 / 127 stored then.
        {"controller 7", [&] { e.plugin->sendMidi({{0xB0, 7, 100}}); e.plugin->processReplacing(nullptr, nullptr, 0); },
         [&] { EXPECT_EQ(e.display(0), "78.74 %"); }},
        {"MIDI program change",
         [&] {
             e.plugin->sendMidi({{0xC3, 5, 0}});
             e.plugin->processReplacing(nullptr, nullptr, 0);
         },
         [&] { EXPECT_EQ(e.plugin->dispatch(effGetProgram), 5); }},
        {"effSetProgram", [&] { e.plugin->dispatch(effSetProgram, 0, 9); },
         [&] { EXPECT_EQ(e.plugin->dispatch(effGetProgram), 9); }},
    };
    for (const Change& change : changes) {
        SCOPED_TRACE(change.name);
        for (HWND w : watched) paintMarker(w);
        change.apply();
        change.check();
        pumpMessages();
        for (HWND w : watched) EXPECT_TRUE(showsMarker(w));
        e.idle();
        for (HWND w : watched) EXPECT_TRUE(repainted(w));
        // Nothing pending any more: the next idle repaints nothing.
        for (HWND w : watched) paintMarker(w);
        e.idle();
        for (HWND w : watched) EXPECT_TRUE(showsMarker(w));
    }
}

TEST_F(EditorTest, EnvelopeDrawsItsStagesAsQuarterWidths) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND envelope = displaysOf(e).envelope;
    for (int p : {1, 2, 3, 5}) e.setValue(p, 1.0f);
    e.setValue(4, 0.0f);
    const Image shown = capture(envelope);
    ASSERT_EQ(shown.width, 206);
    ASSERT_EQ(shown.height, 48);
    // Corners of the envelope: (0,47), (51,0), (102,0), (153,47), release along the bottom to 204.
    for (POINT p : {POINT{0, 47}, POINT{51, 0}, POINT{102, 0}, POINT{76, 0}, POINT{153, 47}, POINT{180, 47},
                    POINT{203, 47}}) {
        SCOPED_TRACE(std::to_string(p.x) + "," + std::to_string(p.y));
        EXPECT_EQ(shown.at(p.x, p.y), kBright);
    }
    // Dark stage lines at 51, 102, 153 and 204, from the top down to 47 (exclusive).
    for (int x : {51, 102, 153, 204})
        for (int y = 2; y < 46; ++y) EXPECT_EQ(shown.at(x, y), kDark) << x << "," << y;
    EXPECT_EQ(shown.at(204, 0), kDark);
    EXPECT_EQ(shown.at(204, 46), kDark);
    EXPECT_TRUE(isBackground(shown, 204, 47));   // lines end before their end point
    EXPECT_TRUE(isBackground(shown, 205, 20));   // the last column and row are never drawn in
    EXPECT_TRUE(isBackground(shown, 30, 30));    // under the attack slope
    for (int x = 0; x < 206; ++x) EXPECT_TRUE(isBackground(shown, x, 47) || x < 204) << x;

    // All stage times 0: everything collapses onto the left edge.
    for (int p : {1, 2, 3, 5}) e.setValue(p, 0.0f);
    const Image collapsed = capture(envelope);
    for (int y = 0; y < 48; ++y) EXPECT_EQ(collapsed.at(0, y), kBright) << y;
    EXPECT_EQ(drawnOnly(collapsed).crop(1, 0, 205, 48).count(0), 205u * 48u);

    // Sustain sets the level the decay falls to: half of 47 is 23 (truncated).
    for (int p : {1, 2, 3, 5}) e.setValue(p, 1.0f);
    e.setValue(4, 0.5f);
    const Image half = capture(envelope);
    EXPECT_EQ(half.at(153, 23), kBright);
    EXPECT_EQ(half.at(153, 40), kDark);
}

TEST_F(EditorTest, WaveformDrawsOnePeriodOfTheOscillator) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    const Displays d = displaysOf(e);
    // Oscillator 2 as a square: +1 for the first half of the period, -1 after.
    const int base = 24;
    e.setValue(base + 2, 0.0f);   // sine
    e.setValue(base + 4, 1.0f);   // width
    e.setValue(base + 3, 1.0f);   // center
    e.setValue(base + 5, 0.0f);   // shift
    e.setValue(base, 1.0f);       // level
    Image shown = capture(d.wave2);
    ASSERT_EQ(shown.width, 102);
    ASSERT_EQ(shown.height, 48);
    // W = 101 columns, zero line at half = 23; +1 is row 0, -1 is row 46.
    for (int x : {5, 25, 49}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(shown.at(x, 0), kBright);
        for (int y = 1; y < 23; ++y) EXPECT_EQ(shown.at(x, y), kDark) << y;
        EXPECT_EQ(shown.at(x, 23), kMid);
        EXPECT_TRUE(isBackground(shown, x, 30));
    }
    for (int x : {55, 75, 99}) {
        SCOPED_TRACE(x);
        EXPECT_EQ(shown.at(x, 46), kBright);
        for (int y = 24; y < 46; ++y) EXPECT_EQ(shown.at(x, y), kDark) << y;
        EXPECT_EQ(shown.at(x, 23), kMid);
        EXPECT_TRUE(isBackground(shown, x, 10));
    }
    EXPECT_EQ(shown.at(100, 23), kMid);   // the zero line ends at W (exclusive)
    for (int y = 0; y < 48; ++y) EXPECT_TRUE(isBackground(shown, 101, y)) << y;
    for (int x = 0; x < 102; ++x) EXPECT_TRUE(isBackground(shown, x, 47)) << x;

    // Level 0 inverts it.
    e.setValue(base, 0.0f);
    shown = capture(d.wave2);
    EXPECT_EQ(shown.at(25, 46), kBright);
    EXPECT_EQ(shown.at(75, 0), kBright);

    // A sawtooth on oscillator 3: 2x in the first half, so column 25 reaches
    // 23 - trunc(23 * 50/101) = 12 and column 76 reaches 23 - trunc(23 * (152/101 - 2)) = 34.
    e.setValue(31 + 2, 0.0f);
    e.setValue(31 + 4, 0.0f);
    e.setValue(31 + 3, 1.0f);
    e.setValue(31 + 5, 0.0f);
    e.setValue(31, 1.0f);
    shown = capture(d.wave3);
    EXPECT_EQ(shown.at(25, 12), kBright);
    EXPECT_EQ(shown.at(25, 13), kDark);
    EXPECT_TRUE(isBackground(shown, 25, 11));
    EXPECT_EQ(shown.at(76, 34), kBright);
    EXPECT_EQ(shown.at(76, 33), kDark);
    EXPECT_TRUE(isBackground(shown, 76, 35));
}

TEST_F(EditorTest, ReadoutIsCentredAndFramedWhateverItsText) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    HWND readout = e.readout();
    struct Case {
        int parameter;
        float value;
        const char* text;
    };
    // Texts of every length up to 11 characters: each shows whole, in a readout as wide as it needs.
    for (const Case c : {Case{1, 0.5f, "50.00 %"}, Case{18, 0.0f, "-12.00 smt."}, Case{8, 1.0f, "20480 Hz"},
                         Case{14, 0.0f, "-10.00 oct."}}) {
        SCOPED_TRACE(c.text);
        e.setValue(c.parameter, c.value);
        ASSERT_EQ(e.display(c.parameter), c.text);
        e.moveCursorTo(5, 5);
        e.idle();
        KnobPlace place{};
        for (const KnobPlace& k : knobLayout())
            if (k.parameter == c.parameter) place = k;
        e.moveCursorTo(place.x + 2, place.y + 2);
        e.idle();
        const Image shown = capture(readout);
        const int w = shown.width;
        ASSERT_EQ(w, readoutWidth(c.text));
        ASSERT_EQ(shown.height, 16);
        EXPECT_TRUE(shown == expectedReadout(c.text));
        // Framed in the bright pen, black inside, text in its own colour.
        for (int x = 0; x < w; ++x) EXPECT_TRUE(shown.at(x, 0) == kBright && shown.at(x, 15) == kBright) << x;
        for (int y = 0; y < 16; ++y) EXPECT_TRUE(shown.at(0, y) == kBright && shown.at(w - 1, y) == kBright) << y;
        EXPECT_GT(shown.count(kReadoutText), 10u);
        // Whole and centred: black next to the frame, as much room left of the text as right of it.
        int left = w, right = -1;
        for (int y = 1; y < 15; ++y)
            for (int x = 1; x < w - 1; ++x)
                if (shown.at(x, y) != kBlack) {
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
        EXPECT_TRUE(left > 1 && right < w - 2) << left << " " << right;
        if (std::string(c.text).size() <= 8) {   // centred by the pen's travel, which longer texts end in space
            EXPECT_LE(std::abs((left - 1) - (w - 2 - right)), 3) << left << " " << right;
        }
    }
}

TEST_F(EditorTest, DisplaysShowTheDisplayBitmapBehindTheirDrawing) {
    OpenEditor e(module);
    ASSERT_TRUE(e.ready());
    ASSERT_EQ(displayBackground().width, 208);
    const Displays d = displaysOf(e);
    // The drawings stay inside the window less its last column; the waveform
    // (at most 2 x 23 rows down) also leaves the last row alone. Untouched
    // pixels show the display bitmap's top-left corner.
    for (HWND w : {d.envelope, d.wave1, d.wave2, d.wave3}) {
        const Image shown = capture(w);
        for (int y = 0; y < shown.height; ++y) EXPECT_TRUE(isBackground(shown, shown.width - 1, y)) << y;
        if (w == d.envelope) continue;
        for (int x = 0; x < shown.width; ++x) EXPECT_TRUE(isBackground(shown, x, shown.height - 1)) << x;
    }
    // Without an instance behind the editor window a display shows its background only.
    const LONG_PTR plugin = GetWindowLongPtrA(e.editor, GWLP_USERDATA);
    SetWindowLongPtrA(e.editor, GWLP_USERDATA, 0);
    InvalidateRect(d.wave1, nullptr, TRUE);
    UpdateWindow(d.wave1);
    EXPECT_EQ(drawnOnly(capture(d.wave1)).count(0), 102u * 48u);
    EXPECT_EQ(SendMessageA(e.editor, kGetValue, 0, 0), 0);
    EXPECT_EQ(sendSetValue(e.editor, 0, 0.75f), 1);   // changes nothing
    SetWindowLongPtrA(e.editor, GWLP_USERDATA, plugin);
    EXPECT_NE(e.display(0), "75.00 %");
}
