#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "tools/render/exclusive_file.h"

std::FILE* createNewFile(const std::filesystem::path& path, bool& alreadyExists) {
    alreadyExists = false;
    const int fd = open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        alreadyExists = errno == EEXIST;
        return nullptr;
    }
    std::FILE* file = fdopen(fd, "w+b");
    if (!file) {
        close(fd);
        unlink(path.c_str());
    }
    return file;
}

bool keepNewFile(std::FILE*) { return true; }
