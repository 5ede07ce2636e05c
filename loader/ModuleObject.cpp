#include "ModuleObject.h"

ModuleObject::~ModuleObject()
{
    release();
}

void ModuleObject::release()
{
    if (object_)
        module_.destory(object_);
    object_ = nullptr;
}

bool ModuleObject::load(const std::string& path, CameraModule::Load how, const std::string& copyFolder)
{
    release();
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
    release();
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
