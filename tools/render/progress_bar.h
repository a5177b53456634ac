#pragma once
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

// A one-line progress bar on stderr, redrawn in place. It appears only when
// stderr is a terminal and the render has run for more than a second, so quick
// renders and redirected output stay clean. It fits the terminal's width,
// leaving the last column free so the line never wraps.
class ProgressBar {
public:
    ProgressBar(bool enabled, double sampleRate);
    ~ProgressBar() { clear(); }

    // framesExpected < 0: the end is open (the tail runs until the sound dies away).
    void update(int64_t framesDone, int64_t songFrames, int64_t framesExpected);
    // Erases the bar (before the summary line or an error message).
    void clear();

    // The bar's text for a given state, without terminal control characters, at
    // most columns − 1 characters long.
    static std::string line(int64_t framesDone, int64_t songFrames, int64_t framesExpected, double sampleRate,
                            int columns);

private:
    bool enabled_;
    bool shown_ = false;
    double sampleRate_;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
    size_t drawnLength_ = 0;
};

// True when the stream (stderr, stdout) goes to a terminal.
bool isTerminal(std::FILE* stream);

// The width of the terminal stderr goes to; 80 when it cannot be told.
int stderrColumns();
