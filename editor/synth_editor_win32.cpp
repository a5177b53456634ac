#include <windows.h>
#include <commctrl.h>

#include "editor/editor_messages.h"
#include "editor/gui_resources.h"
#include "editor/knob_drag.h"
#include "editor/knob_hit_table.h"
#include "editor/synth_editor.h"
#include "editor/window_classes.h"
#include "host/effect_base.h"
#include "programs/parameter_table.h"

// Module-wide: every editor has the same size and the same knob layout.
KnobHitTable knobHitTable;

namespace {

ERect editorRect = {0, 0, 0, 0};

constexpr DWORD kControlStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr int kKnobSize = 40;
constexpr int kCounterWidth = 18;
constexpr int kCounterHeight = 16;
constexpr int kReadoutWidth = 55;
constexpr int kReadoutHeight = 16;
constexpr int kReadoutOffsetX = 15;   // the readout sits right of and below the cursor
constexpr int kReadoutOffsetY = 20;

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

// A knob window sits 3 pixels left of and 1 pixel below its layout point;
// its hit region is the 40 x 40 square at the point itself.
HWND addKnob(HWND editor, int x, int y, int32_t parameter, int32_t& knobCount) {
    HWND knob = createChild(kKnobClassName, editor, x - 3, y + 1, 0, 0, kControlStyle);
    if (!knob) return nullptr;
    resize(knob, kKnobSize, kKnobSize);
    if (knobCount >= 0 && knobCount < kKnobHitTableSize)
        knobHitTable[knobCount++] = KnobHitEntry{x, y, x + kKnobSize, y + kKnobSize, parameter};
    setUserData(knob, parameter);
    UpdateWindow(knob);
    return knob;
}

HWND addButton(HWND editor, int x, int y, int32_t parameter) {
    HWND button = createChild(kButtonClassName, editor, x, y, 0, 0, kControlStyle);
    if (!button) return nullptr;
    resize(button, guiResources.buttonFrameWidth, guiResources.buttonFrameHeight);
    setUserData(button, parameter);
    UpdateWindow(button);
    return button;
}

HWND addDisplay(HWND editor, int x, int y, int width, int height, DisplayId id, DWORD style = kControlStyle) {
    HWND display = createChild(kDisplayClassName, editor, x, y, width, height, style);
    if (display) setUserData(display, static_cast<LONG_PTR>(id));
    return display;
}

// The six knobs of oscillator row k: level, pitch, sine, center, width, shift.
constexpr int kOscillatorKnobX[6] = {34, 77, 160, 203, 246, 289};

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
    if (message == WM_NCDESTROY && editor) {
        // The window may go down with the host's window, without effEditClose:
        // the editor must then not keep handles that the system may reuse.
        if (editor->editorWindow == window) editor->forgetWindows();
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

// The editor window carries the instance, as the object behind the host's
// record; the instance leads to its editor.
SynthEditor* editorOfWindow(HWND editorWindow) {
    EffectBase* owner = reinterpret_cast<EffectBase*>(GetWindowLongPtrA(editorWindow, GWLP_USERDATA));
    return owner ? static_cast<SynthEditor*>(owner->editor) : nullptr;
}

bool SynthEditor::hasPanel() { return true; }

SynthEditor::SynthEditor(EffectBase* owner, PanelClient& panelClient) : EditorBase(owner), client(&panelClient) {}

SynthEditor::~SynthEditor() {
    // The instrument behind the window is already gone: detach it first so
    // that nothing painted while the windows go down reads from it.
    if (editorWindow && IsWindow(asWindow(editorWindow))) setUserData(asWindow(editorWindow), 0);
    close();
}

intptr_t SynthEditor::getRect(ERect** rect) {
    editorRect = ERect{0, 0, static_cast<int16_t>(kEditorHeight), static_cast<int16_t>(kEditorWidth)};
    if (rect) *rect = &editorRect;
    return 1;
}

// Opening an editor that is already open closes the old window first and
// builds a fresh one in the new parent, so no window is ever left behind.
intptr_t SynthEditor::open(void* parent) {
    close();
    knobCount = 0;
    for (KnobHitEntry& entry : knobHitTable) entry.parameter = kFreeHitEntry;
    parentWindow = parent;

    ERect* rect = nullptr;
    getRect(&rect);
    HWND editor = CreateWindowExA(0, kEditorClassName, nullptr, WS_CHILD | WS_CLIPSIBLINGS, rect->left, rect->top,
                                  rect->right - rect->left, rect->bottom - rect->top, asWindow(parent), nullptr,
                                  guiResources.instance, nullptr);
    if (!editor) return 0;
    editorWindow = editor;
    setUserData(editor, reinterpret_cast<LONG_PTR>(effect));

    // Created first, the readout stays above every control it may cover.
    readoutWindow = addDisplay(editor, 0, 0, 0, 0, DisplayId::Readout, kControlStyle & ~WS_VISIBLE);

    addButton(editor, 530, 383, Param::Chorus);
    if (HWND counter = createChild(kKnobClassName, editor, 621, 383, 0, 0, kControlStyle)) {
        resize(counter, kCounterWidth, kCounterHeight);
        setUserData(counter, Param::Polyphony);
        UpdateWindow(counter);
    }

    addKnob(editor, 33, 43, Param::Volume, knobCount);
    addKnob(editor, 76, 43, Param::Drive, knobCount);
    const int32_t ampKnobs[5] = {Param::AmpAttack, Param::AmpHold, Param::AmpDecay, Param::AmpSustain, Param::AmpRelease};
    for (int i = 0; i < 5; ++i) addKnob(editor, 175 + 43 * i, 43, ampKnobs[i], knobCount);
    envelopeDisplay = addDisplay(editor, 417, 38, 206, 48, DisplayId::Envelope);

    struct KnobPoint {
        int x;
        int32_t parameter;
    };
    const KnobPoint filterKnobs[9] = {{33, Param::Cutoff},        {76, Param::Resonance},    {174, Param::FilterEnvAmount},
                                      {273, Param::FilterAttack}, {317, Param::FilterHold},  {361, Param::FilterDecay},
                                      {405, Param::FilterSustain}, {507, Param::LfoRate},    {550, Param::LfoAmount}};
    for (const KnobPoint& knob : filterKnobs) addKnob(editor, knob.x, 114, knob.parameter, knobCount);

    const DisplayId waveIds[3] = {DisplayId::Wave1, DisplayId::Wave2, DisplayId::Wave3};
    for (int row = 0; row < 3; ++row) {
        const int32_t firstParameter = Param::Osc1Level + 7 * row;
        for (int i = 0; i < 6; ++i) addKnob(editor, kOscillatorKnobX[i], 213 + 79 * row, firstParameter + i, knobCount);
        waveDisplays[row] = addDisplay(editor, 348, 208 + 80 * row, 102, 48, waveIds[row]);
        addButton(editor, 4, 223 + 79 * row, Param::Osc1On + 7 * row);
    }

    ShowWindow(editor, SW_SHOWNORMAL);
    return 1;
}

void SynthEditor::close() {
    if (editorWindow) DestroyWindow(asWindow(editorWindow));   // takes every control with it
    forgetWindows();
}

void SynthEditor::forgetWindows() {
    editorWindow = nullptr;
    readoutWindow = nullptr;
    envelopeDisplay = nullptr;
    for (void*& display : waveDisplays) display = nullptr;
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
        if (!knobDrag.dragging) {
            hoveredParameter = -1;
            for (const KnobHitEntry& entry : knobHitTable) {
                if (entry.parameter >= 0 && entry.left <= p.x && p.x <= entry.right && entry.top <= p.y &&
                    p.y <= entry.bottom) {
                    hoveredParameter = entry.parameter;
                    break;
                }
            }
        }
        if (hoveredParameter < 0) {
            if (!knobDrag.dragging) ShowWindow(readout, SW_HIDE);
        } else if ((!IsWindowVisible(readout) || hoveredParameter != previous) && client) {
            // While the cursor stays on one knob the readout stays where it appeared.
            SetWindowPos(readout, nullptr, p.x + kReadoutOffsetX, p.y + kReadoutOffsetY, kReadoutWidth,
                         kReadoutHeight, SWP_SHOWWINDOW | SWP_NOZORDER);
            InvalidateRgn(readout, nullptr, TRUE);
            UpdateWindow(readout);
        }
    }
    EditorBase::idle();
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
    // Displays draw in their erase handler, so erasing must be asked for.
    InvalidateRgn(asWindow(display), nullptr, TRUE);
    UpdateWindow(asWindow(display));
}
