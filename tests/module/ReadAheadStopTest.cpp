// setParam, init and destory right after a run stop the read-ahead of the
// next frame between files. The decoding's test seam holds every decoding
// thread before its next file until the stop is asked for (or four seconds
// pass), so the test does not depend on how fast files decode. The module's
// code is linked in directly.

#include "FrameDecoding.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// What the decoding threads held between files saw.
struct BetweenFiles {
    std::mutex lock;
    std::condition_variable changed;
    int inside = 0;       // threads held now
    int held = 0;         // threads held so far
    bool sawStop = true;  // each held thread was let go by the stop

    void hold(const std::function<bool()>& stopWanted)
    {
        {
            const std::lock_guard<std::mutex> guard(lock);
            ++inside;
            ++held;
        }
        changed.notify_all();
        const Clock::time_point deadline = Clock::now() + std::chrono::seconds(4);
        while (!stopWanted() && Clock::now() < deadline)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        {
            const std::lock_guard<std::mutex> guard(lock);
            sawStop = sawStop && stopWanted();
            --inside;
        }
        changed.notify_all();
    }

    bool waitFor(const std::function<bool()>& condition)
    {
        std::unique_lock<std::mutex> guard(lock);
        return changed.wait_for(guard, std::chrono::seconds(6), condition);
    }
};

TEST(ReadAheadStop, EntriesStopItBetweenFiles)
{
    const std::vector<std::pair<const char*, std::function<void(Qz_VirtualCamera_ReadFile*)>>> entries{
        {"setParam", [](Qz_VirtualCamera_ReadFile* camera) { camera->setParam(nullptr, QByteArray("camera3P,a,1,/nowhere")); }},
        {"init", [](Qz_VirtualCamera_ReadFile* camera) { camera->init(nullptr); }},
        {"destory", nullptr}};
    qunsetenv("QZ_READFILE_READ_AHEAD");
    RecordingFixture rec;
    for (const char* folder : {"cap1", "cap2"})
        for (int i = 1; i <= 6; ++i)
            rec.gray8Bmp(std::string(folder) + "/camera3P_" + std::to_string(i) + ".bmp", i);
    for (const auto& [name, entry] : entries) {
        BetweenFiles between;
        setBetweenFilesForTesting([&between](const std::function<bool()>& stopWanted) { between.hold(stopWanted); });
        Qz_VirtualCamera_ReadFile* camera = create();
        camera->setParam(nullptr, QByteArray::fromStdString(rec.param("camera3P")));
        ASSERT_TRUE(camera->init(nullptr));
        ASSERT_TRUE(camera->run());  // the worker now reads the next frame ahead
        ASSERT_TRUE(between.waitFor([&] { return between.inside > 0; })) << name << ": no read-ahead began";
        if (entry)
            entry(camera);
        else
            destory(camera);
        EXPECT_TRUE(between.waitFor([&] { return between.inside == 0; })) << name;
        EXPECT_TRUE(between.sawStop) << name << " did not stop the read-ahead";
        if (entry)
            destory(camera);
        setBetweenFilesForTesting(nullptr);
    }
}

}  // namespace
