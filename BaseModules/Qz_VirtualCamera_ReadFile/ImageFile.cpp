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

// Reads the bytes of the image in the regular file at `path`, of `size`
// bytes when it was looked at, into `bytes`; returns how many. Its first
// bytes tell what it holds, and only the bytes its image can need are read,
// so a stray huge file costs a header's read. Read with plain reads: a file
// cut short while it is read gives fewer bytes, where a decoder that maps
// the file (libtiff does) would take a SIGBUS and end the host's process.
// Zero, with the fault set, when the decoder is not to be given them.
std::size_t readImageBytes(const std::string& path, std::uint64_t size, FileBytes& bytes, ImageFileRead& outcome)
{
    const std::unique_ptr<ReadableFile, FileCloser> file(openForReading(path, outcome.detail));
    if (!file) {
        outcome.fault = ImageFileFault::CannotRead;
        return 0;
    }
    const std::size_t probe = static_cast<std::size_t>(std::min<std::uint64_t>(size, kContentProbeBytes));
    std::size_t got = 0;
    if (!readBytes(file.get(), bytes.room(probe, 0), probe, got, outcome.detail)) {
        outcome.fault = ImageFileFault::CannotRead;
        return 0;
    }
    const ImageContent content = recogniseContent(bytes.data(), got);
    if (!content.decodable) {
        // Bytes nobody recognises are what the decoder would make nothing of.
        outcome.fault = ImageFileFault::WillNotDecode;
        if (!content.format.empty()) {
            outcome.fault = ImageFileFault::NotAnImage;
            outcome.detail = "holds " + content.format + " data, not a BMP or TIFF image";
        }
        return 0;
    }
    const std::uint64_t wanted = imageBytesOf(bytes.data(), got, size);
    if (wanted > kMostImageFileBytes) {
        outcome.fault = ImageFileFault::NotAnImage;
        outcome.detail = "is " + withThousands(size) + " bytes, more than an image file of " + content.format +
                         " can be here (" + withThousands(kMostImageFileBytes) + ")";
        return 0;
    }
    if (wanted <= got)
        return got;
    const std::size_t start = got;
    unsigned char* into = bytes.room(static_cast<std::size_t>(wanted), start);
    if (!readBytes(file.get(), into + start, static_cast<std::size_t>(wanted) - start, got, outcome.detail)) {
        outcome.fault = ImageFileFault::CannotRead;
        return 0;
    }
    return start + got;  // fewer if it was cut meanwhile
}

// Gives the decoder `spare`'s memory for the image it makes when that needs
// as many bytes, once; any other allocation is the standard one. The image
// then lands in memory a host has given back and whose pages are in place,
// instead of fresh memory faulted in page by page. `spare` must be
// referenced nowhere else.
class SpareFirst : public cv::MatAllocator {
public:
    explicit SpareFirst(cv::Mat spare) : spare_(std::move(spare)) {}

    cv::UMatData* allocate(int dims, const int* sizes, int type, void* data, size_t* step, cv::AccessFlag flags,
                           cv::UMatUsageFlags usage) const override
    {
        std::size_t total = CV_ELEM_SIZE(type);
        for (int i = dims - 1; i >= 0; --i) {
            if (step)
                step[i] = total;
            total *= static_cast<std::size_t>(sizes[i]);
        }
        cv::UMatData* spare = spare_.u;
        if (given_ || data || !spare || spare->size != total || spare->data != spare_.data)
            return standard()->allocate(dims, sizes, type, data, step, flags, usage);
        // The new Mat takes a reference of its own; `spare_` lets go of its
        // one when this allocator goes.
        given_ = true;
        return spare;
    }
    bool allocate(cv::UMatData* u, cv::AccessFlag flags, cv::UMatUsageFlags usage) const override
    {
        return standard()->allocate(u, flags, usage);
    }
    void deallocate(cv::UMatData* u) const override { standard()->deallocate(u); }

private:
    // OpenCV makes its allocator at the first call, a step ThreadSanitizer
    // cannot see; made under this module's own guard, the decoding threads
    // are seen to find it made.
    static cv::MatAllocator* standard()
    {
        static cv::MatAllocator* const made = cv::Mat::getStdAllocator();
        return made;
    }
    cv::Mat spare_;
    mutable bool given_ = false;
};

// The image in the first `count` of `bytes`, in `spare`'s memory when it
// needs as many bytes. Empty when the decoder fails, also when it fails
// before making the image (it then leaves the Mat it was given as it was).
cv::Mat decodeReusing(const unsigned char* bytes, std::size_t count, cv::Mat spare)
{
    SpareFirst allocator(std::move(spare));
    cv::Mat image;
    image.allocator = &allocator;
    const cv::Mat decoded = cv::imdecode(cv::Mat(1, static_cast<int>(count), CV_8U, const_cast<unsigned char*>(bytes)),
                                         cv::IMREAD_UNCHANGED, &image);
    image = decoded.empty() ? cv::Mat() : decoded;
    image.allocator = nullptr;  // the allocator goes with this call
    return image;
}

}  // namespace

unsigned char* FileBytes::room(std::size_t size, std::size_t kept)
{
    if (size > capacity_) {
        // Not zeroed: it is read into.
        std::unique_ptr<unsigned char[], AlignedDelete> larger(new (std::align_val_t(kAlignment)) unsigned char[size]);
        std::copy(bytes_.get(), bytes_.get() + std::min(kept, capacity_), larger.get());
        bytes_ = std::move(larger);
        capacity_ = size;
    }
    return bytes_.get();
}

// A file that cannot be decoded gives an empty image. The decoder throws for
// some broken files instead of returning nothing; that is the same case.
// Only a regular file is read: opening a FIFO blocks until a writer comes,
// and a device may never end. The decoder gets a copy of the bytes, never
// the file, so a recording rewritten while a frame is read (ahead, while
// the host works) cannot crash the process. The second look tells a
// read-ahead whether the file changed while it was read.
cv::Mat readImageFile(const std::string& path, ImageFileRead& outcome, cv::Mat spare, FileBytes* fileBytes)
{
    cv::Mat image;
    try {
        outcome.before = fileStatusOf(path, outcome.detail);
        if (outcome.before.kind == FileKind::Missing) {
            outcome.fault = ImageFileFault::CannotLook;
        } else if (outcome.before.kind != FileKind::Regular) {
            outcome.fault = ImageFileFault::NotRegular;
        } else {
            FileBytes ownBytes;
            FileBytes& bytes = fileBytes ? *fileBytes : ownBytes;
            const std::size_t count = readImageBytes(path, outcome.before.size, bytes, outcome);
            if (count > 0)
                image = decodeReusing(bytes.data(), count, std::move(spare));
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
