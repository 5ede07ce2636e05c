#include "LoadedModule.h"

#include <dlfcn.h>

#include <atomic>
#include <filesystem>
#include <unistd.h>

namespace fs = std::filesystem;

std::string builtModulePath()
{
    return MODULE_FILE;
}

LoadedModule::LoadedModule()
{
    static std::atomic<int> copies{0};
    copyPath_ = (fs::temp_directory_path() /
                 ("module-copy-" + std::to_string(::getpid()) + "-" + std::to_string(copies++) + ".so"))
                    .string();
    std::error_code ec;
    fs::copy_file(builtModulePath(), copyPath_, fs::copy_options::overwrite_existing, ec);
    if (ec) {
        error_ = "cannot copy module: " + ec.message();
        return;
    }
    handle_ = ::dlopen(copyPath_.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle_) {
        error_ = ::dlerror();
        return;
    }
    create_ = reinterpret_cast<CreateModuleFn>(::dlsym(handle_, "create"));
    destory_ = reinterpret_cast<DestroyModuleFn>(::dlsym(handle_, "destory"));
    if (!create_ || !destory_) {
        error_ = "create or destory missing";
        ::dlclose(handle_);
        handle_ = nullptr;
    }
}

LoadedModule::~LoadedModule()
{
    if (handle_)
        ::dlclose(handle_);
    std::error_code ec;
    fs::remove(copyPath_, ec);
}
