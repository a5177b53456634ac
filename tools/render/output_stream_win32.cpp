#include <windows.h>

#include <cerrno>
#include <cstring>

#include "tools/render/output_stream.h"

// Windows has no name for standard output that a user would pass to -o.
bool namesStandardOutput(const std::filesystem::path&) { return false; }

bool outputWasClosed(int errnoValue) {
    const DWORD code = GetLastError();
    return errnoValue == EPIPE || code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA;
}

// The writing end of an anonymous pipe cannot be asked; the next write tells.
bool readerGone(std::FILE*) { return false; }

std::string systemReason(int errnoValue) { return std::strerror(errnoValue); }
