#pragma once
// A camera module file as a host sees it: loaded, with its two exported
// entry points `create` and `destory` resolved by name. Objects are made and
// disposed of through them; the file is unloaded when this goes, so every
// object must have been handed to destory() before.

#include "ModuleLibrary.h"

#include <string>

class Base;  // the module interface; only pointers pass through here

class CameraModule {
public:
    // Loads `path` itself, or a private copy of it (fresh module state, as
    // tests and benchmarks want; see ModuleLibrary::openPrivateCopy).
    enum class Load { TheFile, PrivateCopy };

    // False with error() saying why: "cannot load the camera module: ..." when
    // the file is missing or no library, "<path> is not a camera module: ..."
    // when it lacks an entry point.
    bool load(const std::string& path, Load how = Load::TheFile, const std::string& copyFolder = {});
    bool loaded() const { return create_ && destory_; }
    const std::string& error() const { return error_; }
    const ModuleLibrary& library() const { return library_; }

    // The module's create() and destory(); only while loaded().
    Base* create() const;
    void destory(Base* object) const;

private:
    ModuleLibrary library_;
    void* create_ = nullptr;
    void* destory_ = nullptr;
    std::string error_;
};
