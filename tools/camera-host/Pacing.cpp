#include "Pacing.h"

#include <thread>

Pacer::Clock::time_point Pacer::due(int index) const
{
    if (fps_ <= 0)
        return start_;
    return start_ + std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(index / fps_));
}

void Pacer::waitFor(int index) const
{
    if (fps_ > 0)
        std::this_thread::sleep_until(due(index));
}

void Pacer::ended(int index, Clock::time_point end)
{
    lastEnd_ = end;
    lateFrames_ += fps_ > 0 && end > due(index + 1) ? 1 : 0;
}
