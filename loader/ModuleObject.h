#pragma once
// One object of a camera module, as a host holds it: the module file loaded
// (CameraModule), the object made by its `create`, and that object handed
// back to its `destory` when this goes, before the file is unloaded.

#include "CameraModule.h"

#include <string>

class ModuleObject {
public:
    ModuleObject() = default;
    ~ModuleObject();
    ModuleObject(const ModuleObject&) = delete;
    ModuleObject& operator=(const ModuleObject&) = delete;

    // Loads `path` (or a private copy of it in `copyFolder`, with a module
    // state of its own) and creates the object. False with error() saying
    // why: CameraModule's load errors, or "the module's create() gave no
    // object: <path>".
    bool load(const std::string& path, CameraModule::Load how = CameraModule::Load::TheFile,
              const std::string& copyFolder = {});
    // Hands the object to destory and creates another from the same loaded
    // module (the module's state goes on). False when create() gives none.
    bool renew();
    // Hands the object to destory now; the module stays loaded.
    void release();

    // The object; null until load() succeeded.
    Base* get() const { return object_; }
    Base& object() const { return *object_; }
    // The loaded module, for hosts that make more objects of it.
    const CameraModule& module() const { return module_; }
    const std::string& error() const { return error_; }

private:
    bool createObject();

    CameraModule module_;
    Base* object_ = nullptr;
    std::string error_;
};
