#pragma once
#include <windows.h>

// One knob drag at a time for the whole module: the dragged knob holds the
// mouse capture. The editor's idle reads it to freeze the value readout.
struct KnobDragState {
    bool dragging = false;
    POINT anchor = {0, 0};   // screen position of the press; the hidden cursor stays here
    HWND knob = nullptr;     // the dragged knob, so that its destruction can end the drag
};

extern KnobDragState knobDrag;
