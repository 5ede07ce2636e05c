// Soak: many grabs over a small recording, each followed by getImages, as a
// host replays for hours. Resident memory stays where the first cycle left
// it, no descriptor stays open between grabs, the number of threads stays
// the same from grab to grab, and the worker ends with its object.
//
//   SOAK_GRABS=1000000 ./reliability_soak     the long variant (default 10000)

#include "ModuleHost.h"
#include "ProcessStats.h"

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <cstdlib>

namespace {

const int kFolders = 3;

int grabCount()
{
    const char* text = std::getenv("SOAK_GRABS");
    return text ? std::max(kFolders, std::atoi(text)) : 10000;
}

// kFolders capture folders, each with a 64x64 8-bit BMP and 16-bit TIFF
// whose pixels carry 10n+1 and 10n+2, big enough that keeping a frame per
// grab would show in resident memory.
void record(const RecordingFixture& rec)
{
    for (int n = 1; n <= kFolders; ++n) {
        const std::string folder = rec.folder("cap" + std::to_string(n)) + "/camera2_";
        cv::imwrite(folder + "a.bmp", cv::Mat(64, 64, CV_8UC1, cv::Scalar(10 * n + 1)));
        cv::imwrite(folder + "b.tiff", cv::Mat(64, 64, CV_16UC1, cv::Scalar(10 * n + 2)),
                    {cv::IMWRITE_TIFF_COMPRESSION, 1});
    }
}

TEST(Soak, ManyGrabsKeepMemoryDescriptorsAndThreadsFlat)
{
    RecordingFixture rec;
    record(rec);
    const ProcessStats start = processStats();
    auto host = std::make_unique<ModuleHost>();
    ASSERT_NE(host->camera, nullptr) << host->module.error();
    ASSERT_TRUE(host->configure(rec.param("camera2")));

    const int grabs = grabCount();
    ProcessStats afterFirstCycle;
    std::size_t peakKiB = 0;
    int wrongFrames = 0;
    for (int i = 0; i < grabs; ++i) {
        const int n = i % kFolders + 1;
        std::vector<cv::Mat> images;
        const bool ran = host->camera->run();
        const bool handed = host->camera->getImages(images, nullptr);
        if (!ran || !handed || identitiesOf(images) != std::vector<int>{10 * n + 1, 10 * n + 2})
            ++wrongFrames;
        if (i == kFolders - 1)
            afterFirstCycle = settledProcessStats();
        if (i >= kFolders && (i % 1000 == 0 || i == grabs - 1)) {
            const ProcessStats now = processStatsOnceThreadsEnd(afterFirstCycle.threads, afterFirstCycle.openFds);
            peakKiB = std::max(peakKiB, now.residentKiB);
            EXPECT_EQ(now.openFds, afterFirstCycle.openFds) << "after grab " << i + 1 << "\n" << openFdTargets();
            EXPECT_EQ(now.threads, afterFirstCycle.threads) << "after grab " << i + 1;
        }
    }
    host.reset();
    // The worker lives with its object and ends with it.
    const ProcessStats end = processStatsOnceThreadsEnd(afterFirstCycle.threads - 1);

    std::printf("soak: %d grabs; resident %zu KiB after the first cycle, peak %zu KiB, %zu KiB at the end; "
                "fds %d -> %d; threads %d at start, %d after the first cycle, %d at the end\n",
                grabs, afterFirstCycle.residentKiB, peakKiB, end.residentKiB, start.openFds, end.openFds,
                start.threads, afterFirstCycle.threads, end.threads);
    EXPECT_EQ(wrongFrames, 0);
    // Two things start with the first frame and stay for the process: Qt's
    // event dispatcher keeps one descriptor from the first thread start on,
    // and the decoder has its thread pool. The module itself keeps neither;
    // its worker's own dispatcher descriptor goes with the worker.
    EXPECT_LE(end.openFds, afterFirstCycle.openFds) << openFdTargets();
    EXPECT_LE(end.openFds, start.openFds + 1) << openFdTargets();
    EXPECT_EQ(end.threads, afterFirstCycle.threads - 1);
    if (residentMemoryIsMeaningful())
        EXPECT_LE(peakKiB, afterFirstCycle.residentKiB + 512) << "resident memory grew during the soak";
}

}  // namespace
