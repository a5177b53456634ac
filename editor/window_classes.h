#pragma once
#include <windows.h>

// The editor's four window classes, registered once per module load.
constexpr const char* kEditorClassName = "TRELLUXMEDITORCLASS";
constexpr const char* kKnobClassName = "TRELLUXMKNOBCLASS";
constexpr const char* kDisplayClassName = "TRELLUDRAWITORCLASS";
constexpr const char* kButtonClassName = "TRELLUXMUTTONCLASS";

LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK knobWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK displayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK buttonWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

class SynthEditor;
// The editor behind an editor window, while the instance its user data holds is set.
SynthEditor* editorOfWindow(HWND editorWindow);
