// A grab that fails on the worker, made to fail through the grab's test
// seam. The module's code is linked in directly, so its state is one per
// process: each test starts from a fresh recording and parameter string and
// finds out where the cursor stands from its first frame.

#include "Grab.h"
#include "LogCapture.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <functional>
#include <new>
#include <stdexcept>

namespace {

struct FaultCase {
    std::string name;
    std::function<void()> fault;
    std::string cause;  // as the error line names it
};

void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name; }

class GrabFault : public ::testing::TestWithParam<FaultCase> {
protected:
    // Capture folders f1..f3, each with two images: 10n+1, 10n+2.
    void SetUp() override
    {
        for (int n = 1; n <= 3; ++n) {
            rec.gray8Bmp(folder(n) + "/camera3P_a.bmp", 10 * n + 1);
            rec.gray8Bmp(folder(n) + "/camera3P_b.bmp", 10 * n + 2);
        }
        camera.setParam(nullptr, QByteArray::fromStdString(rec.param("camera3P")));
        ASSERT_TRUE(camera.init(nullptr));
        std::vector<cv::Mat> leftOver;
        camera.getImages(leftOver, nullptr);
    }
    void TearDown() override { setGrabFaultForTesting(nullptr); }

    static std::string folder(int n) { return "f" + std::to_string(n); }
    static int after(int n) { return n % 3 + 1; }
    static std::vector<int> frameOf(int n) { return {10 * n + 1, 10 * n + 2}; }

    std::vector<int> collect()
    {
        std::vector<cv::Mat> images;
        camera.getImages(images, nullptr);
        return identitiesOf(images);
    }

    RecordingFixture rec;
    LogCapture log;
    Qz_VirtualCamera_ReadFile camera;
};

TEST_P(GrabFault, RunFailsDropsThePartialFrameAndTheReplayGoesOn)
{
    ASSERT_TRUE(camera.run());
    const std::vector<int> first = collect();
    ASSERT_EQ(first.size(), 2u);
    const int kept = after(first[0] / 10);  // grabbed, left uncollected
    const int failing = after(kept);
    ASSERT_TRUE(camera.run());

    setGrabFaultForTesting(GetParam().fault);
    log.clear();
    EXPECT_FALSE(camera.run());
    setGrabFaultForTesting(nullptr);

    const std::vector<std::string> errors = log.containing("[ERROR] ");
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_NE(errors[0].find(rec.path(folder(failing))), std::string::npos) << errors[0];
    EXPECT_NE(errors[0].find(GetParam().cause), std::string::npos) << errors[0];
    EXPECT_EQ(errors[0].find('\n'), std::string::npos) << "one line only: " << errors[0];
    EXPECT_EQ(collect(), frameOf(kept));

    EXPECT_TRUE(camera.run());
    EXPECT_EQ(collect(), frameOf(after(failing)));
}

INSTANTIATE_TEST_SUITE_P(Throws, GrabFault, ::testing::Values(
    FaultCase{"StandardError", [] { throw std::runtime_error("listing failed"); }, "listing failed"},
    FaultCase{"OpenCVError", [] { CV_Error(cv::Error::StsNoMem, "no room for pixels"); }, "no room for pixels"},
    FaultCase{"OutOfMemory", [] { throw std::bad_alloc(); }, "bad_alloc"},
    FaultCase{"NotAnException", [] { throw 42; }, "unknown error"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
