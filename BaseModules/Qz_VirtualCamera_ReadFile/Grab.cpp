#include "Grab.h"

#include "GrabHandOff.h"

#include "FileStatus.h"
#include "ModuleLog.h"
#include "ModuleState.h"
#include "Names.h"
#include "ReadOrder.h"

#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <climits>
#include <exception>
#include <new>
#include <string>
#include <thread>
#include <vector>

namespace {

std::function<void()>& grabFault()
{
    static std::function<void()> fault;
    return fault;
}

// What became of one file of a frame, reported once the frame is decoded.
struct FileOutcome {
    FileKind kind = FileKind::Regular;
    std::string error;  // the decoder threw, or the file could not be looked at
};

// A file that cannot be decoded gives an empty image. The decoder throws for
// some broken files instead of returning nothing; that is the same case.
// Only a regular file is handed to the decoder: opening a FIFO blocks until
// a writer comes, and a device may never end.
cv::Mat decodeFile(const std::string& path, FileOutcome& outcome)
{
    try {
        outcome.kind = fileStatusOf(path, outcome.error).kind;
        if (outcome.kind != FileKind::Regular)
            return cv::Mat();
        return cv::imread(path, cv::IMREAD_UNCHANGED);
    } catch (const std::exception& e) {
        outcome.error = causeText(e.what());
    } catch (...) {
        outcome.error = "unknown decoder failure";
    }
    return cv::Mat();
}

void report(const std::string& path, const FileOutcome& outcome, const cv::Mat& image, CollectedLog& log)
{
    if (outcome.kind == FileKind::Missing)
        log.warning("cannot read " + path + ": " + outcome.error + ", empty image in its place");
    else if (outcome.kind != FileKind::Regular)
        log.warning(path + " is " + describe(outcome.kind) + ", not a regular file: empty image in its place");
    else if (!outcome.error.empty())
        log.error("cannot decode " + path + ": " + outcome.error);
    else if (image.empty())
        log.warning("cannot decode " + path + ": no image the decoder can read, empty image in its place");
}

// Starts up to `count` helpers running `work`; fewer when the system will
// not start more (then the threads that did start do the rest). Never
// throws, so no started helper is left unjoined.
void startHelpers(std::vector<std::thread>& helpers, std::size_t count, const std::function<void()>& work)
{
    try {
        helpers.reserve(count);
        for (std::size_t i = 0; i < count; ++i)
            helpers.emplace_back(work);
    } catch (...) {
    }
}

// The order in which the decoding threads take a frame's files: TIFFs
// first. A 16-bit TIFF decodes 1.6 (uncompressed) to 14 (LZW) times slower
// than a BMP of the same frame; started last, it would leave the other
// threads idle while it runs.
std::vector<std::size_t> decodeOrder(const std::vector<std::string>& paths)
{
    std::vector<std::size_t> order;
    order.reserve(paths.size());
    for (const bool tiff : {true, false}) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (nameEndsWith(paths[i], "tiff") == tiff)
                order.push_back(i);
        }
    }
    return order;
}

// Decodes the frame's files side by side; images keep the planned order.
// Up to OpenCV's thread count of threads decode (the hardware's threads
// unless the host set fewer), each taking the next file nobody has taken:
// first the host thread waiting in run, when there is one, then the grab's
// own thread, then plain helper threads that end with the grab. A frame of
// one file is decoded on the grab's thread: handing it to the host thread
// would cost two more thread switches and gain nothing. cv::parallel_for_
// is not used: called from a thread that is new for every grab it leaves
// close to 1 KB behind per grab.
std::vector<cv::Mat> decodeFrame(const std::vector<std::string>& paths, GrabHandOff* handOff, CollectedLog& log)
{
    std::vector<cv::Mat> images(paths.size());
    std::vector<FileOutcome> outcomes(paths.size());
    const std::vector<std::size_t> order = decodeOrder(paths);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    const std::function<void()> decodeUntaken = [&] {
        try {
            for (std::size_t taken = next++; taken < order.size(); taken = next++) {
                const std::size_t i = order[taken];
                images[i] = decodeFile(paths[i], outcomes[i]);
            }
        } catch (...) {
            outOfMemory = true;  // decodeFile catches everything else
        }
    };
    const bool hostHelps = handOff && paths.size() > 1 && handOff->callerExpected();
    const std::size_t threads = std::min<std::size_t>(paths.size(), std::max(1, cv::getNumThreads()));
    const std::size_t grabSideThreads = hostHelps ? threads - 1 : threads;
    if (hostHelps)
        handOff->offer(decodeUntaken);
    std::vector<std::thread> helpers;
    startHelpers(helpers, grabSideThreads > 1 ? grabSideThreads - 1 : 0, decodeUntaken);
    if (grabSideThreads > 0)
        decodeUntaken();
    for (std::thread& helper : helpers)
        helper.join();
    if (hostHelps)
        handOff->withdraw(next, order.size());
    if (outOfMemory)
        throw std::bad_alloc();
    for (std::size_t i = 0; i < paths.size(); ++i)
        report(paths[i], outcomes[i], images[i], log);
    return images;
}

// The cursor's folder, wrapping to the first when it is at or past the end.
const std::string* currentFolder(ModuleState& state, CollectedLog& log)
{
    if (state.captureFolders.empty()) {
        if (!state.emptyRecordingReported)
            log.error("the recording holds no capture folder: " + state.rootFolder);
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

// Runs in the grab's catch blocks, so it must not throw, not even when
// memory has run out.
void reportDroppedFrame(const ModuleState& state, const char* cause, CollectedLog& log) noexcept
{
    try {
        log.error("grab failed, frame dropped: " + causeText(cause) + ": " + folderNameAt(state));
    } catch (...) {
    }
}

void readFrame(ModuleState& state, GrabHandOff* handOff, CollectedLog& log)
{
    if (cameraModeOf(state.cameraName) == CameraMode::None)
        return;
    const std::string* folder = currentFolder(state, log);
    if (!folder)
        return;
    const std::vector<std::string> paths = planFrame(*folder, state.cameraName, log.warnings());
    std::vector<cv::Mat> images = decodeFrame(paths, handOff, log);
    state.imageBuffer.insert(state.imageBuffer.end(), images.begin(), images.end());
    if (grabFault())
        grabFault()();
}

}  // namespace

void setGrabFaultForTesting(std::function<void()> fault)
{
    grabFault() = std::move(fault);
}

void grabFrame(GrabHandOff* handOff, CollectedLog& log)
{
    ModuleState& state = moduleState();
    const std::size_t buffered = state.imageBuffer.size();
    log.clear();
    bool ok = true;
    try {
        readFrame(state, handOff, log);
    } catch (const std::exception& e) {
        ok = false;
        reportDroppedFrame(state, e.what(), log);
    } catch (...) {
        ok = false;
        reportDroppedFrame(state, "unknown error", log);
    }
    if (!ok)
        state.imageBuffer.resize(buffered);
    state.folderCursor = state.folderCursor == INT_MAX ? 0 : state.folderCursor + 1;
    state.lastGrabOk = ok;
    state.grabDone.store(true, std::memory_order_release);
    if (handOff)
        handOff->grabEnded();
}
