// The recording changing or misbehaving under the module: files and capture
// folders removed or made unreadable between init and run, link loops, and
// folder trees deeper than any recording. Each grab still ends with what is
// there, and the replay goes on.

#include "AsNobody.h"
#include "ModuleHost.h"
#include "SpecialFiles.h"

#include <QThread>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

namespace fs = std::filesystem;

namespace {

class FileSystemFault : public ModuleTest {
protected:
    // cap1..cap3, each with camera3P images 10n+1, 10n+2, 10n+3.
    void record()
    {
        for (int n = 1; n <= 3; ++n) {
            for (int i = 1; i <= 3; ++i)
                rec.gray8Bmp(cap(n) + "/camera3P_" + std::to_string(i) + ".bmp", 10 * n + i);
        }
    }
    static std::string cap(int n) { return "cap" + std::to_string(n); }
    static std::vector<int> frameOf(int n) { return {10 * n + 1, 10 * n + 2, 10 * n + 3}; }

    // One grab that finds nothing: run still succeeds, no image is buffered.
    void expectEmptyGrab()
    {
        EXPECT_TRUE(host.camera->run());
        std::vector<cv::Mat> images;
        EXPECT_FALSE(host.camera->getImages(images, nullptr));
        EXPECT_TRUE(images.empty());
    }
};

TEST_F(FileSystemFault, FileRemovedAfterInitIsLeftOutOfItsFrame)
{
    record();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    fs::remove(rec.path("cap1/camera3P_2.bmp"));
    EXPECT_EQ(host.grabs(4), (Frames{{11, 13}, frameOf(2), frameOf(3), {11, 13}}));
}

TEST_F(FileSystemFault, CaptureFolderRemovedAfterInitGivesAnEmptyGrab)
{
    record();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    fs::remove_all(rec.path(cap(2)));
    EXPECT_EQ(host.grab(), frameOf(1));
    expectEmptyGrab();
    EXPECT_EQ(host.grabs(2), (Frames{frameOf(3), frameOf(1)}));
}

TEST_F(FileSystemFault, CaptureFolderReplacedByAFileGivesAnEmptyGrab)
{
    record();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    fs::remove_all(rec.path(cap(1)));
    rec.bytes(cap(1), "a file where a capture folder was");
    expectEmptyGrab();
    EXPECT_EQ(host.grab(), frameOf(2));
}

TEST_F(FileSystemFault, RootRemovedAfterInitGivesEmptyGrabsUntilItIsBack)
{
    record();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    fs::rename(rec.root(), rec.root() + ".away");
    for (int i = 0; i < 3; ++i)
        expectEmptyGrab();
    fs::rename(rec.root() + ".away", rec.root());
    EXPECT_EQ(host.grab(), frameOf(1));
}

// A file and a capture folder made unreadable between init and run: the file
// gives an empty image in its place, the folder an empty grab.
TEST_F(FileSystemFault, UnreadableFileAndCaptureFolderAfterInit)
{
    if (ranAgainAsNobody())  // root reads everything
        return;
    record();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    std::string why;
    if (!setNoPermissions(rec.path("cap1/camera3P_2.bmp"), true, why))
        GTEST_SKIP() << why;
    ASSERT_TRUE(setNoPermissions(rec.path(cap(2)), true, why)) << why;
    EXPECT_EQ(host.grab(), (std::vector<int>{11, -1, 13}));
    expectEmptyGrab();
    EXPECT_EQ(host.grab(), frameOf(3));
    setNoPermissions(rec.path(cap(2)), false, why);  // so the recording can be removed
}

TEST_F(FileSystemFault, LinkLoopsAreWalkedOnceAndGrabbedWithoutTheLoop)
{
    rec.gray8Bmp("a/camera3P_1.bmp", 1);
    rec.gray8Bmp("b/camera3P_2.bmp", 2);
    rec.gray8Bmp("c/camera3P_3.bmp", 3);
    std::string why;
    if (!makeSymlink("../b", rec.path("a/toB"), why))
        GTEST_SKIP() << why;
    ASSERT_TRUE(makeSymlink("../a", rec.path("b/toA"), why) && makeSymlink("..", rec.path("c/up"), why) &&
                makeSymlink(".", rec.path("c/camera3P_self.bmp"), why))  // a matched entry
        << why;
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    // a, a/toB (b again, whose toA leads back), b, b/toA, c; then around.
    EXPECT_EQ(host.grabs(6), (Frames{{1}, {2}, {2}, {1}, {3}, {1}}));
    EXPECT_FALSE(log.containing("[WARN] ").empty());
}

TEST_F(FileSystemFault, FolderTreeHundredsOfLevelsDeepIsWalkedAndReplayed)
{
    const int levels = 600;
    rec.folder("deep");
    std::string deepest, why;
    if (!nestFolders(rec.path("deep"), "d", levels, deepest, why))
        GTEST_SKIP() << why;
    rec.gray8Bmp("deep/" + deepest + "/camera3P_bottom.bmp", 9);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    // deep, deep/d, ..., the deepest folder last.
    Frames frames = host.grabs(levels + 2);
    EXPECT_EQ(frames.at(levels), std::vector<int>{9});
    frames.erase(frames.begin() + levels);
    EXPECT_EQ(frames, Frames(levels + 1));
    unnestFolders(rec.path("deep"), "d", levels);
}

// Below a capture folder, matching sub-folders are searched as well, on the
// thread that called run: a chain of 1,000 of them (paths of about 4,000
// bytes), searched for a host thread with a 256 KiB stack, gives one empty
// image per folder entry.
TEST_F(FileSystemFault, MatchedSubFoldersThousandLevelsDeepAreSearchedOnASmallStack)
{
    const int levels = 1000;
    rec.folder("camera3P");
    std::string deepest, why;
    if (!nestFolders(rec.path("camera3P"), "bmp", levels, deepest, why))
        GTEST_SKIP() << why;
    rec.gray8Bmp("camera3P/" + deepest + "/x.bmp", 9);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    bool ran = false;
    const std::unique_ptr<QThread> hostThread(QThread::create([&] { ran = host.camera->run(); }));
    hostThread->setStackSize(256 * 1024);
    hostThread->start();
    hostThread->wait();
    EXPECT_TRUE(ran);
    std::vector<int> expected(levels, -1);
    expected.push_back(9);
    EXPECT_EQ(identitiesOf(host.collect()), expected);
    unnestFolders(rec.path("camera3P"), "bmp", levels);
}

// A tree deeper than the longest path the system takes: init ends with a
// refusal naming the folder it could not open, and nothing overflows.
TEST_F(FileSystemFault, FolderTreeDeeperThanThePathLimitFailsInit)
{
    const int levels = 2100;  // 4200 characters of path
    rec.folder("deep");
    std::string deepest, why;
    if (!nestFolders(rec.path("deep"), "d", levels, deepest, why))
        GTEST_SKIP() << why;
    EXPECT_FALSE(host.configure(rec.param("camera3P")));
    const std::vector<std::string> errors = log.containing("[ERROR] ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(rec.path("deep/d/d")), std::string::npos) << errors[0].substr(0, 200);
    unnestFolders(rec.path("deep"), "d", levels);
}

}  // namespace

namespace {

std::string fileContent(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

// The frame after each run is read ahead while the host works; a recorder
// rewriting a TIFF then (cut to nothing, written again) must not take the
// process down: a decoder that maps the file gets a SIGBUS when it is cut.
TEST_F(FileSystemFault, TiffRewrittenWhileReadAheadDoesNotCrash)
{
    writeImage(rec.root(), "cap/camera2_height.tiff", cv::Mat(1024, 1024, CV_16UC1, cv::Scalar(7)));
    const std::string tiff = rec.path("cap/camera2_height.tiff");
    const std::string content = fileContent(tiff);
    ASSERT_TRUE(host.configure(rec.param("camera2")));
    for (int round = 0; round < 60; ++round) {
        ASSERT_TRUE(host.camera->run());
        host.collect();
        for (int rewrite = 0; rewrite < 20; ++rewrite)
            std::ofstream(tiff, std::ios::binary | std::ios::trunc) << content;
    }
    // Written whole again, the file is read whole.
    const std::vector<cv::Mat> last = (host.camera->run(), host.collect());
    ASSERT_EQ(last.size(), 1u);
    EXPECT_EQ(last[0].size(), cv::Size(1024, 1024));
}
