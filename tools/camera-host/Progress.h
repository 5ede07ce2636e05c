#pragma once
// A one-line progress bar on standard error, for long runs in a terminal.
// Disabled, it does nothing, so callers need not check.

#include <chrono>

class ProgressBar {
public:
    ProgressBar(int total, bool enabled) : total_(total), enabled_(enabled) {}
    // Redraws the bar for `done` of `total`, at most every few tenths of a
    // second, and always for the last one.
    void show(int done);
    // Erases the bar, so other output can take the line.
    void clear();

private:
    int total_;
    bool enabled_;
    bool drawn_ = false;
    std::chrono::steady_clock::time_point lastDraw_{};
};

// Runs of more frames than this get a bar when standard error is a terminal.
constexpr int kFramesBeforeProgressBar = 10;
