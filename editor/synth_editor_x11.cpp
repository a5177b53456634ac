#include "editor/synth_editor.h"

#include "editor/x11_panel.h"

// The panel in Linux hosts: effEditOpen hands over the host's X window, the
// panel becomes a child window in it, and the host's effEditIdle calls run
// the panel's events and the readout on the host's user-interface thread.

SynthEditor::~SynthEditor() { close(); }

// Opening an editor that is already open closes the old panel first.
bool SynthEditor::open(void* parent) {
    close();
    knobCount = 0;
    clearKnobHitTable(knobHitTable);
    parentWindow = parent;
    if (client) x11Panel = X11Panel::create(reinterpret_cast<uintptr_t>(parent), *client);
    if (!x11Panel) return false;
    editorWindow = reinterpret_cast<void*>(static_cast<uintptr_t>(x11Panel->window()));
    knobCount = fillKnobHitTable(knobHitTable);
    return 1;
}

void SynthEditor::close() {
    delete x11Panel;
    x11Panel = nullptr;
    forgetWindows();
}

void SynthEditor::idle() {
    if (x11Panel) {
        x11Panel->processEvents();
        int32_t x = 0, y = 0;
        if (x11Panel && x11Panel->pointer(x, y)) {
            const int32_t previous = hoveredParameter;
            const bool dragging = x11Panel->dragging();
            if (!dragging) hoveredParameter = knobAt(knobHitTable, x, y);
            if (hoveredParameter < 0) {
                if (!dragging) x11Panel->hideReadout();
            } else if ((!x11Panel->readoutVisible() || hoveredParameter != previous) && client) {
                // While the pointer stays on one knob the readout stays where it appeared.
                x11Panel->showReadout(x + kReadoutOffsetX, y + kReadoutOffsetY, hoveredParameter);
            }
        }
    }
}

void SynthEditor::update() {
    if (client && x11Panel) x11Panel->repaintAll();
}

void SynthEditor::refreshDisplay(DisplayId id) {
    if (client && x11Panel) x11Panel->repaintDisplay(id);
}
