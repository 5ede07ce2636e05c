// camera-host replay end to end on the sample recording, and the ways a
// user can get it wrong: each must end in a clear message and an exit status.

#include "ContactSheet.h"
#include "ExtendedPath.h"
#include "ImageFile.h"
#include "ReadOrder.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtGlobal>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <regex>

namespace {

struct FrameLine {
    int number = 0;
    int imageCount = 0;
    std::vector<std::string> images;  // "320x240 8UC1" or "empty"
    std::string folder;               // the capture folder, below the root
};

// The per-frame table rows: "frame images grab-ms image image ...".
std::vector<FrameLine> frameLines(const std::string& out)
{
    static const std::regex row(R"(^\s*(\d+)\s+(\d+)\s+\d+\.\d+\s*(.*)$)");
    static const std::regex image(R"(\d+x\d+ \w+|empty)");
    std::vector<FrameLine> rows;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        std::smatch m;
        if (!std::regex_match(line, m, row))
            continue;
        FrameLine frame{std::stoi(m[1]), std::stoi(m[2]), {}, {}};
        std::string rest = m[3];
        const std::size_t arrow = rest.rfind("<- ");
        if (arrow != std::string::npos) {
            frame.folder = rest.substr(arrow + 3);
            rest.erase(arrow);
        }
        for (auto it = std::sregex_iterator(rest.begin(), rest.end(), image); it != std::sregex_iterator(); ++it)
            frame.images.push_back(it->str());
        rows.push_back(frame);
    }
    return rows;
}

// The sheet has `rows` frames of at most `columns` images, under a title of
// however many lines the title took.
::testing::AssertionResult isSheetOf(const cv::Mat& sheet, int rows, int columns)
{
    for (int titleLines = 1; titleLines <= 4; ++titleLines)
        if (sheet.size() == SheetLayout::sheetSize(rows, columns, titleLines))
            return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "a " << sheet.cols << "x" << sheet.rows << " sheet is not one of " << rows
                                         << " rows and " << columns << " columns";
}

std::string param(const std::string& camera, const std::string& root)
{
    return camera + ",sample,0," + root;
}

TEST(Replay, TwoCyclesOfCamera1GiveSixKindsPerFrameSavedAndOnTheSheet)
{
    TempFolder out;
    const ToolResult run = runTool(CAMERA_HOST, {"replay", "--param", param("camera1", sampleRecording()),
                                                 "--cycles", "2", "--save", out.at("saved"), "--sheet",
                                                 out.at("sheet" + imageEnding())});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<FrameLine> frames = frameLines(run.out);
    ASSERT_EQ(frames.size(), 16u) << run.out;  // eight captures, twice
    const std::vector<std::string> sixKinds(5, "320x240 8UC1");
    for (std::size_t i = 0; i < frames.size(); ++i) {
        EXPECT_EQ(frames[i].number, static_cast<int>(i) + 1);
        EXPECT_EQ(frames[i].imageCount, 6);
        std::vector<std::string> expected = sixKinds;
        expected.push_back("320x240 8UC3");  // the normal image, 24-bit
        EXPECT_EQ(frames[i].images, expected) << "frame " << i + 1;
    }
    EXPECT_NE(run.out.find("frames      16 (0 failed)"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("images      96 (0 empty)"), std::string::npos) << run.out;

    // Saved files name their capture folder and source file; frame 9 starts the
    // second cycle: it must be frame 1 again, image for image.
    const std::string firstCapture = "_part_0001_2024-03-18_09-14-02_camera1_";
    for (const char* kind : kCamera1Kinds) {
        const std::string suffix = firstCapture + kind + imageEnding();
        const cv::Mat first = cv::imread(out.at("saved/frame0001" + suffix), cv::IMREAD_UNCHANGED);
        const cv::Mat ninth = cv::imread(out.at("saved/frame0009" + suffix), cv::IMREAD_UNCHANGED);
        ASSERT_FALSE(first.empty()) << suffix;
        EXPECT_EQ(cv::norm(first, ninth, cv::NORM_INF), 0.0) << suffix;
    }
    EXPECT_EQ(cv::imread(out.at("saved/frame0016_part_0007_2024-03-18_09-14-36_camera1_VexoNormalImage" + imageEnding()),
                         cv::IMREAD_UNCHANGED)
                  .type(),
              CV_8UC3);

    const cv::Mat sheet = cv::imread(out.at("sheet" + imageEnding()));
    EXPECT_TRUE(isSheetOf(sheet, 16, 6));
    EXPECT_NE(run.out.find("contact sheet: " + out.at("sheet" + imageEnding())), std::string::npos);
}

// --fps N: frame k is due at start + k/N, so N frames take at least (N-1)/N
// seconds however fast the module is; the summary says how many were late.
TEST(Replay, FpsPacesTheGrabsAndWorksWithFramesAndCycles)
{
    struct Case {
        std::vector<std::string> count;
        double fps;
        int frames;
    };
    for (const Case& c : {Case{{"--frames", "5"}, 20, 5}, Case{{"--cycles", "1"}, 40, 8}}) {
        std::vector<std::string> args{"replay", "--param", param("camera3P", sampleRecording()), "--quiet", "--fps",
                                      std::to_string(static_cast<int>(c.fps))};
        args.insert(args.end(), c.count.begin(), c.count.end());
        const ToolResult run = runTool(CAMERA_HOST, args);
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_NE(run.out.find("frames      " + std::to_string(c.frames) + " (0 failed)"), std::string::npos) << run.out;
        std::smatch m;
        ASSERT_TRUE(std::regex_search(run.out, m, std::regex(R"(pacing +(\d+) frames/s asked, [\d.]+ frames/s kept over ([\d.]+) s; \d+ frames? could not keep up)")))
            << run.out;
        EXPECT_EQ(std::stoi(m[1]), static_cast<int>(c.fps));
        EXPECT_GE(std::stod(m[2]), (c.frames - 1) / c.fps) << run.out;
    }
}

// --json -: JSON Lines instead of the text; each image names the file it
// came from, and the broken one is the file the module's own log names.
TEST(Replay, JsonNamesTheFilesTheModuleRead)
{
    TempFolder recording;
    writeImage(recording.path(), "a/camera3P_1.bmp", cv::Mat(24, 32, CV_8UC1, cv::Scalar(9)));
    writeBytes(recording.path(), "a/camera3P_2.bmp", "not an image");
    writeImage(recording.path(), "b/camera3P_1.bmp", cv::Mat(24, 32, CV_8UC3, cv::Scalar(9)));
    const ToolResult run = runTool(CAMERA_HOST, {"replay", "--param", param("camera3P", recording.path()),
                                                 "--frames", "3", "--json", "-"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::vector<QJsonObject> lines;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line);) {
        QJsonParseError error{};
        const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
        ASSERT_TRUE(document.isObject()) << "not a JSON object: " << line;
        lines.push_back(document.object());
    }
    ASSERT_EQ(lines.size(), 4u) << run.out;
    const QJsonObject camera = lines[0]["cameras"].toArray()[0].toObject();
    EXPECT_EQ(lines[0]["frame"].toInt(), 1);
    EXPECT_EQ(camera["param"].toString().toStdString(), param("camera3P", recording.path()));
    EXPECT_EQ(camera["captureFolder"].toString().toStdString(), "a");
    const QJsonArray images = camera["images"].toArray();
    ASSERT_EQ(images.size(), 2);
    EXPECT_EQ(images[0].toObject()["type"].toString().toStdString(), "8UC1");
    EXPECT_EQ(images[0].toObject()["width"].toInt(), 32);
    EXPECT_EQ(images[0].toObject()["height"].toInt(), 24);
    const QJsonObject broken = images[1].toObject();
    EXPECT_TRUE(broken["empty"].toBool());
    EXPECT_NE(run.err.find("cannot decode " + broken["file"].toString().toStdString() + ":"), std::string::npos)
        << run.err;
    const QJsonObject second = lines[1]["cameras"].toArray()[0].toObject();
    EXPECT_EQ(second["captureFolder"].toString().toStdString(), "b");
    EXPECT_EQ(second["images"].toArray()[0].toObject()["type"].toString().toStdString(), "8UC3");
    EXPECT_EQ(lines[3]["summary"].toObject()["frames"].toInt(), 3);
    EXPECT_EQ(lines[3]["summary"].toObject()["emptyImages"].toInt(), 2);

    // inspect reads with the module's code: its plan is what replay got, image for image.
    const ToolResult inspect =
        runTool(CAMERA_HOST, {"inspect", "--param", param("camera3P", recording.path()), "--json", "-"});
    EXPECT_EQ(inspect.exitCode, 1) << "the broken file is warned about\n" << inspect.err;
    std::istringstream planned(inspect.out);
    std::string line;
    for (int frame = 0; frame < 2; ++frame) {
        ASSERT_TRUE(std::getline(planned, line)) << inspect.out;
        EXPECT_EQ(QJsonDocument::fromJson(QByteArray::fromStdString(line)).object()["cameras"], lines[frame]["cameras"])
            << "frame " << frame + 1 << ": " << line;
    }
}

// Two cameras on one recording: each loads its own copy of the module, so
// each has its own cursor and both replay the same capture in a frame.
TEST(Replay, EachCameraOfAStationHasACursorOfItsOwn)
{
    TempFolder recording;
    // The images' widths tell the folders apart (the folder names in the
    // JSON come from camera-host's own plan).
    writeImage(recording.path(), "a/camera3P_1.bmp", cv::Mat(8, 8, CV_8UC1, cv::Scalar(1)));
    writeImage(recording.path(), "b/camera3P_1.bmp", cv::Mat(8, 16, CV_8UC1, cv::Scalar(1)));
    const std::string camera = param("camera3P", recording.path());
    const ToolResult run =
        runTool(CAMERA_HOST, {"replay", "--param", camera, "--param", camera, "--frames", "2", "--json", "-"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    std::istringstream in(run.out);
    std::string line;
    for (const int width : {8, 16}) {
        ASSERT_TRUE(std::getline(in, line)) << run.out;
        const QJsonArray cameras = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object()["cameras"].toArray();
        ASSERT_EQ(cameras.size(), 2) << line;
        for (const QJsonValue& each : cameras)
            EXPECT_EQ(each.toObject()["images"].toArray()[0].toObject()["width"].toInt(), width) << line;
    }
}

// The capture folder each frame names (text, then JSON for replay and inspect).
std::vector<std::string> namedFolders(const std::string& root)
{
    std::vector<std::string> folders;
    const ToolResult text = runTool(CAMERA_HOST, {"replay", "--param", param("camera3P", root), "--cycles", "1"});
    for (const FrameLine& frame : frameLines(text.out))
        folders.push_back(frame.folder);
    for (const char* command : {"replay", "inspect"}) {
        const ToolResult json = runTool(CAMERA_HOST, {command, "--param", param("camera3P", root), "--json", "-"});
        std::istringstream in(json.out);
        for (std::string line; std::getline(in, line);) {
            const QJsonArray cameras = QJsonDocument::fromJson(QByteArray::fromStdString(line)).object()["cameras"].toArray();
            if (!cameras.isEmpty())
                folders.push_back(cameras[0].toObject()["captureFolder"].toString().toStdString());
        }
    }
    return folders;
}

// A root in the form Windows takes past MAX_PATH ("\\?\C:\...") names each
// capture folder as the plain root does.
TEST(Replay, LongFormRootNamesTheCaptureFoldersAsThePlainRoot)
{
    const std::vector<std::string> plain = namedFolders(sampleRecording());
    ASSERT_EQ(plain.size(), 24u);
    EXPECT_EQ(std::count(plain.begin(), plain.end(), ""), 0);
    EXPECT_EQ(namedFolders(fileCallPath(sampleRecording())), plain) << fileCallPath(sampleRecording());
}

TEST(Replay, SavedHeightMapKeepsSixteenBitsExactly)
{
    TempFolder out;
    const ToolResult run = runTool(CAMERA_HOST, {"replay", "--param", param("camera2", sampleRecording()),
                                                 "--frames", "1", "--quiet", "--save", out.path()});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(frameLines(run.out).empty()) << "--quiet prints no frame lines";
    const cv::Mat saved =
        cv::imread(out.at("frame0001_part_0001_2024-03-18_09-14-02_camera2_HeightMap" + imageEnding()), cv::IMREAD_UNCHANGED);
    const cv::Mat recorded = cv::imread(
        sampleRecording() + "/part_0001_2024-03-18_09-14-02/camera2_HeightMap.tiff", cv::IMREAD_UNCHANGED);
    ASSERT_EQ(saved.type(), CV_16UC1);
    ASSERT_EQ(recorded.size(), saved.size());
    EXPECT_EQ(cv::norm(saved, recorded, cv::NORM_INF), 0.0);
}

TEST(Replay, UndecodableFileIsAnEmptyImageNotAFailure)
{
    TempFolder recording;
    writeImage(recording.path(), "a/camera3P_1.bmp", cv::Mat(24, 32, CV_8UC1, cv::Scalar(9)));
    writeBytes(recording.path(), "a/camera3P_2.bmp", "not an image");
    writeBytes(recording.path(), "b/readme.txt", "no images here");
    TempFolder out;
    const ToolResult run = runTool(CAMERA_HOST, {"replay", "--param", param("camera3P", recording.path()),
                                                 "--frames", "3", "--sheet", out.at("sheet" + imageEnding())});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    const std::vector<FrameLine> frames = frameLines(run.out);
    ASSERT_EQ(frames.size(), 3u) << run.out;
    EXPECT_EQ(frames[0].images, (std::vector<std::string>{"32x24 8UC1", "empty"}));
    EXPECT_EQ(frames[1].imageCount, 0);  // folder b holds no image of camera3P
    // The line names the folder of the file the module itself says it could not decode.
    EXPECT_NE(run.err.find("cannot decode " + recording.at(frames[0].folder + "/camera3P_2.bmp")), std::string::npos)
        << frames[0].folder << "\n" << run.err;
    EXPECT_EQ(frames[1].folder, "b");
    EXPECT_EQ(frames[2].images, frames[0].images);
    EXPECT_TRUE(isSheetOf(cv::imread(out.at("sheet" + imageEnding())), 3, 2));
}

// Names outside ASCII (Chinese, accented in both cases, beyond the BMP) in
// the root, the capture folders, the files, --save and --sheet: replayed in
// the same order, each image saved under its source's name. On Windows the
// arguments reach the host as UTF-16 whatever the ANSI code page; the Windows
// stage runs this under code pages 936 and 1252.
TEST(Replay, NonAsciiNamesReplayInOrderAndSaveUnderTheirNames)
{
    TempFolder recording;
    const std::string root = recording.at("录像 Été");
    const std::vector<std::pair<std::string, int>> files{{"a_图像/camera3P_1_é.bmp", 1},
                                                          {"a_图像/camera3P_2_É.bmp", 2},
                                                          {"b_Ärger/camera3P_😀.bmp", 3},
                                                          {"c_ärger/camera3P_x.bmp", 4}};
    for (const auto& [file, identity] : files)
        writeImage(std::filesystem::u8path(root), file, cv::Mat(24, 32, CV_8UC1, cv::Scalar(identity)));
    const std::string saved = recording.at("保存");
    const std::string sheet = recording.at("图 sheet" + imageEnding());
    const ToolResult run = runTool(CAMERA_HOST, {"replay", "--param", param("camera3P", root), "--frames", "3",
                                                 "--save", saved, "--sheet", sheet});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::u8path(sheet))) << run.out;
    const std::vector<FrameLine> frames = frameLines(run.out);
    ASSERT_EQ(frames.size(), 3u) << run.out;
    EXPECT_EQ(frames[0].folder, "a_图像");
    EXPECT_EQ(frames[1].folder, "b_Ärger");
    EXPECT_EQ(frames[2].folder, "c_ärger");
    const std::vector<std::pair<std::string, int>> savedFiles{{"frame0001_a_图像_camera3P_1_é", 1},
                                                               {"frame0001_a_图像_camera3P_2_É", 2},
                                                               {"frame0002_b_Ärger_camera3P_😀", 3},
                                                               {"frame0003_c_ärger_camera3P_x", 4}};
    for (const auto& [name, identity] : savedFiles) {
        ImageFileRead outcome;
        const cv::Mat image = readImageFile(saved + "/" + name + imageEnding(), outcome);
        EXPECT_EQ(identityOf(image), identity) << name << " " << outcome.detail;
    }
}

struct ErrorCase {
    const char* name;
    std::vector<std::string> args;
    int exitCode;
    const char* message;  // expected on standard error
};

void PrintTo(const ErrorCase& c, std::ostream* out)
{
    *out << c.name;
}

class HostErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(HostErrors, EndWithAClearMessageAndExitStatus)
{
    const ErrorCase& c = GetParam();
    const ToolResult run = runTool(CAMERA_HOST, c.args);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
    EXPECT_EQ(frameLines(run.out).size(), 0u) << run.out;
}

std::string textFileModule()
{
    static TempFolder folder;
    writeBytes(folder.path(), "module.so", "this is text, not a module\n");
    return folder.at("module.so");
}

const std::string kOtherQtRefused = std::string("is built against Qt ") + (QT_VERSION_MAJOR == 5 ? "6" : "5") +
                                    " and this camera-host against Qt " + std::to_string(QT_VERSION_MAJOR);

const std::string kGoodParam = "camera1,a,1,/tmp";

INSTANTIATE_TEST_SUITE_P(
    Tools, HostErrors,
    ::testing::Values(
        ErrorCase{"MissingModuleFile", {"replay", "--param", kGoodParam, "--module", "/no/such/module.so"}, 1,
                  "no such file: /no/such/module.so"},
        ErrorCase{"TextFileAsModule", {"replay", "--param", kGoodParam, "--module", textFileModule()}, 1,
                  "cannot load the camera module"},
        ErrorCase{"ModuleOfOtherQtMajor", {"replay", "--param", kGoodParam, "--module", otherQtModule()}, 1,
                  kOtherQtRefused.c_str()},
        ErrorCase{"LibraryWithoutCreate", {"replay", "--param", kGoodParam, "--module", NOT_A_CAMERA_MODULE}, 1,
                  "is not a camera module: it exports no function \"create\""},
        // init answers false: the module's own error line is repeated.
        ErrorCase{"MissingRootFolder", {"replay", "--param", "camera1,a,1,/no/such/recording"}, 1,
                  "module: [ERROR]  init failed"},
        ErrorCase{"ThreeFieldParam", {"replay", "--param", "camera1,a,1"}, 1, "init failed for \"camera1,a,1\""},
        ErrorCase{"UnknownOption", {"replay", "--param", kGoodParam, "--fast"}, 2, "unknown option \"--fast\""},
        ErrorCase{"FramesNotANumber", {"replay", "--param", kGoodParam, "--frames", "ten"}, 2, "--frames needs"},
        ErrorCase{"FpsZero", {"replay", "--param", kGoodParam, "--fps", "0"}, 2,
                  "--fps needs a number of frames per second above 0"},
        ErrorCase{"FramesAndCycles", {"replay", "--param", kGoodParam, "--frames", "2", "--cycles", "1"}, 2,
                  "not both"},
        ErrorCase{"NoParam", {"replay", "--frames", "2"}, 2, "--param is required"},
        ErrorCase{"MissingValue", {"replay", "--param"}, 2, "--param needs a value"},
        ErrorCase{"ReplayOptionOnInspect", {"inspect", "--param", kGoodParam, "--save", "x"}, 2,
                  "--save belongs to replay"},
        ErrorCase{"UnknownCommand", {"play"}, 2, "unknown command \"play\""},
        ErrorCase{"NoCommand", {}, 2, "usage:"}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return info.param.name; });

}  // namespace
