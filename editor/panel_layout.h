#pragma once
#include <cstddef>
#include <cstdint>

#include "editor/knob_hit_table.h"

// Where every control of the panel sits, in editor client pixels, in the
// order the controls are created. Both window systems build the panel from
// this one table, so the layout can never differ between them.

constexpr int32_t kEditorWidth = 664;
constexpr int32_t kEditorHeight = 441;

// The display windows of the panel, as their window user data holds them.
enum class DisplayId : int32_t { Envelope = 1, Wave1 = 3, Wave2 = 4, Wave3 = 5, Readout = 200 };

constexpr int32_t kKnobSize = 40;
constexpr int32_t kCounterWidth = 18;
constexpr int32_t kCounterHeight = 16;
constexpr int32_t kButtonWidth = 27;    // one of the two faces of the button bitmap
constexpr int32_t kButtonHeight = 13;
constexpr int32_t kReadoutWidth = 55;
constexpr int32_t kReadoutHeight = 16;
constexpr int32_t kReadoutOffsetX = 15;   // the readout sits right of and below the cursor
constexpr int32_t kReadoutOffsetY = 20;

enum class ControlKind : uint8_t { Readout, Button, Counter, Knob, Display };

struct PanelControl {
    ControlKind kind;
    int32_t x;    // layout point; a knob's window is offset from it (knobWindowX/Y)
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t id;   // parameter index, or display id for displays and the readout
};

constexpr size_t kPanelControlCount = 44;

// The 44 controls in creation order: readout first (so it stays above the
// controls it may cover), then the chorus button, the counter, and the knobs,
// displays and buttons row by row.
const PanelControl* panelControls();

// A knob's window sits 3 pixels left of and 1 pixel below its layout point;
// its hit region is the 40 x 40 square at the point itself.
constexpr int32_t knobWindowX(const PanelControl& knob) { return knob.x - 3; }
constexpr int32_t knobWindowY(const PanelControl& knob) { return knob.y + 1; }

// Writes the hit entry of a knob at position count of the table and counts it.
void addKnobHitEntry(KnobHitTable& table, int32_t& count, const PanelControl& knob);
void clearKnobHitTable(KnobHitTable& table);
// Clears the table and enters every knob of the panel; the count entered.
int32_t fillKnobHitTable(KnobHitTable& table);
// The parameter of the first entry that holds (x, y), edges included; -1 for none.
int32_t knobAt(const KnobHitTable& table, int32_t x, int32_t y);

// The display that shows a parameter (its group); false for none.
bool displayOfParameter(int32_t parameter, DisplayId& display);
