// What a file's first bytes are taken for, and how much of a file is read.

#include "ImageContent.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace {

std::uint64_t imageBytes(const std::string& probe, std::uint64_t fileSize)
{
    return imageBytesOf(reinterpret_cast<const unsigned char*>(probe.data()), probe.size(), fileSize);
}

ImageContent contentOf(const std::string& bytes)
{
    return recogniseContent(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
}

void putLittle(std::string& bytes, std::size_t at, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// A BMP's two headers (the 40-byte info header) with pixels at offset 1078.
std::string bmpHeaders(std::int32_t width, std::int32_t height, int bitsPerPixel, int compression = 0)
{
    std::string bytes(54, '\0');
    bytes[0] = 'B';
    bytes[1] = 'M';
    putLittle(bytes, 10, 1078, 4);
    putLittle(bytes, 14, 40, 4);
    putLittle(bytes, 18, static_cast<std::uint32_t>(width), 4);
    putLittle(bytes, 22, static_cast<std::uint32_t>(height), 4);
    putLittle(bytes, 26, 1, 2);
    putLittle(bytes, 28, bitsPerPixel, 2);
    putLittle(bytes, 30, compression, 4);
    return bytes;
}

TEST(ImageContent, OnlyTheRecordingsFormatsGoToTheDecoder)
{
    const std::string dicom = std::string(128, '\0') + "DICM\x02\x00\x00\x00";
    const struct {
        std::string bytes;
        bool decodable;
        const char* format;
    } cases[] = {
        {"BM\x36\x00", true, "BMP"},
        {std::string("II*\0\x08\0\0\0", 8), true, "TIFF"},
        {std::string("MM\0*\0\0\0\x08", 8), true, "TIFF"},
        {std::string("II+\0\x08\0\0\0", 8), true, "BigTIFF"},
        {"\x89PNG\r\n\x1a\n....", true, "PNG"},
        {"\xff\xd8\xff\xe0", true, "JPEG"},
        {dicom, false, "DICOM"},
        {"#?RADIANCE\nFORMAT=32-bit_rle_rgbe", false, "Radiance HDR"},
        {"\x76\x2f\x31\x01\x02\0\0\0", false, "OpenEXR"},
        {std::string("\0\0\0\x0cjP  \r\n\x87\n", 12), false, "JPEG 2000"},
        {"\xff\x4f\xff\x51\0\x2f", false, "JPEG 2000"},
        {std::string("RIFF\x10\0\0\0WEBPVP8 ", 16), false, "WebP"},
        {std::string("RIFF\x10\0\0\0WAVEfmt ", 16), false, ""},
        {"P5\n16 16\n255\n", false, "PxM"},
        {"PF\n16 16\n-1\n", false, "PFM"},
        {"\x59\xa6\x6a\x95", false, "Sun raster"},
        {"P9 not a map", false, ""},
        {"B", false, ""},
        {"", false, ""},
        {dicom.substr(0, 130), false, ""},  // cut before its signature ends
    };
    for (const auto& c : cases) {
        const ImageContent content = contentOf(c.bytes);
        EXPECT_EQ(content.decodable, c.decodable) << c.format << " " << c.bytes.size();
        EXPECT_EQ(content.format, c.format) << c.bytes.size();
    }
}

TEST(ImageContent, ABmpIsReadAsFarAsItsHeadersAnnounce)
{
    const std::uint64_t fourGiB = std::uint64_t{1} << 32;
    const std::uint64_t headersAndPalette = 14 + 40 + 1024 + 16;
    std::string os2 = bmpHeaders(0, 0, 0);
    putLittle(os2, 14, 12, 4);
    putLittle(os2, 18, 100, 2);
    putLittle(os2, 20, 10, 2);
    putLittle(os2, 24, 8, 2);
    const struct {
        const char* name;
        std::string probe;
        std::uint64_t fileSize;
        std::uint64_t expected;
    } cases[] = {
        {"8x8 8-bit, 4 GiB tail", bmpHeaders(8, 8, 8), fourGiB, headersAndPalette + 64},
        {"rows padded to 4 bytes", bmpHeaders(5, 3, 24), fourGiB, headersAndPalette + 16 * 3},
        {"top-down rows", bmpHeaders(8, -8, 8), fourGiB, headersAndPalette + 64},
        {"oldest header (pixels at 1078)", os2, fourGiB, 1078 + 16 + 100 * 10},
        {"run-length coded", bmpHeaders(8, 8, 8, 1), fourGiB, headersAndPalette + 9 * 8 * 4},
        {"file shorter than announced", bmpHeaders(4000, 4000, 8), 5000, 5000},
        {"negative width: whole file", bmpHeaders(-8, 8, 8), 9000, 9000},
        {"unknown compression: whole file", bmpHeaders(8, 8, 8, 9), 9000, 9000},
        {"cut in its header: whole file", bmpHeaders(8, 8, 8).substr(0, 20), 20, 20},
        {"huge announcement saturates", bmpHeaders(0x7fffffff, 0x7fffffff, 64), ~std::uint64_t{0},
         ~std::uint64_t{0}},
        {"TIFF: whole file", std::string("II*\0", 4), fourGiB, fourGiB},
    };
    for (const auto& c : cases)
        EXPECT_EQ(imageBytes(c.probe, c.fileSize), c.expected) << c.name;
}

}  // namespace
