#include "synth_editor.h"

// The native build has no window system: its editor reports the panel's
// size, refuses to open and keeps the update flag like any editor.

namespace {
ERect editorRect = {0, 0, 0, 0};
}

SynthEditor::SynthEditor(EffectBase* owner) : EditorBase(owner) {}

SynthEditor::~SynthEditor() {}

intptr_t SynthEditor::getRect(ERect** rect) {
    editorRect = ERect{0, 0, static_cast<int16_t>(kEditorHeight), static_cast<int16_t>(kEditorWidth)};
    if (rect) *rect = &editorRect;
    return 1;
}

intptr_t SynthEditor::open(void* parent) {
    parentWindow = parent;
    return 0;
}

void SynthEditor::close() {}

void SynthEditor::idle() { EditorBase::idle(); }

void SynthEditor::update() {}

void SynthEditor::refreshDisplay(int32_t) {}

void SynthEditor::forgetWindows() {}
