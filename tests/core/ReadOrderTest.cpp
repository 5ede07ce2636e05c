#include "PlatformPaths.h"
#include "ReadOrder.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

std::string under(const std::string& folder, const std::string& name)
{
    return folder + kPathSeparator + name;
}

// camera1_<kind>.bmp in `folder`, for each kind index given.
Paths kindFiles(const std::string& folder, const std::vector<int>& kinds)
{
    Paths files;
    for (const int kind : kinds)
        files.push_back(under(folder, std::string("camera1_") + kCamera1Kinds[kind] + ".bmp"));
    return files;
}

// Each mode's own name chooses it; anything near it chooses none.
TEST(CameraModeOf, NameMatchesExactly)
{
    for (const CameraModeRow& row : kCameraModes) {
        EXPECT_EQ(cameraModeOf(row.cameraName), row.mode) << row.cameraName;
        EXPECT_NE(row.mode, CameraMode::None) << row.cameraName;
    }
    for (const char* name : {"Camera1", "camera3p", "camera10", "camera1 ", ""})
        EXPECT_EQ(cameraModeOf(name), CameraMode::None) << name;
}

TEST(FrameReadOrder, Camera1ReadsKindsInKindOrderWhateverTheListOrder)
{
    const Paths listed = kindFiles("rec", {4, 1, 5, 0, 3, 2});
    EXPECT_EQ(frameReadOrder(CameraMode::Camera1, "camera1", {listed}), kindFiles("rec", {0, 1, 2, 3, 4, 5}));
    // Two matching files only: still both kinds, not just one pass per file.
    EXPECT_EQ(frameReadOrder(CameraMode::Camera1, "camera1", {kindFiles("rec", {5, 1})}),
              kindFiles("rec", {1, 5}));
}

TEST(FrameReadOrder, Camera1SkipsFilesOfNoKindAndKeepsListOrderWithinAKind)
{
    const std::string shapeB = under("rec", "camera1_VexoShapeImage1_b.bmp");
    const std::string shapeA = under("rec", "camera1_VexoShapeImage1_a.bmp");
    const Paths listed = {under("rec", "camera1_other.bmp"), shapeB, under("rec", "camera1_x.bmp"),
                          kindFiles("rec", {0})[0], shapeA};
    EXPECT_EQ(frameReadOrder(CameraMode::Camera1, "camera1", {listed}),
              (Paths{kindFiles("rec", {0})[0], shapeB, shapeA}));
}

TEST(FrameReadOrder, CameraNameIsACaseSensitiveSubstringOfThePath)
{
    const std::string normal = "VexoNormalImage.bmp";
    const Paths listed = {
        under("rec", "camera10_" + normal),           // "camera10" holds "camera1"
        under("rec", "Camera1_" + normal),            // case differs
        under("rec", "cam_" + normal),                // no camera name
        under(under("rec", "camera1_cap"), normal),   // name in the folder part
    };
    EXPECT_EQ(frameReadOrder(CameraMode::Camera1, "camera1", {listed}), (Paths{listed[0], listed[3]}));
}

TEST(FrameReadOrder, Camera2ReadsBmpThenTiffInListOrder)
{
    const std::string folder = "camera2_cap";
    const Paths bmp = {under(folder, "b.bmp"), under(folder, "c.bmp")};
    const Paths tiff = {under(folder, "a.tiff")};
    EXPECT_EQ(frameReadOrder(CameraMode::Camera2, "camera2", {bmp, tiff}), (Paths{bmp[0], bmp[1], tiff[0]}));
    EXPECT_EQ(frameReadOrder(CameraMode::Camera2, "camera2", {{under("x", "b.bmp")}, {under("x", "camera2.tiff")}}),
              (Paths{under("x", "camera2.tiff")}));
}

TEST(FrameReadOrder, Camera3PAndNReadMatchingBmpInListOrderNoneNothing)
{
    for (const char* name : {"camera3P", "camera3N"}) {
        const std::string prefix = std::string(name) + "_";
        const Paths bmp = {under("r", prefix + "z.bmp"), under("r", "other.bmp"), under("r", prefix + "a.bmp")};
        EXPECT_EQ(frameReadOrder(cameraModeOf(name), name, {bmp, {under("r", prefix + "t.tiff")}}),
                  (Paths{bmp[0], bmp[2]}))
            << name;
    }
    EXPECT_TRUE(frameReadOrder(CameraMode::None, "camera4", {{under("r", "camera4.bmp")}}).empty());
}

TEST(PlanFrame, ListsTheCaptureFolderForTheMode)
{
    TempFolder tmp;
    tmp.make({"camera2_cap/c.BMP", "camera2_cap/a.tiff", "camera2_cap/x.txt", "camera2_cap/b.bmp",
              "camera1_cap/camera1_VexoNormalImage.bmp", "camera1_cap/camera1_VexoSpecularReflectionImage.bmp"});
    EXPECT_EQ(planFrame(tmp.at("camera2_cap"), "camera2"),
              pathsUnder(tmp, {"camera2_cap/b.bmp", "camera2_cap/c.BMP", "camera2_cap/a.tiff"}));
    EXPECT_EQ(planFrame(tmp.at("camera1_cap"), "camera1"),
              pathsUnder(tmp, {"camera1_cap/camera1_VexoSpecularReflectionImage.bmp",
                               "camera1_cap/camera1_VexoNormalImage.bmp"}));
    EXPECT_TRUE(planFrame(tmp.at("camera2_cap"), "camera9").empty());
    EXPECT_TRUE(planFrame(tmp.at("missing"), "camera2").empty());
}

}  // namespace
