#pragma once
// How images are described to the user, the same in every output.

#include <opencv2/core/mat.hpp>

#include <string>

// OpenCV's short type name: "8UC1", "16UC1", "8UC3", "32FC1".
std::string typeName(int type);

// "320x256 8UC1", or "empty".
std::string describeImage(const cv::Mat& image);

// Bytes of pixel data (0 for an empty image).
double imageBytes(const cv::Mat& image);
