#include "tools/render/wav_writer.h"

#include <cerrno>
#include <cmath>
#include <cstring>
#include <limits>
#include <system_error>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

#include "tools/render/exclusive_file.h"
#include "tools/render/output_stream.h"

namespace {

constexpr uint16_t kChannels = 2;
constexpr uint16_t kFormatPcm = 1;
constexpr uint16_t kFormatIeeeFloat = 3;
constexpr uint64_t kDitherSeed = 0x9E3779B97F4A7C15ull;
constexpr size_t kMaxBufferedFrames = 4096;
constexpr uint32_t kUnknownSize = 0xFFFFFFFFu;

void put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

void putTag(std::vector<uint8_t>& out, const char* tag) { out.insert(out.end(), tag, tag + 4); }

double toDbfs(double level) {
    return level > 0.0 ? 20.0 * std::log10(level) : -std::numeric_limits<double>::infinity();
}

}  // namespace

double WavLevels::peakDbfs() const { return toDbfs(peak); }

void WavLevels::add(float x) {
    if (!std::isfinite(x)) {
        ++nonFiniteSamples;
        return;
    }
    const double magnitude = std::fabs(double(x));
    if (magnitude > peak) peak = magnitude;
    if (magnitude > 1.0) ++clippedSamples;
    sumOfSquares += double(x) * double(x);
}

double WavLevels::rmsDbfs() const {
    if (frames == 0) return toDbfs(0.0);
    return toDbfs(std::sqrt(sumOfSquares / (2.0 * double(frames))));
}

WavWriter::~WavWriter() { abort(); }

int32_t WavWriter::bytesPerSample() const {
    switch (format_) {
        case WavSampleFormat::Pcm16: return 2;
        case WavSampleFormat::Pcm24: return 3;
        case WavSampleFormat::Float32: break;
    }
    return 4;
}

// RIFF header, fmt chunk (18 bytes with cbSize for float, 16 for PCM), the fact
// chunk for float, and the data chunk's own header.
uint32_t WavWriter::headerBytes() const { return format_ == WavSampleFormat::Float32 ? 58 : 44; }

bool WavWriter::writeHeader(uint32_t dataBytes) {
    const bool isFloat = format_ == WavSampleFormat::Float32;
    const uint16_t blockAlign = uint16_t(kChannels * bytesPerSample());
    std::vector<uint8_t> h;
    const bool unknown = dataBytes == kUnknownSize;
    putTag(h, "RIFF");
    put32(h, unknown ? kUnknownSize : headerBytes() - 8 + dataBytes);
    putTag(h, "WAVE");
    putTag(h, "fmt ");
    put32(h, isFloat ? 18 : 16);
    put16(h, isFloat ? kFormatIeeeFloat : kFormatPcm);
    put16(h, kChannels);
    put32(h, sampleRate_);
    put32(h, sampleRate_ * blockAlign);
    put16(h, blockAlign);
    put16(h, uint16_t(8 * bytesPerSample()));
    if (isFloat) {
        put16(h, 0);   // cbSize: no extension
        putTag(h, "fact");
        put32(h, 4);
        put32(h, unknown ? kUnknownSize : dataBytes / blockAlign);   // frames per channel
    }
    putTag(h, "data");
    put32(h, dataBytes);
    return std::fwrite(h.data(), 1, h.size(), file_) == h.size();
}

void WavWriter::closeFile() {
    if (!file_) return;
    if (!toStandardOutput_ || ownsStream_) std::fclose(file_);
    file_ = nullptr;
}

bool WavWriter::start(uint32_t sampleRate, WavSampleFormat format, bool dither, std::string& error) {
    if (isOpen_) {
        error = "output file already open";
        return false;
    }
    if (sampleRate == 0 || sampleRate > 1000000) {
        error = "invalid sample rate " + std::to_string(sampleRate);
        return false;
    }
    format_ = format;
    sampleRate_ = sampleRate;
    dither_ = dither && format != WavSampleFormat::Float32;
    ditherState_ = kDitherSeed;
    dataBytes_ = 0;
    levels_ = WavLevels{};
    buffer_.clear();
    buffer_.reserve(kMaxBufferedFrames * kChannels * 4);
    return true;
}

bool WavWriter::open(const std::filesystem::path& destination, uint32_t sampleRate, WavSampleFormat format,
                     bool dither, std::string& error) {
    if (!start(sampleRate, format, dither, error)) return false;
    destination_ = destination;
    toStandardOutput_ = false;
    file_ = createUniqueFile(destination, ".partial", temporaryPath_, error);
    if (!file_) return false;
    isOpen_ = true;
    if (!writeHeader(0)) {
        abort();
        error = "cannot write the WAV header";
        return false;
    }
    return true;
}

bool WavWriter::openStandardOutput(uint32_t sampleRate, WavSampleFormat format, bool dither,
                                   uint64_t expectedFrames, std::string& error) {
    if (!start(sampleRate, format, dither, error)) return false;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);
#endif
    std::fflush(stdout);
    streamName_ = "standard output";
    return startStream(stdout, false, expectedFrames, error);
}

bool WavWriter::openStream(const std::filesystem::path& device, uint32_t sampleRate, WavSampleFormat format,
                           bool dither, uint64_t expectedFrames, std::string& error) {
    if (!start(sampleRate, format, dither, error)) return false;
    errno = 0;
    std::FILE* file = std::fopen(device.string().c_str(), "wb");
    if (!file) {
        error = "cannot open for writing: " + systemReason(errno);
        return false;
    }
    streamName_.clear();   // the message names the device already
    return startStream(file, true, expectedFrames, error);
}

bool WavWriter::startStream(std::FILE* file, bool owned, uint64_t expectedFrames, std::string& error) {
    destination_.clear();
    temporaryPath_.clear();
    file_ = file;
    toStandardOutput_ = true;
    ownsStream_ = owned;
    outputClosed_ = false;
    isOpen_ = true;
    const uint64_t bytes = expectedFrames * kChannels * uint64_t(bytesPerSample());
    const bool known = expectedFrames > 0 && bytes <= uint64_t(0xFFFFFFFFu) - headerBytes();
    errno = 0;
    if (!writeHeader(known ? uint32_t(bytes) : kUnknownSize) || std::fflush(file_) != 0) {
        error = streamError(errno);
        abort();
        return false;
    }
    return true;
}

std::string WavWriter::streamError(int errnoValue) {
    if (outputWasClosed(errnoValue, file_)) {
        outputClosed_ = true;
        return "output closed";
    }
    return "cannot write" + (streamName_.empty() ? std::string() : " to " + streamName_) + (errnoValue != 0 ? ": " + systemReason(errnoValue) : std::string());
}

// splitmix64: a fixed-seed generator, so dithered output is reproducible.
float WavWriter::nextDither() {
    auto next = [this]() {
        uint64_t z = (ditherState_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        z ^= z >> 31;
        return float(z >> 40) * (1.0f / 16777216.0f);   // [0, 1) with 24 bits
    };
    const float a = next();
    const float b = next();
    return a - b;   // triangular on (−1, 1) LSB
}

void WavWriter::appendSample(float x) {
    levels_.add(x);
    if (!std::isfinite(x)) x = 0.0f;

    if (format_ == WavSampleFormat::Float32) {
        uint32_t bits = 0;
        std::memcpy(&bits, &x, sizeof bits);
        put32(buffer_, bits);
        return;
    }
    const double scale = format_ == WavSampleFormat::Pcm16 ? 32768.0 : 8388608.0;
    double v = double(x) * scale;
    if (dither_) v += double(nextDither());
    double rounded = std::floor(v + 0.5);
    if (rounded > scale - 1.0) rounded = scale - 1.0;
    if (rounded < -scale) rounded = -scale;
    const uint32_t code = uint32_t(int32_t(rounded));
    buffer_.push_back(uint8_t(code));
    buffer_.push_back(uint8_t(code >> 8));
    if (format_ == WavSampleFormat::Pcm24) buffer_.push_back(uint8_t(code >> 16));
}

bool WavWriter::flushBuffer(std::string& error) {
    if (buffer_.empty()) return true;
    // The RIFF size field is 32 bits: the whole file minus 8 bytes must fit.
    const uint64_t limit = uint64_t(0xFFFFFFFFu) - (headerBytes() - 8);
    if (dataBytes_ + buffer_.size() > limit) {
        abort();
        error = "output exceeds the 4 GiB size limit of a WAV file";
        return false;
    }
    errno = 0;
    if (std::fwrite(buffer_.data(), 1, buffer_.size(), file_) != buffer_.size()) {
        const int code = errno;
        error = toStandardOutput_ ? streamError(code)
                                  : "cannot write the temporary file " + temporaryPath_.string() +
                                        (code != 0 ? ": " + systemReason(code) : std::string());
        abort();
        return false;
    }
    dataBytes_ += buffer_.size();
    buffer_.clear();
    return true;
}

bool WavWriter::writeInterleaved(const float* samples, size_t frames, std::string& error) {
    if (!isOpen_) {
        error = "output file not open";
        return false;
    }
    for (size_t i = 0; i < frames; ++i) {
        appendSample(samples[2 * i]);
        appendSample(samples[2 * i + 1]);
        ++levels_.frames;
        if ((i + 1) % kMaxBufferedFrames == 0 && !flushBuffer(error)) return false;
    }
    return flushBuffer(error);
}

bool WavWriter::writePlanar(const float* left, const float* right, size_t frames, std::string& error) {
    if (!isOpen_) {
        error = "output file not open";
        return false;
    }
    for (size_t i = 0; i < frames; ++i) {
        appendSample(left[i]);
        appendSample(right[i]);
        ++levels_.frames;
        if ((i + 1) % kMaxBufferedFrames == 0 && !flushBuffer(error)) return false;
    }
    return flushBuffer(error);
}

bool WavWriter::finish(std::string& error) {
    if (!isOpen_) {
        error = "output file not open";
        return false;
    }
    if (!flushBuffer(error)) return false;
    if (toStandardOutput_) {
        // A file behind the stream gets the true sizes; a pipe keeps what it has.
        errno = 0;
        bool flushed = std::fflush(file_) == 0;
        int code = errno;
        if (flushed && std::fseek(file_, 0, SEEK_SET) == 0) {
            writeHeader(uint32_t(dataBytes_));
            std::fseek(file_, 0, SEEK_END);
            errno = 0;
            flushed = std::fflush(file_) == 0;
            code = errno;
        }
        std::clearerr(file_);
        if (!flushed) error = streamError(code);
        if (ownsStream_) {
            errno = 0;
            if (std::fclose(file_) != 0 && flushed) {
                code = errno;
                file_ = nullptr;
                flushed = false;
                error = streamError(code);
            }
            file_ = nullptr;
        }
        closeFile();
        isOpen_ = false;
        return flushed;
    }
    if (std::fseek(file_, 0, SEEK_SET) != 0 || !writeHeader(uint32_t(dataBytes_))) {
        abort();
        error = "cannot write the WAV header";
        return false;
    }
    const bool kept = keepNewFile(file_);
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (!kept || !closed) {
        abort();
        error = "cannot close the temporary file " + temporaryPath_.string();
        return false;
    }
    std::error_code ec;
    std::filesystem::rename(temporaryPath_, destination_, ec);
    if (ec) {
        error = "cannot rename " + temporaryPath_.string() + " to the destination: " + ec.message();
        std::filesystem::remove(temporaryPath_, ec);
        isOpen_ = false;
        return false;
    }
    isOpen_ = false;
    return true;
}

void WavWriter::abort() {
    if (!isOpen_) return;
    isOpen_ = false;
    buffer_.clear();
    if (toStandardOutput_) std::fflush(file_);
    closeFile();
    if (toStandardOutput_) return;
    std::error_code ec;
    std::filesystem::remove(temporaryPath_, ec);
}
