// The recording changing or misbehaving under the module: files and capture
// folders removed or made unreadable between init and run, link loops, and
// folder trees deeper than any recording. Each grab still ends with what is
// there, and the replay goes on.

#include "AsNobody.h"
#include "ModuleHost.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

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
    record();
    const auto check = [this]() -> std::string {
        if (!host.configure(rec.param("camera3P")))
            return "init failed";
        if (::chmod(rec.path("cap1/camera3P_2.bmp").c_str(), 0) != 0 ||
            ::chmod(rec.path(cap(2)).c_str(), 0) != 0)
            return "chmod failed";
        std::string failures;
        const auto expect = [&failures](const std::vector<int>& got, const std::vector<int>& want, const char* what) {
            if (got != want)
                failures += std::string(what) + " frame differs; ";
        };
        if (!host.camera->run())
            failures += "run with unreadable file failed; ";
        expect(identitiesOf(host.collect()), {11, -1, 13}, "unreadable file");
        if (!host.camera->run())
            failures += "run with unreadable folder failed; ";
        expect(identitiesOf(host.collect()), {}, "unreadable folder");
        if (!host.camera->run())
            failures += "run after the unreadable folder failed; ";
        expect(identitiesOf(host.collect()), frameOf(3), "next");
        return failures;
    };
    std::string failure;
    if (::geteuid() == 0) {
        // The recording must belong to the user the checks run as.
        const passwd* nobody = ::getpwnam("nobody");
        if (!nobody)
            GTEST_SKIP() << "running as root and there is no user \"nobody\" to drop privileges to";
        for (const auto& entry : fs::recursive_directory_iterator(rec.root()))
            ASSERT_EQ(::chown(entry.path().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        ASSERT_EQ(::chown(rec.root().c_str(), nobody->pw_uid, nobody->pw_gid), 0);
        failure = asNobody(check);
        // Back to readable, so the recording can be removed.
        ::chmod(rec.path(cap(2)).c_str(), 0755);
    } else {
        failure = check();
        ::chmod(rec.path(cap(2)).c_str(), 0755);
    }
    EXPECT_EQ(failure, "");
}

TEST_F(FileSystemFault, LinkLoopsAreWalkedOnceAndGrabbedWithoutTheLoop)
{
    rec.gray8Bmp("a/camera3P_1.bmp", 1);
    rec.gray8Bmp("b/camera3P_2.bmp", 2);
    rec.gray8Bmp("c/camera3P_3.bmp", 3);
    fs::create_directory_symlink("../b", rec.path("a/toB"));
    fs::create_directory_symlink("../a", rec.path("b/toA"));
    fs::create_directory_symlink("..", rec.path("c/up"));
    fs::create_directory_symlink(".", rec.path("c/camera3P_self.bmp"));  // a matched entry
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    // a, a/toB (b again, whose toA leads back), b, b/toA, c; then around.
    EXPECT_EQ(host.grabs(6), (Frames{{1}, {2}, {2}, {1}, {3}, {1}}));
    EXPECT_FALSE(log.containing("[WARN] ").empty());
}

// Makes `levels` nested folders named `name` below `base` and returns the
// deepest one's path relative to `base`. Works through chdir, so the path
// may grow beyond what one system call takes.
std::string nest(const std::string& base, const std::string& name, int levels)
{
    const fs::path start = fs::current_path();
    fs::current_path(base);
    std::string relative;
    for (int i = 0; i < levels; ++i) {
        if (::mkdir(name.c_str(), 0755) != 0 || ::chdir(name.c_str()) != 0)
            break;
        relative += (i ? "/" : "") + name;
    }
    fs::current_path(start);
    return relative;
}

// Removes what nest() made, deepest first, again through chdir.
void unnest(const std::string& base, const std::string& name, int levels)
{
    const fs::path start = fs::current_path();
    fs::current_path(base);
    int depth = 0;
    while (depth < levels && ::chdir(name.c_str()) == 0)
        ++depth;
    for (; depth > 0; --depth) {
        if (::chdir("..") != 0 || ::rmdir(name.c_str()) != 0)
            break;
    }
    fs::current_path(start);
}

TEST_F(FileSystemFault, FolderTreeHundredsOfLevelsDeepIsWalkedAndReplayed)
{
    const int levels = 600;
    rec.folder("deep");
    const std::string deepest = nest(rec.path("deep"), "d", levels);
    rec.gray8Bmp("deep/" + deepest + "/camera3P_bottom.bmp", 9);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    // deep, deep/d, ..., the deepest folder last.
    Frames frames = host.grabs(levels + 2);
    EXPECT_EQ(frames.at(levels), std::vector<int>{9});
    frames.erase(frames.begin() + levels);
    EXPECT_EQ(frames, Frames(levels + 1));
    unnest(rec.path("deep"), "d", levels);
}

// Below a capture folder, matching sub-folders are searched as well: a chain
// of them as deep as paths allow gives one empty image per folder entry.
TEST_F(FileSystemFault, MatchedSubFoldersHundredsOfLevelsDeepAreSearched)
{
    const int levels = 900;  // "/bmp" per level: just under the path limit
    rec.folder("camera3P");
    const std::string deepest = nest(rec.path("camera3P"), "bmp", levels);
    rec.gray8Bmp("camera3P/" + deepest + "/x.bmp", 9);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_TRUE(host.camera->run());
    std::vector<int> expected(levels, -1);
    expected.push_back(9);
    EXPECT_EQ(identitiesOf(host.collect()), expected);
    unnest(rec.path("camera3P"), "bmp", levels);
}

// A tree deeper than the longest path the system takes: init ends with a
// refusal naming the folder it could not open, and nothing overflows.
TEST_F(FileSystemFault, FolderTreeDeeperThanThePathLimitFailsInit)
{
    const int levels = 2100;  // 4200 characters of path
    rec.folder("deep");
    nest(rec.path("deep"), "d", levels);
    EXPECT_FALSE(host.configure(rec.param("camera3P")));
    const std::vector<std::string> errors = log.containing("[ERROR] ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(rec.path("deep/d/d")), std::string::npos) << errors[0].substr(0, 200);
    unnest(rec.path("deep"), "d", levels);
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
