#include <windows.h>
#include <commctrl.h>

#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/knob_drag.h"
#include "editor/knob_hit_table.h"
#include "editor/panel_values.h"
#include "editor/synth_editor.h"
#include "editor/window_classes.h"

namespace {

constexpr const char* kEditorProperty = "VorzleEditor";
constexpr DWORD kControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

HWND asWindow(void* handle) { return static_cast<HWND>(handle); }

HWND createChild(const char* className, HWND parent, int x, int y, int width, int height, DWORD style) {
    return CreateWindowExA(0, className, nullptr, style, x, y, width, height, parent, nullptr, guiResources.instance,
                           nullptr);
}

void setUserData(HWND window, LONG_PTR value) { SetWindowLongPtrA(window, GWLP_USERDATA, value); }

void resize(HWND window, int width, int height) {
    SetWindowPos(window, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER);
}

void repaintNow(HWND window) {
    InvalidateRect(window, nullptr, TRUE);
    UpdateWindow(window);
}

// Knobs, buttons and the counter are created empty, then sized, given their
// parameter and painted at once.
HWND addSizedControl(HWND editor, const char* className, int x, int y, int width, int height, int32_t parameter) {
    HWND control = createChild(className, editor, x, y, 0, 0, kControlStyle);
    if (!control) return nullptr;
    resize(control, width, height);
    setUserData(control, parameter);
    UpdateWindow(control);
    return control;
}

HWND addDisplay(HWND editor, const PanelControl& display, DWORD style = kControlStyle) {
    HWND window = createChild(kDisplayClassName, editor, display.x, display.y, display.width, display.height, style);
    if (window) setUserData(window, display.id);
    return window;
}

BOOL CALLBACK repaintChild(HWND child, LPARAM) {
    repaintNow(child);
    return TRUE;   // every child, never stopping early
}

}  // namespace

// The window every control talks to: it answers value reads and forwards
// value changes to the instrument's parameter store.
LRESULT CALLBACK editorWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    SynthEditor* editor = editorOfWindow(window);
    if (message == EditorMessage::GetValue || message == EditorMessage::SetValue) {
        const int32_t parameter = static_cast<int32_t>(wParam);
        if (message == EditorMessage::GetValue)
            return editor && editor->client ? valueToMessage(editor->client->parameterValue(parameter)) : 0;
        if (editor) editor->setParameterFromPanel(parameter, valueFromMessage(lParam));
        return 1;
    }
    if (message == EditorMessage::EditBegins || message == EditorMessage::EditEnds) {
        if (editor && editor->client) {
            const int32_t parameter = static_cast<int32_t>(wParam);
            if (message == EditorMessage::EditBegins) editor->client->panelEditBegins(parameter);
            else editor->client->panelEditEnds(parameter);
        }
        return 1;
    }
    if (message == WM_NCDESTROY) RemovePropA(window, kEditorProperty);
    if (message == WM_NCDESTROY && editor) {
        // The window may go down with the host's window, without effEditClose:
        // the editor must then not keep handles that the system may reuse.
        if (editor->editorWindow == window) editor->forgetWindows();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The editor window carries the instance as its user data, as the object
// behind the host's record, and its editor as a window property; a window
// whose instance is gone has no editor.
SynthEditor* editorOfWindow(HWND editorWindow) {
    if (!GetWindowLongPtrA(editorWindow, GWLP_USERDATA)) return nullptr;
    return static_cast<SynthEditor*>(GetPropA(editorWindow, kEditorProperty));
}

SynthEditor::~SynthEditor() {
    // The instrument behind the window is already gone: detach it first so
    // that nothing painted while the windows go down reads from it.
    if (editorWindow && IsWindow(asWindow(editorWindow))) setUserData(asWindow(editorWindow), 0);
    close();
}

// Opening an editor that is already open closes the old window first and
// builds a fresh one in the new parent, so no window is ever left behind.
bool SynthEditor::open(void* parent) {
    close();
    knobCount = 0;
    clearKnobHitTable(knobHitTable);
    parentWindow = parent;

    HWND editor = CreateWindowExA(0, kEditorClassName, nullptr, WS_CHILD | WS_CLIPSIBLINGS, 0, 0, kEditorWidth,
                                  kEditorHeight, asWindow(parent), nullptr, guiResources.instance, nullptr);
    if (!editor) return false;
    editorWindow = editor;
    SetPropA(editor, kEditorProperty, this);
    setUserData(editor, reinterpret_cast<LONG_PTR>(instance));

    // Created first, the readout stays above every control it may cover; it
    // starts empty and hidden, and idle places it.
    const PanelControl* controls = panelControls();
    for (size_t i = 0; i < kPanelControlCount; ++i) {
        const PanelControl& c = controls[i];
        switch (c.kind) {
            case ControlKind::Readout:
                readoutWindow = addDisplay(editor, PanelControl{c.kind, 0, 0, 0, 0, c.id}, kControlStyle & ~WS_VISIBLE);
                break;
            case ControlKind::Button:
                addSizedControl(editor, kButtonClassName, c.x, c.y, guiResources.buttonFrameWidth,
                                guiResources.buttonFrameHeight, c.id);
                break;
            case ControlKind::Counter:
                addSizedControl(editor, kKnobClassName, c.x, c.y, c.width, c.height, c.id);
                break;
            case ControlKind::Knob:
                // A knob that cannot be made takes no hit entry.
                if (addSizedControl(editor, kKnobClassName, knobWindowX(c), knobWindowY(c), c.width, c.height, c.id))
                    addKnobHitEntry(knobHitTable, knobCount, c);
                break;
            case ControlKind::Display: {
                HWND display = addDisplay(editor, c);
                if (c.id == static_cast<int32_t>(DisplayId::Envelope)) envelopeDisplay = display;
                else waveDisplays[c.id - static_cast<int32_t>(DisplayId::Wave1)] = display;
                break;
            }
        }
    }

    ShowWindow(editor, SW_SHOWNORMAL);
    return true;
}

void SynthEditor::close() {
    if (editorWindow) DestroyWindow(asWindow(editorWindow));   // takes every control with it
    forgetWindows();
}

// Sizes the readout window to its text (and shows it with SWP_SHOWWINDOW).
void SynthEditor::placeReadout(unsigned int flags) {
    if (!readoutWindow || !client) return;
    const PanelRect at = readoutArea(*client, PanelReadout{true, readoutX, readoutY, hoveredParameter});
    SetWindowPos(asWindow(readoutWindow), nullptr, at.x, at.y, at.width, at.height, flags | SWP_NOZORDER);
}

void SynthEditor::idle() {
    if (readoutWindow) {
        HWND readout = asWindow(readoutWindow);
        POINT p = {0, 0};
        GetCursorPos(&p);
        RECT editorArea = {0, 0, 0, 0};
        GetWindowRect(asWindow(editorWindow), &editorArea);
        p.x -= editorArea.left;
        p.y -= editorArea.top;

        const int32_t previous = hoveredParameter;
        if (!knobDrag.dragging) hoveredParameter = knobAt(knobHitTable, p.x, p.y);
        if (hoveredParameter < 0) {
            if (!knobDrag.dragging) ShowWindow(readout, SW_HIDE);
        } else if ((!IsWindowVisible(readout) || hoveredParameter != previous) && client) {
            // While the cursor stays on one knob the readout stays where it appeared.
            readoutX = p.x + kReadoutOffsetX;
            readoutY = p.y + kReadoutOffsetY;
            placeReadout(SWP_SHOWWINDOW);
            InvalidateRgn(readout, nullptr, TRUE);
            UpdateWindow(readout);
        }
    }
}

void SynthEditor::update() {
    if (!client || !editorWindow) return;
    EnumChildWindows(asWindow(editorWindow), repaintChild, 0);
}

void SynthEditor::refreshDisplay(DisplayId id) {
    if (!client) return;
    void* display = nullptr;
    switch (id) {
        case DisplayId::Envelope: display = envelopeDisplay; break;
        case DisplayId::Wave1: display = waveDisplays[0]; break;
        case DisplayId::Wave2: display = waveDisplays[1]; break;
        case DisplayId::Wave3: display = waveDisplays[2]; break;
        case DisplayId::Readout: display = readoutWindow; break;
    }
    if (!display) return;
    if (id == DisplayId::Readout) placeReadout(0);   // the new text may need another width
    // Displays draw in their erase handler, so erasing must be asked for.
    InvalidateRgn(asWindow(display), nullptr, TRUE);
    UpdateWindow(asWindow(display));
}
