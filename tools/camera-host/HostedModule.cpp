#include "HostedModule.h"

#include <filesystem>

HostedModule::~HostedModule()
{
    if (object_ && destory_)
        destory_(object_);
}

bool HostedModule::load(const std::string& path)
{
    if (!library_.open(path)) {
        error_ = "cannot load the camera module: " + library_.error();
        return false;
    }
    const auto create = reinterpret_cast<CreateModuleFn>(library_.symbol("create"));
    const auto destory = create ? reinterpret_cast<DestroyModuleFn>(library_.symbol("destory")) : nullptr;
    if (!create || !destory) {
        error_ = path + " is not a camera module: " + library_.error();
        return false;
    }
    object_ = create();
    if (!object_) {
        error_ = "the module's create() gave no object: " + path;
        return false;
    }
    destory_ = destory;
    return true;
}

std::string defaultModulePath()
{
    const std::filesystem::path host = executablePath();
    if (host.empty())
        return MODULE_FILE_NAME;
    return (host.parent_path() / MODULE_PATH_FROM_HOST / MODULE_FILE_NAME).lexically_normal().string();
}
