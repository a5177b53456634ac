#include <fcntl.h>
#include <cerrno>
#include <io.h>
#include <windows.h>

#include "tools/render/exclusive_file.h"

std::FILE* createNewFile(const std::filesystem::path& path, bool& alreadyExists) {
    alreadyExists = false;
    // CREATE_NEW fails when the name exists; the C runtime's fopen has no such mode.
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        alreadyExists = code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS;
        errno = code == ERROR_ACCESS_DENIED                                 ? EACCES
                : code == ERROR_PATH_NOT_FOUND || code == ERROR_FILE_NOT_FOUND ? ENOENT
                : code == ERROR_DISK_FULL || code == ERROR_HANDLE_DISK_FULL   ? ENOSPC
                                                                               : EIO;
        return nullptr;
    }
    // Marked for deletion while open: however the process ends (TerminateProcess,
    // a signal under Wine), the system removes the file when the handle closes.
    FILE_DISPOSITION_INFO disposition{TRUE};
    SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_BINARY);
    if (fd < 0) {
        CloseHandle(handle);
        DeleteFileW(path.c_str());
        return nullptr;
    }
    std::FILE* file = _fdopen(fd, "w+b");
    if (!file) {
        _close(fd);
        DeleteFileW(path.c_str());
    }
    return file;
}

bool keepNewFile(std::FILE* file) {
    FILE_DISPOSITION_INFO disposition{FALSE};
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(file)));
    return handle != INVALID_HANDLE_VALUE &&
           SetFileInformationByHandle(handle, FileDispositionInfo, &disposition, sizeof disposition);
}
