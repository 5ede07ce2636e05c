#pragma once
// The recording a parameter string names, planned with the module's own core
// code as a fresh module replays it: its capture folders in grab order and,
// per capture, the files one grab reads. Replay and inspect both work from it.

#include "Log.h"
#include "ParamParser.h"
#include "ReadOrder.h"

#include <cstddef>
#include <string>
#include <vector>

struct RecordingPlan {
    ParamParse param;
    CameraMode mode = CameraMode::None;
    // Frame n of a fresh module comes from folders[(n - 1) % folders.size()].
    std::vector<std::string> folders;
};

// False with `error` ("bad parameter string: " and the parser's text, or the
// folder walk's) when the parameter string is bad or its root cannot be walked. The walk's warnings
// go to `log`.
bool planRecording(const std::string& param, RecordingPlan& plan, std::string& error, const LogSink& log = {});

struct PlannedFile {
    std::string path;
    // camera1: the index in kCamera1Kinds of the kind it is read as; -1 for
    // the other modes.
    int kind = -1;
};

struct PlannedCapture {
    std::string folder;     // as the walk listed it
    std::string belowRoot;  // the same below the root ("part_1")
    std::vector<PlannedFile> files;  // in read order
};

// Capture `index` (from 0, past the last folder from the first again).
// The plan must hold a folder. Listing warnings go to `log`.
PlannedCapture planCapture(const RecordingPlan& plan, std::size_t index, const LogSink& log = {});

// Inspect's name for the file at `position` (from 0) of a capture: its
// camera1 kind ("VexoShapeImage1"), else "image 2" by position.
std::string kindText(const PlannedFile& file, std::size_t position);

// The contact sheet's label: the camera1 kind without its common words
// ("Shape1"), else the file's name.
std::string sheetLabel(const PlannedFile& file);
