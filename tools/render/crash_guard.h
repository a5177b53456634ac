#pragma once
#include <filesystem>
#include <string>

// A plug-in runs inside our process, so its crash is our crash. The guard makes
// that crash end the process quickly with one line on stderr and exit status
// kExitPluginCrashed, after removing the temporary files, so the final output
// name never holds a partial WAV.
//
// Interrupts remove the temporary files too. On Linux the signals (SIGINT,
// SIGTERM, SIGHUP, SIGQUIT, SIGUSR1/2, SIGALRM, SIGVTALRM, SIGPROF, SIGXCPU
// and the other signals whose default ends the process) end the process at
// once, by that signal, unless they were ignored when it started; SIGXFSZ
// (a file size limit) is a failed write instead, with its reason. Once the
// output is in place, such a signal ends the process with status 0: the
// file is complete. On Windows a console
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

// Around putting the output in place: signals wait until the output is in
// place or given up, so the exit status never says "interrupted" for a
// complete file, nor 0 for a missing one.
void holdInterrupts();
void releaseInterrupts(bool outputComplete);

bool interruptRequested();
// The caller has cleaned up after an interrupt; a waiting handler may let the process end.
void interruptHandled();
