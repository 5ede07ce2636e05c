// Host threads calling at once: on one object, on two objects of one loaded
// module, getImages while a run goes on, an object disposed of while another
// runs. Calls are serialised: the outcome is that of the same calls one
// after another, every grab whole, no image lost or doubled (and, under
// ThreadSanitizer, no race).

#include "ModuleHost.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <memory>

namespace {

const int kFolders = 5;
const int kRunsPerThread = 40;

// Host threads of a test (QThreads: see HostMisuseTest.cpp). Each ends by
// fulfilling a promise, which ThreadSanitizer sees, unlike QThread::wait, so
// what a thread wrote is the test's to read once joinAll has returned.
class HostThreads {
public:
    void start(std::function<void()> body)
    {
        auto done = std::make_shared<std::promise<void>>();
        ends.push_back(done->get_future());
        threads.emplace_back(QThread::create([body = std::move(body), done] {
            body();
            done->set_value();
        }));
        threads.back()->start();
    }
    void joinAll()
    {
        for (std::future<void>& end : ends)
            ASSERT_EQ(end.wait_for(std::chrono::seconds(60)), std::future_status::ready)
                << "a host thread did not end within 60 s";
        for (const auto& thread : threads)
            thread->wait();
    }

private:
    std::vector<std::future<void>> ends;
    std::vector<std::unique_ptr<QThread>> threads;
};

class ConcurrentCalls : public ModuleTest {
protected:
    // cap1..cap5, two images each: 10n+1, 10n+2.
    void SetUp() override
    {
        ModuleTest::SetUp();
        for (int n = 1; n <= kFolders; ++n) {
            rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
            rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
        }
        ASSERT_TRUE(host.configure(rec.param("camera3P")));
    }
    // The images of `grabs` grabs from the first folder on, in order.
    static std::vector<int> framesOf(int grabs)
    {
        std::vector<int> images;
        for (int i = 0; i < grabs; ++i) {
            const int n = i % kFolders + 1;
            images.push_back(10 * n + 1);
            images.push_back(10 * n + 2);
        }
        return images;
    }
    // Every grab's start line is followed by its own end line.
    void expectRunLinesPaired(int runs) const
    {
        std::vector<std::string> runLines;
        for (const std::string& text : log.texts()) {
            if (text.find(" run start") != std::string::npos)
                runLines.push_back("start");
            else if (text.find(" run end") != std::string::npos)
                runLines.push_back("end");
        }
        ASSERT_EQ(runLines.size(), 2u * runs);
        for (std::size_t i = 0; i < runLines.size(); ++i)
            ASSERT_EQ(runLines[i], i % 2 == 0 ? "start" : "end") << "line " << i << " of the run lines";
    }
};

TEST_F(ConcurrentCalls, TwoThreadsOnOneObjectGiveTheImagesOfAllTheirGrabs)
{
    log.clear();
    std::atomic<int> failed{0};
    HostThreads threads;
    for (int t = 0; t < 2; ++t) {
        threads.start([&] {
            for (int i = 0; i < kRunsPerThread; ++i)
                failed += host.camera->run() ? 0 : 1;
        });
    }
    threads.joinAll();
    EXPECT_EQ(failed, 0);
    EXPECT_EQ(identitiesOf(host.collect()), framesOf(2 * kRunsPerThread));
    expectRunLinesPaired(2 * kRunsPerThread);
}

// Each getImages hands over whole grabs; together with what is left at the
// end they are every grab's images, in order.
TEST_F(ConcurrentCalls, GetImagesDuringRunsHandsOverWholeGrabs)
{
    std::atomic<bool> running{true};
    std::vector<int> collected;
    bool everyCollectWhole = true;
    HostThreads threads;
    threads.start([&] {
        for (int i = 0; i < 2 * kRunsPerThread; ++i)
            host.camera->run();
        running = false;
    });
    threads.start([&] {
        while (running) {
            const std::vector<int> got = identitiesOf(host.collect());
            everyCollectWhole = everyCollectWhole && got.size() % 2 == 0;
            collected.insert(collected.end(), got.begin(), got.end());
        }
    });
    threads.joinAll();
    const std::vector<int> rest = identitiesOf(host.collect());
    collected.insert(collected.end(), rest.begin(), rest.end());
    EXPECT_TRUE(everyCollectWhole);
    EXPECT_EQ(collected, framesOf(2 * kRunsPerThread));
}

// Two objects of one loaded module share its state: between them they read
// consecutive folders, each thread collects whole grabs, and all grabs' images
// come out once.
TEST_F(ConcurrentCalls, TwoObjectsOnTwoThreadsShareOneReplay)
{
    Base* second = host.module.create();
    ASSERT_NE(second, nullptr);
    std::vector<std::vector<int>> collected(2);
    std::atomic<int> brokenGrabs{0};
    HostThreads threads;
    for (int t = 0; t < 2; ++t) {
        Base* object = t == 0 ? host.camera : second;
        std::vector<int>& mine = collected[t];
        threads.start([object, &mine, &brokenGrabs] {
            for (int i = 0; i < kRunsPerThread; ++i) {
                object->run();
                std::vector<cv::Mat> images;
                object->getImages(images, nullptr);
                const std::vector<int> got = identitiesOf(images);
                for (std::size_t k = 0; k + 1 < got.size(); k += 2)
                    brokenGrabs += got[k + 1] == got[k] + 1 ? 0 : 1;
                brokenGrabs += got.size() % 2;
                mine.insert(mine.end(), got.begin(), got.end());
            }
        });
    }
    threads.joinAll();
    host.module.destory(second);
    std::vector<int> all = collected[0];
    all.insert(all.end(), collected[1].begin(), collected[1].end());
    const std::vector<int> rest = identitiesOf(host.collect());
    all.insert(all.end(), rest.begin(), rest.end());
    std::vector<int> expected = framesOf(2 * kRunsPerThread);
    std::sort(all.begin(), all.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(brokenGrabs, 0);
    EXPECT_EQ(all, expected);
}

// Objects made and disposed of on one thread while another object of the
// same module runs on another: nothing breaks, the runner's grabs are whole.
TEST_F(ConcurrentCalls, DestoryOfOneObjectWhileAnotherRuns)
{
    std::atomic<bool> running{true};
    HostThreads threads;
    threads.start([&] {
        for (int i = 0; i < 2 * kRunsPerThread; ++i)
            host.camera->run();
        running = false;
    });
    int disposed = 0;
    threads.start([&] {
        while (running || disposed == 0) {
            Base* other = host.module.create();
            other->run();
            host.module.destory(other);
            ++disposed;
        }
    });
    threads.joinAll();
    EXPECT_GT(disposed, 0);
    EXPECT_EQ(identitiesOf(host.collect()), framesOf(2 * kRunsPerThread + disposed));
}

}  // namespace
