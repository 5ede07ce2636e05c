#include "ImageFile.h"

#include <opencv2/imgcodecs.hpp>

#include <exception>
#include <filesystem>
#include <fstream>
#include <vector>

namespace {

// The file's bytes as they are now; empty when it cannot be opened. Read
// with plain reads: a file cut short while it is read gives fewer bytes,
// where a decoder that maps the file (libtiff does) would take a SIGBUS and
// end the host's process.
std::vector<uchar> fileBytes(const std::string& path)
{
    std::vector<uchar> bytes;
    std::ifstream file(std::filesystem::u8path(path), std::ios::binary | std::ios::ate);
    if (!file)
        return bytes;
    const std::streamoff size = file.tellg();
    if (size <= 0 || !file.seekg(0))
        return bytes;
    bytes.resize(static_cast<std::size_t>(size));
    file.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(size));
    bytes.resize(static_cast<std::size_t>(file.gcount()));  // shorter if it was cut meanwhile
    return bytes;
}

}  // namespace

// A file that cannot be decoded gives an empty image. The decoder throws for
// some broken files instead of returning nothing; that is the same case.
// Only a regular file is read: opening a FIFO blocks until a writer comes,
// and a device may never end. The decoder gets a copy of the bytes, never
// the file, so a recording rewritten while a frame is read (ahead, while
// the host works) cannot crash the process. The second look tells a
// read-ahead whether the file changed while it was read.
cv::Mat readImageFile(const std::string& path, ImageFileRead& outcome)
{
    cv::Mat image;
    try {
        outcome.before = fileStatusOf(path, outcome.error);
        if (outcome.before.kind != FileKind::Regular)
            return image;
        const std::vector<uchar> bytes = fileBytes(path);
        if (!bytes.empty())
            image = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
    } catch (const std::exception& e) {
        outcome.error = e.what();
    } catch (...) {
        outcome.error = "unknown decoder failure";
    }
    std::string ignored;
    outcome.after = fileStatusOf(path, ignored);
    return image;
}

bool writeImageFile(const std::string& path, const cv::Mat& image, const std::vector<int>& settings)
{
    const std::string ending = std::filesystem::u8path(path).extension().u8string();
    std::vector<uchar> bytes;
    try {
        if (ending.empty() || !cv::haveImageWriter(path) || !cv::imencode(ending, image, bytes, settings))
            return false;
    } catch (const cv::Exception&) {  // an image the format cannot hold
        return false;
    }
    std::ofstream file(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file.flush());
}
