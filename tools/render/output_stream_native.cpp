#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "tools/render/output_stream.h"

bool namesStandardOutput(const std::filesystem::path& path) {
    struct stat named {}, ours {};
    return stat(path.c_str(), &named) == 0 && fstat(STDOUT_FILENO, &ours) == 0 && named.st_dev == ours.st_dev &&
           named.st_ino == ours.st_ino;
}

bool outputWasClosed(int errnoValue, std::FILE*) { return errnoValue == EPIPE; }

bool readerGone(std::FILE* file) {
    // A pipe whose reading end is closed polls as an error for writing.
    pollfd entry{fileno(file), POLLOUT, 0};
    return poll(&entry, 1, 0) == 1 && (entry.revents & POLLERR) != 0;
}

std::string systemReason(int errnoValue) { return std::generic_category().message(errnoValue); }
