// camera-host inspect: the replay plan of a recording and the warnings a
// user needs before a long run, each case a small recording with one fault.

#include "ReadOrder.h"
#include "SpecialFiles.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>

namespace {

const cv::Mat kGrey(24, 32, CV_8UC1, cv::Scalar(100));
const cv::Mat kColour(24, 32, CV_8UC3, cv::Scalar(10, 20, 30));

// A complete camera1 capture in `folder`: the six kinds, normal image in colour.
void writeCamera1Capture(const std::filesystem::path& root, const std::string& folder)
{
    for (int i = 0; i < 6; ++i)
        writeImage(root, folder + "/camera1_" + kCamera1Kinds[i] + ".bmp", i == 5 ? kColour : kGrey);
}

struct InspectCase {
    const char* name;
    std::string camera;
    std::function<void(const std::filesystem::path&)> fault;  // applied to two good captures c1, c2; may skip
    std::vector<std::string> warning;  // all in one reported warning line; empty: no warning at all
};

void PrintTo(const InspectCase& c, std::ostream* out)
{
    *out << c.name;
}

class InspectFaults : public ::testing::TestWithParam<InspectCase> {};

TEST_P(InspectFaults, AreReportedAsWarnings)
{
    const InspectCase& c = GetParam();
    TempFolder recording;
    writeCamera1Capture(recording.path(), "c1");
    writeCamera1Capture(recording.path(), "c2");
    writeImage(recording.path(), "c2/camera2_Height.tiff", cv::Mat(24, 32, CV_16UC1, cv::Scalar(5000)));
    writeBytes(recording.path(), "c2/camera1_notes.txt", "never read");
    c.fault(recording.path());
    if (IsSkipped())  // the fault cannot be made here
        return;

    const ToolResult run = runTool(CAMERA_HOST, {"inspect", "--param", c.camera + ",a,1," + recording.path()});
    const std::vector<std::string> reported = linesStartingWith(run.out, "warning: ");
    const auto holdsAllParts = [&c](const std::string& line) {
        for (const std::string& part : c.warning)
            if (line.find(part) == std::string::npos)
                return false;
        return true;
    };
    if (c.warning.empty())
        EXPECT_TRUE(reported.empty()) << run.out;
    else
        EXPECT_TRUE(std::any_of(reported.begin(), reported.end(), holdsAllParts)) << run.out;
    EXPECT_EQ(run.exitCode, c.warning.empty() ? 0 : 1) << run.out << run.err;
    EXPECT_EQ(run.out.find("camera1_notes.txt"), std::string::npos) << "text files are never read";
}

void nothing(const std::filesystem::path&) {}

INSTANTIATE_TEST_SUITE_P(
    Tools, InspectFaults,
    ::testing::Values(
        InspectCase{"CleanRecording", "camera1", nothing, {}},
        InspectCase{"CaptureWithoutFiles", "camera1",
                    [](const std::filesystem::path& root) { std::filesystem::create_directories(root / "c3"); },
                    {"capture 3 (", "c3): no file for camera1"}},
        InspectCase{"MissingKinds", "camera1",
                    [](const std::filesystem::path& root) {
                        std::filesystem::remove(root / "c2/camera1_VexoGlossRatioImage.bmp");
                        std::filesystem::remove(root / "c2/camera1_VexoShapeImage1.bmp");
                    },
                    {"capture 2 (", "c2): missing kinds VexoShapeImage1, VexoGlossRatioImage"}},
        InspectCase{"KindTwiceInOneCapture", "camera1",
                    [](const std::filesystem::path& root) {
                        writeImage(root, "c1/camera1_VexoShapeImage2_again.bmp", kGrey);
                    },
                    {"capture 1 (", "2 files of kind VexoShapeImage2: the frame holds 7 images"}},
        InspectCase{"KindMissingAndAnotherTwice", "camera1",
                    [](const std::filesystem::path& root) {
                        std::filesystem::remove(root / "c1/camera1_VexoShapeImage1.bmp");
                        writeImage(root, "c1/camera1_VexoShapeImage2_again.bmp", kGrey);
                    },
                    {"capture 1 (", "2 files of kind VexoShapeImage2: the frame holds 6 images of 5 of the 6 kinds"}},
        // Opening a FIFO blocks until a writer comes: inspect, like the module, never opens it.
        InspectCase{"FifoNamedForTheCamera", "camera1",
                    [](const std::filesystem::path& root) {
                        std::filesystem::remove(root / "c2/camera1_VexoShapeImage1.bmp");
                        std::string why;
                        if (!makeFifo((root / "c2/camera1_VexoShapeImage1.bmp").string(), why))
                            GTEST_SKIP() << why;
                    },
                    {"capture 2 (", "camera1_VexoShapeImage1.bmp is a FIFO, not a regular file: the module hands an empty image"}},
        InspectCase{"SizeDiffersFromItsKind", "camera1",
                    [](const std::filesystem::path& root) {
                        writeCamera1Capture(root, "c3");
                        writeImage(root, "c2/camera1_VexoShapeImage1.bmp", cv::Mat(48, 64, CV_8UC1));
                    },
                    {"camera1_VexoShapeImage1.bmp is 64x48 8UC1, most VexoShapeImage1 files are 32x24 8UC1"}},
        InspectCase{"TypeDiffersFromItsKind", "camera1",
                    [](const std::filesystem::path& root) {
                        writeCamera1Capture(root, "c3");
                        writeImage(root, "c3/camera1_VexoNormalImage.bmp", kGrey);
                    },
                    {"capture 3 (", "camera1_VexoNormalImage.bmp is 32x24 8UC1, most VexoNormalImage files are 32x24 8UC3"}},
        InspectCase{"FileThatWillNotDecode", "camera1",
                    [](const std::filesystem::path& root) {
                        writeBytes(root, "c1/camera1_VexoDiffuseReflectionImage.bmp", "BM truncated");
                    },
                    {"camera1_VexoDiffuseReflectionImage.bmp will not decode"}},
        InspectCase{"Camera2CaptureWithoutFiles", "camera2", nothing, {"capture 1 (", "c1): no file for camera2"}},
        InspectCase{"UnknownCameraName", "Camera1", nothing, {"\"Camera1\" is none of camera1", "did you mean camera1?"}},
        InspectCase{"ImageBesideTheCaptures", "camera1",
                    [](const std::filesystem::path& root) { writeImage(root, "camera1_VexoNormalImage.bmp", kColour); },
                    {"holds 1 image file itself, which the module never reads"}},
        // Files named for the camera that its mode passes over for their ending.
        InspectCase{"Camera2HeightMapAsTif", "camera2",
                    [](const std::filesystem::path& root) {
                        writeImage(root, "c1/camera2_Height.tif", cv::Mat(24, 32, CV_16UC1, cv::Scalar(5)));
                    },
                    {"capture 1 (", "camera2_Height.tif is not read: camera2 reads only files ending in bmp or tiff"}},
        InspectCase{"Camera1KindStoredAsTiff", "camera1",
                    [](const std::filesystem::path& root) {
                        std::filesystem::rename(root / "c2/camera1_VexoNormalImage.bmp",
                                                root / "c2/camera1_VexoNormalImage.tiff");
                    },
                    {"capture 2 (", "camera1_VexoNormalImage.tiff is not read: camera1 reads only files ending in bmp"}},
        InspectCase{"Camera3PAsPng", "camera3P",
                    [](const std::filesystem::path& root) {
                        writeImage(root, "c1/camera3P_Image.bmp", kGrey);
                        writeBytes(root, "c2/camera3P_Image.png", "never read");
                    },
                    {"capture 2 (", "camera3P_Image.png is not read: camera3P reads only files ending in bmp"}}),
    [](const ::testing::TestParamInfo<InspectCase>& info) { return info.param.name; });

TEST(Inspect, ListsCapturesInReplayOrderWithTheirFilesInReadOrder)
{
    TempFolder recording;
    writeCamera1Capture(recording.path(), "b");
    writeCamera1Capture(recording.path(), "a/inner");
    // The text on standard output stays when JSON goes to a file.
    const ToolResult run = runTool(CAMERA_HOST, {"inspect", "--param", "camera1,a,1," + recording.path(), "--json",
                                                 recording.at("plan.jsonl")});
    std::ifstream json(recording.at("plan.jsonl"));
    std::string first;
    EXPECT_TRUE(std::getline(json, first) && first.front() == '{') << "no JSON in the file";
    // "a" (empty) comes before its own sub-folder, then "b".
    const std::vector<std::string> captures = linesStartingWith(run.out, "capture ");
    ASSERT_EQ(captures.size(), 3u) << run.out;
    EXPECT_NE(captures[0].find(recording.at("a")), std::string::npos);
    EXPECT_NE(captures[1].find(recording.at("a/inner")), std::string::npos);
    EXPECT_NE(captures[2].find(recording.at("b")), std::string::npos);
    const std::size_t b = run.out.find(captures[2]);
    std::size_t previous = b;
    for (const char* kind : kCamera1Kinds) {
        const std::size_t at = run.out.find(std::string("camera1_") + kind, b);
        ASSERT_NE(at, std::string::npos) << kind;
        EXPECT_GT(at, previous) << kind << " out of read order";
        previous = at;
    }
}

TEST(Inspect, BadParameterStringOrRootIsAnError)
{
    const ToolResult noRoot = runTool(CAMERA_HOST, {"inspect", "--param", "camera1,a,1,/no/such/recording"});
    EXPECT_EQ(noRoot.exitCode, 1);
    EXPECT_NE(noRoot.err.find("/no/such/recording"), std::string::npos) << noRoot.err;
    const ToolResult badParam = runTool(CAMERA_HOST, {"inspect", "--param", "camera1"});
    EXPECT_EQ(badParam.exitCode, 1);
    EXPECT_NE(badParam.err.find("bad parameter string"), std::string::npos) << badParam.err;
}

TEST(Inspect, CountsSayOneOrMany)
{
    TempFolder recording;
    writeImage(recording.path(), "c1/camera3N_Image.bmp", kGrey);
    const ToolResult one = runTool(CAMERA_HOST, {"inspect", "--param", "camera3N,a,1," + recording.path()});
    EXPECT_EQ(one.exitCode, 0) << one.out << one.err;
    EXPECT_NE(one.out.find("\n1 capture, 1 file to read, 0 warnings\n"), std::string::npos) << one.out;
    writeImage(recording.path(), "c2/camera3N_Image.bmp", kGrey);
    writeImage(recording.path(), "c2/camera3N_Image2.bmp", kGrey);
    const ToolResult more = runTool(CAMERA_HOST, {"inspect", "--param", "camera3N,a,1," + recording.path()});
    EXPECT_NE(more.out.find("\n2 captures, 3 files to read, 0 warnings\n"), std::string::npos) << more.out;
}

}  // namespace
