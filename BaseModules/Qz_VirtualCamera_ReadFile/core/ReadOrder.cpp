#include "ReadOrder.h"

#include "FileSearch.h"

namespace {

bool contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

void appendMatching(const std::vector<std::string>& files, const std::string& part,
                    std::vector<std::string>& out)
{
    for (const std::string& file : files) {
        if (contains(file, part))
            out.push_back(file);
    }
}

std::vector<std::string> camera1Order(const std::string& cameraName, const std::vector<std::string>& bmpFiles)
{
    std::vector<std::string> names;
    appendMatching(bmpFiles, cameraName, names);
    std::vector<std::string> order;
    for (const char* kind : kCamera1Kinds)
        appendMatching(names, kind, order);
    return order;
}

}  // namespace

CameraMode cameraModeOf(const std::string& cameraName)
{
    if (cameraName == "camera1")
        return CameraMode::Camera1;
    if (cameraName == "camera2")
        return CameraMode::Camera2;
    if (cameraName == "camera3P")
        return CameraMode::Camera3P;
    if (cameraName == "camera3N")
        return CameraMode::Camera3N;
    return CameraMode::None;
}

std::vector<std::string> frameReadOrder(CameraMode mode, const std::string& cameraName,
                                        const std::vector<std::string>& bmpFiles,
                                        const std::vector<std::string>& tiffFiles)
{
    std::vector<std::string> order;
    switch (mode) {
    case CameraMode::Camera1:
        return camera1Order(cameraName, bmpFiles);
    case CameraMode::Camera2:
        appendMatching(bmpFiles, cameraName, order);
        appendMatching(tiffFiles, cameraName, order);
        return order;
    case CameraMode::Camera3P:
    case CameraMode::Camera3N:
        appendMatching(bmpFiles, cameraName, order);
        return order;
    case CameraMode::None:
        break;
    }
    return order;
}

std::vector<std::string> planFrame(const std::string& captureFolder, const std::string& cameraName,
                                   const LogSink& log)
{
    const CameraMode mode = cameraModeOf(cameraName);
    if (mode == CameraMode::None)
        return {};
    std::vector<std::string> bmpFiles;
    std::vector<std::string> tiffFiles;
    searchFiles(captureFolder, bmpFiles, "bmp", log);
    if (mode == CameraMode::Camera2)
        searchFiles(captureFolder, tiffFiles, "tiff", log);
    return frameReadOrder(mode, cameraName, bmpFiles, tiffFiles);
}
