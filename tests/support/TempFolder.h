#pragma once
// A fresh folder per test, removed with everything in it afterwards. Entries
// are named relative to it with "/" and come back as paths joined with the
// platform's kPathSeparator, the way the core joins them. Qt-free and
// OpenCV-free: the Windows build's tests use it too.

#include <filesystem>
#include <string>
#include <vector>

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& path() const { return root; }
    // root + kPathSeparator + relative, with every "/" in `relative` replaced.
    std::string at(const std::string& relative) const;
    // Each entry is created with its parents; a trailing "/" makes a folder,
    // anything else an empty file.
    void make(const std::vector<std::string>& entries) const;
    // Folder link at `relative` to the folder `target` (relative; "" is the
    // root). False when the platform or the user may not create links.
    bool link(const std::string& relative, const std::string& target) const;
    // Takes every permission from the folder; true when it can then no longer
    // be listed (false when running as root or where permissions are only a
    // read-only flag). The permissions are given back on destruction.
    bool denyReading(const std::string& relative);

private:
    std::string root;
    std::vector<std::filesystem::path> denied;
};

// folder.at() of each relative path, for comparing whole lists.
std::vector<std::string> pathsUnder(const TempFolder& folder, const std::vector<std::string>& relatives);
