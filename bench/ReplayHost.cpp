#include "ReplayHost.h"

#include "BuiltModule.h"

std::string replayParam(const std::string& cameraName, const std::string& root)
{
    return cameraName + ",bench,0," + root;
}

ReplayHost::~ReplayHost()
{
    if (object_)
        module_.destory(object_);
}

bool ReplayHost::start(const std::string& param)
{
    if (!module_.load(builtModulePath(), CameraModule::Load::PrivateCopy, copyFolder_)) {
        error_ = module_.error();
        return false;
    }
    object_ = module_.create();
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

bool ReplayHost::grab(std::vector<cv::Mat>& images)
{
    const bool ran = object_->run();
    const bool collected = object_->getImages(images, nullptr);
    return ran && collected;
}
