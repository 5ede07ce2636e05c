#pragma once
// Image files by UTF-8 path on every platform (OpenCV's own file calls take
// the Windows ANSI code page). One file turned into an image, exactly as the
// module reads it: looked at first (only a regular file is opened), its first
// bytes read to tell what it holds (only BMP, TIFF, PNG and JPEG go to the
// decoder), then as many bytes as its image can need, then decoded.
// camera-host's inspect links the same code, so what it reports is what a
// grab will hand over.

#include "FileStatus.h"

#include <opencv2/core/mat.hpp>

#include <cstddef>
#include <memory>
#include <new>
#include <string>
#include <vector>

// Why a file gave no image.
enum class ImageFileFault {
    None,           // it gave one
    CannotLook,     // its path could not be looked at (`detail`: the system's words)
    NotRegular,     // a folder, a FIFO, a device... (`before.kind` says which)
    CannotRead,     // opening or reading it failed (`detail`: the system's words)
    NotAnImage,     // content the decoder is not given (`detail`: what the file holds)
    DecoderThrew,   // `detail`: the decoder's text as given
    WillNotDecode,  // the decoder made nothing of it
};

struct ImageFileRead {
    FileStatus before;  // the file as it was just before it was read
    FileStatus after;   // and just after
    ImageFileFault fault = ImageFileFault::None;
    std::string detail;
};

// The bytes of one file at a time, kept from file to file: once the largest
// file has been read, reading another allocates nothing and touches no fresh
// memory. They start at a page's start: the system copies a file into memory
// that starts a few bytes past a page's start (where the allocator puts a
// large block of its own) several times slower (on the AMD machines here,
// 10 MB in 7.3 ms against 1.5 ms).
class FileBytes {
public:
    static constexpr std::size_t kAlignment = 4096;

    // Room for `size` bytes, the first `kept` of those there kept.
    unsigned char* room(std::size_t size, std::size_t kept);
    unsigned char* data() const { return bytes_.get(); }

private:
    struct AlignedDelete {
        void operator()(unsigned char* bytes) const { ::operator delete[](bytes, std::align_val_t(kAlignment)); }
    };
    std::unique_ptr<unsigned char[], AlignedDelete> bytes_;
    std::size_t capacity_ = 0;
};

// The decoded image, or an empty one when the file is no regular file, cannot
// be read, holds no image of the recording's formats or will not decode
// (`outcome` says which). The image is decoded into `spare` when it needs as
// many bytes (`spare` must be referenced nowhere else; it is let go
// otherwise), the file's bytes read into `bytes` when given. Throws nothing
// but std::bad_alloc.
cv::Mat readImageFile(const std::string& path, ImageFileRead& outcome, cv::Mat spare = cv::Mat(),
                      FileBytes* bytes = nullptr);

// Writes `image` to `path` in the format its ending names, with OpenCV's
// `settings`; false when this OpenCV writes no such format or the file cannot
// be written. For the tools and tests; the module writes no file.
bool writeImageFile(const std::string& path, const cv::Mat& image, const std::vector<int>& settings = {});
