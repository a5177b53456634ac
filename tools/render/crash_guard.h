#pragma once
#include <filesystem>
#include <string>

// A plug-in runs inside our process, so its crash is our crash. The guard makes
// that crash end the process quickly with one line on stderr and exit status
// kExitPluginCrashed, after removing the temporary output file, so the final
// output name never holds a partial WAV. Interrupts (Ctrl-C, termination)
// remove the temporary file too.

constexpr int kExitPluginCrashed = 3;

// Once per process, before the plug-in is loaded. The message names the plug-in.
void installCrashGuard(const std::string& pluginPath);

// The file to remove if the process dies from now on; replaces any earlier one.
void guardTemporaryFile(const std::filesystem::path& path);
void releaseTemporaryFile();
