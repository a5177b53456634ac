#include "tools/render/float_spool.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <system_error>

#include "tools/render/exclusive_file.h"
#include "tools/render/output_stream.h"

FloatSpool::~FloatSpool() {
    if (!file_) return;
    std::fclose(file_);
    std::error_code ec;
    std::filesystem::remove(path_, ec);
}

bool FloatSpool::open(const std::filesystem::path& base, std::string& error) {
    file_ = createUniqueFile(base, ".spool", path_, error);
    buffer_.reserve(2 * kChunkFrames);
    return file_ != nullptr;
}

bool FloatSpool::writePlanar(const float* left, const float* right, size_t frames, std::string& error) {
    for (size_t done = 0; done < frames;) {
        const size_t n = std::min(kChunkFrames, frames - done);
        buffer_.clear();
        for (size_t i = done; i < done + n; ++i) {
            levels_.add(left[i]);
            levels_.add(right[i]);
            buffer_.push_back(left[i]);
            buffer_.push_back(right[i]);
        }
        errno = 0;
        if (std::fwrite(buffer_.data(), sizeof(float), buffer_.size(), file_) != buffer_.size()) {
            const int code = errno;
            error = "cannot write the temporary file " + path_.string() +
                    (code != 0 ? ": " + systemReason(code) : std::string());
            return false;
        }
        levels_.frames += n;
        done += n;
    }
    return true;
}

bool FloatSpool::replay(FrameSink& sink, float gain, std::string& error) {
    if (std::fflush(file_) != 0 || std::fseek(file_, 0, SEEK_SET) != 0) {
        error = "cannot read back the temporary file " + path_.string();
        return false;
    }
    std::vector<float> left(kChunkFrames), right(kChunkFrames);
    for (uint64_t done = 0; done < levels_.frames;) {
        const size_t n = size_t(std::min<uint64_t>(kChunkFrames, levels_.frames - done));
        buffer_.resize(2 * n);
        if (std::fread(buffer_.data(), sizeof(float), buffer_.size(), file_) != buffer_.size()) {
            error = "cannot read back the temporary file " + path_.string();
            return false;
        }
        for (size_t i = 0; i < n; ++i) {
            left[i] = buffer_[2 * i] * gain;
            right[i] = buffer_[2 * i + 1] * gain;
        }
        if (!sink.writePlanar(left.data(), right.data(), n, error)) return false;
        done += n;
    }
    return true;
}

bool FloatSpool::rewind(std::string& error) {
    readFrames_ = 0;
    if (std::fflush(file_) == 0 && std::fseek(file_, 0, SEEK_SET) == 0) return true;
    error = "cannot read back the temporary file " + path_.string();
    return false;
}

bool FloatSpool::read(float* left, float* right, size_t maxFrames, size_t& got, std::string& error) {
    got = size_t(std::min<uint64_t>(maxFrames, levels_.frames - readFrames_));
    buffer_.resize(2 * got);
    if (std::fread(buffer_.data(), sizeof(float), buffer_.size(), file_) != buffer_.size()) {
        error = "cannot read back the temporary file " + path_.string();
        return false;
    }
    for (size_t i = 0; i < got; ++i) {
        left[i] = buffer_[2 * i];
        right[i] = buffer_[2 * i + 1];
    }
    readFrames_ += got;
    return true;
}

float normalizingGain(double peak, double targetDbfs) {
    if (!(peak > 0.0)) return 1.0f;
    const double target = std::pow(10.0, targetDbfs / 20.0);
    float gain = static_cast<float>(target / peak);
    // The peak sample times the gain is rounded to float; never let it round past the target.
    while (gain > 0.0f && double(static_cast<float>(peak) * gain) > target) gain = std::nextafter(gain, 0.0f);
    return gain;
}
