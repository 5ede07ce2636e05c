// What handing over a frame read ahead asks of the file system on the host's
// thread: one status per file and per folder listed, and no listing while the
// folders' stamps tell that their listings are unchanged; a changed listing
// is still noticed. The module's stat, lstat and opendir are wrapped at link
// time (this program is linked with --wrap for them) and counted per thread.

#include "ModuleState.h"
#include "ReadAhead.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <sys/stat.h>

#include <chrono>
#include <filesystem>
#include <functional>

namespace fs = std::filesystem;

extern "C" {
int __real_stat(const char* path, struct stat* info);
int __real_lstat(const char* path, struct stat* info);
DIR* __real_opendir(const char* name);
}

namespace {

struct Requests {
    int statuses = 0;
    int listings = 0;
};
thread_local Requests requests;

}  // namespace

extern "C" {
int __wrap_stat(const char* path, struct stat* info)
{
    ++requests.statuses;
    return __real_stat(path, info);
}

int __wrap_lstat(const char* path, struct stat* info)
{
    ++requests.statuses;
    return __real_lstat(path, info);
}

DIR* __wrap_opendir(const char* name)
{
    ++requests.listings;
    return __real_opendir(name);
}
}

namespace {

struct HandOverCase {
    std::string name;
    bool stampsOld;                                       // folders last modified a minute before
    std::function<void(const RecordingFixture&)> change;  // after the frame was read ahead
    bool handedOver;
    bool listedAgain;
};

void PrintTo(const HandOverCase& c, std::ostream* out) { *out << c.name; }

class HandOver : public ::testing::TestWithParam<HandOverCase> {};

// A camera1 frame of six files, one of them in a matching sub-folder.
const char* const kFiles[] = {
    "f1/camera1_VexoSpecularReflectionImage.bmp", "f1/camera1_VexoDiffuseReflectionImage.bmp",
    "f1/camera1_VexoShapeImage1.bmp",             "f1/camera1_VexoShapeImage2.bmp",
    "f1/camera1_VexoGlossRatioImage.bmp",         "f1/more.bmp/camera1_VexoNormalImage.bmp",
};

TEST_P(HandOver, OneStatusPerFileAndFolderAndNoListingWhileTheStampsTell)
{
    const HandOverCase& c = GetParam();
    RecordingFixture rec;
    int identity = 1;
    for (const char* file : kFiles)
        rec.gray8Bmp(file, identity++);
    rec.gray8Bmp("f2/camera1_VexoShapeImage1.bmp", 9);
    if (c.stampsOld) {
        for (const char* folder : {"f1", "f1/more.bmp"})
            fs::last_write_time(rec.path(folder), fs::file_time_type::clock::now() - std::chrono::minutes(1));
    }
    ModuleState state;
    state.cameraName = "camera1";
    state.captureFolders = {rec.path("f1"), rec.path("f2")};
    FrameTarget target;
    ASSERT_TRUE(nextFrameTarget(state, target));
    ReadAhead ahead;
    const std::atomic<bool> stop{false};
    readAheadFrame(target, ahead, stop);
    ASSERT_TRUE(ahead.filled);
    if (c.change)
        c.change(rec);

    requests = Requests();
    CollectedLog log;
    EXPECT_EQ(grabFromReadAhead(state, ahead, log), c.handedOver);
    EXPECT_EQ(requests.listings > 0, c.listedAgain) << requests.listings << " listings";
    if (c.handedOver) {
        EXPECT_EQ(state.imageBuffer.size(), std::size(kFiles));
        EXPECT_LE(requests.statuses, static_cast<int>(std::size(kFiles)) + (c.listedAgain ? 100 : 3));
    } else {
        EXPECT_TRUE(state.imageBuffer.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, HandOver, ::testing::Values(
    HandOverCase{"Untouched", true, nullptr, true, false},
    // A folder modified just before the planning may have been changed in
    // the same tick of a coarse clock: listed again, still the same frame.
    HandOverCase{"FolderJustModified", false, nullptr, true, true},
    HandOverCase{"FileAddedToTheCaptureFolder", true,
                 [](const RecordingFixture& rec) { rec.gray8Bmp("f1/camera1_VexoNormalImage_2.bmp", 7); }, false,
                 true},
    HandOverCase{"FileAddedToTheSubFolder", true,
                 [](const RecordingFixture& rec) { rec.gray8Bmp("f1/more.bmp/camera1_VexoShapeImage1_2.bmp", 8); },
                 false, true},
    HandOverCase{"OtherFileAdded", true,
                 [](const RecordingFixture& rec) { rec.bytes("f1/notes.txt", "x"); }, true, true}),
    [](const ::testing::TestParamInfo<HandOverCase>& info) { return info.param.name; });

}  // namespace
