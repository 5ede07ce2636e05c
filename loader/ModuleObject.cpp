#include "ModuleObject.h"

ModuleObject::~ModuleObject()
{
    if (object_)
        module_.destory(object_);
}

bool ModuleObject::load(const std::string& path, CameraModule::Load how, const std::string& copyFolder)
{
    if (object_) {
        module_.destory(object_);
        object_ = nullptr;
    }
    if (!module_.load(path, how, copyFolder)) {
        error_ = module_.error();
        return false;
    }
    return createObject();
}

bool ModuleObject::renew()
{
    if (!module_.loaded()) {
        error_ = "no module loaded";
        return false;
    }
    if (object_)
        module_.destory(object_);
    return createObject();
}

bool ModuleObject::createObject()
{
    object_ = module_.create();
    if (!object_) {
        error_ = "the module's create() gave no object: " + module_.library().path();
        return false;
    }
    error_.clear();
    return true;
}
