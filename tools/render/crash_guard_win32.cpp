#include <windows.h>

#include <csignal>
#include <cstdio>
#include <algorithm>
#include <cstring>
#include <cwchar>

#include "tools/render/crash_guard.h"

namespace {

// Prepared beforehand: the filter runs after the plug-in broke the process and
// should allocate nothing.
wchar_t gTemporaryPath[4096];
volatile LONG gHaveTemporary = 0;
char gMessage[1024];
DWORD gMessageLength = 0;

void writeAll(const char* text, DWORD length) {
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    DWORD written = 0;
    if (error != nullptr && error != INVALID_HANDLE_VALUE) WriteFile(error, text, length, &written, nullptr);
}

void removeTemporary() {
    if (!InterlockedExchange(&gHaveTemporary, 0)) return;
    // Windows cannot delete a file that is still open, and the writer's stream
    // (a C runtime FILE underneath) is: close every stream first.
    _fcloseall();
    DeleteFileW(gTemporaryPath);
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

BOOL WINAPI onConsoleControl(DWORD) {
    removeTemporary();
    return FALSE;   // let the default handler end the process
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
    SetConsoleCtrlHandler(onConsoleControl, TRUE);
}

void guardTemporaryFile(const std::filesystem::path& path) {
    InterlockedExchange(&gHaveTemporary, 0);
    const std::wstring text = path.wstring();
    if (text.size() >= sizeof gTemporaryPath / sizeof gTemporaryPath[0]) return;
    std::wmemcpy(gTemporaryPath, text.c_str(), text.size() + 1);
    InterlockedExchange(&gHaveTemporary, 1);
}

void releaseTemporaryFile() { InterlockedExchange(&gHaveTemporary, 0); }
