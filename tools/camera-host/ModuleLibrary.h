#pragma once
// A camera module file loaded with the platform's loader (dlopen here,
// LoadLibrary on Windows; CMake picks ModuleLibrary_unix.cpp or
// ModuleLibrary_win.cpp). Failures answer false and leave readable text in
// error().

#include <string>

class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Loads the file at `path`; false when it is missing or cannot be loaded.
    bool open(const std::string& path);
    // Address of the exported function `name`, or null (see error()).
    void* symbol(const std::string& name);
    const std::string& error() const { return error_; }

private:
    void* handle_ = nullptr;
    std::string error_;
};

// Full path of the running executable; empty when it cannot be told.
std::string executablePath();
