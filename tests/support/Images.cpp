#include "Images.h"

#include "ImageFile.h"

#include <opencv2/imgcodecs.hpp>

#include <cstdint>
#include <stdexcept>

namespace fs = std::filesystem;

void writeImage(const fs::path& root, const std::string& relative, const cv::Mat& image)
{
    const fs::path path = root / fs::u8path(relative).make_preferred();
    fs::create_directories(path.parent_path());
    // Uncompressed, so a TIFF holds exactly the written values.
    if (!writeImageFile(path.u8string(), image, {cv::IMWRITE_TIFF_COMPRESSION, 1}))
        throw std::runtime_error("cannot write image " + path.u8string());
}

int identityOf(const cv::Mat& image)
{
    if (image.empty())
        return -1;
    switch (image.depth()) {
    case CV_8U:
        return image.ptr<std::uint8_t>(0)[0];
    case CV_16U:
        return image.ptr<std::uint16_t>(0)[0];
    default:
        throw std::runtime_error("identityOf: unexpected image depth");
    }
}

std::vector<int> identitiesOf(const std::vector<cv::Mat>& images)
{
    std::vector<int> out;
    for (const cv::Mat& image : images)
        out.push_back(identityOf(image));
    return out;
}
