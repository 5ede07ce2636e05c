#include "Grab.h"

#include "ModuleLog.h"
#include "ModuleState.h"
#include "ReadOrder.h"

#include <climits>
#include <exception>
#include <string>
#include <utility>
#include <vector>

namespace {

std::function<void()>& grabFault()
{
    static std::function<void()> fault;
    return fault;
}

// The one wrap rule of the cursor: at or past the end (the list got shorter
// since), it means the first folder. The grab and the read-ahead's target
// both read it here, so a frame read ahead is the one a grab would read.
std::size_t folderIndexAtCursor(const ModuleState& state)
{
    const bool inList = state.folderCursor >= 0 &&
                        static_cast<std::size_t>(state.folderCursor) < state.captureFolders.size();
    return inList ? static_cast<std::size_t>(state.folderCursor) : 0;
}

// The cursor's folder; null when the recording has none.
const std::string* currentFolder(ModuleState& state, CollectedLog& log)
{
    if (state.captureFolders.empty()) {
        if (!state.emptyRecordingReported)
            log.error("the recording holds no capture folder: " + state.rootFolder);
        state.emptyRecordingReported = true;
        return nullptr;
    }
    state.folderCursor = static_cast<int>(folderIndexAtCursor(state));
    return &state.captureFolders[static_cast<std::size_t>(state.folderCursor)];
}

std::string folderNameAt(const ModuleState& state)
{
    const auto cursor = static_cast<std::size_t>(state.folderCursor);
    return cursor < state.captureFolders.size() ? state.captureFolders[cursor] : "(no capture folder)";
}

// Runs in the grab's catch blocks, so it must not throw, not even when
// memory has run out.
void reportDroppedFrame(const ModuleState& state, const char* cause, CollectedLog& log) noexcept
{
    try {
        log.error("grab failed, frame dropped: " + causeText(cause) + ": " + folderNameAt(state));
    } catch (...) {
    }
}

// Does a grab's work; whatever it throws drops the frame and is reported.
// False when it threw.
template <typename Work>
bool frameWorkDone(const ModuleState& state, CollectedLog& log, Work&& work) noexcept
{
    try {
        work();
        return true;
    } catch (const std::exception& e) {
        reportDroppedFrame(state, e.what(), log);
    } catch (...) {
        reportDroppedFrame(state, "unknown error", log);
    }
    return false;
}

void bufferFrame(ModuleState& state, const std::vector<cv::Mat>& images)
{
    state.imageBuffer.insert(state.imageBuffer.end(), images.begin(), images.end());
    if (grabFault())
        grabFault()();
}

void readFrame(ModuleState& state, const FrameDecoder& decode, CollectedLog& log)
{
    if (cameraModeOf(state.cameraName) == CameraMode::None)
        return;
    const std::string* folder = currentFolder(state, log);
    if (!folder)
        return;
    const std::vector<std::string> paths = planFrame(*folder, state.cameraName, log.warnings());
    const DecodedFrame frame = decode(paths);
    log.append(frame.log);
    bufferFrame(state, frame.images);
}

// The last steps of every grab: a failed one leaves no image behind, and
// the cursor moves on either way.
void finishGrab(ModuleState& state, std::size_t buffered, bool ok) noexcept
{
    if (!ok)
        state.imageBuffer.erase(state.imageBuffer.begin() + static_cast<std::ptrdiff_t>(buffered),
                                state.imageBuffer.end());
    state.folderCursor = state.folderCursor == INT_MAX ? 0 : state.folderCursor + 1;
    state.lastGrabOk = ok;
    state.grabDone.store(true, std::memory_order_release);
}

}  // namespace

void setGrabFaultForTesting(std::function<void()> fault)
{
    grabFault() = std::move(fault);
}

void grabFrame(ModuleState& state, const FrameDecoder& decode, CollectedLog& log)
{
    const std::size_t buffered = state.imageBuffer.size();
    log.clear();
    const bool ok = frameWorkDone(state, log, [&] { readFrame(state, decode, log); });
    finishGrab(state, buffered, ok);
}

bool nextFrameTarget(const ModuleState& state, FrameTarget& target)
{
    if (cameraModeOf(state.cameraName) == CameraMode::None || state.captureFolders.empty())
        return false;
    target.configuration = state.configuration;
    target.folderIndex = folderIndexAtCursor(state);
    target.folder = state.captureFolders[target.folderIndex];
    target.cameraName = state.cameraName;
    return true;
}

void grabPreparedFrame(ModuleState& state, std::size_t folderIndex, const CollectedLog& lines,
                       const std::vector<cv::Mat>& images, CollectedLog& log) noexcept
{
    log.clear();
    state.folderCursor = static_cast<int>(folderIndex);
    const std::size_t buffered = state.imageBuffer.size();
    const bool ok = frameWorkDone(state, log, [&] {
        log.append(lines);
        bufferFrame(state, images);
    });
    finishGrab(state, buffered, ok);
}
