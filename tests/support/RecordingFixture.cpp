#include "RecordingFixture.h"

#include "Files.h"

#include <cstdint>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

const int kRows = 3;
const int kCols = 4;

void appendLittleEndian(std::string& out, std::uint32_t value, int byteCount)
{
    for (int i = 0; i < byteCount; ++i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xff));
}

}  // namespace

std::string RecordingFixture::path(const std::string& relative) const
{
    return relative.empty() ? root() : folder_.at(relative);
}

std::string RecordingFixture::param(const std::string& cameraName, const std::string& relativeRoot) const
{
    return cameraName + ",a,1," + path(relativeRoot);
}

std::string RecordingFixture::folder(const std::string& relative) const
{
    fs::create_directories(path(relative));
    return path(relative);
}

std::string RecordingFixture::image(const std::string& relative, const cv::Mat& pixels) const
{
    writeImage(root(), relative, pixels);
    return path(relative);
}

std::string RecordingFixture::gray8Bmp(const std::string& relative, int identity) const
{
    return image(relative, cv::Mat(kRows, kCols, CV_8UC1, cv::Scalar(identity)));
}

std::string RecordingFixture::color24Bmp(const std::string& relative, int identity) const
{
    return image(relative, cv::Mat(kRows, kCols, CV_8UC3, cv::Scalar(identity, 0, 255)));
}

std::string RecordingFixture::gray16Tiff(const std::string& relative, int identity) const
{
    return image(relative, cv::Mat(kRows, kCols, CV_16UC1, cv::Scalar(identity)));
}

std::string RecordingFixture::bytes(const std::string& relative, const std::string& content) const
{
    writeBytes(root(), relative, content);
    return path(relative);
}

std::string RecordingFixture::bmpHeaderOnly(const std::string& relative, int width, int height) const
{
    std::string header = "BM";
    appendLittleEndian(header, 54, 4);  // file size as announced
    appendLittleEndian(header, 0, 4);   // reserved
    appendLittleEndian(header, 54, 4);  // offset of the pixel data
    appendLittleEndian(header, 40, 4);  // info header size
    appendLittleEndian(header, static_cast<std::uint32_t>(width), 4);
    appendLittleEndian(header, static_cast<std::uint32_t>(height), 4);
    appendLittleEndian(header, 1, 2);   // planes
    appendLittleEndian(header, 24, 2);  // bits per pixel
    header.append(24, '\0');            // no compression, sizes and palette zero
    return bytes(relative, header);
}
