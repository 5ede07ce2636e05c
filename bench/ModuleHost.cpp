#include "ModuleHost.h"

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::string builtModulePath()
{
    return MODULE_FILE;
}

std::string replayParam(const std::string& cameraName, const std::string& root)
{
    return cameraName + ",bench,0," + root;
}

ModuleHost::ModuleHost(const std::string& copyFolder)
{
    static std::atomic<int> copies{0};
    copyPath_ = (fs::path(copyFolder) / ("module-copy-" + std::to_string(copies++) + ".so")).string();
}

ModuleHost::~ModuleHost()
{
    if (object_)
        destory_(object_);
    if (handle_)
        ::dlclose(handle_);
    std::error_code ignored;
    fs::remove(copyPath_, ignored);
}

bool ModuleHost::start(const std::string& param)
{
    std::error_code copyError;
    fs::copy_file(builtModulePath(), copyPath_, fs::copy_options::overwrite_existing, copyError);
    if (copyError) {
        error_ = "cannot copy " + builtModulePath() + ": " + copyError.message();
        return false;
    }
    handle_ = ::dlopen(copyPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = ::dlerror();
        return false;
    }
    const auto create = reinterpret_cast<CreateModuleFn>(::dlsym(handle_, "create"));
    destory_ = reinterpret_cast<DestroyModuleFn>(::dlsym(handle_, "destory"));
    if (!create || !destory_) {
        error_ = "the module exports no create or destory: " + copyPath_;
        return false;
    }
    object_ = create();
    if (!object_) {
        error_ = "create returned no object";
        return false;
    }
    if (!object_->setParam(nullptr, QByteArray::fromStdString(param)) || !object_->init(nullptr)) {
        error_ = "setParam or init failed for \"" + param + "\"";
        return false;
    }
    return true;
}

bool ModuleHost::grab(std::vector<cv::Mat>& images)
{
    const bool ran = object_->run();
    const bool collected = object_->getImages(images, nullptr);
    return ran && collected;
}
