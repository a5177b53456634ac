#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "tools/render/output_stream.h"

// Windows has no name for standard output that a user would pass to -o.
bool namesStandardOutput(const std::filesystem::path&) { return false; }

// The C runtime calls a closed pipe EINVAL, and the system's code (Windows
// says ERROR_NO_DATA, Wine ERROR_PIPE_NOT_CONNECTED) does not always survive
// the runtime's own calls; a pipe refusing a write has lost its reader.
bool outputWasClosed(int errnoValue, std::FILE* file) {
    const DWORD code = GetLastError();
    if (errnoValue == EPIPE || code == ERROR_BROKEN_PIPE || code == ERROR_NO_DATA || code == ERROR_PIPE_NOT_CONNECTED)
        return true;
    if (!file) return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return errnoValue == EINVAL && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_PIPE;
}

// The writing end of an anonymous pipe cannot be asked (an empty write
// succeeds on a closed one); the next write tells.
bool readerGone(std::FILE*) { return false; }

std::string systemReason(int errnoValue) { return std::strerror(errnoValue); }
