#pragma once
#include <cstdio>
#include <filesystem>
#include <string>

// What the renderer needs to know about where its output goes when that is
// not a regular file: a pipe, a FIFO, a device, its own standard output.

// True when `path` names the file, pipe or device that is this process's
// standard output already (/dev/stdout, /proc/self/fd/1, a FIFO it is bound to).
bool namesStandardOutput(const std::filesystem::path& path);

// True when the write to `file` that just failed (errno is errnoValue) failed
// because the reader went away: a closed pipe.
bool outputWasClosed(int errnoValue, std::FILE* file);

// True when the reader of the pipe or socket behind `file` is known to be
// gone, asked without writing; false whenever that cannot be told.
bool readerGone(std::FILE* file);

// The system's words for errnoValue ("No space left on device").
std::string systemReason(int errnoValue);
