#include "ModuleLibrary.h"

#include <dlfcn.h>

void* ModuleLibrary::loadSys(const std::string& path, std::string& reason)
{
    // A name without a slash would make dlopen search the library path.
    const std::string loadPath = path.find('/') == std::string::npos ? "./" + path : path;
    void* handle = ::dlopen(loadPath.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        const char* text = ::dlerror();
        reason = text ? text : "";
        // dlerror starts with the file name; the caller names the file itself.
        const std::string named = loadPath + ": ";
        if (reason.compare(0, named.size(), named) == 0)
            reason.erase(0, named.size());
    }
    return handle;
}

void* ModuleLibrary::resolveSys(void* handle, const std::string& name)
{
    return ::dlsym(handle, name.c_str());
}

void ModuleLibrary::unloadSys(void* handle)
{
    ::dlclose(handle);
}
