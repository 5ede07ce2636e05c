#include "FrameDecoding.h"

#include "CallingThreadHelp.h"
#include "FrameBuffers.h"
#include "ImageFile.h"
#include "Names.h"
#include "ReadOrder.h"

#include <opencv2/core/utility.hpp>

#include <algorithm>
#include <atomic>
#include <exception>
#include <functional>
#include <new>
#include <thread>
#include <utility>

namespace {

std::function<void(const std::function<bool()>&)> betweenFilesForTesting;

void report(const std::string& path, const ImageFileRead& outcome, CollectedLog& log)
{
    switch (outcome.fault) {
    case ImageFileFault::None:
        break;
    case ImageFileFault::CannotLook:
    case ImageFileFault::CannotRead:
        log.warning("cannot read " + path + ": " + outcome.detail + ", empty image in its place");
        break;
    case ImageFileFault::NotRegular:
        log.warning(path + " is " + describe(outcome.before.kind) + ", not a regular file: empty image in its place");
        break;
    case ImageFileFault::NotAnImage:
        log.warning(path + " " + outcome.detail + ": empty image in its place");
        break;
    case ImageFileFault::DecoderThrew:
        log.error("cannot decode " + path + ": " + causeText(outcome.detail.c_str()));
        break;
    case ImageFileFault::WillNotDecode:
        log.warning("cannot decode " + path + ": no image the decoder can read, empty image in its place");
        break;
    }
}

// The order in which the decoding threads take a frame's files: those of
// the slowest ending (TIFFs) first. A 16-bit TIFF decodes 1.6 (uncompressed) to 14 (LZW) times slower
// than a BMP of the same frame; started last, it would leave the other
// threads idle while it runs.
std::vector<std::size_t> decodeOrder(const std::vector<std::string>& paths)
{
    std::vector<std::size_t> order;
    order.reserve(paths.size());
    for (const bool slow : {true, false}) {
        for (std::size_t i = 0; i < paths.size(); ++i) {
            if (nameEndsWith(paths[i], kSlowestEnding) == slow)
                order.push_back(i);
        }
    }
    return order;
}

// Runs `work` on `count` threads: the calling thread and plain helper
// threads that end with the frame. Fewer helpers when the system will not
// start more; then the threads that did start do the rest. OpenCV's pool
// (cv::parallel_for_) would save the helpers' start and end, but its hand-over
// to the pool's threads is invisible to ThreadSanitizer, which then reports
// every access of the decoding itself.
void runOnThreads(std::size_t count, const std::function<void()>& work)
{
    std::vector<std::thread> helpers;
    try {
        helpers.reserve(count > 1 ? count - 1 : 0);
        for (std::size_t i = 1; i < count; ++i)
            helpers.emplace_back(work);
    } catch (...) {
    }
    work();
    for (std::thread& helper : helpers)
        helper.join();
}

}  // namespace

DecodedFrame decodeFrame(const std::vector<std::string>& paths, CallingThreadHelp* callerHelp,
                         const std::function<bool()>& stopWanted)
{
    DecodedFrame frame;
    frame.paths = paths;
    frame.images.resize(paths.size());
    std::vector<ImageFileRead> outcomes(paths.size());
    const std::vector<std::size_t> order = decodeOrder(paths);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    std::atomic<bool> stopped{false};
    // Each thread takes the next file nobody has taken, until none is left
    // or a stop is wanted.
    FrameBuffers& buffers = frameBuffers();
    const std::function<void()> decodeUntaken = [&] {
        try {
            FileBytes bytes = buffers.takeBytes();
            for (std::size_t taken = next++; taken < order.size(); taken = next++) {
                if (stopWanted && taken > 0 && betweenFilesForTesting)
                    betweenFilesForTesting(stopWanted);
                if (stopWanted && stopWanted()) {
                    stopped = true;
                    next = order.size();
                    break;
                }
                const std::size_t i = order[taken];
                frame.images[i] = readImageFile(paths[i], outcomes[i], buffers.takeFree(i), &bytes);
            }
            buffers.giveBack(std::move(bytes));
        } catch (...) {
            outOfMemory = true;  // readImageFile lets nothing else through
            next = order.size();
        }
    };
    // A frame of one file stays on this thread: handing it to the host
    // thread would cost two thread switches and gain nothing.
    const bool hostHelps = callerHelp && paths.size() > 1 && callerHelp->callerExpected();
    const std::size_t threads = std::min<std::size_t>(paths.size(), std::max(1, cv::getNumThreads()));
    if (hostHelps)
        callerHelp->offer(decodeUntaken);
    try {
        runOnThreads(hostHelps ? threads - 1 : threads, decodeUntaken);
    } catch (...) {
        outOfMemory = true;  // nothing but memory running out gets here
        next = order.size();
    }
    if (hostHelps)
        callerHelp->withdraw(next, order.size());
    if (outOfMemory)
        throw std::bad_alloc();
    if (stopped) {
        frame.complete = false;
        return frame;
    }
    frame.statuses.reserve(paths.size());
    for (std::size_t i = 0; i < paths.size(); ++i) {
        frame.statuses.push_back(outcomes[i].before);
        frame.unchangedWhileRead = frame.unchangedWhileRead && outcomes[i].after == outcomes[i].before;
        report(paths[i], outcomes[i], frame.log);
    }
    return frame;
}

DecodedFrame decodeOnCallingThread(const std::vector<std::string>& paths)
{
    DecodedFrame frame;
    for (const std::string& path : paths) {
        DecodedFrame one = decodeFrame({path}, nullptr);
        frame.paths.push_back(path);
        frame.images.push_back(std::move(one.images.front()));
        frame.statuses.push_back(one.statuses.front());
        frame.unchangedWhileRead = frame.unchangedWhileRead && one.unchangedWhileRead;
        frame.log.append(one.log);
    }
    return frame;
}

void setBetweenFilesForTesting(std::function<void(const std::function<bool()>& stopWanted)> hook)
{
    betweenFilesForTesting = std::move(hook);
}
