#pragma once
// --fps N: frame k (from 0) is due at start + k/N, whenever the grabs before
// it ended. A late frame does not shift the ones after it, so the replay
// keeps the camera's rate on average.

#include <chrono>

class Pacer {
public:
    using Clock = std::chrono::steady_clock;

    // `fps` 0: not paced, every frame is due at once and none is late.
    Pacer(double fps, Clock::time_point start) : fps_(fps), start_(start), lastEnd_(start) {}

    Clock::time_point due(int index) const;
    // Sleeps until frame `index` is due.
    void waitFor(int index) const;
    // Frame `index`'s grabs ended at `end`: late when frame index + 1 was due by then.
    void ended(int index, Clock::time_point end);

    int lateFrames() const { return lateFrames_; }
    // From the start to the end of the last grab.
    double seconds() const { return std::chrono::duration<double>(lastEnd_ - start_).count(); }

private:
    double fps_;
    Clock::time_point start_;
    Clock::time_point lastEnd_;
    int lateFrames_ = 0;
};
