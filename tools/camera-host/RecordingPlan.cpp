#include "RecordingPlan.h"

#include "CaptureFolders.h"
#include "RecordingChecks.h"

#include <filesystem>
#include <iterator>

bool planRecording(const std::string& param, RecordingPlan& plan, std::string& error, const LogSink& log)
{
    plan.param = parseParam(param);
    if (plan.param.error != ParamError::None) {
        error = "bad parameter string: " + plan.param.message;
        return false;
    }
    plan.mode = cameraModeOf(plan.param.cameraName);
    return collectFolders(plan.param.rootFolder, plan.folders, error, log);
}

PlannedCapture planCapture(const RecordingPlan& plan, std::size_t index, const LogSink& log)
{
    PlannedCapture capture;
    capture.folder = plan.folders[index % plan.folders.size()];
    capture.belowRoot = folderBelowRoot(capture.folder, plan.param.rootFolder);
    // camera1 reads one kind pass after the other, so a file's kind is the
    // first kind from the previous file's on that its path names (every file
    // of a pass names its kind).
    const bool kindPasses = readRuleOf(plan.mode) == ReadRule::KindPasses;
    std::size_t kind = 0;
    for (const std::string& path : planFrame(capture.folder, plan.param.cameraName, log)) {
        PlannedFile file{path, -1};
        if (kindPasses) {
            while (kind + 1 < std::size(kCamera1Kinds) && path.find(kCamera1Kinds[kind]) == std::string::npos)
                ++kind;
            file.kind = static_cast<int>(kind);
        }
        capture.files.push_back(std::move(file));
    }
    return capture;
}

std::string kindText(const PlannedFile& file, std::size_t position)
{
    return file.kind >= 0 ? kCamera1Kinds[file.kind] : "image " + std::to_string(position + 1);
}

std::string sheetLabel(const PlannedFile& file)
{
    if (file.kind < 0)
        return std::filesystem::u8path(file.path).filename().u8string();
    std::string name = kCamera1Kinds[file.kind];  // "VexoShapeImage1" -> "Shape1"
    name.erase(0, 4);
    name.erase(name.find("Image"), 5);
    return name;
}
