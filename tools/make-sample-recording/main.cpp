// make-sample-recording DIR: writes a small recording for trying the module
// out. Eight capture folders of one synthetic part (one of them nested inside
// another capture), each with the images of four cameras:
//   camera1   320x240, the six kinds: five 8-bit grey BMPs, normal image as 24-bit BMP
//   camera2   160x120, two 8-bit grey BMPs and a 16-bit TIFF height map
//   camera3P, camera3N   160x120, one 8-bit grey BMP each
// plus text files that the module must pass over. The output is the same
// byte for byte on every run.

#include "Console.h"
#include "ExtendedPath.h"
#include "ImageFile.h"
#include "ReadOrder.h"
#include "SampleScene.h"

#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

const cv::Size kCamera1Size(320, 240);
const cv::Size kOtherCameraSize(160, 120);

struct PlannedCapture {
    std::string folder;  // relative to the recording root, "/" between folders
    PartPose pose;
};

// Seven parts; the fourth was captured twice, the retake filed inside the
// folder of its first capture.
const std::vector<PlannedCapture> kCaptures = {
    {"part_0001_2024-03-18_09-14-02", {0, 0, 0, Defect::None}},
    {"part_0002_2024-03-18_09-14-07", {4, -3, 8, Defect::None}},
    {"part_0003_2024-03-18_09-14-12", {-5, 2, 17, Defect::Dent}},
    {"part_0004_2024-03-18_09-14-18", {3, 5, -6, Defect::Scratch}},
    {"part_0004_2024-03-18_09-14-18/retake_09-14-21", {1, 4, -4, Defect::Scratch}},
    {"part_0005_2024-03-18_09-14-25", {-2, -4, 25, Defect::None}},
    {"part_0006_2024-03-18_09-14-31", {6, 1, 33, Defect::Dent}},
    {"part_0007_2024-03-18_09-14-36", {-4, 3, 41, Defect::Stain}},
};

// Writes below `root` (the form file calls take, see fileCallPath) and names
// what it writes below `shownRoot` (the root as the user gave it).
class Writer {
public:
    Writer(fs::path root, fs::path shownRoot) : root_(std::move(root)), shownRoot_(std::move(shownRoot)) {}

    void image(const fs::path& folder, const std::string& name, const cv::Mat& image)
    {
        const fs::path path = root_ / folder / name;
        // TIFF uncompressed, as recording software usually writes it.
        const std::vector<int> settings{cv::IMWRITE_TIFF_COMPRESSION, 1};
        if (!writeImageFile(path.u8string(), image, settings)) {
            printText(stderr, "make-sample-recording: cannot write %s\n", (shownRoot_ / folder / name).u8string().c_str());
            ok_ = false;
        }
        ++files_;
    }

    void text(const fs::path& relative, const std::string& content)
    {
        std::ofstream out(root_ / relative, std::ios::binary);
        out << content;
        ok_ = ok_ && static_cast<bool>(out);
    }

    bool ok() const { return ok_; }
    int files() const { return files_; }

private:
    fs::path root_;
    fs::path shownRoot_;
    bool ok_ = true;
    int files_ = 0;
};

void writeCamera1(Writer& writer, const fs::path& folder, const PartPose& pose, unsigned seed)
{
    const Surface s = makeSurface(kCamera1Size, pose, seed);
    // One image per kind of kCamera1Kinds, in its order.
    cv::Mat images[] = {
        specularImage(s),         diffuseImage(s),    shapeImage(s, -1.0, 0.0),
        shapeImage(s, 0.0, -1.0), glossRatioImage(s), normalImage(s),
    };
    static_assert(std::size(images) == std::size(kCamera1Kinds));
    unsigned noiseSeed = seed * 16;
    for (std::size_t i = 0; i < std::size(images); ++i) {
        addSensorNoise(images[i], ++noiseSeed, 2.0);
        writer.image(folder, std::string("camera1_") + kCamera1Kinds[i] + ".bmp", images[i]);
    }
}

void writeOtherCameras(Writer& writer, const fs::path& folder, const PartPose& pose, unsigned seed)
{
    const Surface s = makeSurface(kOtherCameraSize, pose, seed + 1000);
    cv::Mat intensity = diffuseImage(s);
    cv::Mat relief = shapeImage(s, 1.0, 1.0);
    cv::Mat positive = shapeImage(s, -1.5, -0.5);
    cv::Mat negative = shapeImage(s, 1.5, 0.5);
    addSensorNoise(intensity, seed * 16 + 7, 2.0);
    addSensorNoise(relief, seed * 16 + 8, 2.0);
    addSensorNoise(positive, seed * 16 + 9, 2.0);
    addSensorNoise(negative, seed * 16 + 10, 2.0);
    writer.image(folder, "camera2_Intensity.bmp", intensity);
    writer.image(folder, "camera2_Relief.bmp", relief);
    writer.image(folder, "camera2_HeightMap.tiff", heightMap16(s));
    writer.image(folder, "camera3P_Image.bmp", positive);
    writer.image(folder, "camera3N_Image.bmp", negative);
}

bool prepareRoot(const fs::path& root, const fs::path& shownRoot)
{
    std::error_code ec;
    if (fs::exists(root, ec) && !fs::is_empty(root, ec)) {
        printText(stderr,
                  "make-sample-recording: %s is not empty; give a new or empty folder "
                  "(anything else in it would become part of the recording)\n",
                  shownRoot.u8string().c_str());
        return false;
    }
    fs::create_directories(root, ec);
    if (ec) {
        printText(stderr, "make-sample-recording: cannot make %s: %s\n", shownRoot.u8string().c_str(),
                     ec.message().c_str());
        return false;
    }
    return true;
}

const char kUsage[] =
    "usage: make-sample-recording DIR\n"
    "\n"
    "Writes a small sample recording (about 6 MB) into DIR, which must be new or empty:\n"
    "eight capture folders of a synthetic part with the images of camera1, camera2,\n"
    "camera3P and camera3N. The same bytes on every run.\n"
    "\n"
    "exit status: 0 written, 1 DIR not empty or not writable, 2 bad command line\n";

}  // namespace

int main(int argc, char* argv[])
{
    useUtf8Console();
    const std::vector<std::string> arguments = utf8Arguments(argc, argv);
    if (arguments.size() == 2 && (arguments[1] == "--help" || arguments[1] == "-h")) {
        printText(stdout, "%s", kUsage);
        return 0;
    }
    if (arguments.size() != 2 || arguments[1].empty() || arguments[1][0] == '-') {
        printText(stderr, "make-sample-recording: give one folder\n\n%s", kUsage);
        return 2;
    }
    // Windows: the "\\?\" form, so no path is too long for a file call.
    const fs::path shownRoot = fs::u8path(arguments[1]);
    const std::string callPath = fileCallPath(arguments[1]);
    const fs::path root = callPath.empty() ? shownRoot : fs::u8path(callPath);
    try {
        if (!prepareRoot(root, shownRoot))
            return 1;
        Writer writer(root, shownRoot);
        unsigned seed = 1;
        for (const PlannedCapture& capture : kCaptures) {
            // The system's separator: a "\\?\" path takes "/" as part of a name.
            const fs::path folder = fs::u8path(capture.folder).make_preferred();
            fs::create_directories(root / folder);
            writeCamera1(writer, folder, capture.pose, seed);
            writeOtherCameras(writer, folder, capture.pose, seed);
            ++seed;
        }
        writer.text("recording.txt", "Sample recording: one folder per capture, images of camera1, camera2,\n"
                                     "camera3P and camera3N. Text files are not images and are never read.\n");
        writer.text(fs::path(kCaptures[1].folder) / "camera1_operator_note.txt",
                    "camera1 lens cleaned before this capture\n");
        if (!writer.ok())
            return 1;
        printText(stdout, "wrote %zu captures, %d images, to %s\n", kCaptures.size(), writer.files(),
                    shownRoot.u8string().c_str());
        return 0;
    } catch (const std::exception& e) {
        printText(stderr, "make-sample-recording: %s\n", e.what());
        return 1;
    }
}
