#pragma once
#include <windows.h>
#include <bit>
#include <cstdint>

// Private messages from the controls to the editor window. wParam is the
// parameter index; values travel as the bit pattern of a 32-bit float.
namespace EditorMessage {
constexpr UINT GetValue = WM_USER + 100;   // result: the value
constexpr UINT SetValue = WM_USER + 101;   // lParam: the new value; result 1
constexpr UINT EditBegins = WM_USER + 102;  // a gesture on the control starts (press)
constexpr UINT EditEnds = WM_USER + 103;    // ...and ends (release)
}  // namespace EditorMessage

inline LPARAM valueToMessage(float value) {
    return static_cast<LPARAM>(std::bit_cast<uint32_t>(value));
}

inline float valueFromMessage(LRESULT bits) {
    return std::bit_cast<float>(static_cast<uint32_t>(bits));
}

// The parameter a control edits, as its window user data holds it.
inline int32_t controlParameter(HWND control) {
    return static_cast<int32_t>(GetWindowLongPtrA(control, GWLP_USERDATA));
}

// What the editor window answers for the control's parameter.
inline float readControlValue(HWND control) {
    return valueFromMessage(
        SendMessageA(GetParent(control), EditorMessage::GetValue, static_cast<WPARAM>(controlParameter(control)), 0));
}

// A gesture on the control starts or ends, for hosts that record edits.
inline void tellEditor(HWND control, UINT message) {
    SendMessageA(GetParent(control), message, static_cast<WPARAM>(controlParameter(control)), 0);
}

inline void writeControlValue(HWND control, float value) {
    SendMessageA(GetParent(control), EditorMessage::SetValue, static_cast<WPARAM>(controlParameter(control)),
                 valueToMessage(value));
}
