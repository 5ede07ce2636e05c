// A frame is read ahead only after the host paused long enough between two
// runs for that to gain anything; a host that comes straight back pays
// nothing for read-ahead.

#include "ReadAhead.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

TEST(HostPause, LongEnoughOnlyAfterTheFirstRunOrAPauseOfTheBound)
{
    HostPause pause;
    pause.runStarts();
    EXPECT_TRUE(pause.longEnough()) << "the first run";
    pause.runEnds();
    pause.runStarts();
    EXPECT_FALSE(pause.longEnough()) << "back at once";
    pause.runEnds();
    // Sleeps may be cut short or rounded (Windows rounds to milliseconds).
    const auto pausedUntil = std::chrono::steady_clock::now() + 2 * HostPause::kLongEnough;
    while (std::chrono::steady_clock::now() < pausedUntil)
        std::this_thread::sleep_for(HostPause::kLongEnough);
    pause.runStarts();
    EXPECT_TRUE(pause.longEnough()) << "after a pause of twice the bound";
    pause.runEnds();
    pause.runStarts();
    EXPECT_FALSE(pause.longEnough()) << "back at once again";
}

}  // namespace
