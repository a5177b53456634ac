#include "editor/panel_layout.h"

#include <array>

#include "programs/parameter_table.h"

namespace {

constexpr PanelControl knob(int32_t x, int32_t y, int32_t parameter) {
    return {ControlKind::Knob, x, y, kKnobSize, kKnobSize, parameter};
}
constexpr PanelControl button(int32_t x, int32_t y, int32_t parameter) {
    return {ControlKind::Button, x, y, kButtonWidth, kButtonHeight, parameter};
}
constexpr PanelControl display(int32_t x, int32_t y, int32_t width, DisplayId id) {
    return {ControlKind::Display, x, y, width, 48, static_cast<int32_t>(id)};
}

constexpr std::array<PanelControl, kPanelControlCount> makeControls() {
    std::array<PanelControl, kPanelControlCount> c{};
    size_t n = 0;
    c[n++] = {ControlKind::Readout, 0, 0, kReadoutWidth, kReadoutHeight, static_cast<int32_t>(DisplayId::Readout)};
    c[n++] = button(530, 383, Param::Chorus);
    c[n++] = {ControlKind::Counter, 621, 383, kCounterWidth, kCounterHeight, Param::Polyphony};
    c[n++] = knob(33, 43, Param::Volume);
    c[n++] = knob(76, 43, Param::Drive);
    const int32_t amp[5] = {Param::AmpAttack, Param::AmpHold, Param::AmpDecay, Param::AmpSustain, Param::AmpRelease};
    for (int i = 0; i < 5; ++i) c[n++] = knob(175 + 43 * i, 43, amp[i]);
    c[n++] = display(417, 38, 206, DisplayId::Envelope);
    const int32_t filterX[9] = {33, 76, 174, 273, 317, 361, 405, 507, 550};
    const int32_t filter[9] = {Param::Cutoff,       Param::Resonance,  Param::FilterEnvAmount,
                               Param::FilterAttack, Param::FilterHold, Param::FilterDecay,
                               Param::FilterSustain, Param::LfoRate,  Param::LfoAmount};
    for (int i = 0; i < 9; ++i) c[n++] = knob(filterX[i], 114, filter[i]);
    // Oscillator row k: six knobs (level, pitch, sine, center, width, shift),
    // its waveform display and its on/off button.
    const int32_t oscillatorX[6] = {34, 77, 160, 203, 246, 289};
    for (int k = 0; k < 3; ++k) {
        for (int i = 0; i < 6; ++i) c[n++] = knob(oscillatorX[i], 213 + 79 * k, Param::Osc1Level + 7 * k + i);
        c[n++] = display(348, 208 + 80 * k, 102, static_cast<DisplayId>(static_cast<int32_t>(DisplayId::Wave1) + k));
        c[n++] = button(4, 223 + 79 * k, Param::Osc1On + 7 * k);
    }
    return c;
}

constexpr std::array<PanelControl, kPanelControlCount> kControls = makeControls();

}  // namespace

const PanelControl* panelControls() { return kControls.data(); }

void addKnobHitEntry(KnobHitTable& table, int32_t& count, const PanelControl& knob) {
    if (count < 0 || count >= kKnobHitTableSize) return;
    table[count++] = KnobHitEntry{knob.x, knob.y, knob.x + kKnobSize, knob.y + kKnobSize, knob.id};
}

void clearKnobHitTable(KnobHitTable& table) {
    for (KnobHitEntry& entry : table) entry.parameter = kFreeHitEntry;
}

int32_t fillKnobHitTable(KnobHitTable& table) {
    clearKnobHitTable(table);
    int32_t count = 0;
    for (const PanelControl& c : kControls)
        if (c.kind == ControlKind::Knob) addKnobHitEntry(table, count, c);
    return count;
}

int32_t knobAt(const KnobHitTable& table, int32_t x, int32_t y) {
    for (const KnobHitEntry& entry : table)
        if (entry.parameter >= 0 && entry.left <= x && x <= entry.right && entry.top <= y && y <= entry.bottom)
            return entry.parameter;
    return -1;
}

bool displayOfParameter(int32_t parameter, DisplayId& display) {
    if (parameter >= Param::AmpAttack && parameter <= Param::AmpRelease) display = DisplayId::Envelope;
    else if (parameter >= Param::Osc1Level && parameter <= Param::Osc1Shift) display = DisplayId::Wave1;
    else if (parameter >= Param::Osc2Level && parameter <= Param::Osc2Shift) display = DisplayId::Wave2;
    else if (parameter >= Param::Osc3Level && parameter <= Param::Osc3Shift) display = DisplayId::Wave3;
    else return false;
    return true;
}
