// The host's image output: lossless saving for every image type, and a
// contact sheet that copes with whatever a module hands over.

#include "ContactSheet.h"
#include "ImageText.h"
#include "SaveImages.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

#include <opencv2/core/persistence.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include <limits>

namespace {

cv::Mat pattern(int type)
{
    cv::Mat image(5, 7, type);
    cv::randu(image, cv::Scalar::all(-100), cv::Scalar::all(60000));
    return image;
}

cv::Mat readBack(const std::string& path)
{
    if (path.size() > 7 && path.compare(path.size() - 7, 7, ".yml.gz") == 0) {
        cv::Mat image;
        cv::FileStorage(path, cv::FileStorage::READ)["image"] >> image;
        return image;
    }
    return cv::imread(path, cv::IMREAD_UNCHANGED);
}

class SaveRoundTrip : public ::testing::TestWithParam<int> {};

TEST_P(SaveRoundTrip, ReadsBackIdentical)
{
    TempFolder folder;
    const cv::Mat image = pattern(GetParam());
    std::string error;
    ASSERT_TRUE(saveImage(image, folder.path(), 12, "image3", error)) << error;
    const cv::Mat back = readBack(folder.at(savedImageName(image, 12, "image3")));
    ASSERT_EQ(back.type(), image.type());
    ASSERT_EQ(back.size(), image.size());
    EXPECT_EQ(cv::norm(back, image, cv::NORM_INF), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Tools, SaveRoundTrip,
                         ::testing::Values(CV_8UC1, CV_8UC3, CV_8UC4, CV_16UC1, CV_16UC3, CV_32FC1, CV_8UC2,
                                           CV_16SC1, CV_32FC3),
                         [](const ::testing::TestParamInfo<int>& info) { return typeName(info.param); });

TEST(SaveImage, NamesFilesByFrameAndSourceAndSkipsEmptyImages)
{
    const std::string source = sourceName("day1/part_0001", "/rec/day1/part_0001/camera2_HeightMap.tiff");
    EXPECT_EQ(source, "day1-part_0001_camera2_HeightMap");
    EXPECT_EQ(sourceName(".", "/rec/camera3P_Image.bmp"), "camera3P_Image");
    EXPECT_EQ(savedImageName(cv::Mat(2, 2, CV_16UC1), 7, source), "frame0007_day1-part_0001_camera2_HeightMap" + imageEnding());
    EXPECT_EQ(savedImageName(cv::Mat(2, 2, CV_32FC1), 7, "image2"), "frame0007_image2.tiff");
    EXPECT_EQ(savedImageName(cv::Mat(2, 2, CV_8UC2), 7, "image2"), "frame0007_image2.yml.gz");
    TempFolder folder;
    std::string error;
    EXPECT_TRUE(saveImage(cv::Mat(), folder.path(), 1, "image1", error));
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
    EXPECT_FALSE(saveImage(pattern(CV_8UC1), folder.at("missing/folder"), 1, "image1", error));
    EXPECT_NE(error.find(std::filesystem::path("missing/folder").make_preferred().string()), std::string::npos) << error;
}

TEST(ContactSheet, DrawsOddImagesAndMarksEmptyOnes)
{
    cv::Mat withNaN(40, 50, CV_32FC1, cv::Scalar(0.5));
    withNaN.at<float>(3, 3) = std::numeric_limits<float>::quiet_NaN();
    withNaN.at<float>(4, 4) = std::numeric_limits<float>::infinity();
    const std::vector<cv::Mat> frame{pattern(CV_16UC1), cv::Mat(), withNaN, pattern(CV_8UC4), pattern(CV_8UC2),
                                     pattern(CV_16SC3), cv::Mat(1000, 100, CV_8UC1, cv::Scalar(255))};
    ContactSheet sheet("odd images");
    sheet.addFrame(1, frame, false);
    sheet.addFrame(2, {}, true);
    const cv::Mat drawn = sheet.render();
    ASSERT_EQ(drawn.size(), SheetLayout::sheetSize(2, 7));

    // The empty image's cell carries its cross: its centre is not the plain cell colour.
    const cv::Vec3b emptyCentre = drawn.at<cv::Vec3b>(SheetLayout::rowTop(0) + SheetLayout::kThumbHeight / 2,
                                                      SheetLayout::kRowLabelWidth + SheetLayout::kThumbWidth +
                                                          SheetLayout::kGap + SheetLayout::kThumbWidth / 2);
    EXPECT_GT(emptyCentre[2], emptyCentre[0]) << "the cross is drawn in red";
    // A tall image is shrunk to fit its cell, not cut.
    const cv::Vec3b tallCentre = drawn.at<cv::Vec3b>(
        SheetLayout::rowTop(0) + SheetLayout::kThumbHeight / 2,
        SheetLayout::kRowLabelWidth + 6 * (SheetLayout::kThumbWidth + SheetLayout::kGap) + SheetLayout::kThumbWidth / 2);
    EXPECT_EQ(tallCentre, cv::Vec3b(255, 255, 255));
}

TEST(ContactSheet, CapsRowsAndColumns)
{
    ContactSheet sheet("long run");
    const std::vector<cv::Mat> wide(SheetLayout::kMaxColumns + 5, cv::Mat(4, 4, CV_8UC1, cv::Scalar(1)));
    for (int frame = 1; frame <= SheetLayout::kMaxRows + 3; ++frame)
        sheet.addFrame(frame, wide, false);
    EXPECT_EQ(sheet.render().size(), SheetLayout::sheetSize(SheetLayout::kMaxRows, SheetLayout::kMaxColumns));
}

TEST(ContactSheet, TitleWrapsWithNothingLeftOut)
{
    const std::string title = "camera2,a,1,/data/recordings/line 3/2024-03-18 morning shift/station_B   64 frames"
                              "   (first 50 frames of 64)";
    const int width = SheetLayout::sheetSize(1, 1).width - 2 * SheetLayout::kGap;
    const std::vector<std::string> lines = wrapText(title, width, 0.6);
    EXPECT_GT(lines.size(), 1u);
    std::string joined;
    for (const std::string& line : lines) {
        int baseline = 0;
        EXPECT_LE(cv::getTextSize(line, cv::FONT_HERSHEY_SIMPLEX, 0.6, 1, &baseline).width, width) << line;
        joined += line;
    }
    EXPECT_EQ(joined, title);
    // A path with no blank to break at is broken anywhere rather than cut.
    const std::string unbroken(300, 'x');
    std::string rejoined;
    for (const std::string& line : wrapText(unbroken, width, 0.6))
        rejoined += line;
    EXPECT_EQ(rejoined, unbroken);

    ContactSheet sheet(title);
    sheet.addFrame(1, {cv::Mat(4, 4, CV_8UC1, cv::Scalar(1))}, false, "capture", {"kind"});
    EXPECT_EQ(sheet.render().size(), SheetLayout::sheetSize(1, 1, static_cast<int>(lines.size())));
}

TEST(ContactSheet, TextOutsideAsciiIsEscapedReadably)
{
    const std::vector<std::pair<std::string, std::string>> cases{
        {"plain/ascii_01.bmp", "plain/ascii_01.bmp"},
        {"Stra\xc3\x9f" "e", "Stra<U+00DF>e"},
        {"\xe6\xb8\xac\xe5\xae\x9a", "<U+6E2C><U+5B9A>"},
        {"\xf0\x9f\x98\x80", "<U+1F600>"},
        {"bad\xff" "byte", "bad<xFF>byte"},
        {"cut\xc3", "cut<xC3>"},
        {"tab\there", "tab<x09>here"},
    };
    for (const auto& [text, shown] : cases)
        EXPECT_EQ(drawableText(text), shown);
}

}  // namespace
