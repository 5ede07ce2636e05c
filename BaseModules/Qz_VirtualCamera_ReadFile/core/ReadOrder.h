#pragma once
// Which files one grab reads, and in which order, for each camera mode.

#include "Log.h"

#include <array>
#include <string>
#include <vector>

// Chosen by the camera name exactly (case matters).
enum class CameraMode { None, Camera1, Camera2, Camera3P, Camera3N };

// How a mode orders the files of a frame.
enum class ReadRule {
    ByEnding,    // the files of each ending in turn, each in list order
    KindPasses,  // one pass per kind of kCamera1Kinds over the files, each in
                 // list order; files that match no kind are not read
};

// The image kinds of "camera1", in read order; a file belongs to a kind when
// its path contains the keyword.
inline constexpr const char* kCamera1Kinds[] = {
    "VexoSpecularReflectionImage", "VexoDiffuseReflectionImage", "VexoShapeImage1",
    "VexoShapeImage2",             "VexoGlossRatioImage",        "VexoNormalImage",
};

// The files of this ending decode slowest, so the decoding threads take
// them first.
inline constexpr const char kSlowestEnding[] = "tiff";

struct CameraModeRow {
    CameraMode mode;
    const char* cameraName;              // chooses the mode (case matters)
    std::array<const char*, 2> endings;  // listed and read in this order; unused slots null
    ReadRule rule;
};

// Every camera mode. A new mode or ending is one row here (plus its tests).
inline constexpr CameraModeRow kCameraModes[] = {
    {CameraMode::Camera1, "camera1", {"bmp", nullptr}, ReadRule::KindPasses},
    {CameraMode::Camera2, "camera2", {"bmp", "tiff"}, ReadRule::ByEnding},
    {CameraMode::Camera3P, "camera3P", {"bmp", nullptr}, ReadRule::ByEnding},
    {CameraMode::Camera3N, "camera3N", {"bmp", nullptr}, ReadRule::ByEnding},
};

CameraMode cameraModeOf(const std::string& cameraName);

// The mode's read rule; ByEnding for None.
ReadRule readRuleOf(CameraMode mode);
// The endings a mode reads, in order ("bmp", "tiff"); none for None.
std::vector<std::string> endingsOf(CameraMode mode);
// The endings joined by `separator`: "bmp or tiff".
std::string endingsText(CameraMode mode, const std::string& separator);
// The camera names of every mode joined by ", ".
std::string cameraNamesText();
// The read order in words, for the tools: "bmp files in file order, then
// tiff files".
std::string readOrderText(CameraMode mode);

// A file takes part in a frame when its full path contains the camera name
// (case matters, so "camera1" also lets "camera10" through).
// `filesByEnding[i]` holds the listed files of the mode's i-th ending; the
// result is in the mode's read rule's order (nothing for None).
std::vector<std::string> frameReadOrder(CameraMode mode, const std::string& cameraName,
                                        const std::vector<std::vector<std::string>>& filesByEnding);

// Lists `captureFolder` for each of the mode's endings and returns the paths
// a grab reads, in order. Camera mode None lists nothing. When `subFolders`
// is given, it gets every sub-folder listed on the way (matching ones).
std::vector<std::string> planFrame(const std::string& captureFolder, const std::string& cameraName,
                                   const LogSink& log = {}, std::vector<std::string>* subFolders = nullptr);
