// make-sample-recording: the same bytes on every run, laid out so that every
// camera mode finds complete frames, and careful with the folder it is given.

#include "CaptureFolders.h"
#include "ExtendedPath.h"
#include "ReadOrder.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <opencv2/imgcodecs.hpp>

#include <map>

namespace fs = std::filesystem;

namespace {

std::map<std::string, std::string> filesUnder(const fs::path& root)
{
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(root))
        if (entry.is_regular_file())
            files[fs::relative(entry.path(), root).string()] = readBytes(entry.path());
    return files;
}

std::vector<int> frameTypes(const std::string& folder, const std::string& camera)
{
    std::vector<int> types;
    for (const std::string& path : planFrame(folder, camera))
        types.push_back(cv::imread(path, cv::IMREAD_UNCHANGED).type());
    return types;
}

TEST(SampleRecording, IsTheSameOnEveryRun)
{
    TempFolder again;
    const ToolResult made = runTool(MAKE_SAMPLE_RECORDING, {again.at("sample")});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    const auto first = filesUnder(sampleRecording());
    const auto second = filesUnder(again.at("sample"));
    EXPECT_EQ(first.size(), second.size());
    EXPECT_TRUE(first == second) << "some file differs between two runs";
    std::size_t bytes = 0;
    for (const auto& [name, content] : first)
        bytes += content.size();
    EXPECT_LT(bytes, 8u << 20) << "the sample recording should stay small";
}

// Under a root in the form Windows takes past MAX_PATH ("\\?\C:\..."), where
// "/" would be part of a name: the same recording.
TEST(SampleRecording, IsTheSameUnderALongFormRoot)
{
    TempFolder folder;
    const ToolResult made = runTool(MAKE_SAMPLE_RECORDING, {fileCallPath(folder.at("sample"))});
    ASSERT_EQ(made.exitCode, 0) << made.err;
    EXPECT_TRUE(filesUnder(folder.at("sample")) == filesUnder(sampleRecording())) << "some file differs";
}

TEST(SampleRecording, EveryCaptureHoldsAFullFrameForEveryCameraMode)
{
    std::vector<std::string> folders;
    std::string error;
    ASSERT_TRUE(collectFolders(sampleRecording(), folders, error)) << error;
    ASSERT_EQ(folders.size(), 8u);
    int nested = 0;
    for (const std::string& folder : folders) {
        nested += fs::path(folder).parent_path() != fs::path(sampleRecording()) ? 1 : 0;
        EXPECT_EQ(frameTypes(folder, "camera1"),
                  (std::vector<int>{CV_8UC1, CV_8UC1, CV_8UC1, CV_8UC1, CV_8UC1, CV_8UC3}))
            << folder;
        EXPECT_EQ(frameTypes(folder, "camera2"), (std::vector<int>{CV_8UC1, CV_8UC1, CV_16UC1})) << folder;
        EXPECT_EQ(frameTypes(folder, "camera3P"), std::vector<int>{CV_8UC1}) << folder;
        EXPECT_EQ(frameTypes(folder, "camera3N"), std::vector<int>{CV_8UC1}) << folder;
    }
    EXPECT_EQ(nested, 1) << "one capture sits a level deeper";
    bool hasTextFile = false;
    for (const auto& [name, content] : filesUnder(sampleRecording()))
        hasTextFile = hasTextFile || fs::path(name).extension() == ".txt";
    EXPECT_TRUE(hasTextFile) << "a text file the module must pass over";
}

TEST(SampleRecording, RefusesAFolderThatIsNotEmpty)
{
    TempFolder folder;
    writeBytes(folder.path(), "keep.txt", "mine");
    const ToolResult made = runTool(MAKE_SAMPLE_RECORDING, {folder.path()});
    EXPECT_EQ(made.exitCode, 1);
    EXPECT_NE(made.err.find("is not empty"), std::string::npos) << made.err;
    EXPECT_EQ(filesUnder(folder.path()).size(), 1u);
}

}  // namespace
