#include <windows.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <cwchar>

#include "tools/render/crash_guard.h"

namespace {

// Prepared beforehand: the filter runs after the plug-in broke the process and
// should allocate nothing.
constexpr int kSlots = 40;   // a per-channel render: the output, 16 stems and 17 spools
wchar_t gTemporaryPaths[kSlots][4096];
volatile LONG gHaveTemporary[kSlots] = {};
char gMessage[1024];
DWORD gMessageLength = 0;
volatile LONG gInterrupts = 0;
HANDLE gInterruptHandled = nullptr;
// How long a close, logoff or shutdown waits for the render to stop; Windows
// itself ends the process about five seconds after such an event.
constexpr DWORD kCloseWaitMs = 3000;

void writeAll(const char* text, DWORD length) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE) WriteFile(error, text, length, &written, nullptr);
}

void removeTemporary() {
    bool any = false;
    for (int k = 0; k < kSlots; ++k) any = InterlockedCompareExchange(&gHaveTemporary[k], 0, 0) || any;
    if (!any) return;
    // Windows cannot delete a file that is still open, and the writer's stream
    // (a C runtime FILE) is: close every stream first.
    _fcloseall();
    for (int k = 0; k < kSlots; ++k)
        if (InterlockedExchange(&gHaveTemporary[k], 0)) DeleteFileW(gTemporaryPaths[k]);
}

void reportAndExit(const char* what) {
    removeTemporary();
    writeAll(gMessage, gMessageLength);
    writeAll(what, static_cast<DWORD>(std::strlen(what)));
    writeAll("); no output written\n", 21);
    TerminateProcess(GetCurrentProcess(), kExitPluginCrashed);
}

LONG WINAPI onUnhandledException(EXCEPTION_POINTERS* pointers) {
    char what[48] = "exception 0x00000000";
    DWORD code = pointers && pointers->ExceptionRecord ? pointers->ExceptionRecord->ExceptionCode : 0;
    const char* digits = "0123456789ABCDEF";
    for (int i = 0; i < 8; ++i) what[12 + i] = digits[(code >> (28 - 4 * i)) & 0xF];
    if (code == EXCEPTION_ACCESS_VIOLATION) std::strcat(what, ", access violation");
    else if (code == EXCEPTION_STACK_OVERFLOW) std::strcat(what, ", stack overflow");
    else if (code == EXCEPTION_ILLEGAL_INSTRUCTION) std::strcat(what, ", illegal instruction");
    reportAndExit(what);
    return EXCEPTION_EXECUTE_HANDLER;
}

void onAbort(int) { reportAndExit("aborted"); }

// Runs on a thread of its own that the system starts for each event.
BOOL WINAPI onConsoleControl(DWORD event) {
    const LONG count = InterlockedIncrement(&gInterrupts);
    const bool ending = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
    if (!ending && count == 1) return TRUE;   // the render stops at its next block
    // A second Ctrl-C (the render does not stop), or the process ends when this returns.
    if (ending && gInterruptHandled) WaitForSingleObject(gInterruptHandled, kCloseWaitMs);
    removeTemporary();
    const char text[] = "vorzle-render: interrupted; no output written\n";
    if (WaitForSingleObject(gInterruptHandled, 0) != WAIT_OBJECT_0) writeAll(text, sizeof text - 1);
    TerminateProcess(GetCurrentProcess(), kExitInterrupted);
    return TRUE;
}

}  // namespace

void installCrashGuard(const std::string& pluginPath) {
    const std::string message = "vorzle-render: " + pluginPath + ": the plug-in crashed (";
    gMessageLength = static_cast<DWORD>(std::min(message.size(), sizeof gMessage));
    std::memcpy(gMessage, message.data(), gMessageLength);
    // No error boxes: a crash should end a command-line run, not wait for a click.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(onUnhandledException);
    std::signal(SIGABRT, onAbort);
    gInterruptHandled = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void guardTemporaryFile(const std::filesystem::path& path) {
    const std::wstring text = path.wstring();
    if (text.size() >= sizeof gTemporaryPaths[0] / sizeof gTemporaryPaths[0][0]) return;
    for (int k = 0; k < kSlots; ++k) {
        if (InterlockedCompareExchange(&gHaveTemporary[k], 0, 0)) continue;
        std::wmemcpy(gTemporaryPaths[k], text.c_str(), text.size() + 1);
        InterlockedExchange(&gHaveTemporary[k], 1);
        return;
    }
}

void releaseTemporaryFiles() {
    for (int k = 0; k < kSlots; ++k) InterlockedExchange(&gHaveTemporary[k], 0);
}

bool interruptRequested() { return InterlockedCompareExchange(&gInterrupts, 0, 0) > 0; }

void interruptHandled() {
    if (gInterruptHandled) SetEvent(gInterruptHandled);
}

// A console event only raises a flag the caller asks after before the
// output is put in place; nothing to hold.
void holdInterrupts() {}
void releaseInterrupts(bool) {}
