// Images handed to the host are decoded into again once the host has let go
// of them, and never while it holds them.

#include "ImageFile.h"
#include "ModuleHost.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdint>
#include <set>

namespace {

// Three capture folders of two 8-bit images each; camera2 reads them in turn.
void threeCaptures(const RecordingFixture& rec)
{
    for (int n : {1, 2, 3}) {
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera2_a.bmp", 10 * n + 1);
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera2_b.bmp", 10 * n + 2);
    }
}

using HandedOverImages = ModuleTest;

const std::vector<int> kCycle[] = {{11, 12}, {21, 22}, {31, 32}};

TEST_F(HandedOverImages, ImagesTheHostHoldsAreNeverWritten)
{
    threeCaptures(rec);
    ASSERT_TRUE(host.configure(rec.param("camera2")));
    std::vector<std::vector<cv::Mat>> held;
    for (int frame = 0; frame < 12; ++frame) {
        ASSERT_TRUE(host.camera->run());
        std::vector<cv::Mat> images = host.collect();
        if (frame % 3 != 2)  // drops every third frame, keeps the others
            held.push_back(images);
    }
    for (std::size_t i = 0; i < held.size(); ++i) {
        const int frame = static_cast<int>(i + i / 2);
        EXPECT_EQ(identitiesOf(held[i]), kCycle[frame % 3]) << "frame " << frame;
    }
}

// A host that drops each frame gets the next ones in the memory of those it
// let go of, with read-ahead on (the frame after next) and off (the next).
// What it lets go of is taken at once by allocations of the same size, so
// only memory the module kept can come back.
TEST_F(HandedOverImages, ImagesTheHostLetGoOfAreDecodedInto)
{
    threeCaptures(rec);
    for (const char* readAhead : {"1", "0"}) {
        qputenv("QZ_READFILE_READ_AHEAD", readAhead);
        ASSERT_TRUE(host.configure(rec.param("camera2")));
        std::set<const uchar*> seen;
        std::vector<std::vector<uchar>> takers;
        int first = -1;  // the cycle goes on where the last round left it
        for (int frame = 0; frame < 8; ++frame) {
            ASSERT_TRUE(host.camera->run());
            std::vector<cv::Mat> images = host.collect();
            ASSERT_EQ(images.size(), 2u);
            if (first < 0)
                first = identityOf(images[0]) / 10 - 1;
            ASSERT_EQ(identitiesOf(images), kCycle[(first + frame) % 3]);
            for (const cv::Mat& image : images) {
                if (frame >= 2)
                    EXPECT_EQ(seen.count(image.data), 1u) << "frame " << frame << ", read-ahead " << readAhead;
                seen.insert(image.data);
            }
            const std::size_t bytes = images[0].total() * images[0].elemSize();
            images.clear();
            for (int i = 0; i < 2; ++i)
                takers.emplace_back(bytes, uchar(1));
        }
    }
    qunsetenv("QZ_READFILE_READ_AHEAD");
}

}  // namespace

// The system copies a file several times slower into memory a few bytes past
// a page's start, where the allocator puts large blocks; the bytes kept start
// at a page's start, also after growing, and keep what was read.
TEST(FileBytesKept, StartAtAPageAndKeepTheirBytesWhenGrown)
{
    FileBytes bytes;
    for (const std::size_t size : {std::size_t{256}, std::size_t{5} << 20, std::size_t{10} << 20}) {
        unsigned char* room = bytes.room(size, 256);
        if (size == 256)
            std::fill(room, room + 256, 7);
        EXPECT_EQ(reinterpret_cast<std::uintptr_t>(room) % 4096, 0u) << size;
        EXPECT_EQ(std::count(room, room + 256, 7), 256) << size;
    }
}
