#include "ModulePath.h"

#include "ExecutablePath.h"

#include <filesystem>

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
