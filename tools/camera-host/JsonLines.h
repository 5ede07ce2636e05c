#pragma once
// camera-host's machine-readable output: JSON Lines (docs/camera-host-json.md
// has the schema), one object per frame, then one with the summary. Written
// with Qt's own JSON classes.

#include <opencv2/core/mat.hpp>

#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>
#include <string>
#include <vector>

// One image of a frame: the file it was read from ("" when not known) and what it holds.
struct ImageEntry {
    std::string file;
    int width = 0;
    int height = 0;
    std::string type;  // "8UC1", ...
    bool empty = true;
};

// Entries for grabbed `images`; `files` name them when there is one per image.
std::vector<ImageEntry> imageEntries(const std::vector<std::string>& files, const std::vector<cv::Mat>& images);

// One camera's part of a frame: its parameter string, the capture folder
// the frame came from (below the root) and its images.
QJsonObject cameraFrameJson(const std::string& param, const std::string& captureFolder,
                            const std::vector<ImageEntry>& images);

// Writes {"frame": number, "cameras": cameras} as one line.
void writeFrameLine(std::FILE* out, int number, const QJsonArray& cameras);

// Writes {"summary": summary} as one line.
void writeSummaryLine(std::FILE* out, const QJsonObject& summary);

// Opens FILE for --json ("-" is standard output); nullptr after saying why.
std::FILE* openJsonOutput(const std::string& file);
void closeJsonOutput(std::FILE* out);
