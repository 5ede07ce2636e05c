#include "ImageFile.h"

#include "FileRead.h"
#include "ImageContent.h"

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace {

struct FileCloser {
    void operator()(ReadableFile* file) const { closeFile(file); }
};

std::string withThousands(std::uint64_t number)
{
    std::string digits = std::to_string(number);
    for (std::size_t at = digits.size(); at > 3; at -= 3)
        digits.insert(at - 3, ",");
    return digits;
}

// The bytes of the image in the regular file at `path`, of `size` bytes when
// it was looked at: its first bytes tell what it holds, and only the bytes
// its image can need are read, so a stray huge file costs a header's read.
// Read with plain reads: a file cut short while it is read gives fewer
// bytes, where a decoder that maps the file (libtiff does) would take a
// SIGBUS and end the host's process. Empty, with the fault set, when the
// decoder is not to be given them.
std::vector<uchar> imageBytes(const std::string& path, std::uint64_t size, ImageFileRead& outcome)
{
    std::vector<uchar> bytes;
    const std::unique_ptr<ReadableFile, FileCloser> file(openForReading(path, outcome.detail));
    if (!file) {
        outcome.fault = ImageFileFault::CannotRead;
        return bytes;
    }
    bytes.resize(static_cast<std::size_t>(std::min<std::uint64_t>(size, kContentProbeBytes)));
    std::size_t got = 0;
    if (!readBytes(file.get(), bytes.data(), bytes.size(), got, outcome.detail)) {
        outcome.fault = ImageFileFault::CannotRead;
        return {};
    }
    bytes.resize(got);
    const ImageContent content = recogniseContent(bytes.data(), bytes.size());
    if (!content.decodable) {
        // Bytes nobody recognises are what the decoder would make nothing of.
        outcome.fault = ImageFileFault::WillNotDecode;
        if (!content.format.empty()) {
            outcome.fault = ImageFileFault::NotAnImage;
            outcome.detail = "holds " + content.format + " data, not a BMP or TIFF image";
        }
        return {};
    }
    const std::uint64_t wanted = imageBytesOf(bytes.data(), bytes.size(), size);
    if (wanted > kMostImageFileBytes) {
        outcome.fault = ImageFileFault::NotAnImage;
        outcome.detail = "is " + withThousands(size) + " bytes, more than an image file of " + content.format +
                         " can be here (" + withThousands(kMostImageFileBytes) + ")";
        return {};
    }
    if (wanted > bytes.size()) {
        const std::size_t start = bytes.size();
        bytes.resize(static_cast<std::size_t>(wanted));
        if (!readBytes(file.get(), bytes.data() + start, bytes.size() - start, got, outcome.detail)) {
            outcome.fault = ImageFileFault::CannotRead;
            return {};
        }
        bytes.resize(start + got);  // shorter if it was cut meanwhile
    }
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
        outcome.before = fileStatusOf(path, outcome.detail);
        if (outcome.before.kind == FileKind::Missing) {
            outcome.fault = ImageFileFault::CannotLook;
        } else if (outcome.before.kind != FileKind::Regular) {
            outcome.fault = ImageFileFault::NotRegular;
        } else {
            const std::vector<uchar> bytes = imageBytes(path, outcome.before.size, outcome);
            if (!bytes.empty())
                image = cv::imdecode(bytes, cv::IMREAD_UNCHANGED);
            if (outcome.fault == ImageFileFault::None && image.empty())
                outcome.fault = ImageFileFault::WillNotDecode;
        }
    } catch (const std::exception& e) {
        outcome.fault = ImageFileFault::DecoderThrew;
        outcome.detail = e.what();
    } catch (...) {
        outcome.fault = ImageFileFault::DecoderThrew;
        outcome.detail = "unknown decoder failure";
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
