// The mistakes a newcomer makes first, and what the tools answer: images put
// in the root, a mis-cased camera name, a contact sheet that cannot be
// written, asking for help or the version. Each answer names the cause and
// ends with the documented exit status.

#include "BuiltModule.h"
#include "ProjectVersion.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <QtGlobal>

#include <opencv2/core/version.hpp>

#include <fstream>
#include <iterator>

namespace {

const cv::Mat kGrey(24, 32, CV_8UC1, cv::Scalar(100));

// A root holding `images` camera1 files itself and no capture folder.
void writeFlatRecording(const std::filesystem::path& root, int images)
{
    std::filesystem::create_directories(root);
    for (int i = 1; i <= images; ++i)
        writeImage(root, "camera1_VexoShapeImage" + std::to_string(i) + ".bmp", kGrey);
    writeBytes(root, "notes.txt", "not an image");
}

struct RootCase {
    const char* name;
    int imagesInRoot;
    std::vector<std::string> extraArgs;  // after "replay --param ..."
};

void PrintTo(const RootCase& c, std::ostream* out)
{
    *out << c.name;
}

class RootWithoutCaptures : public ::testing::TestWithParam<RootCase> {};

TEST_P(RootWithoutCaptures, ReplayAndInspectSaySoAndFail)
{
    const RootCase& c = GetParam();
    TempFolder recording;
    writeFlatRecording(recording.path(), c.imagesInRoot);
    const std::string param = "camera1,a,1," + recording.path();
    std::vector<std::string> replayArgs{"replay", "--param", param};
    replayArgs.insert(replayArgs.end(), c.extraArgs.begin(), c.extraArgs.end());

    for (const auto& args : {replayArgs, std::vector<std::string>{"inspect", "--param", param}}) {
        const ToolResult run = runTool(CAMERA_HOST, args);
        EXPECT_EQ(run.exitCode, 1) << args[0] << "\n" << run.out << run.err;
        EXPECT_NE(run.err.find(recording.path() + " holds no capture folder"), std::string::npos)
            << args[0] << ": " << run.err;
        const std::string imageCount = "it holds " + std::to_string(c.imagesInRoot) +
                                       (c.imagesInRoot == 1 ? " image file itself" : " image files itself");
        if (c.imagesInRoot > 0) {
            EXPECT_NE(run.err.find(imageCount), std::string::npos) << args[0] << ": " << run.err;
            EXPECT_NE(run.err.find("point field 4"), std::string::npos) << args[0] << ": " << run.err;
        } else {
            EXPECT_EQ(run.err.find("image file"), std::string::npos) << args[0] << ": " << run.err;
        }
        EXPECT_EQ(run.out.find("frames "), std::string::npos) << args[0] << ": no frame is grabbed\n" << run.out;
    }
}

INSTANTIATE_TEST_SUITE_P(Tools, RootWithoutCaptures,
                         ::testing::Values(RootCase{"SixImagesInRoot", 6, {}},
                                           RootCase{"SixImagesInRootWithFrames", 6, {"--frames", "3"}},
                                           RootCase{"OneImageInRoot", 1, {}},
                                           RootCase{"EmptyRoot", 0, {"--frames", "3"}}),
                         [](const ::testing::TestParamInfo<RootCase>& info) { return info.param.name; });

TEST(Replay, MisCasedCameraNameIsWarnedAboutAndFailsWhenNoFrameHeldAnImage)
{
    const ToolResult run =
        runTool(CAMERA_HOST, {"replay", "--param", "Camera1,a,1," + sampleRecording(), "--quiet"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("warning: camera name \"Camera1\" is none of camera1"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("did you mean camera1?"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("no frame held an image"), std::string::npos) << run.err;
}

TEST(Replay, KnownCameraWithoutFilesFailsWhenNoFrameHeldAnImage)
{
    TempFolder recording;
    writeImage(recording.path(), "c1/camera2_Intensity.bmp", kGrey);
    const ToolResult run =
        runTool(CAMERA_HOST, {"replay", "--param", "camera3P,a,1," + recording.path(), "--quiet"});
    EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
    EXPECT_NE(run.err.find("no frame held an image"), std::string::npos) << run.err;
    EXPECT_EQ(run.err.find("is none of"), std::string::npos) << "camera3P is a known name: " << run.err;
}

TEST(Replay, SheetThatCannotBeWrittenIsRefusedBeforeAnyFrame)
{
    TempFolder out;
    struct Case {
        std::string sheet;
        std::string reason;
    };
    for (const Case& c : {Case{out.at("no/such/folder/sheet.png"), "does not exist"},
                          Case{out.path(), "it is a folder"},
                          Case{out.at("sheet.unknownending"), "OpenCV writes no image file named so; end the name in "}}) {
        const ToolResult run =
            runTool(CAMERA_HOST, {"replay", "--param", "camera1,a,1," + sampleRecording(), "--sheet", c.sheet});
        EXPECT_EQ(run.exitCode, 1) << c.sheet << "\n" << run.err;
        EXPECT_NE(run.err.find("cannot write the contact sheet " + c.sheet + ": "), std::string::npos) << run.err;
        EXPECT_NE(run.err.find(c.reason), std::string::npos) << run.err;
        EXPECT_EQ(run.out.find("frames "), std::string::npos) << "the replay must not run: " << run.out;
    }
}

TEST(Help, EachCommandHasItsOwnAndAllExitZero)
{
    struct Case {
        std::string program;
        std::vector<std::string> args;
        std::string holds;
        std::string lacks;
    };
    const std::vector<Case> cases{
        {CAMERA_HOST, {"--help"}, "camera-host replay --help", "Shows the recording"},
        {CAMERA_HOST, {"replay", "--help"}, "--sheet FILE", "Shows the recording"},
        {CAMERA_HOST, {"replay", "--param", "x", "-h"}, "--cycles N", "Shows the recording"},
        {CAMERA_HOST, {"inspect", "--help"}, "camera2   bmp files in file order, then tiff files", "--sheet"},
        {MAKE_SAMPLE_RECORDING, {"--help"}, "usage: make-sample-recording DIR", "give one folder"},
    };
    for (const Case& c : cases) {
        const ToolResult run = runTool(c.program, c.args);
        const std::string what = c.program + " " + c.args[0];
        EXPECT_EQ(run.exitCode, 0) << what << "\n" << run.err;
        EXPECT_NE(run.out.find(c.holds), std::string::npos) << what << "\n" << run.out;
        EXPECT_EQ(run.out.find(c.lacks), std::string::npos) << what << "\n" << run.out;
        EXPECT_TRUE(run.err.empty()) << what << "\n" << run.err;
    }
    const ToolResult noFolder = runTool(MAKE_SAMPLE_RECORDING, {});
    EXPECT_EQ(noFolder.exitCode, 2);
    EXPECT_NE(noFolder.err.find("usage: make-sample-recording DIR"), std::string::npos) << noFolder.err;
}

TEST(Version, HostPrintsItsQtAndOpenCvAndTheModuleFileCarriesIt)
{
    const ToolResult run = runTool(CAMERA_HOST, {"--version"});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(std::string("camera-host ") + PROJECT_VERSION_TEXT + "\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find(std::string("Qt          built with ") + QT_VERSION_STR + ", running with " + qVersion()),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find(std::string("OpenCV      built with ") + CV_VERSION + ", running with "), std::string::npos)
        << run.out;

    std::ifstream module(builtModulePath(), std::ios::binary);
    ASSERT_TRUE(module) << builtModulePath();
    const std::string bytes{std::istreambuf_iterator<char>(module), std::istreambuf_iterator<char>()};
    EXPECT_NE(bytes.find(std::string("Qz_VirtualCamera_ReadFile version ") + PROJECT_VERSION_TEXT +
                         " (built with Qt " + QT_VERSION_STR + ", OpenCV " + CV_VERSION + ")"),
              std::string::npos)
        << "the version text is missing from " << builtModulePath();
}

}  // namespace
