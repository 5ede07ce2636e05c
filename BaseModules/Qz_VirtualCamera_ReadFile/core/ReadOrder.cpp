#include "ReadOrder.h"

#include "FileSearch.h"

#include <iterator>

namespace {

const CameraModeRow* rowOf(CameraMode mode)
{
    for (const CameraModeRow& row : kCameraModes) {
        if (row.mode == mode)
            return &row;
    }
    return nullptr;
}

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

std::vector<std::string> kindPasses(const std::vector<std::string>& files)
{
    std::vector<std::string> order;
    for (const char* kind : kCamera1Kinds)
        appendMatching(files, kind, order);
    return order;
}

}  // namespace

CameraMode cameraModeOf(const std::string& cameraName)
{
    for (const CameraModeRow& row : kCameraModes) {
        if (cameraName == row.cameraName)
            return row.mode;
    }
    return CameraMode::None;
}

ReadRule readRuleOf(CameraMode mode)
{
    const CameraModeRow* row = rowOf(mode);
    return row ? row->rule : ReadRule::ByEnding;
}

std::vector<std::string> endingsOf(CameraMode mode)
{
    std::vector<std::string> endings;
    if (const CameraModeRow* row = rowOf(mode)) {
        for (const char* ending : row->endings) {
            if (ending)
                endings.emplace_back(ending);
        }
    }
    return endings;
}

std::string endingsText(CameraMode mode, const std::string& separator)
{
    std::string text;
    for (const std::string& ending : endingsOf(mode))
        text += (text.empty() ? "" : separator) + ending;
    return text;
}

std::string cameraNamesText()
{
    std::string text;
    for (const CameraModeRow& row : kCameraModes)
        text += (text.empty() ? "" : ", ") + std::string(row.cameraName);
    return text;
}

std::string readOrderText(CameraMode mode)
{
    const CameraModeRow* row = rowOf(mode);
    if (!row)
        return "no camera mode: the module reads nothing for this name";
    if (row->rule == ReadRule::KindPasses)
        return std::to_string(std::size(kCamera1Kinds)) + " kind passes over the " + endingsText(mode, " and ") +
               " files, each in file order";
    return endingsText(mode, " files in file order, then ") + " files" +
           (endingsOf(mode).size() == 1 ? " in file order" : "");
}

std::vector<std::string> frameReadOrder(CameraMode mode, const std::string& cameraName,
                                        const std::vector<std::vector<std::string>>& filesByEnding)
{
    std::vector<std::string> order;
    const CameraModeRow* row = rowOf(mode);
    if (!row)
        return order;
    const std::size_t endings = endingsOf(mode).size();
    for (std::size_t i = 0; i < endings && i < filesByEnding.size(); ++i)
        appendMatching(filesByEnding[i], cameraName, order);
    return row->rule == ReadRule::KindPasses ? kindPasses(order) : order;
}

std::vector<std::string> planFrame(const std::string& captureFolder, const std::string& cameraName,
                                   const LogSink& log, std::vector<std::string>* subFolders)
{
    const CameraMode mode = cameraModeOf(cameraName);
    std::vector<std::vector<std::string>> filesByEnding;
    for (const std::string& ending : endingsOf(mode)) {
        filesByEnding.emplace_back();
        searchFiles(captureFolder, filesByEnding.back(), ending, log, subFolders);
    }
    return frameReadOrder(mode, cameraName, filesByEnding);
}
