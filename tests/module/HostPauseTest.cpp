// A frame is read ahead only after the host paused long enough between two
// runs for that to gain anything; a host that comes straight back pays
// nothing for read-ahead.

#include "BetweenFiles.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "ReadAhead.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <string>
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

// Through the module (its code is linked in): a run that comes straight
// after the last one reads nothing ahead; a run after a pause does. A
// read-ahead of a frame of two files reaches the decoding's between-files
// seam, which counts it; the capture folders alternate between two files and
// one, so that only the read-ahead after the second run of each pair is
// counted. Whether a read-ahead follows a run is only seen by waiting, so the
// pair is tried a few times, and at least once the second run must read
// nothing ahead (a run may be delayed past the bound now and then on a busy
// machine).
TEST(HostPause, RunStraightAfterARunReadsNothingAhead)
{
    qunsetenv("QZ_READFILE_READ_AHEAD");
    RecordingFixture rec;
    for (int n = 1; n <= 4; ++n) {
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_a.bmp", n);
        if (n % 2 == 1)
            rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_b.bmp", n);
    }
    BetweenFiles between(false);
    const auto readAheadBegan = [&between](int reachedBefore, std::chrono::milliseconds limit) {
        return between.waitFor([&] { return between.reached > reachedBefore; }, limit);
    };
    Qz_VirtualCamera_ReadFile* camera = create();
    camera->setParam(nullptr, QByteArray::fromStdString(rec.param("camera3P")));
    ASSERT_TRUE(camera->init(nullptr));
    const int kTries = 3;
    int readAheadAfterTheSecond = 0;
    for (int i = 0; i < kTries; ++i) {
        const int reached = between.reachedSoFar();
        ASSERT_TRUE(camera->run());  // after a pause: cap2 or cap4, one file, is read ahead
        ASSERT_TRUE(camera->run());  // straight back: it takes that frame
        if (readAheadBegan(reached, std::chrono::milliseconds(200)))
            ++readAheadAfterTheSecond;
    }
    EXPECT_LT(readAheadAfterTheSecond, kTries) << "every run made straight after another read the next frame ahead";
    ASSERT_TRUE(camera->run());
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    const int reached = between.reachedSoFar();
    ASSERT_TRUE(camera->run());
    EXPECT_TRUE(readAheadBegan(reached, std::chrono::seconds(5))) << "no read-ahead after a run after a pause";
    destory(camera);
}

}  // namespace
