#pragma once
// One object of a camera module, as a host holds it: the module file loaded,
// the object made by its `create` and handed back to its `destory` when this
// goes (before the file is unloaded).

#include "Base.h"
#include "CameraModule.h"

#include <string>

class HostedModule {
public:
    HostedModule() = default;
    ~HostedModule();
    HostedModule(const HostedModule&) = delete;
    HostedModule& operator=(const HostedModule&) = delete;

    // Loads `path` (or a private copy of it, with a module state of its own)
    // and creates the object; false with error() saying why.
    bool load(const std::string& path, bool privateCopy = false);
    Base& object() { return *object_; }
    const std::string& error() const { return error_; }

private:
    CameraModule module_;
    Base* object_ = nullptr;
    std::string error_;
};

// The module a host finds from its own path: the one built beside it
// (<build>/modules/<module file> for <build>/bin/camera-host), or else the
// installed one (<prefix>/<libdir>/Qz_VirtualCamera_ReadFile/<module file>
// for <prefix>/<bindir>/camera-host).
std::string defaultModulePath();
