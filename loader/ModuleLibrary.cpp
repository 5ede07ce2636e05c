#include "ModuleLibrary.h"

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// Names of private copies: one random tag per process keeps processes apart
// (tests of several build trees share the temporary folder), a counter keeps
// the copies of one process apart.
std::string privateCopyName(const std::string& path)
{
    static const std::string processTag = [] {
        std::random_device device;
        std::mt19937_64 random(device() ^ static_cast<std::uint64_t>(
                                              std::chrono::steady_clock::now().time_since_epoch().count()));
        return std::to_string(random() % 1000000000);
    }();
    static std::atomic<int> copies{0};
    return "module-copy-" + processTag + "-" + std::to_string(copies++) + fs::path(path).extension().string();
}

}  // namespace

ModuleLibrary::~ModuleLibrary()
{
    close();
}

bool ModuleLibrary::open(const std::string& path)
{
    close();
    return isFile(path) && load(path, path);
}

bool ModuleLibrary::openPrivateCopy(const std::string& path, const std::string& copyFolder)
{
    close();
    if (!isFile(path))
        return false;
    std::error_code ec;
    const fs::path folder = copyFolder.empty() ? fs::temp_directory_path(ec) : fs::path(copyFolder);
    const std::string copy = (folder / privateCopyName(path)).string();
    fs::copy_file(fs::path(path), fs::path(copy), fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error_ = "cannot copy " + path + " to " + copy + ": " + ec.message();
        return false;
    }
    privateCopy_ = true;
    loadedPath_ = copy;
    if (!load(path, copy)) {
        close();  // removes the copy
        return false;
    }
    return true;
}

bool ModuleLibrary::isFile(const std::string& path)
{
    std::error_code ec;
    if (fs::is_regular_file(fs::path(path), ec))
        return true;
    error_ = "no such file: " + path;
    return false;
}

bool ModuleLibrary::load(const std::string& path, const std::string& loadedPath)
{
    std::string reason;
    handle_ = loadSys(loadedPath, reason);
    if (!handle_) {
        error_ = path + ": " + (reason.empty() ? "unknown loader error" : reason);
        return false;
    }
    path_ = path;
    loadedPath_ = loadedPath;
    error_.clear();
    return true;
}

void ModuleLibrary::close()
{
    if (handle_)
        unloadSys(handle_);
    handle_ = nullptr;
    if (privateCopy_) {
        std::error_code ignored;
        fs::remove(fs::path(loadedPath_), ignored);
        privateCopy_ = false;
    }
    path_.clear();
    loadedPath_.clear();
}

void* ModuleLibrary::symbol(const std::string& name)
{
    if (!handle_) {
        error_ = "no module loaded";
        return nullptr;
    }
    void* address = resolveSys(handle_, name);
    if (!address)
        error_ = path_ + " exports no function \"" + name + "\"";
    return address;
}
