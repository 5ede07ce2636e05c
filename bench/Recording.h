#pragma once
// Deterministic recordings for the benchmark: the same pixels on every run
// (fixed seeds), written under a folder the caller owns.

#include <cstddef>
#include <string>
#include <vector>

// One recording of a frame shape: capture folders 0000, 0001, ... under
// `root`, each holding the same set of files.
struct FrameShape {
    std::string name;        // short name, also the recording's folder name
    std::string label;       // what a frame holds, for the table
    std::string cameraName;  // camera name the module is configured with
    std::string root;
    // Per capture folder, in replay order: the files a grab reads, in the
    // order it reads them.
    std::vector<std::vector<std::string>> frames;
    // printf-style pattern naming each frame's only file, for OpenCV's
    // image-sequence reader; empty when frames hold several files.
    std::string sequencePattern;
    std::size_t frameBytes = 0;  // decoded size of one frame
};

// The frame shapes the benchmark measures, written under `parent`:
// camera1 (six 2448x2048 8-bit BMPs), camera2 with an uncompressed and with
// an LZW 16-bit TIFF (two such BMPs and the TIFF), one 2448x2048 BMP per frame
// (a single-kind sequence) and a tiny frame of one 64x64 BMP.
std::vector<FrameShape> makeFrameShapes(const std::string& parent);

// A folder holding `count` empty files named like camera1 BMPs.
std::string makeFileFolder(const std::string& parent, int count);

// A tree of `top` folders with `perTop - 1` sub-folders each: top * perTop
// folders in all.
std::string makeFolderTree(const std::string& parent, int top, int perTop);
