#pragma once
// Lossless copies of grabbed images, depth and channels kept: PNG for 8- and
// 16-bit images with 1, 3 or 4 channels, TIFF for other depths, and OpenCV's
// own file (.yml.gz) for channel counts no image format holds.

#include <opencv2/core/mat.hpp>

#include <string>

// File name of an image of frame `frame`, without folder: "frame0001_" then
// `source` (where the image came from: capture folder and file, see
// sourceName()) and the ending the image's depth needs.
std::string savedImageName(const cv::Mat& image, int frame, const std::string& source);

// "part_0001_camera1_VexoShapeImage1" for <root>/part_0001/camera1_VexoShapeImage1.bmp:
// the capture folder below the root (its separators as "-") and the file's
// name without its ending.
std::string sourceName(const std::string& captureFolder, const std::string& file);

// Writes `image` into `folder` under savedImageName(). An empty image is not
// written and counts as done. False with `error` naming the file on failure.
bool saveImage(const cv::Mat& image, const std::string& folder, int frame, const std::string& source,
               std::string& error);
