#pragma once
// Drives the built module the way a host does: loads the module file, makes
// an object with `create`, configures it with setParam + init and grabs with
// run + getImages. Module state lives per loaded file, so each ModuleHost
// loads its own copy of the file and starts at the first capture folder.

#include "Base.h"

#include <string>
#include <vector>

class ModuleHost {
public:
    // `copyFolder` receives the private copy of the module file.
    explicit ModuleHost(const std::string& copyFolder);
    ~ModuleHost();
    ModuleHost(const ModuleHost&) = delete;
    ModuleHost& operator=(const ModuleHost&) = delete;

    // Loads the copy, creates the object, setParam + init. False with
    // error() set when any step fails.
    bool start(const std::string& param);
    // One grab: run, then getImages appending to `images`.
    bool grab(std::vector<cv::Mat>& images);
    const std::string& error() const { return error_; }
    Base* object() const { return object_; }

private:
    std::string copyPath_;
    void* handle_ = nullptr;
    Base* object_ = nullptr;
    DestroyModuleFn destory_ = nullptr;
    std::string error_;
};

// Parameter string that replays `root` as camera `cameraName`.
std::string replayParam(const std::string& cameraName, const std::string& root);

// Path of the module file the build produced.
std::string builtModulePath();
