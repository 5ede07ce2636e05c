// The grab through the exported module, on recordings made here: which
// files each camera mode reads, in which order, across capture folders and
// around the cycle, and what broken files give.

#include "ModuleHost.h"
#include "SpecialFiles.h"

#include <opencv2/core/utility.hpp>

#include <chrono>
#include <functional>
#include <future>
#include <thread>

namespace {

enum class Format { Gray8Bmp, Color24Bmp, Gray16Tiff };

struct RecordedFile {
    std::string name;
    int identity;
    Format format;
};

void write(const RecordingFixture& rec, const std::string& relative, const RecordedFile& file, int offset)
{
    switch (file.format) {
    case Format::Gray8Bmp:
        rec.gray8Bmp(relative, file.identity + offset);
        break;
    case Format::Color24Bmp:
        rec.color24Bmp(relative, file.identity + offset);
        break;
    case Format::Gray16Tiff:
        rec.gray16Tiff(relative, file.identity + offset);
        break;
    }
}

const Format B8 = Format::Gray8Bmp;
const Format B24 = Format::Color24Bmp;
const Format T16 = Format::Gray16Tiff;

struct ModeCase {
    std::string name;
    std::string camera;
    std::vector<RecordedFile> files;  // written in this order into every capture folder
    std::vector<int> frame;           // identities read from one folder, in order
};

class Grab : public ModuleTest {};

void PrintTo(const ModeCase& c, std::ostream* out) { *out << c.name; }

class GrabMode : public ModuleTest, public ::testing::WithParamInterface<ModeCase> {};

// Capture folders cap1..cap3 are made out of order; folder n adds 10 * n to
// its files' identities. Four grabs read cap1, cap2, cap3 and cap1 again.
TEST_P(GrabMode, ReadsEachFolderInModeOrderAndWraps)
{
    const ModeCase& c = GetParam();
    for (int n : {3, 1, 2}) {
        for (const RecordedFile& file : c.files)
            write(rec, "cap" + std::to_string(n) + "/" + file.name, file, 10 * n);
    }
    ASSERT_TRUE(host.configure(rec.param(c.camera)));
    Frames expected;
    for (int n : {1, 2, 3, 1}) {
        expected.push_back(c.frame);
        for (int& identity : expected.back())
            identity += 10 * n;
    }
    EXPECT_EQ(host.grabs(4), expected);
}

const std::vector<RecordedFile> kSixKindsScrambled{
    {"camera1_VexoNormalImage.bmp", 6, B8},
    {"camera1_VexoGlossRatioImage.bmp", 5, B8},
    {"camera1_VexoShapeImage2.bmp", 4, B8},
    {"camera1_VexoShapeImage1.bmp", 3, B8},
    {"camera1_VexoDiffuseReflectionImage.bmp", 2, B8},
    {"camera1_VexoSpecularReflectionImage.bmp", 1, B8},
    {"camera1_extra.bmp", 7, B8},                // matches the camera, no kind
    {"camera2_VexoNormalImage.bmp", 8, B8},      // other camera
    {"camera1_VexoNormalImage.tiff", 9, T16}};   // not a bmp

std::vector<RecordedFile> camera3Files(const std::string& camera)
{
    return {{camera + "_c.bmp", 3, B8},
            {camera + "_a.bmp", 1, B24},
            {camera + "_b.BMP", 2, B8},   // ending matched in any case
            {"C" + camera.substr(1) + "_x.bmp", 8, B8},  // camera name in another case
            {camera + "_d.tiff", 9, T16}};
}

INSTANTIATE_TEST_SUITE_P(Modes, GrabMode, ::testing::Values(
    ModeCase{"Camera1SixKindsInKindOrder", "camera1", kSixKindsScrambled, {1, 2, 3, 4, 5, 6}},
    ModeCase{"Camera1DiffuseAndNormalOnly", "camera1",
             {{"camera1_VexoNormalImage.bmp", 6, B8}, {"camera1_VexoDiffuseReflectionImage.bmp", 2, B8}},
             {2, 6}},
    ModeCase{"Camera1LetsCamera10Through", "camera1",
             {{"camera10_VexoNormalImage.bmp", 6, B8}, {"camera1_VexoSpecularReflectionImage.bmp", 1, B8}},
             {1, 6}},
    ModeCase{"Camera2BmpThenTiff", "camera2",
             {{"camera2_c.bmp", 2, B8}, {"camera2_a.tiff", 3, T16}, {"camera2_b.bmp", 1, B24},
              {"camera2_d.tif", 8, T16}, {"camera3P_e.bmp", 9, B8}},
             {1, 2, 3}},
    ModeCase{"Camera3PListOrder", "camera3P", camera3Files("camera3P"), {1, 2, 3}},
    ModeCase{"Camera3NListOrder", "camera3N", camera3Files("camera3N"), {1, 2, 3}}),
    [](const auto& info) { return info.param.name; });

TEST_F(Grab, CameraNameMatchesTheCaptureFolderPathToo)
{
    rec.gray8Bmp("camera1_take/VexoNormalImage.bmp", 6);
    rec.gray8Bmp("camera1_take/VexoSpecularReflectionImage.bmp", 1);
    ASSERT_TRUE(host.configure(rec.param("camera1")));
    EXPECT_EQ(host.grab(), (std::vector<int>{1, 6}));
}

TEST_F(Grab, DepthAndChannelsAreKept)
{
    rec.gray8Bmp("cap/camera2_a.bmp", 5);
    rec.color24Bmp("cap/camera2_b.bmp", 6);
    rec.gray16Tiff("cap/camera2_c.tiff", 40000);
    ASSERT_TRUE(host.configure(rec.param("camera2")));
    ASSERT_TRUE(host.camera->run());
    const std::vector<cv::Mat> images = host.collect();
    ASSERT_EQ(images.size(), 3u);
    EXPECT_EQ(images[0].type(), CV_8UC1);
    EXPECT_EQ(images[1].type(), CV_8UC3);
    EXPECT_EQ(images[2].type(), CV_16UC1);
    EXPECT_EQ(images[1].at<cv::Vec3b>(2, 3), cv::Vec3b(6, 0, 255));
    EXPECT_EQ(images[2].at<std::uint16_t>(2, 3), 40000);
    EXPECT_EQ(images[0].size(), cv::Size(4, 3));
}

// The matched sub-folder is listed (an empty image), then searched; it is
// also a capture folder of its own, the one after cap.
TEST_F(Grab, MatchedSubFolderGivesAnEmptyImageInItsPlace)
{
    rec.gray8Bmp("cap/camera3P_a.bmp", 1);
    rec.gray8Bmp("cap/camera3P_b.bmp/camera3P_in.bmp", 2);
    rec.gray8Bmp("cap/camera3P_c.bmp", 3);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grabs(3), (Frames{{1, -1, 2, 3}, {2}, {1, -1, 2, 3}}));
}

TEST_F(Grab, UndecodableAndEmptyFilesGiveEmptyImagesInPlace)
{
    rec.gray8Bmp("cap/camera3N_a.bmp", 1);
    rec.bytes("cap/camera3N_b.bmp", "these bytes are no image at all");
    rec.bytes("cap/camera3N_c.bmp", "");
    rec.gray8Bmp("cap/camera3N_d.bmp", 4);
    ASSERT_TRUE(host.configure(rec.param("camera3N")));
    EXPECT_EQ(host.grab(), (std::vector<int>{1, -1, -1, 4}));
    const std::vector<std::string> warnings = log.containing("[WARN]  cannot decode");
    ASSERT_EQ(warnings.size(), 2u);
    EXPECT_NE(warnings[0].find(rec.path("cap/camera3N_b.bmp")), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[1].find(rec.path("cap/camera3N_c.bmp")), std::string::npos) << warnings[1];
}

TEST_F(Grab, DecoderThatThrowsGivesAnEmptyImageAndNamesTheFile)
{
    rec.gray8Bmp("cap/camera3P_a.bmp", 1);
    const std::string huge = rec.bmpHeaderOnly("cap/camera3P_b.bmp", 40000, 40000);
    rec.gray8Bmp("cap/camera3P_c.bmp", 3);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grab(), (std::vector<int>{1, -1, 3}));
    const std::vector<std::string> errors = log.containing("[ERROR] ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(huge), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].find('\n'), std::string::npos) << "one line only: " << errors[0];
}

// Once per init: an init again says it again at its first grab.
TEST_F(Grab, EmptyRecordingReadsNothingAndSaysSoOncePerInit)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grabs(2), (Frames{{}, {}}));
    EXPECT_EQ(log.containing("no capture folder").size(), 1u);
    ASSERT_TRUE(host.camera->init(nullptr));
    EXPECT_EQ(host.grab(), std::vector<int>{});
    EXPECT_EQ(log.containing("no capture folder").size(), 2u);
}

struct SpecialFileCase {
    std::string name;
    std::function<bool(const std::string& path, std::string& why)> make;
    std::string described;
};

void PrintTo(const SpecialFileCase& c, std::ostream* out) { *out << c.name; }

class SpecialFile : public ModuleTest, public ::testing::WithParamInterface<SpecialFileCase> {};

// Only regular files are decoded: opening a FIFO would block the grab until
// a writer came. Anything else matching gives an empty image in its place
// and one warning naming the path and what it is.
TEST_P(SpecialFile, GivesAnEmptyImageInPlaceWithoutBeingOpened)
{
    rec.gray8Bmp("cap/camera3P_a.bmp", 1);
    const std::string special = rec.path("cap/camera3P_b.bmp");
    std::string why;
    if (!GetParam().make(special, why))
        GTEST_SKIP() << why;
    rec.gray8Bmp("cap/camera3P_c.bmp", 3);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));

    std::promise<std::vector<int>> frame;
    std::future<std::vector<int>> grabbed = frame.get_future();
    std::thread hostThread([&] { frame.set_value(host.grab()); });
    if (grabbed.wait_for(std::chrono::seconds(10)) != std::future_status::ready) {
        ADD_FAILURE() << "run still blocked after 10 s: " << special << " was opened";
        releaseFifoReader(special);
    }
    hostThread.join();
    EXPECT_EQ(grabbed.get(), (std::vector<int>{1, -1, 3}));
    const std::vector<std::string> warnings = log.containing("[WARN] ");
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find(special), std::string::npos) << warnings[0];
    EXPECT_NE(warnings[0].find(GetParam().described), std::string::npos) << warnings[0];
}

INSTANTIATE_TEST_SUITE_P(Kinds, SpecialFile, ::testing::Values(
    SpecialFileCase{"Fifo", makeFifo, "is a FIFO"},
    SpecialFileCase{"LinkToAFifo",
                    [](const std::string& path, std::string& why) {
                        return makeFifo(path + ".fifo", why) && makeSymlink(path + ".fifo", path, why);
                    },
                    "is a FIFO"},
    SpecialFileCase{"Socket", makeSocketFile, "is a socket"},
    SpecialFileCase{"CharacterDevice",
                    [](const std::string& path, std::string& why) { return makeSymlink("/dev/zero", path, why); },
                    "is a character device"}),
    [](const auto& info) { return info.param.name; });

// The grab's lines (the search's link warning, decoder failures) are written
// by run on the thread that called it, in the order they arose, between its
// start and end lines; nothing comes from the module's own threads.
TEST_F(Grab, LinesOfAGrabComeFromTheCallingThreadBetweenStartAndEnd)
{
    rec.bytes("cap/camera3P_a.bmp", "no image");
    rec.folder("cap/camera3P_b.bmp");
    std::string why;
    if (!makeSymlink("..", rec.path("cap/camera3P_b.bmp/camera3P_up.bmp"), why))
        GTEST_SKIP() << why;
    rec.bmpHeaderOnly("cap/camera3P_c.bmp", 40000, 40000);
    rec.bytes("cap/camera3P_d\tx.bmp", "");
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    log.clear();
    std::thread::id caller;
    std::thread hostThread([&] {
        caller = std::this_thread::get_id();
        host.camera->run();
    });
    hostThread.join();
    const std::vector<LogLine> lines = log.lines();
    std::vector<std::string> kinds;
    for (const LogLine& line : lines) {
        EXPECT_EQ(line.thread, caller) << "written on another thread: " << line.text;
        kinds.push_back(line.text.substr(0, line.text.find(rec.root())));
    }
    ASSERT_EQ(kinds.size(), 7u) << ::testing::PrintToString(kinds);
    EXPECT_EQ(kinds[0], "[INFO]   run start \"camera3P,a,1,");
    EXPECT_EQ(kinds[1], "[WARN]  folder leads back to one it is inside, not searched: ");  // listing b
    EXPECT_EQ(kinds[2], "[WARN]  cannot decode ");   // a: no image
    EXPECT_EQ(kinds[3], "[WARN]  ");                 // b: a folder, not a regular file
    EXPECT_EQ(kinds[4], "[ERROR]  cannot decode ");  // c: the decoder threw
    EXPECT_EQ(kinds[5], "[WARN]  cannot decode ");   // d: empty
    EXPECT_NE(lines[3].text.find("camera3P_b.bmp is a folder"), std::string::npos) << lines[3].text;
    EXPECT_NE(lines[5].text.find("camera3P_d\\tx.bmp"), std::string::npos) << "tab shown as \\t: " << lines[5].text;
    EXPECT_NE(lines.back().text.find("run end"), std::string::npos);
}

struct UnknownCameraCase {
    std::string camera;
    int grabs;          // under the unknown name, before switching to camera3P
    Frames afterwards;  // the next two camera3P frames
};

void PrintTo(const UnknownCameraCase& c, std::ostream* out) { *out << c.camera << " x" << c.grabs; }

class UnknownCamera : public ModuleTest, public ::testing::WithParamInterface<UnknownCameraCase> {};

// Every grab moves the cursor, also under a name that is no mode; a cursor
// at or past the end starts again at the first folder. A file named after
// the camera waits in every folder, read only if the name were taken for a mode.
TEST_P(UnknownCamera, ReadsNothingButMovesTheCursor)
{
    const std::string camera = GetParam().camera;
    for (int n = 1; n <= 3; ++n) {
        rec.gray8Bmp("f" + std::to_string(n) + "/camera3P_a.bmp", n);
        rec.gray8Bmp("f" + std::to_string(n) + "/" + camera + "_VexoNormalImage.bmp", 50 + n);
    }
    ASSERT_TRUE(host.configure(rec.param(camera)));
    for (int i = 0; i < GetParam().grabs; ++i) {
        EXPECT_TRUE(host.camera->run());
        std::vector<cv::Mat> images;
        EXPECT_FALSE(host.camera->getImages(images, nullptr));
    }
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grabs(2), GetParam().afterwards);
}

INSTANTIATE_TEST_SUITE_P(Names, UnknownCamera, ::testing::Values(
    UnknownCameraCase{"camera4", 0, {{1}, {2}}},
    UnknownCameraCase{"Camera1", 1, {{2}, {3}}},
    UnknownCameraCase{"camera3", 2, {{3}, {1}}},
    UnknownCameraCase{"camera3p", 3, {{1}, {2}}},
    UnknownCameraCase{"camera", 5, {{1}, {2}}}));

}  // namespace

// The files of a frame are decoded by up to OpenCV's thread count of threads
// (the host thread waiting in run, the grab's thread, helpers); whatever the
// count, the images come out in the read order, broken ones empty in place,
// with one line per broken file.
class DecodingThreads : public ModuleTest, public ::testing::WithParamInterface<int> {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        previousThreads = cv::getNumThreads();
        cv::setNumThreads(GetParam());
    }
    void TearDown() override
    {
        cv::setNumThreads(previousThreads);
        ModuleTest::TearDown();
    }
    int previousThreads = 1;
};

TEST_P(DecodingThreads, KeepReadOrderAndEmptyImagesInPlace)
{
    for (int n : {2, 1}) {
        for (const RecordedFile& file : kSixKindsScrambled)
            write(rec, "cap" + std::to_string(n) + "/" + file.name, file, 10 * n);
    }
    rec.bytes("cap1/camera1_VexoShapeImage2.bmp", "no image");
    rec.gray16Tiff("cap2/camera2_VexoGlossRatioImage.tiff", 77);  // camera2 only
    ASSERT_TRUE(host.configure(rec.param("camera1")));
    EXPECT_EQ(host.grabs(3), (Frames{{11, 12, 13, -1, 15, 16}, {21, 22, 23, 24, 25, 26}, {11, 12, 13, -1, 15, 16}}));
    EXPECT_EQ(log.containing("cannot decode").size(), 2u);

    ASSERT_TRUE(host.configure(rec.param("camera2")));  // the cursor stays on cap2
    EXPECT_EQ(host.grabs(2), (Frames{{28, 77}, {18}}));
}

INSTANTIATE_TEST_SUITE_P(Counts, DecodingThreads, ::testing::Values(1, 2, 3, 8));
