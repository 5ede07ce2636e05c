#pragma once
// Recordings made at test time: a private root folder holding capture folders
// and image files whose pixels hold their identity (Images.h), so a test can
// check the order, not only counts.

#include "Images.h"
#include "TempFolder.h"

#include <opencv2/core/mat.hpp>

#include <string>
#include <vector>

class RecordingFixture {
public:
    // The root is a fresh, empty folder, removed with everything in it when
    // this goes.
    const std::string& root() const { return folder_.path(); }
    // Full path of `relative` (joined with "/") under the root.
    std::string path(const std::string& relative) const;
    // "camera,a,1,<root>", or "<root>/<relativeRoot>" as the fourth field.
    std::string param(const std::string& cameraName, const std::string& relativeRoot = "") const;

    // Each creates the missing parent folders and returns the full path.
    std::string folder(const std::string& relative) const;
    std::string gray8Bmp(const std::string& relative, int identity) const;    // CV_8UC1
    std::string color24Bmp(const std::string& relative, int identity) const;  // CV_8UC3 (identity, 0, 255)
    std::string gray16Tiff(const std::string& relative, int identity) const;  // CV_16UC1
    std::string bytes(const std::string& relative, const std::string& content) const;
    // A 24-bit BMP header announcing width x height pixels, no pixel data.
    std::string bmpHeaderOnly(const std::string& relative, int width, int height) const;

private:
    std::string image(const std::string& relative, const cv::Mat& pixels) const;
    TempFolder folder_;
};
