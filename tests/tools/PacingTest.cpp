// --fps: each frame's due time comes from the start and its index, never
// from when the grab before it ended, so slow grabs do not make the schedule drift.

#include "Pacing.h"

#include <gtest/gtest.h>

#include <algorithm>

TEST(Pacer, FramesAreDueFromTheStartAndSlowGrabsCountLate)
{
    using std::chrono::milliseconds;
    const Pacer::Clock::time_point start{};
    Pacer pacer(4, start);  // frames due at 0, 250, 500, 750 ms
    struct Grab {
        milliseconds took;
        int lateSoFar;
    };
    // The second grab ends at 650 ms, after the third was due: the third
    // starts late, and still ends before the fourth is due.
    const Grab grabs[] = {{milliseconds(100), 0}, {milliseconds(400), 1}, {milliseconds(50), 1}, {milliseconds(249), 1}};
    Pacer::Clock::time_point now = start;
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(std::chrono::duration_cast<milliseconds>(pacer.due(k) - start).count(), 250 * k) << "frame " << k;
        now = std::max(now, pacer.due(k)) + grabs[k].took;
        pacer.ended(k, now);
        EXPECT_EQ(pacer.lateFrames(), grabs[k].lateSoFar) << "frame " << k;
    }
    EXPECT_DOUBLE_EQ(pacer.seconds(), 0.999);
}
