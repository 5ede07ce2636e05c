// Broken image files in a frame: whatever the decoder makes of them (an empty
// result or an exception), the broken file gives an empty image in its place,
// every other image of the frame arrives intact and in order, the grab
// succeeds and the next capture folder reads normally.

#include "ModuleHost.h"

#include <opencv2/imgcodecs.hpp>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <iterator>
#include <random>

namespace {

std::string contentOf(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::uint32_t readLittle(const std::string& bytes, std::size_t at, int count)
{
    std::uint32_t value = 0;
    for (int i = count - 1; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(bytes.at(at + i));
    return value;
}

void writeLittle(std::string& bytes, std::size_t at, std::uint32_t value, int count)
{
    for (int i = 0; i < count; ++i)
        bytes.at(at + i) = static_cast<char>((value >> (8 * i)) & 0xff);
}

// A little-endian TIFF whose first directory announces `width` x `height`
// pixels while the file keeps the strips of a small image.
std::string tiffAnnouncing(std::string tiff, std::uint32_t width, std::uint32_t height)
{
    const std::size_t directory = readLittle(tiff, 4, 4);
    const std::uint32_t entries = readLittle(tiff, directory, 2);
    for (std::uint32_t i = 0; i < entries; ++i) {
        const std::size_t entry = directory + 2 + 12 * i;
        const std::uint32_t tag = readLittle(tiff, entry, 2);
        const int size = readLittle(tiff, entry + 2, 2) == 3 ? 2 : 4;  // SHORT or LONG
        if (tag == 256)
            writeLittle(tiff, entry + 8, width, size);
        if (tag == 257)
            writeLittle(tiff, entry + 8, height, size);
    }
    return tiff;
}

std::string randomBytes(std::size_t size, unsigned seed)
{
    std::mt19937 generator(seed);
    std::string bytes(size, '\0');
    for (char& byte : bytes)
        byte = static_cast<char>(generator() & 0xff);
    return bytes;
}

// Sound files to cut and patch: a 16x16 8-bit BMP and 16-bit TIFF.
std::string soundBmp(const RecordingFixture& rec)
{
    cv::imwrite(rec.path("sound.bmp"), cv::Mat(16, 16, CV_8UC1, cv::Scalar(77)));
    return contentOf(rec.path("sound.bmp"));
}

std::string soundTiff(const RecordingFixture& rec)
{
    cv::imwrite(rec.path("sound.tiff"), cv::Mat(16, 16, CV_16UC1, cv::Scalar(77)),
                {cv::IMWRITE_TIFF_COMPRESSION, 1});
    return contentOf(rec.path("sound.tiff"));
}

struct BrokenCase {
    std::string name;
    bool tiff;  // which kind of file the broken one replaces
    std::function<std::string(const RecordingFixture&)> content;
};

void PrintTo(const BrokenCase& c, std::ostream* out)
{
    *out << c.name;
}

class BrokenFile : public ModuleTest, public ::testing::WithParamInterface<BrokenCase> {};

// cap1: bmp 11, bmp 12, bmp 13, tiff 14, tiff 15, tiff 16 with the broken file
// in place of 12 or of 15; cap2: the same, all sound (21..26). camera2 reads
// the bmp files, then the tiff files.
TEST_P(BrokenFile, GivesAnEmptyImageInPlaceAndTheRestOfTheFrameIntact)
{
    const BrokenCase& c = GetParam();
    for (int n : {1, 2}) {
        const std::string folder = "cap" + std::to_string(n) + "/camera2_";
        for (int i : {1, 2, 3})
            rec.gray8Bmp(folder + std::to_string(i) + ".bmp", 10 * n + i);
        for (int i : {4, 5, 6})
            rec.gray16Tiff(folder + std::to_string(i) + ".tiff", 10 * n + i);
    }
    const std::string broken = c.tiff ? "cap1/camera2_5.tiff" : "cap1/camera2_2.bmp";
    rec.bytes(broken, c.content(rec));
    ASSERT_TRUE(host.configure(rec.param("camera2")));

    log.clear();
    EXPECT_TRUE(host.camera->run());
    const std::vector<int> expected =
        c.tiff ? std::vector<int>{11, 12, 13, 14, -1, 16} : std::vector<int>{11, -1, 13, 14, 15, 16};
    EXPECT_EQ(identitiesOf(host.collect()), expected);
    for (const std::string& error : log.containing("[ERROR] "))
        EXPECT_NE(error.find(rec.path(broken)), std::string::npos) << error;

    EXPECT_EQ(host.grab(), (std::vector<int>{21, 22, 23, 24, 25, 26}));
}

const auto kZeroBytes = [](const RecordingFixture&) { return std::string(); };

INSTANTIATE_TEST_SUITE_P(Bmp, BrokenFile, ::testing::Values(
    BrokenCase{"ZeroBytes", false, kZeroBytes},
    BrokenCase{"RandomBytes", false, [](const RecordingFixture&) { return randomBytes(1000, 1); }},
    BrokenCase{"RandomAfterSignature", false,
               [](const RecordingFixture&) { return "BM" + randomBytes(1000, 2); }},
    BrokenCase{"CutInTheHeader", false, [](const RecordingFixture& rec) { return soundBmp(rec).substr(0, 30); }},
    BrokenCase{"CutInThePalette", false, [](const RecordingFixture& rec) { return soundBmp(rec).substr(0, 200); }},
    BrokenCase{"CutInThePixels", false,
               [](const RecordingFixture& rec) { const std::string b = soundBmp(rec); return b.substr(0, b.size() - 100); }},
    BrokenCase{"HeaderAnnouncesTooManyPixels", false,  // the decoder throws for this one
               [](const RecordingFixture& rec) { rec.bmpHeaderOnly("big.bmp", 40000, 40000); return contentOf(rec.path("big.bmp")); }},
    BrokenCase{"HeaderAnnouncesMorePixelsThanStored", false,
               [](const RecordingFixture& rec) { std::string b = soundBmp(rec); writeLittle(b, 18, 4000, 4); writeLittle(b, 22, 4000, 4); return b; }},
    BrokenCase{"HeaderAnnouncesNegativeWidth", false,
               [](const RecordingFixture& rec) { std::string b = soundBmp(rec); writeLittle(b, 18, 0xfffffff0u, 4); return b; }},
    BrokenCase{"PixelOffsetPastTheEnd", false,
               [](const RecordingFixture& rec) { std::string b = soundBmp(rec); writeLittle(b, 10, 0x7fffffffu, 4); return b; }}),
    [](const auto& info) { return info.param.name; });

INSTANTIATE_TEST_SUITE_P(Tiff, BrokenFile, ::testing::Values(
    BrokenCase{"ZeroBytes", true, kZeroBytes},
    BrokenCase{"RandomBytes", true, [](const RecordingFixture&) { return randomBytes(1000, 3); }},
    BrokenCase{"RandomAfterSignature", true,
               [](const RecordingFixture&) { return "II*" + std::string(1, '\0') + randomBytes(1000, 4); }},
    BrokenCase{"CutInTheHeader", true, [](const RecordingFixture& rec) { return soundTiff(rec).substr(0, 6); }},
    BrokenCase{"CutInThePixels", true,
               [](const RecordingFixture& rec) { const std::string t = soundTiff(rec); return t.substr(0, 200); }},
    BrokenCase{"HeaderAnnouncesMorePixelsThanStored", true,
               [](const RecordingFixture& rec) { return tiffAnnouncing(soundTiff(rec), 60000, 60000); }},
    BrokenCase{"HeaderAnnouncesZeroPixels", true,
               [](const RecordingFixture& rec) { return tiffAnnouncing(soundTiff(rec), 0, 0); }},
    BrokenCase{"DirectoryOffsetPastTheEnd", true,
               [](const RecordingFixture& rec) { std::string t = soundTiff(rec); writeLittle(t, 4, 0x7ffffff0u, 4); return t; }}),
    [](const auto& info) { return info.param.name; });

using BrokenContent = ModuleTest;

// The decoder reads many formats by content. Files that hold another format
// under a BMP name give an empty image and a warning naming what they hold,
// and no reader of theirs runs (DICOM's aborted the process on broken
// input); PNG and JPEG decode as a plain imread of the file would.
TEST_F(BrokenContent, OtherFormatsUnderABmpNameAreNotDecoded)
{
    const std::string dicom = std::string(128, '\0') + "DICM" + std::string("\x02\x00\x00\x00\x55\x4c\x04\x00", 8);
    const struct {
        const char* ending;  // written by OpenCV when it can, else `bytes`
        int type;
        std::string bytes;
        const char* format;
    } cases[] = {
        {".hdr", CV_32FC3, "", "Radiance HDR"}, {".pfm", CV_32FC1, "", "PFM"},
        {".pgm", CV_8UC1, "", "PxM"},           {".ras", CV_8UC1, "", "Sun raster"},
        {".webp", CV_8UC3, "", "WebP"},         {"", 0, std::string("\0\0\0\x0cjP  \r\n\x87\n", 12) + "ftyp", "JPEG 2000"},
        {"", 0, dicom, "DICOM"},                {".png", CV_8UC1, "", nullptr},
    };
    rec.gray8Bmp("cap/camera2_1.bmp", 11);
    const std::string foreign = rec.path("cap/camera2_2.bmp");
    ASSERT_TRUE(host.configure(rec.param("camera2")));
    for (const auto& c : cases) {
        std::string bytes = c.bytes;
        if (bytes.empty()) {
            if (!cv::haveImageWriter(std::string("x") + c.ending))
                continue;
            cv::Mat image;
            cv::imread(rec.gray8Bmp("sound.bmp", 12), cv::IMREAD_UNCHANGED).convertTo(image, c.type & CV_MAT_DEPTH_MASK);
            if (CV_MAT_CN(c.type) == 3)
                cv::merge(std::vector<cv::Mat>{image, image, image}, image);
            std::vector<uchar> encoded;
            ASSERT_TRUE(cv::imencode(c.ending, image, encoded)) << c.ending;
            bytes.assign(encoded.begin(), encoded.end());
        }
        rec.bytes("cap/camera2_2.bmp", bytes);
        log.clear();
        const std::vector<int> frame = host.grab();
        ASSERT_EQ(frame.size(), 2u) << c.ending;
        if (!c.format) {
            EXPECT_EQ(frame[1], 12) << c.ending << ": decoded as imread would";
            continue;
        }
        EXPECT_EQ(frame[1], -1) << c.format;
        EXPECT_EQ(log.containing(foreign + " holds " + c.format + " data, not a BMP or TIFF image").size(), 1u)
            << c.format;
    }
}

// A stray huge file costs the read of its header: a small BMP followed by a
// 4 GiB tail decodes as imread decodes it, and a TIFF of 3 GiB gives an empty
// image and a warning with its size, both without reading what follows.
TEST_F(BrokenContent, HugeFilesAreReadNoFurtherThanTheirImage)
{
    rec.gray8Bmp("cap/camera2_1.bmp", 11);
    const std::string tiff = rec.bytes("cap/camera2_2.tiff", std::string("II*\0\x08\0\0\0", 8));
    std::filesystem::resize_file(rec.path("cap/camera2_1.bmp"), std::uint64_t{4} << 30);
    std::filesystem::resize_file(tiff, std::uint64_t{3} << 30);
    ASSERT_TRUE(host.configure(rec.param("camera2")));
    EXPECT_EQ(host.grab(), (std::vector<int>{11, -1}));
    EXPECT_EQ(log.containing(tiff + " is 3,221,225,472 bytes, more than an image file of TIFF can be here").size(), 1u);
}

}  // namespace
