#include "SaveImages.h"

#include "ImageFile.h"

#include <opencv2/core/persistence.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

bool imageFileChannels(const cv::Mat& image)
{
    return image.channels() == 1 || image.channels() == 3 || image.channels() == 4;
}

// PNG where this OpenCV writes it; the Windows build's writes TIFF instead
// (lossless too, same depths and channels).
bool fitsPng(const cv::Mat& image)
{
    static const bool pngWritten = cv::haveImageWriter("x.png");
    return pngWritten && (image.depth() == CV_8U || image.depth() == CV_16U) && imageFileChannels(image);
}

const char* extensionFor(const cv::Mat& image)
{
    if (fitsPng(image))
        return "png";
    // No image format takes 2 or more than 4 channels; OpenCV's own file does.
    return imageFileChannels(image) ? "tiff" : "yml.gz";
}

bool writeFile(const std::string& path, const cv::Mat& image)
{
    if (!imageFileChannels(image)) {
        cv::FileStorage file(path, cv::FileStorage::WRITE);
        if (!file.isOpened())
            return false;
        file << "image" << image;
        file.release();
        return true;
    }
    // PNG at its fastest setting is still lossless; TIFF without compression.
    const std::vector<int> settings = fitsPng(image)
        ? std::vector<int>{cv::IMWRITE_PNG_COMPRESSION, 1}
        : std::vector<int>{cv::IMWRITE_TIFF_COMPRESSION, 1};
    return writeImageFile(path, image, settings);
}

}  // namespace

std::string savedImageName(const cv::Mat& image, int frame, const std::string& source)
{
    char head[32];
    std::snprintf(head, sizeof head, "frame%04d_", frame);
    return head + source + "." + extensionFor(image);
}

std::string sourceName(const std::string& captureFolder, const std::string& file)
{
    std::string folder = captureFolder;
    std::replace(folder.begin(), folder.end(), '/', '-');
    std::replace(folder.begin(), folder.end(), '\\', '-');
    return (folder.empty() || folder == "." ? "" : folder + "_") + std::filesystem::u8path(file).stem().u8string();
}

bool saveImage(const cv::Mat& image, const std::string& folder, int frame, const std::string& source,
               std::string& error)
{
    if (image.empty())
        return true;
    const std::string path =
        (std::filesystem::u8path(folder) / std::filesystem::u8path(savedImageName(image, frame, source))).u8string();
    try {
        if (writeFile(path, image))
            return true;
        error = "cannot write " + path;
    } catch (const std::exception& e) {
        error = "cannot write " + path + ": " + e.what();
    }
    return false;
}
