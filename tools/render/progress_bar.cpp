#include "tools/render/progress_bar.h"

#include <algorithm>
#include <cstdio>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {
constexpr int kBarWidth = 30;
constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}  // namespace

bool stderrIsTerminal() {
#ifdef _WIN32
    return _isatty(_fileno(stderr)) != 0;
#else
    return isatty(STDERR_FILENO) != 0;
#endif
}

ProgressBar::ProgressBar(bool enabled, double sampleRate)
    : enabled_(enabled), sampleRate_(sampleRate), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

std::string ProgressBar::line(int64_t framesDone, int64_t songFrames, int64_t framesExpected, double sampleRate) {
    // With an open end the bar measures the song; the tail is then counted in seconds.
    const int64_t total = framesExpected >= 0 ? framesExpected : songFrames;
    const double fraction = total > 0 ? std::clamp(double(framesDone) / double(total), 0.0, 1.0) : 1.0;
    const int filled = static_cast<int>(fraction * kBarWidth);
    std::string text = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "]";
    char numbers[96];
    if (framesExpected < 0 && framesDone > songFrames)
        std::snprintf(numbers, sizeof numbers, " song done, tail %.1f s", double(framesDone - songFrames) / sampleRate);
    else
        std::snprintf(numbers, sizeof numbers, " %3d%%  %.1f / %.1f s", static_cast<int>(fraction * 100.0),
                      double(framesDone) / sampleRate, double(total) / sampleRate);
    return text + numbers;
}

void ProgressBar::update(int64_t framesDone, int64_t songFrames, int64_t framesExpected) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kDelay || (shown_ && now - lastDraw_ < kRedrawInterval)) return;
    lastDraw_ = now;
    shown_ = true;
    // Pad so a shorter line fully covers a longer one drawn before it.
    std::fprintf(stderr, "\r%-70s", line(framesDone, songFrames, framesExpected, sampleRate_).c_str());
    std::fflush(stderr);
}

void ProgressBar::clear() {
    if (!shown_) return;
    shown_ = false;
    std::fprintf(stderr, "\r%70s\r", "");
    std::fflush(stderr);
}
