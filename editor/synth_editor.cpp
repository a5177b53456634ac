#include "editor/synth_editor.h"

// What the editor does the same way on every window system.

// Module-wide: every editor has the same size and the same knob layout; each
// open rebuilds the table.
KnobHitTable knobHitTable;

namespace {

// Handed out to the host, valid for the module's life.
ERect editorRect = {0, 0, 0, 0};

}  // namespace

bool SynthEditor::hasPanel() { return true; }

SynthEditor::SynthEditor(EffectBase* owner, PanelClient& panelClient) : EditorBase(owner), client(&panelClient) {}

intptr_t SynthEditor::getRect(ERect** rect) {
    editorRect = ERect{0, 0, static_cast<int16_t>(kEditorHeight), static_cast<int16_t>(kEditorWidth)};
    if (rect) *rect = &editorRect;
    return 1;
}

void SynthEditor::forgetWindows() {
    editorWindow = nullptr;
    readoutWindow = nullptr;
    envelopeDisplay = nullptr;
    for (void*& display : waveDisplays) display = nullptr;
}
