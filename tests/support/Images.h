#pragma once
// Images written and recognised by tests. Every pixel of a test image holds
// its identity, so a test can tell which file an image came from.

#include <opencv2/core/mat.hpp>

#include <filesystem>
#include <string>
#include <vector>

// Writes `image` at root/relative ("/"-separated), making folders on the way;
// the format follows the ending.
void writeImage(const std::filesystem::path& root, const std::string& relative, const cv::Mat& image);

// Identity of an image: its first pixel's first channel; -1 when empty.
int identityOf(const cv::Mat& image);
std::vector<int> identitiesOf(const std::vector<cv::Mat>& images);
