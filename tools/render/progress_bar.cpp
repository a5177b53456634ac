#include "tools/render/progress_bar.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {
constexpr int kMaxBarWidth = 50;
constexpr int kMinBarWidth = 10;
constexpr int kDefaultColumns = 80;
constexpr auto kDelay = std::chrono::seconds(1);
constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
}  // namespace

bool isTerminal(std::FILE* stream) {
#ifdef _WIN32
    return _isatty(_fileno(stream)) != 0;
#else
    return isatty(fileno(stream)) != 0;
#endif
}

int stderrColumns() {
#ifdef _WIN32
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info))
        return info.srWindow.Right - info.srWindow.Left + 1;
#else
    winsize size{};
    if (ioctl(STDERR_FILENO, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
#endif
    return kDefaultColumns;
}

ProgressBar::ProgressBar(bool enabled, double sampleRate)
    : enabled_(enabled), sampleRate_(sampleRate), start_(std::chrono::steady_clock::now()), lastDraw_(start_) {}

std::string ProgressBar::line(int64_t framesDone, int64_t songFrames, int64_t framesExpected, double sampleRate,
                              int columns) {
    // With an open end the bar measures the song; the tail is then counted in seconds.
    const int64_t total = framesExpected >= 0 ? framesExpected : songFrames;
    const double fraction = total > 0 ? std::clamp(double(framesDone) / double(total), 0.0, 1.0) : 1.0;
    char numbers[96];
    if (framesExpected < 0 && framesDone > songFrames)
        std::snprintf(numbers, sizeof numbers, " song done, tail %.1f s", double(framesDone - songFrames) / sampleRate);
    else
        std::snprintf(numbers, sizeof numbers, " %3d%%  %.1f / %.1f s", static_cast<int>(fraction * 100.0),
                      double(framesDone) / sampleRate, double(total) / sampleRate);
    const int room = std::max(columns - 1, 0);
    const int barWidth = std::min(kMaxBarWidth, room - 2 - static_cast<int>(std::strlen(numbers)));
    if (barWidth < kMinBarWidth) {
        std::string text(numbers);
        text.erase(0, text.find_first_not_of(' '));
        return text.substr(0, static_cast<size_t>(room));
    }
    const int filled = static_cast<int>(fraction * barWidth);
    return "[" + std::string(filled, '#') + std::string(barWidth - filled, '.') + "]" + numbers;
}

void ProgressBar::update(int64_t framesDone, int64_t songFrames, int64_t framesExpected) {
    if (!enabled_) return;
    const auto now = std::chrono::steady_clock::now();
    if (now - start_ < kDelay || (shown_ && now - lastDraw_ < kRedrawInterval)) return;
    lastDraw_ = now;
    shown_ = true;
    const int columns = stderrColumns();
    const std::string text = line(framesDone, songFrames, framesExpected, sampleRate_, columns);
    // Pad so a shorter line fully covers a longer one drawn before it.
    drawnLength_ = std::min(drawnLength_, static_cast<size_t>(std::max(columns - 1, 0)));
    const size_t pad = drawnLength_ > text.size() ? drawnLength_ - text.size() : 0;
    std::fprintf(stderr, "\r%s%s", text.c_str(), std::string(pad, ' ').c_str());
    drawnLength_ = std::max(drawnLength_, text.size());
    std::fflush(stderr);
}

void ProgressBar::clear() {
    if (!shown_) return;
    shown_ = false;
    std::fprintf(stderr, "\r%s\r", std::string(drawnLength_, ' ').c_str());
    drawnLength_ = 0;
    std::fflush(stderr);
}
