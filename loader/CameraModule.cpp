#include "CameraModule.h"

#include "ModuleEntries.h"

bool CameraModule::load(const std::string& path, Load how, const std::string& copyFolder)
{
    create_ = destory_ = nullptr;
    const bool opened = how == Load::PrivateCopy ? library_.openPrivateCopy(path, copyFolder) : library_.open(path);
    if (!opened) {
        error_ = "cannot load the camera module: " + library_.error();
        return false;
    }
    create_ = library_.symbol("create");
    destory_ = create_ ? library_.symbol("destory") : nullptr;
    if (!destory_) {
        error_ = path + " is not a camera module: it exports no function \"" +
                 (create_ ? "destory" : "create") + "\"";
        create_ = nullptr;
        library_.close();
        return false;
    }
    error_.clear();
    return true;
}

Base* CameraModule::create() const
{
    return reinterpret_cast<CreateModuleFn>(create_)();
}

void CameraModule::destory(Base* object) const
{
    reinterpret_cast<DestroyModuleFn>(destory_)(object);
}
