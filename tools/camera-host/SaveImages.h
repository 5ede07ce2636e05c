#pragma once
// Lossless copies of grabbed images, depth and channels kept: PNG for 8- and
// 16-bit images with 1, 3 or 4 channels, TIFF for other depths, and OpenCV's
// own file (.yml.gz) for channel counts no image format holds.

#include <opencv2/core/mat.hpp>

#include <string>

// File name of image `position` (1-based) of frame `frame`, without folder:
// "frame0001_image1.png".
std::string savedImageName(const cv::Mat& image, int frame, int position);

// Writes `image` into `folder` under savedImageName(). An empty image is not
// written and counts as done. False with `error` naming the file on failure.
bool saveImage(const cv::Mat& image, const std::string& folder, int frame, int position, std::string& error);
