#include "SampleScene.h"

#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;

float smoothstep(float edge0, float edge1, float x)
{
    const float t = std::clamp((x - edge0) / (edge1 - edge0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Raised disc with a bevelled edge and a ring, as a function of the radius.
float discProfile(float r, float radius)
{
    const float disc = 1.0f - smoothstep(radius * 0.9f, radius, r);
    const float ringDistance = std::abs(r - radius * 0.72f) / (radius * 0.07f);
    const float ring = ringDistance < 1.0f ? 0.35f * 0.5f * (1.0f + std::cos(ringDistance * float(kPi))) : 0.0f;
    return disc + ring;
}

std::vector<cv::Point> starPoints(cv::Point2d centre, double radius, double angleDeg)
{
    std::vector<cv::Point> points;
    for (int i = 0; i < 10; ++i) {
        const double r = (i % 2 == 0) ? radius : radius * 0.42;
        const double a = (angleDeg - 90.0 + i * 36.0) * kPi / 180.0;
        points.emplace_back(cvRound(centre.x + r * std::cos(a)), cvRound(centre.y + r * std::sin(a)));
    }
    return points;
}

// A soft-edged shape of `amount`, as drawn by `draw` on a mask.
template <typename Draw>
cv::Mat softShape(cv::Size size, double blurSigma, float amount, Draw draw)
{
    cv::Mat mask(size, CV_32F, cv::Scalar(0));
    draw(mask);
    cv::GaussianBlur(mask, mask, cv::Size(), blurSigma);
    return mask * amount;
}

cv::Mat brushedTexture(cv::Size size, unsigned seed)
{
    cv::Mat noise(size, CV_32F);
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, 1.0);
    cv::GaussianBlur(noise, noise, cv::Size(0, 0), 9.0, 0.6);  // long streaks along x
    return noise;
}

void computeNormals(Surface& s, double slopeGain)
{
    cv::Mat gx, gy;
    cv::Sobel(s.height, gx, CV_32F, 1, 0, 3, slopeGain / 8.0);
    cv::Sobel(s.height, gy, CV_32F, 0, 1, 3, slopeGain / 8.0);
    cv::Mat length;
    cv::sqrt(gx.mul(gx) + gy.mul(gy) + 1.0, length);
    s.normalX = -gx / length;
    s.normalY = -gy / length;
    s.normalZ = 1.0 / length;
}

cv::Mat toEightBit(const cv::Mat& values)
{
    cv::Mat out;
    values.convertTo(out, CV_8U, 255.0);
    return out;
}

void addDefect(Surface& s, const PartPose& pose, cv::Point2d centre, double radius)
{
    const cv::Size size = s.height.size();
    switch (pose.defect) {
    case Defect::Dent: {
        const cv::Point2d at = centre + cv::Point2d(radius * 0.35, radius * 0.2);
        s.height -= softShape(size, radius * 0.07, 1.2f, [&](cv::Mat& m) {
            cv::circle(m, at, cvRound(radius * 0.07), cv::Scalar(1), cv::FILLED, cv::LINE_AA);
        });
        break;
    }
    case Defect::Scratch:
        s.height -= softShape(size, 0.8, 0.25f, [&](cv::Mat& m) {
            cv::line(m, centre + cv::Point2d(-radius * 0.55, radius * 0.45),
                     centre + cv::Point2d(radius * 0.1, radius * 0.62), cv::Scalar(1), 1, cv::LINE_AA);
        });
        break;
    case Defect::Stain: {
        const cv::Mat stain = softShape(size, radius * 0.04, 1.0f, [&](cv::Mat& m) {
            cv::ellipse(m, centre + cv::Point2d(-radius * 0.3, -radius * 0.35),
                        cv::Size(cvRound(radius * 0.18), cvRound(radius * 0.1)), 30, 0, 360, cv::Scalar(1),
                        cv::FILLED, cv::LINE_AA);
        });
        s.albedo = s.albedo.mul(1.0 - stain * 0.55);
        s.shine = s.shine.mul(1.0 - stain * 0.8);
        break;
    }
    case Defect::None:
        break;
    }
}

}  // namespace

Surface makeSurface(cv::Size size, const PartPose& pose, unsigned noiseSeed)
{
    const double radius = 0.36 * std::min(size.width, size.height);
    const cv::Point2d centre(size.width / 2.0 + pose.shiftX * radius / 20.0,
                             size.height / 2.0 + pose.shiftY * radius / 20.0);
    Surface s;
    s.height.create(size, CV_32F);
    cv::Mat onDisc(size, CV_32F);
    for (int y = 0; y < size.height; ++y)
        for (int x = 0; x < size.width; ++x) {
            const float r = static_cast<float>(std::hypot(x - centre.x, y - centre.y));
            s.height.at<float>(y, x) = discProfile(r, static_cast<float>(radius));
            onDisc.at<float>(y, x) = 1.0f - smoothstep(static_cast<float>(radius) * 0.95f, static_cast<float>(radius), r);
        }
    s.height += softShape(size, radius * 0.025, 0.3f, [&](cv::Mat& m) {
        const std::vector<std::vector<cv::Point>> star{starPoints(centre, radius * 0.45, pose.angleDeg)};
        cv::fillPoly(m, star, cv::Scalar(1), cv::LINE_AA);
    });

    const cv::Mat texture = brushedTexture(size, noiseSeed);
    s.albedo = 0.28 + onDisc * 0.45 + texture * 0.04;
    s.shine = 0.12 + onDisc * 0.8 + texture * 0.03;
    addDefect(s, pose, centre, radius);
    computeNormals(s, radius * 0.14);
    return s;
}

cv::Mat specularImage(const Surface& s)
{
    cv::Mat facing;
    cv::pow(cv::max(s.normalZ, 0.0), 60.0, facing);
    return toEightBit(0.04 + s.shine.mul(facing) * 0.9);
}

cv::Mat diffuseImage(const Surface& s)
{
    return toEightBit(s.albedo.mul(0.8 + s.normalZ * 0.2));
}

cv::Mat shapeImage(const Surface& s, double lightX, double lightY)
{
    const double length = std::sqrt(lightX * lightX + lightY * lightY + 1.0);
    const double lx = lightX / length, ly = lightY / length, lz = 1.0 / length;
    // Flat surface is mid grey; slopes towards the light brighter, away darker.
    const cv::Mat lit = s.normalX * lx + s.normalY * ly + s.normalZ * lz;
    return toEightBit(0.5 + (lit - lz) * 1.1);
}

cv::Mat glossRatioImage(const Surface& s)
{
    cv::Mat facing;
    cv::pow(cv::max(s.normalZ, 0.0), 12.0, facing);
    const cv::Mat gloss = s.shine.mul(facing);
    return toEightBit(gloss / (gloss + s.albedo * 0.6 + 0.05));
}

cv::Mat normalImage(const Surface& s)
{
    std::vector<cv::Mat> channels{(s.normalZ + 1.0) * 0.5, (s.normalY + 1.0) * 0.5, (s.normalX + 1.0) * 0.5};
    cv::Mat bgr;
    cv::merge(channels, bgr);
    cv::Mat out;
    bgr.convertTo(out, CV_8UC3, 255.0);
    return out;
}

cv::Mat heightMap16(const Surface& s)
{
    cv::Mat out;
    s.height.convertTo(out, CV_16U, 30000.0, 10000.0);
    return out;
}

void addSensorNoise(cv::Mat& image, unsigned seed, double sigma)
{
    cv::Mat noise(image.size(), CV_MAKETYPE(CV_16S, image.channels()));
    cv::RNG rng(seed);
    rng.fill(noise, cv::RNG::NORMAL, 0.0, sigma);
    cv::Mat widened;
    image.convertTo(widened, noise.type());
    cv::Mat noisy = widened + noise;
    noisy.convertTo(image, image.type());
}
