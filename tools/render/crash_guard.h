#pragma once
#include <filesystem>
#include <string>

// A plug-in runs inside our process, so its crash is our crash. The guard makes
// that crash end the process quickly with one line on stderr and exit status
// kExitPluginCrashed, after removing the temporary files, so the final output
// name never holds a partial WAV.
//
// Interrupts remove the temporary files too. On Linux the signals (SIGINT,
// SIGTERM, SIGHUP) end the process at once, by that signal. On Windows a console
// control event (Ctrl-C, Ctrl-Break, closing the console, logoff, shutdown) only
// raises interruptRequested(): the render stops at its next block, the caller
// removes its files and exits with kExitInterrupted. A second Ctrl-C, or a close
// that the caller does not answer within seconds, ends the process from the
// handler, after removing the files.

constexpr int kExitPluginCrashed = 3;
constexpr int kExitOutOfMemory = 4;
constexpr int kExitInterrupted = 130;

// Once per process, before the plug-in is loaded. The message names the plug-in.
void installCrashGuard(const std::string& pluginPath);

// A file to remove if the process dies from now on; at most 40 at a time.
void guardTemporaryFile(const std::filesystem::path& path);
// Forgets every guarded file (they were renamed or removed).
void releaseTemporaryFiles();

bool interruptRequested();
// The caller has cleaned up after an interrupt; a waiting handler may let the process end.
void interruptHandled();
