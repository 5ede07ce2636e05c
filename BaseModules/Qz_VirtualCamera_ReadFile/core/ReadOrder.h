#pragma once
// Which files one grab reads, and in which order, for each camera mode.

#include "Log.h"

#include <string>
#include <vector>

// Chosen by the camera name exactly (case matters).
enum class CameraMode { None, Camera1, Camera2, Camera3P, Camera3N };

CameraMode cameraModeOf(const std::string& cameraName);

// The six image kinds of "camera1", in read order; a file belongs to a kind
// when its path contains the keyword. std::size(kCamera1Kinds) counts them.
inline constexpr const char* kCamera1Kinds[] = {
    "VexoSpecularReflectionImage", "VexoDiffuseReflectionImage", "VexoShapeImage1",
    "VexoShapeImage2",             "VexoGlossRatioImage",        "VexoNormalImage",
};

// A file takes part in a frame when its full path contains the camera name
// (case matters, so "camera1" also lets "camera10" through).
//   Camera1:            six kind passes, each over `bmpFiles` in list order;
//                       files that match no kind are not read.
//   Camera2:            matching bmp files in list order, then matching tiff.
//   Camera3P/Camera3N:  matching bmp files in list order.
//   None:               nothing.
std::vector<std::string> frameReadOrder(CameraMode mode, const std::string& cameraName,
                                        const std::vector<std::string>& bmpFiles,
                                        const std::vector<std::string>& tiffFiles);

// Lists `captureFolder` ("bmp", and "tiff" for Camera2) and returns the paths
// a grab reads, in order. Camera mode None lists nothing.
std::vector<std::string> planFrame(const std::string& captureFolder, const std::string& cameraName,
                                   const LogSink& log = {});
