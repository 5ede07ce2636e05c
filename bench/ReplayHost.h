#pragma once
// Drives the built module the way a host does: one module object
// (ModuleObject) configured with setParam + init, grabbing with run +
// getImages. Module state lives per loaded file, so each ReplayHost loads its
// own copy of the file and starts at the first capture folder.

#include "Base.h"
#include "ModuleObject.h"

#include <string>
#include <vector>

class ReplayHost {
public:
    // `copyFolder` receives the private copy of the module file.
    explicit ReplayHost(const std::string& copyFolder) : copyFolder_(copyFolder) {}

    // Loads the copy, creates the object, setParam + init. False with
    // error() set when any step fails.
    bool start(const std::string& param);
    // One grab: run, then getImages appending to `images`.
    bool grab(std::vector<cv::Mat>& images);
    const std::string& error() const { return error_; }
    Base* object() const { return held_.get(); }

private:
    std::string copyFolder_;
    ModuleObject held_;
    std::string error_;
};

// Parameter string that replays `root` as camera `cameraName`.
std::string replayParam(const std::string& cameraName, const std::string& root);
