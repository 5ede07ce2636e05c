#include "ImageText.h"

std::string typeName(int type)
{
    static const char* const depths[] = {"8U", "8S", "16U", "16S", "32S", "32F", "64F", "16F"};
    return std::string(depths[CV_MAT_DEPTH(type)]) + "C" + std::to_string(CV_MAT_CN(type));
}

std::string describeImage(const cv::Mat& image)
{
    if (image.empty())
        return "empty";
    return std::to_string(image.cols) + "x" + std::to_string(image.rows) + " " + typeName(image.type());
}

double imageBytes(const cv::Mat& image)
{
    return static_cast<double>(image.total()) * static_cast<double>(image.elemSize());
}
