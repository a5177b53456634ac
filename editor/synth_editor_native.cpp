#include "editor/synth_editor.h"

// The native build has no panel yet: the plug-in claims no editor, and the
// editor answers the host's editor requests as "no editor" while keeping the
// update flag like any editor.

bool SynthEditor::hasPanel() { return false; }

SynthEditor::SynthEditor(EffectBase* owner, PanelClient& panelClient) : EditorBase(owner), client(&panelClient) {}

SynthEditor::~SynthEditor() {}

intptr_t SynthEditor::getRect(ERect** rect) {
    if (rect) *rect = nullptr;
    return 0;
}

intptr_t SynthEditor::open(void* parent) {
    parentWindow = parent;
    return 0;
}

void SynthEditor::close() {}

void SynthEditor::idle() { EditorBase::idle(); }

void SynthEditor::update() {}

void SynthEditor::refreshDisplay(DisplayId) {}

void SynthEditor::forgetWindows() {}
