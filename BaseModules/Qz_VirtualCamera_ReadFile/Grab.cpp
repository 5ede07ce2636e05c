#include "Grab.h"

#include "ModuleLog.h"
#include "ModuleState.h"
#include "ReadOrder.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include <climits>
#include <exception>
#include <string>
#include <vector>

namespace {

std::function<void()>& grabFault()
{
    static std::function<void()> fault;
    return fault;
}

// A file that cannot be decoded gives an empty image. The decoder throws for
// some broken files instead of returning nothing; that is the same case.
cv::Mat decodeFile(const std::string& path, std::string& error)
{
    try {
        return cv::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const std::exception& e) {
        error = e.what();
    } catch (...) {
        error = "unknown decoder failure";
    }
    return cv::Mat();
}

// Decodes the frame's files side by side; images keep the planned order.
std::vector<cv::Mat> decodeFrame(const std::vector<std::string>& paths)
{
    std::vector<cv::Mat> images(paths.size());
    std::vector<std::string> errors(paths.size());
    const auto decodeRange = [&](const cv::Range& range) {
        for (int i = range.start; i < range.end; ++i)
            images[i] = decodeFile(paths[i], errors[i]);
    };
    if (paths.size() == 1)
        decodeRange(cv::Range(0, 1));
    else if (!paths.empty())
        cv::parallel_for_(cv::Range(0, static_cast<int>(paths.size())), decodeRange);
    for (std::size_t i = 0; i < paths.size(); ++i) {
        if (!errors[i].empty())
            logError("cannot decode " + paths[i] + ": " + errors[i]);
    }
    return images;
}

// The cursor's folder, wrapping to the first when it is at or past the end.
const std::string* currentFolder(ModuleState& state)
{
    if (state.captureFolders.empty()) {
        if (!state.emptyRecordingReported)
            logError("the recording holds no capture folder: " + state.rootFolder);
        state.emptyRecordingReported = true;
        return nullptr;
    }
    if (state.folderCursor < 0 ||
        static_cast<std::size_t>(state.folderCursor) >= state.captureFolders.size())
        state.folderCursor = 0;
    return &state.captureFolders[static_cast<std::size_t>(state.folderCursor)];
}

std::string folderNameAt(const ModuleState& state)
{
    const auto cursor = static_cast<std::size_t>(state.folderCursor);
    return cursor < state.captureFolders.size() ? state.captureFolders[cursor] : "(no capture folder)";
}

void readFrame(ModuleState& state)
{
    if (cameraModeOf(state.cameraName) == CameraMode::None)
        return;
    const std::string* folder = currentFolder(state);
    if (!folder)
        return;
    const std::vector<std::string> paths = planFrame(*folder, state.cameraName, logWarning);
    std::vector<cv::Mat> images = decodeFrame(paths);
    state.imageBuffer.insert(state.imageBuffer.end(), images.begin(), images.end());
    if (grabFault())
        grabFault()();
}

}  // namespace

void setGrabFaultForTesting(std::function<void()> fault)
{
    grabFault() = std::move(fault);
}

void grabFrame()
{
    ModuleState& state = moduleState();
    const std::size_t buffered = state.imageBuffer.size();
    bool ok = true;
    try {
        readFrame(state);
    } catch (const std::exception& e) {
        ok = false;
        logError(std::string("grab failed, frame dropped: ") + e.what() + ": " + folderNameAt(state));
    } catch (...) {
        ok = false;
        logError("grab failed, frame dropped: unknown error: " + folderNameAt(state));
    }
    if (!ok)
        state.imageBuffer.resize(buffered);
    state.folderCursor = state.folderCursor == INT_MAX ? 0 : state.folderCursor + 1;
    state.lastGrabOk = ok;
    state.grabDone.store(true, std::memory_order_release);
}
