#pragma once
// A synthetic part for the sample recording: a round metal disc with a raised
// ring and an embossed star, lying on a dark table, moved and turned a little
// from capture to capture, some captures with a defect. Everything is
// computed, with fixed noise seeds, so the images are the same on every run.

#include <opencv2/core/mat.hpp>

enum class Defect { None, Dent, Scratch, Stain };

struct PartPose {
    double shiftX = 0;    // in twentieths of the disc radius
    double shiftY = 0;
    double angleDeg = 0;  // turn of the star
    Defect defect = Defect::None;
};

// The part as seen by one camera at one image size (all CV_32F).
struct Surface {
    cv::Mat height;  // height above the table, 0..about 1.7
    cv::Mat albedo;  // matte reflectance, 0..1
    cv::Mat shine;   // strength of mirror-like reflection, 0..1
    cv::Mat normalX, normalY, normalZ;  // unit surface normal, z towards the camera
};

Surface makeSurface(cv::Size size, const PartPose& pose, unsigned noiseSeed);

// Images as the cameras deliver them, 8-bit grey unless stated.
cv::Mat specularImage(const Surface& s);    // coaxial light: flat metal bright, slopes dark
cv::Mat diffuseImage(const Surface& s);     // diffuse dome light: mostly the reflectance
cv::Mat shapeImage(const Surface& s, double lightX, double lightY);  // relief lit from one side
cv::Mat glossRatioImage(const Surface& s);  // how glossy rather than matte each point is
cv::Mat normalImage(const Surface& s);      // 8-bit BGR: B = z, G = y, R = x, mapped from -1..1
cv::Mat heightMap16(const Surface& s);      // 16-bit height map, 0 = far below the table

// Adds fixed-seed sensor noise to an 8-bit image.
void addSensorNoise(cv::Mat& image, unsigned seed, double sigma);
