#pragma once
// Test-side host: loads the built module file as a host does (dlopen, then
// create/destory by name). Module state lives per loaded file, so each
// LoadedModule loads its own copy of the file and starts from fresh state.

#include "Base.h"

#include <string>

class LoadedModule {
public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    Base* create() const { return create_(); }
    void destory(Base* object) const { destory_(object); }

private:
    std::string copyPath_;
    void* handle_ = nullptr;
    CreateModuleFn create_ = nullptr;
    DestroyModuleFn destory_ = nullptr;
    std::string error_;
};

// Path of the module file the build produced.
std::string builtModulePath();
