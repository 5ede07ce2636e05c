// The module as a host sees it: loading, create/destory, the Base contract
// and the lifecycle log lines.

#include "Base.h"
#include "BuiltModule.h"
#include "CameraModule.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <opencv2/core.hpp>

#include <fstream>
#include <memory>
#include <regex>
#include <set>

namespace {

class Lifecycle : public ::testing::Test {
protected:
    CameraModule module;
    LogCapture log;
    void SetUp() override
    {
        ASSERT_TRUE(module.load(builtModulePath(), CameraModule::Load::PrivateCopy)) << module.error();
    }
};

TEST(BaseInterface, PlainBaseAnswersTrueAndLeavesImagesAlone)
{
    Base base;
    std::vector<cv::Mat> images{cv::Mat(2, 3, CV_8UC1, cv::Scalar(7))};
    EXPECT_TRUE(base.getImages(images, nullptr));
    EXPECT_TRUE(base.setParam(nullptr, "camera1,a,1,/nowhere"));
    EXPECT_TRUE(base.init(nullptr));
    EXPECT_TRUE(base.run());
    ASSERT_EQ(images.size(), 1u);
    EXPECT_EQ(images[0].at<unsigned char>(1, 2), 7);
}

TEST_F(Lifecycle, CreateLogsBeforeTheObjectAndDestoryLogsAfterDeletion)
{
    Base* object = module.create();
    ASSERT_NE(object, nullptr);
    module.destory(object);
    const std::vector<std::string> expected{
        "[INFO]  Qz_VirtualCamera_ReadFile create success!",
        "[INFO]   delete success!",
        "[INFO]  Qz_VirtualCamera_ReadFile  destory success!",
    };
    EXPECT_EQ(log.texts(), expected);
}

TEST_F(Lifecycle, LogLinesCarryTheirSourceContext)
{
    module.destory(module.create());
    for (const LogLine& line : log.lines()) {
        EXPECT_NE(line.file.find("Qz_VirtualCamera_ReadFile.cpp"), std::string::npos) << line.text;
        EXPECT_GT(line.line, 0) << line.text;
        EXPECT_FALSE(line.function.empty()) << line.text;
    }
    ASSERT_EQ(log.lines().size(), 3u);
    EXPECT_NE(log.lines()[0].function.find("create"), std::string::npos);
}

TEST_F(Lifecycle, DestoryOfNullStillLogs)
{
    module.destory(nullptr);
    EXPECT_EQ(log.texts(), std::vector<std::string>{"[INFO]  Qz_VirtualCamera_ReadFile  destory success!"});
}

TEST_F(Lifecycle, ModuleObjectIsABaseToTheMetaObjectSystem)
{
    Base* object = module.create();
    EXPECT_TRUE(object->inherits("Base"));
    EXPECT_TRUE(object->inherits("QObject"));
    EXPECT_STREQ(object->metaObject()->className(), "Base");
    EXPECT_EQ(object->qt_metacast("MyThread"), nullptr);
    module.destory(object);
}

TEST_F(Lifecycle, SeveralObjectsLiveAtOnceAndGoInAnyOrder)
{
    Base* first = module.create();
    EXPECT_TRUE(log.containing("[WARN]").empty()) << "one object alone is no warning";
    Base* second = module.create();
    ASSERT_NE(first, second);
    const std::vector<std::string> warned = log.containing("[WARN]");
    ASSERT_EQ(warned.size(), 1u);
    EXPECT_NE(warned[0].find("share one state"), std::string::npos) << warned[0];
    EXPECT_NE(warned[0].find("each camera needs its own copy of the module file"), std::string::npos) << warned[0];
    module.destory(first);
    module.destory(second);
    EXPECT_EQ(log.containing("delete success!").size(), 2u);
    module.destory(module.create());
    EXPECT_EQ(log.containing("[WARN]").size(), 1u) << "a single object after both went is no warning";
}

// The README's table of log lines quotes the lifecycle lines whole: each
// must be what the module prints (a source line number shows as N).
TEST_F(Lifecycle, ReadmeQuotesTheLifecycleLinesAsPrinted)
{
    Base* object = module.create();
    object->setParam(nullptr, "camera1,a,1,/data/recording");
    object->init(nullptr);
    object->run();
    module.destory(object);
    std::set<std::string> printed;
    for (const std::string& text : log.texts())
        printed.insert(std::regex_replace(text, std::regex(R"(^\[INFO\]  \d+  )"), "[INFO]  N  "));

    std::ifstream readme(README_FILE);
    ASSERT_TRUE(readme) << README_FILE;
    const std::regex quotedInfoLine("`(\\[INFO\\][^`]*)`");
    int quoted = 0;
    for (std::string line; std::getline(readme, line);) {
        if (line.rfind("| `[INFO]", 0) != 0)
            continue;
        for (std::sregex_iterator it(line.begin(), line.end(), quotedInfoLine), end; it != end; ++it, ++quoted)
            EXPECT_EQ(printed.count((*it)[1]), 1u) << "README quotes " << (*it)[1] << ", not printed";
    }
    EXPECT_GE(quoted, 5) << "the README's table of log lines was not found";
}

}  // namespace
