#include "tools/render/exclusive_file.h"

#include <cerrno>

#include "tools/render/output_stream.h"

namespace {
constexpr int kMaxAttempts = 1000;
}

std::FILE* createUniqueFile(const std::filesystem::path& base, const std::string& suffix,
                            std::filesystem::path& chosen, std::string& error) {
    for (int attempt = 0; attempt < kMaxAttempts; ++attempt) {
        std::filesystem::path candidate = base;
        candidate += (attempt == 0 ? std::string() : "." + std::to_string(attempt)) + suffix;
        bool exists = false;
        errno = 0;
        if (std::FILE* file = createNewFile(candidate, exists)) {
            chosen = candidate;
            return file;
        }
        if (!exists) {
            const int code = errno;
            error = "cannot create the temporary file " + candidate.string() +
                    (code != 0 ? ": " + systemReason(code) : std::string());
            return nullptr;
        }
    }
    error = "cannot find a free temporary file name beside " + base.string();
    return nullptr;
}
