#include "ImageContent.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

struct Signature {
    const char* format;
    bool decodable;
    std::size_t offset;
    const char* bytes;
    std::size_t length;
};

// The decoder's formats and their first bytes. The last ones are only named:
// their readers are never reached.
const Signature kSignatures[] = {
    {"BMP", true, 0, "BM", 2},
    {"TIFF", true, 0, "II\x2A\x00", 4},
    {"TIFF", true, 0, "MM\x00\x2A", 4},
    {"BigTIFF", true, 0, "II\x2B\x00", 4},
    {"BigTIFF", true, 0, "MM\x00\x2B", 4},
    {"PNG", true, 0, "\x89PNG\r\n\x1A\n", 8},
    {"JPEG", true, 0, "\xFF\xD8\xFF", 3},
    {"DICOM", false, 128, "DICM", 4},
    {"Radiance HDR", false, 0, "#?RGBE", 6},
    {"Radiance HDR", false, 0, "#?RADIANCE", 10},
    {"OpenEXR", false, 0, "\x76\x2F\x31\x01", 4},
    {"JPEG 2000", false, 0, "\x00\x00\x00\x0CjP  \r\n\x87\n", 12},
    {"JPEG 2000", false, 0, "\xFF\x4F\xFF\x51", 4},
    {"WebP", false, 8, "WEBP", 4},
    {"Sun raster", false, 0, "\x59\xA6\x6A\x95", 4},
    {"GIF", false, 0, "GIF8", 4},
};

bool isBlank(unsigned char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The portable maps: "P1" to "P7" (PxM) and "PF"/"Pf" (PFM), then a blank.
std::string portableMapFormat(const unsigned char* bytes, std::size_t size)
{
    if (size < 3 || bytes[0] != 'P' || !isBlank(bytes[2]))
        return {};
    if (bytes[1] >= '1' && bytes[1] <= '7')
        return "PxM";
    if (bytes[1] == 'F' || bytes[1] == 'f')
        return "PFM";
    return {};
}

std::uint32_t u16At(const unsigned char* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

std::uint32_t u32At(const unsigned char* p)
{
    return u16At(p) | u16At(p + 2) << 16;
}

std::uint64_t saturatedProduct(std::uint64_t a, std::uint64_t b)
{
    if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a)
        return std::numeric_limits<std::uint64_t>::max();
    return a * b;
}

std::uint64_t saturatedSum(std::uint64_t a, std::uint64_t b)
{
    return b > std::numeric_limits<std::uint64_t>::max() - a ? std::numeric_limits<std::uint64_t>::max() : a + b;
}

// Bytes a BMP can use: its headers, a palette of up to 256 entries or the
// colour masks, and the pixels its headers announce, run-length coded ones
// at their worst. Zero when the headers do not say (the whole file is read).
std::uint64_t bmpBytes(const unsigned char* bytes, std::size_t size)
{
    if (size < 18)
        return 0;
    const std::uint32_t headerSize = u32At(bytes + 14);
    std::uint64_t width = 0;
    std::uint64_t height = 0;
    std::uint32_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    if (headerSize == 12 && size >= 26) {  // the oldest header: 16-bit sizes
        width = u16At(bytes + 18);
        height = u16At(bytes + 20);
        bitsPerPixel = u16At(bytes + 24);
    } else if (headerSize >= 40 && size >= 34) {
        const auto signedWidth = static_cast<std::int32_t>(u32At(bytes + 18));
        const auto signedHeight = static_cast<std::int32_t>(u32At(bytes + 22));
        if (signedWidth <= 0 || signedHeight == 0 || signedHeight == std::numeric_limits<std::int32_t>::min())
            return 0;
        width = static_cast<std::uint64_t>(signedWidth);
        height = static_cast<std::uint64_t>(signedHeight < 0 ? -signedHeight : signedHeight);
        bitsPerPixel = u16At(bytes + 28);
        compression = u32At(bytes + 30);
    } else {
        return 0;
    }
    if (width == 0 || height == 0 || bitsPerPixel == 0 || bitsPerPixel > 64)
        return 0;
    std::uint64_t pixelBytes = 0;
    switch (compression) {
    case 0:  // plain rows, each padded to 4 bytes
    case 3:  // the same with colour masks
    case 6:
        pixelBytes = saturatedProduct((width * bitsPerPixel + 31) / 32 * 4, height);
        break;
    case 1:  // run-length coded: at worst two bytes a pixel and two a row, doubled for escapes
    case 2:
        pixelBytes = saturatedProduct(saturatedProduct(width + 1, height), 4);
        break;
    default:
        return 0;
    }
    const std::uint64_t pixelOffset = u32At(bytes + 10);
    const std::uint64_t headersAndPalette = 14 + std::uint64_t{headerSize} + 256 * 4;
    return saturatedSum(saturatedSum(std::max(pixelOffset, headersAndPalette), pixelBytes), 16);
}

}  // namespace

ImageContent recogniseContent(const unsigned char* bytes, std::size_t size)
{
    for (const Signature& signature : kSignatures) {
        if (size >= signature.offset + signature.length &&
            std::memcmp(bytes + signature.offset, signature.bytes, signature.length) == 0) {
            if (signature.offset == 8 && std::memcmp(bytes, "RIFF", 4) != 0)
                continue;  // WEBP stands behind a RIFF header only
            return {signature.decodable, signature.format};
        }
    }
    return {false, portableMapFormat(bytes, size)};
}

std::uint64_t imageBytesOf(const unsigned char* probe, std::size_t probeSize, std::uint64_t fileSize)
{
    const bool bmp = probeSize >= 2 && probe[0] == 'B' && probe[1] == 'M';
    const std::uint64_t announced = bmp ? bmpBytes(probe, probeSize) : 0;
    return announced == 0 ? fileSize : std::min(announced, fileSize);
}
