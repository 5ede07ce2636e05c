// A file of the frame being read ahead changes after the read-ahead has read
// it: the next run hands over the file as it is now, not the pixels read
// ahead. BetweenFiles holds the read-ahead before its second file while the
// first changes; one decoding thread reads the files one after another. The
// module's code is linked in directly.

#include "BetweenFiles.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <opencv2/core/utility.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct ChangeCase {
    const char* name;
    std::function<void(const RecordingFixture&, const std::string& file)> change;  // to identity 77
};

void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }

class ReadAheadChange : public ::testing::TestWithParam<ChangeCase> {};

std::vector<int> grab(Qz_VirtualCamera_ReadFile* camera)
{
    std::vector<cv::Mat> images;
    if (!camera->run() || !camera->getImages(images, nullptr))
        return {};
    return identitiesOf(images);
}

TEST_P(ReadAheadChange, FileChangedAfterItWasReadIsReadAgain)
{
    qunsetenv("QZ_READFILE_READ_AHEAD");
    const int threads = cv::getNumThreads();
    cv::setNumThreads(1);
    RecordingFixture rec;
    for (int n = 1; n <= 2; ++n) {
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
    }
    BetweenFiles between(true);
    Qz_VirtualCamera_ReadFile* camera = create();
    camera->setParam(nullptr, QByteArray::fromStdString(rec.param("camera3P")));
    ASSERT_TRUE(camera->init(nullptr));
    EXPECT_EQ(grab(camera), (std::vector<int>{11, 12}));
    // The worker reads cap2 ahead: camera3P_a.bmp is read, camera3P_b.bmp not yet.
    ASSERT_TRUE(between.waitFor([&] { return between.inside > 0; })) << "no read-ahead began";
    GetParam().change(rec, "cap2/camera3P_a.bmp");
    between.letGo = true;
    EXPECT_EQ(grab(camera), (std::vector<int>{77, 22}));
    destory(camera);
    cv::setNumThreads(threads);
}

INSTANTIATE_TEST_SUITE_P(Changes, ReadAheadChange, ::testing::Values(
    ChangeCase{"RewrittenInAnotherSize",
               [](const RecordingFixture& rec, const std::string& file) { rec.color24Bmp(file, 77); }},
    // As cp -p, rsync -t or touch -r leave it: only the change time tells.
    ChangeCase{"RewrittenSameSizeModificationTimeSetBack",
               [](const RecordingFixture& rec, const std::string& file) {
                   const fs::file_time_type modified = fs::last_write_time(rec.path(file));
                   rec.gray8Bmp(file, 77);
                   fs::last_write_time(rec.path(file), modified);
               }}),
    [](const ::testing::TestParamInfo<ChangeCase>& info) { return std::string(info.param.name); });

}  // namespace
