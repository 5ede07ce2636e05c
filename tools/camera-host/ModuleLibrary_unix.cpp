#include "ModuleLibrary.h"

#include <dlfcn.h>
#include <unistd.h>

#include <climits>
#include <filesystem>

ModuleLibrary::~ModuleLibrary()
{
    if (handle_)
        ::dlclose(handle_);
}

bool ModuleLibrary::open(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec)) {
        error_ = "no such file: " + path;
        return false;
    }
    // A name without a slash would make dlopen search the library path.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    handle_ = ::dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        const char* text = ::dlerror();
        error_ = text ? text : path + ": unknown loader error";  // dlerror names the file
        return false;
    }
    return true;
}

void* ModuleLibrary::symbol(const std::string& name)
{
    if (!handle_) {
        error_ = "no module loaded";
        return nullptr;
    }
    ::dlerror();
    void* address = ::dlsym(handle_, name.c_str());
    if (!address)
        error_ = "it exports no function \"" + name + "\"";
    return address;
}

std::string executablePath()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}
