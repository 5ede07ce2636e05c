#include "Recording.h"

#include "ReadOrder.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

const int kFullRows = 2048;
const int kFullCols = 2448;
const int kTiffUncompressed = 1;  // libtiff's compression codes
const int kTiffLzw = 5;

struct FileSpec {
    std::string name;
    int rows;
    int cols;
    int type;             // CV_8UC1 or CV_16UC1
    int tiffCompression;  // for .tiff files
};

// A smooth ramp with sensor-like noise: decodes like camera data, and an LZW
// TIFF of it compresses about as well as one of a real scene.
cv::Mat makeImage(const FileSpec& fileShape, std::uint64_t seed)
{
    cv::Mat image(fileShape.rows, fileShape.cols, fileShape.type);
    cv::RNG rng(seed);
    const bool wide = fileShape.type == CV_16UC1;
    for (int y = 0; y < fileShape.rows; ++y) {
        for (int x = 0; x < fileShape.cols; ++x) {
            const int ramp = x + 2 * y;
            const int noise = rng.uniform(0, 16);
            if (wide)
                image.at<std::uint16_t>(y, x) = static_cast<std::uint16_t>((ramp % 4096) * 8 + noise);
            else
                image.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((ramp / 16 + noise) % 256);
        }
    }
    return image;
}

void writeImage(const std::string& path, const FileSpec& fileShape, std::uint64_t seed)
{
    std::vector<int> params;
    if (path.size() > 5 && path.compare(path.size() - 5, 5, ".tiff") == 0)
        params = {cv::IMWRITE_TIFF_COMPRESSION, fileShape.tiffCompression};
    if (!cv::imwrite(path, makeImage(fileShape, seed), params))
        throw std::runtime_error("cannot write " + path);
}

std::string numbered(int number)
{
    char name[16];
    std::snprintf(name, sizeof name, "%04d", number);
    return name;
}

// `files` are given in the order a grab reads them.
FrameShape makeRecording(const std::string& parent, const std::string& name, const std::string& label,
                         const std::string& cameraName, const std::vector<FileSpec>& files, int folders)
{
    FrameShape shape;
    shape.name = name;
    shape.label = label;
    shape.cameraName = cameraName;
    shape.root = (fs::path(parent) / name).string();
    for (const FileSpec& fileShape : files)
        shape.frameBytes += static_cast<std::size_t>(fileShape.rows) * fileShape.cols * CV_ELEM_SIZE(fileShape.type);
    std::uint64_t seed = 1;
    for (int folder = 0; folder < folders; ++folder) {
        const fs::path capture = fs::path(shape.root) / numbered(folder);
        fs::create_directories(capture);
        std::vector<std::string> paths;
        for (const FileSpec& fileShape : files) {
            paths.push_back((capture / fileShape.name).string());
            writeImage(paths.back(), fileShape, seed++);
        }
        shape.frames.push_back(paths);
    }
    if (files.size() == 1)
        shape.sequencePattern = (fs::path(shape.root) / "%04d" / files[0].name).string();
    return shape;
}

FileSpec fullBmp(const std::string& name)
{
    return {name, kFullRows, kFullCols, CV_8UC1, 0};
}

FileSpec fullTiff(const std::string& name, int compression)
{
    return {name, kFullRows, kFullCols, CV_16UC1, compression};
}

}  // namespace

std::vector<FrameShape> makeFrameShapes(const std::string& parent)
{
    // camera1 reads its six kinds in this order, whatever the listing order.
    std::vector<FileSpec> camera1;
    for (const char* kind : kCamera1Kinds)
        camera1.push_back(fullBmp(std::string("camera1_") + kind + ".bmp"));
    // camera2 reads its BMPs in name order, then its TIFF.
    const auto camera2 = [](int compression) {
        return std::vector<FileSpec>{fullBmp("camera2_a_left.bmp"), fullBmp("camera2_b_right.bmp"),
                                     fullTiff("camera2_depth.tiff", compression)};
    };
    const FileSpec tinyBmp{"camera3P_image.bmp", 64, 64, CV_8UC1, 0};
    return {
        makeRecording(parent, "camera1", "six 2448x2048 8-bit BMPs", "camera1", camera1, 4),
        makeRecording(parent, "camera2-raw", "two 2448x2048 8-bit BMPs + 16-bit TIFF, uncompressed", "camera2",
                      camera2(kTiffUncompressed), 4),
        makeRecording(parent, "camera2-lzw", "two 2448x2048 8-bit BMPs + 16-bit TIFF, LZW", "camera2",
                      camera2(kTiffLzw), 4),
        makeRecording(parent, "single", "one 2448x2048 8-bit BMP, a single-kind sequence", "camera3P",
                      {fullBmp("camera3P_image.bmp")}, 8),
        makeRecording(parent, "tiny", "one 64x64 8-bit BMP", "camera3P", {tinyBmp}, 8),
    };
}

std::string makeFileFolder(const std::string& parent, int count)
{
    const fs::path folder = fs::path(parent) / "listing-files";
    fs::create_directories(folder);
    for (int i = 0; i < count; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "camera1_%05d_%s.bmp", i, kCamera1Kinds[2]);  // all of one kind
        std::ofstream(folder / name);
    }
    return folder.string();
}

std::string makeFolderTree(const std::string& parent, int top, int perTop)
{
    const fs::path root = fs::path(parent) / "listing-folders";
    for (int i = 0; i < top; ++i) {
        const fs::path upper = root / numbered(i);
        fs::create_directories(upper);
        for (int j = 1; j < perTop; ++j)
            fs::create_directory(upper / numbered(j));
    }
    return root.string();
}
