// The editor core both window systems share: layout and hit table, what
// knobs, counter and buttons show and do, the line rules of the displays,
// and the whole panel against the Windows panel's picture.
#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <string>
#include <utility>

#include "editor/bmp_image.h"
#include "editor/control_values.h"
#include "editor/display_drawing.h"
#include "editor/panel_layout.h"
#include "editor/panel_values.h"
#include "editor/readout_font.h"
#include "editor/synth_editor.h"
#include "programs/parameter_table.h"
#include "vst2/synth_plugin.h"
#include "tests/shared/png_image.h"
#include "tests/shared/version_only_host.h"

namespace {

std::vector<uint8_t> readFile(const std::string& relative) {
    std::ifstream in(std::string(VORZLE_SOURCE_DIR) + "/" + relative, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

const PanelControl* findControl(ControlKind kind, int32_t id) {
    for (size_t i = 0; i < kPanelControlCount; ++i)
        if (panelControls()[i].kind == kind && panelControls()[i].id == id) return &panelControls()[i];
    return nullptr;
}

std::set<std::pair<int, int>> linePixels(int x0, int y0, int x1, int y1) {
    PixelImage image(32, 32);
    PixelCanvas canvas = image.canvas();
    drawLine(canvas, x0, y0, x1, y1, 1);
    std::set<std::pair<int, int>> lit;
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x)
            if (image.at(x, y)) lit.insert({x, y});
    return lit;
}

}  // namespace

TEST(EditorLayout, HoldsTheControlsInCreationOrder) {
    int knobs = 0, buttons = 0, displays = 0;
    for (size_t i = 0; i < kPanelControlCount; ++i) {
        const PanelControl& c = panelControls()[i];
        knobs += c.kind == ControlKind::Knob;
        buttons += c.kind == ControlKind::Button;
        displays += c.kind == ControlKind::Display;
    }
    EXPECT_EQ(knobs, 34);
    EXPECT_EQ(buttons, 4);
    EXPECT_EQ(displays, 4);
    EXPECT_EQ(panelControls()[0].kind, ControlKind::Readout);   // first, so above every control
    EXPECT_EQ(panelControls()[1].id, Param::Chorus);
    EXPECT_EQ(panelControls()[2].kind, ControlKind::Counter);

    struct Place {
        ControlKind kind;
        int32_t id, x, y, width, height;
    };
    for (const Place& p : {Place{ControlKind::Button, Param::Chorus, 530, 383, 27, 13},
                           Place{ControlKind::Counter, Param::Polyphony, 621, 383, 18, 16},
                           Place{ControlKind::Knob, Param::Volume, 33, 43, 40, 40},
                           Place{ControlKind::Knob, Param::AmpRelease, 347, 43, 40, 40},
                           Place{ControlKind::Display, int32_t(DisplayId::Envelope), 417, 38, 206, 48},
                           Place{ControlKind::Knob, Param::FilterEnvAmount, 174, 114, 40, 40},
                           Place{ControlKind::Knob, Param::LfoAmount, 550, 114, 40, 40},
                           Place{ControlKind::Knob, Param::Osc1Shift, 289, 213, 40, 40},
                           Place{ControlKind::Knob, Param::Osc2Sine, 160, 292, 40, 40},
                           Place{ControlKind::Knob, Param::Osc3Level, 34, 371, 40, 40},
                           Place{ControlKind::Display, int32_t(DisplayId::Wave3), 348, 368, 102, 48},
                           Place{ControlKind::Button, Param::Osc2On, 4, 302, 27, 13}}) {
        const PanelControl* c = findControl(p.kind, p.id);
        ASSERT_NE(c, nullptr) << p.id;
        EXPECT_EQ(std::vector<int32_t>({c->x, c->y, c->width, c->height}),
                  std::vector<int32_t>({p.x, p.y, p.width, p.height}))
            << p.id;
    }
    // A knob's window is 3 pixels left of and 1 below its point.
    const PanelRect volume = controlRect(*findControl(ControlKind::Knob, Param::Volume));
    EXPECT_EQ(std::vector<int32_t>({volume.x, volume.y}), std::vector<int32_t>({30, 44}));
}

TEST(EditorLayout, HitTableFindsKnobsEdgesIncluded) {
    KnobHitTable table;
    clearKnobHitTable(table);
    int32_t count = 0;
    for (size_t i = 0; i < kPanelControlCount; ++i)
        if (panelControls()[i].kind == ControlKind::Knob) addKnobHitEntry(table, count, panelControls()[i]);
    EXPECT_EQ(count, 34);
    EXPECT_EQ(table[34].parameter, kFreeHitEntry);
    EXPECT_EQ(knobAt(table, 33, 43), Param::Volume);
    EXPECT_EQ(knobAt(table, 73, 83), Param::Volume);     // right and bottom edges count
    EXPECT_EQ(knobAt(table, 74, 60), -1);
    EXPECT_EQ(knobAt(table, 32, 60), -1);         // the knob window's leftmost columns show no readout
    EXPECT_EQ(knobAt(table, 76, 43), Param::Drive);
    EXPECT_EQ(knobAt(table, 625, 390), -1);       // the counter has no entry
    EXPECT_EQ(knobAt(table, 10, 230), -1);        // nor the buttons

    DisplayId display = DisplayId::Readout;
    for (auto [parameter, shown] : {std::pair{Param::Osc1Pitch, DisplayId::Wave1}, {Param::AmpAttack, DisplayId::Envelope},
                                    {Param::Osc3Shift, DisplayId::Wave3}, {Param::Osc2Level, DisplayId::Wave2}}) {
        EXPECT_TRUE(displayOfParameter(parameter, display)) << parameter;
        EXPECT_EQ(display, shown) << parameter;
    }
    for (int32_t p : {Param::Volume, Param::Chorus, Param::Osc1On, Param::Osc2On, Param::Polyphony, Param::Cutoff}) EXPECT_FALSE(displayOfParameter(p, display)) << p;
}

TEST(EditorControls, KnobCounterAndButtonShowTheirValues) {
    EXPECT_EQ(knobFrame(0.0f), 0);
    EXPECT_EQ(knobFrame(0.5f), 44);
    EXPECT_EQ(knobFrame(1.0f), 89);
    EXPECT_EQ(knobFrame(7.0f), 89);
    EXPECT_EQ(knobFrame(-0.5f), 0);

    auto glyphs = [](float v) {
        const CounterGlyphs g = counterGlyphs(v);
        return std::make_pair(g.tens, g.units);
    };
    EXPECT_EQ(glyphs(0.0f), std::make_pair(0, 2));    // " 1"
    EXPECT_EQ(glyphs(0.5f), std::make_pair(4, 3));    // "32"
    EXPECT_EQ(glyphs(1.0f), std::make_pair(7, 5));    // "64"
    EXPECT_EQ(glyphs(0.1f), std::make_pair(0, 8));    // " 7"
    EXPECT_EQ(glyphs(-1.0f), std::make_pair(7, 3));   // -62 shows its last two characters

    EXPECT_TRUE(buttonIsOn(0.5f));
    EXPECT_TRUE(buttonIsOn(2.0f));
    EXPECT_FALSE(buttonIsOn(0.49f));
    EXPECT_EQ(buttonFrame(1.0f), kButtonOnFrame);
    EXPECT_EQ(buttonFrame(0.0f), kButtonOffFrame);
    EXPECT_EQ(toggledValue(0.5f), 0.0f);
    EXPECT_EQ(toggledValue(0.2f), 1.0f);
}

TEST(EditorControls, DragStepsAndLimits) {
    EXPECT_EQ(draggedValue(0.5f, -10, false, false), 0.5f + 10 * 0.001f);   // up raises
    EXPECT_EQ(draggedValue(0.5f, 10, false, true), 0.5f - 10.0f * 0.01f);
    EXPECT_EQ(draggedValue(0.5f, 10, true, true), 0.5f - 10.0f * 0.0001f);  // Control wins over Shift
    EXPECT_EQ(draggedValue(0.99f, -50, false, false), 1.0f);
    EXPECT_EQ(draggedValue(0.01f, 50, false, false), 0.0f);
    EXPECT_EQ(draggedValue(1.0f, -1, false, false), 1.0f);
    // A full sweep: 1000 pixels normally, 100 with Shift, 10000 with Control.
    EXPECT_EQ(draggedValue(0.0f, -1000, false, false), 1.0f);
    EXPECT_LT(draggedValue(0.0f, -990, false, false), 1.0f);
    EXPECT_EQ(draggedValue(0.0f, -100, false, true), 1.0f);
    EXPECT_LT(draggedValue(0.0f, -99, false, true), 1.0f);
    EXPECT_EQ(draggedValue(0.0f, -10000, true, false), 1.0f);
    EXPECT_LT(draggedValue(0.0f, -9900, true, false), 1.0f);
}

// The Windows line rules: the start drawn, the end not, and a line drawn
// backwards covers the same pixels (the tie-breaking bias makes sure).
TEST(EditorDrawing, LinesFollowTheWindowsRulesInEveryOctant) {
    for (int dx = -7; dx <= 7; ++dx)
        for (int dy = -7; dy <= 7; ++dy) {
            if (dx == 0 && dy == 0) continue;
            const int x0 = 12, y0 = 12, x1 = x0 + dx, y1 = y0 + dy;
            auto forward = linePixels(x0, y0, x1, y1), backward = linePixels(x1, y1, x0, y0);
            EXPECT_EQ(forward.size(), static_cast<size_t>(std::max(std::abs(dx), std::abs(dy)))) << dx << "," << dy;
            EXPECT_TRUE(forward.count({x0, y0}) && !forward.count({x1, y1})) << dx << "," << dy;
            forward.insert({x1, y1});
            backward.insert({x0, y0});
            EXPECT_EQ(forward, backward) << dx << "," << dy;
        }
    // A known tie: from (0,0) to (4,2) the midpoint steps right, then down.
    EXPECT_EQ(linePixels(0, 0, 4, 2), (std::set<std::pair<int, int>>{{0, 0}, {1, 0}, {2, 1}, {3, 1}}));
}

TEST(EditorDrawing, EnvelopeStagesAreQuarterWidths) {
    PixelImage image(206, 48);
    PixelCanvas canvas = image.canvas();
    drawEnvelope(canvas, {1.0f, 1.0f, 1.0f, 0.0f, 1.0f});
    for (auto [x, y] : {std::pair{0, 47}, {51, 0}, {76, 0}, {102, 0}, {153, 47}, {203, 47}})
        EXPECT_EQ(image.at(x, y), kBrightColour) << x << "," << y;
    for (int x : {51, 102, 153, 204}) EXPECT_EQ(image.at(x, 20), kDarkColour) << x;
    EXPECT_EQ(image.at(204, 47), 0u);   // lines end before their end point
    EXPECT_EQ(image.at(205, 20), 0u);   // nor is the last column drawn in
}

TEST(EditorDrawing, SquareWaveFillsBetweenCurveAndZeroLine) {
    PixelImage image(102, 48);
    PixelCanvas canvas = image.canvas();
    drawWaveform(canvas, {0.0f, 1.0f, 1.0f, 1.0f, 0.0f});   // +1 for the first half, -1 after
    EXPECT_EQ(image.at(25, 0), kBrightColour);
    EXPECT_EQ(image.at(25, 10), kDarkColour);
    EXPECT_EQ(image.at(25, 23), kMidColour);
    EXPECT_EQ(image.at(75, 46), kBrightColour);
    EXPECT_EQ(image.at(75, 30), kDarkColour);
    EXPECT_EQ(image.at(100, 23), kMidColour);
    for (int y = 0; y < 48; ++y) EXPECT_EQ(image.at(101, y), 0u) << y;
    // A runaway shape value draws no line of billions of pixels.
    drawWaveform(canvas, {0.0f, 1.0f, 1.0f, 1e30f, 0.0f});
}

TEST(EditorDrawing, ReadoutTextIsCentredAndFramed) {
    PixelImage image(kReadoutWidth, kReadoutHeight);
    PixelCanvas canvas = image.canvas();
    paintReadout(canvas, "50.00 %");
    for (int x = 0; x < kReadoutWidth; ++x) EXPECT_TRUE(image.at(x, 0) == kBrightColour && image.at(x, 15) == kBrightColour);
    for (int y = 0; y < kReadoutHeight; ++y) EXPECT_TRUE(image.at(0, y) == kBrightColour && image.at(54, y) == kBrightColour);
    int left = kReadoutWidth, right = -1, lit = 0;
    for (int y = 1; y < 15; ++y)
        for (int x = 1; x < 54; ++x)
            if (image.at(x, y) == kReadoutTextColour) left = std::min(left, x), right = std::max(right, x), ++lit;
    EXPECT_GT(lit, 10);
    EXPECT_LE(std::abs((left - 1) - (53 - right)), 3) << left << " " << right;
    EXPECT_EQ(readoutTextWidth("\x01\x7f"), 0);   // characters outside the table draw nothing
}

// Lit text pixels inside the frame of a readout of its own width, and all the
// text's lit pixels (drawn alone on a wide canvas); a grown readout also
// centres them with black columns either side.
std::pair<int, int> readoutTextPixels(const char* text) {
    const int32_t width = readoutWidth(text);
    PixelImage shown(width, kReadoutHeight), alone(400, kReadoutHeight);
    PixelCanvas canvas = shown.canvas(), wide = alone.canvas();
    paintReadout(canvas, text);
    drawReadoutText(wide, 100, 0, text);
    int inside = 0, all = 0, left = width, right = -1;
    for (int y = 1; y < kReadoutHeight - 1; ++y)
        for (int x = 1; x < width - 1; ++x)
            if (shown.at(x, y) == kReadoutTextColour) ++inside, left = std::min(left, x), right = std::max(right, x);
    if (width > kReadoutWidth) EXPECT_TRUE(left == 2 && right >= width - 4 && right <= width - 3) << text;
    for (uint32_t p : alone.pixels) all += p == kReadoutTextColour;
    return {inside, all};
}

TEST(EditorDrawing, ReadoutKeepsItsSizeWhenTheTextFitsAndGrowsToShowItWhole) {
    struct Case {
        const char* text;
        int32_t width;
    };
    for (const Case c : {Case{"", 55}, Case{"On", 55}, Case{"548 Hz", 55}, Case{"0.00 %", 55}, Case{"90.00 %", 61},
                         Case{"0.50 Hz", 61}, Case{"7548 Hz", 66}, Case{"-10.00 oct", 81}, Case{"-100.00 %", 76},
                         Case{"12345.67 ms", 101}}) {
        EXPECT_EQ(readoutWidth(c.text), c.width) << c.text;
        const auto [inside, all] = readoutTextPixels(c.text);
        EXPECT_EQ(inside, all) << c.text << ": cut";
    }
    // A grown readout stays below the cursor and moves left only as far as the panel's edge needs.
    const PanelRect fits = readoutArea(640, 100, "On"), grown = readoutArea(100, 100, "-10.00 oct"),
                    atEdge = readoutArea(640, 100, "-10.00 oct");
    EXPECT_TRUE(fits.x == 640 && fits.width == kReadoutWidth && fits.height == kReadoutHeight);
    EXPECT_TRUE(grown.x == 100 && grown.y == 100 && grown.width == 81);
    EXPECT_TRUE(atEdge.x == kEditorWidth - 81 && atEdge.y == 100);
}

// Every knob's text, across its range and at both ends, shows whole.
TEST(EditorDrawing, EveryKnobsReadoutShowsItsWholeText) {
    auto plugin = std::make_unique<SynthPlugin>(versionOnlyHost);
    InstrumentPanelClient client(plugin->instrument());
    size_t longest = 0;
    for (int32_t parameter = 0; parameter < kNumParameters; ++parameter) {
        for (int step = 0; step <= 64; ++step) {
            client.setParameterFromPanel(parameter, step / 64.0f);
            char text[100] = {};
            readoutText(client, parameter, text, sizeof text);
            longest = std::max(longest, std::strlen(text));
            const auto [inside, all] = readoutTextPixels(text);
            ASSERT_EQ(inside, all) << parameter << " '" << text << "' is cut";
        }
    }
    EXPECT_LE(longest, 11u);
}

TEST(EditorArtwork, DecodesTheBitmapsAndRefusesBrokenOnes) {
    for (auto [name, width, height] : {std::tuple{"button", 54, 13}, {"background", 665, 442}, {"knob", 3600, 40},
                                       {"display", 208, 52}, {"digits", 108, 16}}) {
        const std::vector<uint8_t> bytes = readFile(std::string("resources/bitmaps/") + name + ".bmp");
        PixelImage image;
        ASSERT_TRUE(decodeBmp(bytes.data(), bytes.size(), image)) << name;
        EXPECT_EQ(std::make_pair(image.width, image.height), std::make_pair(width, height)) << name;
        PixelImage cut;
        EXPECT_FALSE(decodeBmp(bytes.data(), bytes.size() - 1, cut)) << name;
        EXPECT_TRUE(cut.pixels.empty());
    }
    PixelImage none;
    EXPECT_FALSE(decodeBmp(nullptr, 0, none));
    const uint8_t notBmp[60] = {'P', 'K'};
    EXPECT_FALSE(decodeBmp(notBmp, sizeof notBmp, none));
    ASSERT_NE(panelArtwork(), nullptr);   // the copies the module carries
    EXPECT_EQ(panelArtwork()->knobs.width, 3600);
}

// The Linux panel draws every control from the same artwork and code as the
// Windows one: with program 0 and the readout hidden it must be the README's
// picture of the Windows panel, pixel for pixel.
TEST(EditorPanel, MatchesTheWindowsPanelPicture) {
    std::string error;
    const png_image::Rgb windows = png_image::decode(readFile("docs/editor.png"), error);
    ASSERT_EQ(windows.width, kEditorWidth) << error;
    ASSERT_EQ(windows.height, kEditorHeight);

    auto plugin = std::make_unique<SynthPlugin>(versionOnlyHost);
    plugin->setProgram(0);
    InstrumentPanelClient client(plugin->instrument());
    PixelImage panel(kEditorWidth, kEditorHeight);
    PixelCanvas canvas = panel.canvas();
    ASSERT_NE(panelArtwork(), nullptr);
    paintPanel(canvas, *panelArtwork(), client, PanelReadout{false, 0, 0, 0});
    size_t differing = 0;
    for (size_t i = 0; i < panel.pixels.size(); ++i) differing += panel.pixels[i] != windows.pixels[i];
    EXPECT_EQ(differing, 0u);

    // The readout over a knob shows that knob's text.
    paintPanel(canvas, *panelArtwork(), client, PanelReadout{true, 60, 140, Param::Cutoff});
    int textPixels = 0;
    for (int y = 141; y < 155; ++y)
        for (int x = 61; x < 114; ++x) textPixels += panel.at(x, y) == kReadoutTextColour;
    EXPECT_GT(textPixels, 10);
}

TEST(EditorPanel, PngRoundTrip) {
    const png_image::Rgb image{3, 2, {0x102030, 0xFFFFFF, 0, 0xABCDEF, 1, 0x800000}};
    std::string error;
    const png_image::Rgb back = png_image::decode(png_image::encode(image), error);
    EXPECT_EQ(back.pixels, image.pixels) << error;
    EXPECT_TRUE(png_image::decode({1, 2, 3}, error).pixels.empty());
}
