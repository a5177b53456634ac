#pragma once
#include <chrono>
#include <cstdint>
#include <string>

// A one-line progress bar on stderr, redrawn in place. It appears only when
// stderr is a terminal and the render has run for more than a second, so quick
// renders and redirected output stay clean.
class ProgressBar {
public:
    ProgressBar(bool enabled, double sampleRate);
    ~ProgressBar() { clear(); }

    // framesExpected < 0: the end is open (the tail runs until the sound dies away).
    void update(int64_t framesDone, int64_t songFrames, int64_t framesExpected);
    // Erases the bar (before the summary line or an error message).
    void clear();

    // The bar's text for a given state, without terminal control characters.
    static std::string line(int64_t framesDone, int64_t songFrames, int64_t framesExpected, double sampleRate);

private:
    bool enabled_;
    bool shown_ = false;
    double sampleRate_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};

// True when stderr goes to a terminal.
bool stderrIsTerminal();
