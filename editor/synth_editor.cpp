#include "editor/synth_editor.h"

// What the editor does the same way on every window system.

// Module-wide: every editor has the same size and the same knob layout; each
// open rebuilds the table.
KnobHitTable knobHitTable;

bool SynthEditor::hasPanel() { return true; }

SynthEditor::SynthEditor(PanelClient& panelClient, void* owner) : client(&panelClient), instance(owner) {}

void SynthEditor::forgetWindows() {
    editorWindow = nullptr;
    readoutWindow = nullptr;
    envelopeDisplay = nullptr;
    for (void*& display : waveDisplays) display = nullptr;
}

// The displays that show a parameter follow it at once; the others wait for
// the next update.
void SynthEditor::setParameterFromPanel(int32_t index, float value) {
    if (client) client->setParameterFromPanel(index, value);
    DisplayId display;
    if (displayOfParameter(index, display)) refreshDisplay(display);
    refreshDisplay(DisplayId::Readout);
}
