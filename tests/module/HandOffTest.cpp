// run and getImages through the exported module: frames handed over in grab
// order behind the caller's entries, and the log lines of a run.

#include "ModuleHost.h"

#include <regex>

namespace {

// f1 holds 11, 12; f2 holds 21, 22; f3 only a file that cannot be decoded.
class HandOff : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        for (int n = 1; n <= 2; ++n) {
            rec.gray8Bmp("f" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
            rec.gray8Bmp("f" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
        }
        rec.bytes("f3/camera3P_a.bmp", "");
    }
    bool getImages(std::vector<cv::Mat>& images) { return host.camera->getImages(images, nullptr); }
};

TEST_F(HandOff, TwoRunsThenOneCollectGiveBothFramesInOrder)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_TRUE(host.camera->run());
    EXPECT_TRUE(host.camera->run());
    EXPECT_EQ(identitiesOf(host.collect()), (std::vector<int>{11, 12, 21, 22}));
}

TEST_F(HandOff, CallerEntriesStayInFront)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    ASSERT_TRUE(host.camera->run());
    std::vector<cv::Mat> images{cv::Mat(1, 1, CV_8UC1, cv::Scalar(200))};
    EXPECT_TRUE(getImages(images));
    EXPECT_EQ(identitiesOf(images), (std::vector<int>{200, 11, 12}));
}

// An undecodable file's empty image is an image handed over all the same.
TEST_F(HandOff, SecondCollectFindsNothingAndLeavesTheVectorAlone)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    for (const std::vector<int>& frame : Frames{{11, 12}, {21, 22}, {-1}}) {
        ASSERT_TRUE(host.camera->run());
        std::vector<cv::Mat> images;
        EXPECT_TRUE(getImages(images));
        EXPECT_EQ(identitiesOf(images), frame);
        EXPECT_FALSE(getImages(images));
        EXPECT_EQ(identitiesOf(images), frame);
    }
}

TEST_F(HandOff, RunLogsStartWithTheQuotedParameterAndEndWithItsLine)
{
    const std::string param = "camera3P,say \"hi\"\\now,1," + rec.root();
    ASSERT_TRUE(host.configure(param));
    log.clear();
    ASSERT_TRUE(host.camera->run());
    const std::vector<LogLine> lines = log.lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0].text, "[INFO]   run start \"camera3P,say \\\"hi\\\"\\\\now,1," + quotedInLog(rec.root()) + "\"");
    std::smatch end;
    ASSERT_TRUE(std::regex_match(lines[1].text, end, std::regex(R"(\[INFO\]  ([1-9][0-9]*)  run end)")))
        << lines[1].text;
    // The number is the line of the logging statement itself.
    EXPECT_EQ(std::stoi(end[1]), lines[1].line);
}

}  // namespace
