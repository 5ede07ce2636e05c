#include "HostedModule.h"

#include "ExecutablePath.h"

#include <filesystem>

HostedModule::~HostedModule()
{
    if (object_)
        module_.destory(object_);
}

bool HostedModule::load(const std::string& path, bool privateCopy)
{
    if (!module_.load(path, privateCopy ? CameraModule::Load::PrivateCopy : CameraModule::Load::TheFile)) {
        error_ = module_.error();
        return false;
    }
    object_ = module_.create();
    if (!object_) {
        error_ = "the module's create() gave no object: " + path;
        return false;
    }
    return true;
}

std::string defaultModulePath()
{
    const std::filesystem::path host = executablePath();
    if (host.empty())
        return MODULE_FILE_NAME;
    const std::filesystem::path besideHost =
        (host.parent_path() / MODULE_PATH_FROM_HOST / MODULE_FILE_NAME).lexically_normal();
    const std::filesystem::path installed = (host.parent_path() / INSTALLED_MODULE_FROM_HOST).lexically_normal();
    std::error_code ec;
    if (!std::filesystem::exists(besideHost, ec) && std::filesystem::exists(installed, ec))
        return installed.string();
    return besideHost.string();
}
