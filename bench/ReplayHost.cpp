#include "ReplayHost.h"

#include "BuiltModule.h"

std::string replayParam(const std::string& cameraName, const std::string& root)
{
    return cameraName + ",bench,0," + root;
}

bool ReplayHost::start(const std::string& param)
{
    if (!held_.load(builtModulePath(), CameraModule::Load::PrivateCopy, copyFolder_)) {
        error_ = held_.error();
        return false;
    }
    if (!held_.object().setParam(nullptr, QByteArray::fromStdString(param)) || !held_.object().init(nullptr)) {
        error_ = "setParam or init failed for \"" + param + "\"";
        return false;
    }
    return true;
}

bool ReplayHost::grab(std::vector<cv::Mat>& images)
{
    const bool ran = held_.object().run();
    const bool collected = held_.object().getImages(images, nullptr);
    return ran && collected;
}
