#pragma once
// The commonest mistakes in a recording or a parameter string, told the same
// way by replay and inspect: images put in the root instead of in capture
// folders, a camera name the module does not know, files named for the
// camera that its mode passes over because of their extension.

#include "ReadOrder.h"

#include <cstddef>
#include <string>
#include <vector>

// `folder`, a capture folder collectFolders listed under `root`, named below
// the root ("part_1", "part_4\retake" on Windows): the text after the root as
// given, whatever its form ("\\?\C:\rec", a trailing separator).
std::string folderBelowRoot(const std::string& folder, const std::string& root);

// "1 capture", "2 captures": `count` with the noun in singular or plural.
std::string countOf(std::size_t count, const std::string& singular);

// Empty when `root` holds capture folders (`folderCount` > 0); otherwise why a
// replay of it has no frame, and, when the root holds image files itself,
// what to do about them.
std::string rootWithoutCapturesProblem(const std::string& root, std::size_t folderCount);

// Empty when `root` holds no image file itself; otherwise that those files
// are never read (the root is no capture folder).
std::string imagesInRootProblem(const std::string& root);

// Empty for a known camera name; otherwise that every frame will be empty,
// with the known name it differs from only in case, if there is one.
std::string unknownCameraProblem(const std::string& cameraName);

// Names of the files directly in `captureFolder` that are named for the
// camera and look like images, but that the camera mode does not read
// because of their ending (".tif", ".png", ".tiff" outside camera2, ...).
std::vector<std::string> passedOverImageFiles(const std::string& captureFolder, CameraMode mode,
                                              const std::string& cameraName);

// "bmp" or "bmp or tiff": the endings the mode reads.
std::string readEndings(CameraMode mode);
