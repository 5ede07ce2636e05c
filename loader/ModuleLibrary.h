#pragma once
// A module file loaded with the platform's loader. What every platform shares
// (the checks before loading, the private copy, the wording of every failure)
// is written once in ModuleLibrary.cpp; ModuleLibrary_unix.cpp and
// ModuleLibrary_win.cpp (CMake picks one) make only the system calls.
// Failures answer false or null and leave readable text in error(), naming
// the file and giving the system's own reason.

#include <string>

class ModuleLibrary {
public:
    ModuleLibrary() = default;
    ~ModuleLibrary();
    ModuleLibrary(const ModuleLibrary&) = delete;
    ModuleLibrary& operator=(const ModuleLibrary&) = delete;

    // Loads the file at `path`. Loading one file twice in a process gives the
    // same loaded image, with its static state shared.
    bool open(const std::string& path);
    // Loads a copy of the file made for this object alone (in `copyFolder`,
    // the temporary folder when empty), so its static state starts fresh;
    // the copy is removed when this goes.
    bool openPrivateCopy(const std::string& path, const std::string& copyFolder = {});
    // Unloads (and removes a private copy); nothing when nothing is loaded.
    void close();

    // Address of the exported function `name`, or null (see error()).
    void* symbol(const std::string& name);

    bool loaded() const { return handle_ != nullptr; }
    // The file given to open, and the file really loaded (the copy, if any).
    const std::string& path() const { return path_; }
    const std::string& loadedPath() const { return loadedPath_; }
    const std::string& error() const { return error_; }

private:
    // A folder or a missing file would give the loader's less helpful text.
    bool isFile(const std::string& path);
    bool load(const std::string& path, const std::string& loadedPath);

    // The system calls, one platform file each. loadSys leaves the system's
    // reason in `reason` when it gives null.
    static void* loadSys(const std::string& path, std::string& reason);
    static void* resolveSys(void* handle, const std::string& name);
    static void unloadSys(void* handle);

    void* handle_ = nullptr;
    std::string path_;
    std::string loadedPath_;
    bool privateCopy_ = false;
    std::string error_;
};
