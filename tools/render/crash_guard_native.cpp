#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "tools/render/crash_guard.h"

namespace {

// Everything the handler touches is prepared beforehand in fixed buffers:
// a signal handler may only make async-signal-safe calls (unlink, write, _exit).
constexpr int kSlots = 40;   // a per-channel render: the output, 16 stems and 17 spools
char gTemporaryPaths[kSlots][4096];
volatile sig_atomic_t gHaveTemporary[kSlots] = {};
volatile sig_atomic_t gOutputComplete = 0;
// Signals whose default action ends the process, besides the crashes.
constexpr int kEndingSignals[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGVTALRM,
                                  SIGPROF, SIGXCPU, SIGPOLL, SIGSYS, SIGTRAP, SIGPWR, SIGSTKFLT};
char gMessage[1024];
size_t gMessageLength = 0;
// A plug-in that overflows its stack still gets a handler to run on.
alignas(16) char gAlternateStack[64 * 1024];

void writeAll(const char* text, size_t length) {
    while (length > 0) {
        const ssize_t n = write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n;
        length -= static_cast<size_t>(n);
    }
}

const char* signalName(int signal) {
    switch (signal) {
    case SIGSEGV: return "SIGSEGV, invalid memory access";
    case SIGBUS: return "SIGBUS, invalid memory access";
    case SIGFPE: return "SIGFPE, arithmetic fault";
    case SIGILL: return "SIGILL, illegal instruction";
    case SIGABRT: return "SIGABRT, aborted";
    default: return "fatal signal";
    }
}

void removeTemporary() {
    for (int k = 0; k < kSlots; ++k) {
        if (gHaveTemporary[k]) unlink(gTemporaryPaths[k]);
        gHaveTemporary[k] = 0;
    }
}

void onCrash(int signal) {
    removeTemporary();
    writeAll(gMessage, gMessageLength);
    const char* name = signalName(signal);
    writeAll(name, std::strlen(name));
    writeAll("); no output written\n", 21);
    _exit(kExitPluginCrashed);
}

void onInterrupt(int signal) {
    if (gOutputComplete) _exit(0);
    removeTemporary();
    ::signal(signal, SIG_DFL);
    raise(signal);
}

void setHandler(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    action.sa_flags = SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    sigaction(signal, &action, nullptr);
}

}  // namespace

void installCrashGuard(const std::string& pluginPath) {
    const std::string message = "vorzle-render: " + pluginPath + ": the plug-in crashed (";
    gMessageLength = std::min(message.size(), sizeof gMessage);
    std::memcpy(gMessage, message.data(), gMessageLength);

    stack_t stack{};
    stack.ss_sp = gAlternateStack;
    stack.ss_size = sizeof gAlternateStack;
    sigaltstack(&stack, nullptr);
    for (int signal : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT}) setHandler(signal, onCrash);
    for (int signal : kEndingSignals) {
        struct sigaction before {};
        // A signal ignored by whoever started us (nohup) stays ignored.
        if (sigaction(signal, nullptr, &before) == 0 && before.sa_handler == SIG_IGN) continue;
        setHandler(signal, onInterrupt);
    }
    // A closed output pipe and a file size limit are failed writes, answered
    // with their reason like the Windows builds answer them, not a silent
    // death that leaves the temporary files.
    ::signal(SIGPIPE, SIG_IGN);
    ::signal(SIGXFSZ, SIG_IGN);
}

void guardTemporaryFile(const std::filesystem::path& path) {
    const std::string text = path.string();
    if (text.size() >= sizeof gTemporaryPaths[0]) return;   // cannot happen with a path the OS accepted
    for (int k = 0; k < kSlots; ++k) {
        if (gHaveTemporary[k]) continue;
        std::memcpy(gTemporaryPaths[k], text.c_str(), text.size() + 1);
        gHaveTemporary[k] = 1;
        return;
    }
}

void releaseTemporaryFiles() {
    for (int k = 0; k < kSlots; ++k) gHaveTemporary[k] = 0;
}

namespace {
sigset_t endingSignals() {
    sigset_t set;
    sigemptyset(&set);
    for (int signal : kEndingSignals) sigaddset(&set, signal);
    return set;
}
}  // namespace

void holdInterrupts() {
    const sigset_t set = endingSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

void releaseInterrupts(bool outputComplete) {
    gOutputComplete = outputComplete ? 1 : 0;
    const sigset_t set = endingSignals();
    sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

// The signals end the process themselves.
bool interruptRequested() { return false; }
void interruptHandled() {}
