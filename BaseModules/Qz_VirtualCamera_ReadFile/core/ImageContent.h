#pragma once
// What a file's first bytes say it holds, and how many of its bytes an image
// of that kind can need. The decoder picks its reader by content, not by the
// file's name, and some of its readers end the process on broken input or
// write temporary files; so only the formats a recording is written in (BMP
// and TIFF, and PNG and JPEG that a plain imread of such a file would also
// decode) are handed to it.

#include <cstddef>
#include <cstdint>
#include <string>

// Bytes to read before deciding: enough for every signature below and for a
// BMP's headers.
constexpr std::size_t kContentProbeBytes = 256;

// The most bytes read from one file: the largest buffer the decoder takes
// (2 GiB - 1; a 2^30-pixel image at 16 bits and four channels, the decoder's
// own pixel limit, would be 8 GiB and can never be decoded from memory).
constexpr std::uint64_t kMostImageFileBytes = 0x7FFFFFFF;

struct ImageContent {
    bool decodable = false;  // BMP, TIFF, BigTIFF, PNG or JPEG
    // What the bytes hold, for log lines: "BMP", "DICOM", ... Empty when
    // nothing is recognised (random bytes, an empty file).
    std::string format;
};

// Recognises the content from the first `size` bytes of a file.
ImageContent recogniseContent(const unsigned char* bytes, std::size_t size);

// How many bytes of a file of `fileSize` bytes, starting with `probe` (its
// first `probeSize` bytes), can be part of its image: for a BMP, what its
// headers announce (palette and pixels), for the other formats the whole file.
// Never more than the file's size; may exceed kMostImageFileBytes.
std::uint64_t imageBytesOf(const unsigned char* probe, std::size_t probeSize, std::uint64_t fileSize);
