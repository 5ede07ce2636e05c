#include "ReadAhead.h"

#include "ModuleState.h"
#include "MyThread.h"
#include "ReadOrder.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

namespace {

bool sameTarget(const FrameTarget& a, const FrameTarget& b)
{
    return a.configuration == b.configuration && a.folderIndex == b.folderIndex && a.folder == b.folder &&
           a.cameraName == b.cameraName;
}

std::int64_t nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::system_clock::now().time_since_epoch()).count();
}

// Plans the frame of `target` into `ahead`, with the stamps of the folders
// it lists.
std::vector<std::string> planWithStamps(const FrameTarget& target, ReadAhead& ahead)
{
    const std::int64_t planning = nowNs();
    std::string ignored;
    const FileStatus before = fileStatusOf(target.folder, ignored);
    CollectedLog lines;
    std::vector<std::string> subFolders;
    std::vector<std::string> paths = planFrame(target.folder, target.cameraName, lines.warnings(), &subFolders);
    ahead.folders.push_back(target.folder);
    ahead.folders.insert(ahead.folders.end(), subFolders.begin(), subFolders.end());
    ahead.stampsTell = lines.empty();
    const std::int64_t recent = planning - std::chrono::nanoseconds(kStampMargin).count();
    for (const std::string& folder : ahead.folders) {
        ahead.folderStamps.push_back(fileStatusOf(folder, ignored));
        const FileStatus& stamp = ahead.folderStamps.back();
        ahead.stampsTell = ahead.stampsTell && stamp.kind == FileKind::Folder && stamp.modifiedNs < recent;
    }
    ahead.stampsTell = ahead.stampsTell && ahead.folderStamps.front() == before;
    return paths;
}

// Whether the folders `ahead` was planned from certainly list what they
// did then: one status each.
bool listingsUnchanged(const ReadAhead& ahead)
{
    if (!ahead.stampsTell)
        return false;
    for (std::size_t i = 0; i < ahead.folders.size(); ++i) {
        std::string ignored;
        if (fileStatusOf(ahead.folders[i], ignored) != ahead.folderStamps[i])
            return false;
    }
    return true;
}

// Whether `ahead` holds what a grab would read now. `planLog` gets the lines
// of planning the frame again, which a grab would log.
bool stillValid(const ModuleState& state, const ReadAhead& ahead, CollectedLog& planLog)
{
    FrameTarget now;
    if (!ahead.filled || !ahead.frame.unchangedWhileRead || !nextFrameTarget(state, now) ||
        !sameTarget(now, ahead.target))
        return false;
    if (!listingsUnchanged(ahead) && planFrame(now.folder, now.cameraName, planLog.warnings()) != ahead.frame.paths)
        return false;
    for (std::size_t i = 0; i < ahead.frame.paths.size(); ++i) {
        std::string ignored;
        if (fileStatusOf(ahead.frame.paths[i], ignored) != ahead.frame.statuses[i])
            return false;
    }
    return true;
}

}  // namespace

void readAheadFrame(const FrameTarget& target, ReadAhead& ahead, const std::atomic<bool>& stop) noexcept
{
    ahead = ReadAhead();
    if (stop.load(std::memory_order_relaxed))
        return;
    try {
        const auto stopWanted = [&stop] { return stop.load(std::memory_order_relaxed); };
        ahead.target = target;
        ahead.frame = decodeFrame(planWithStamps(target, ahead), nullptr, stopWanted);
        ahead.filled = ahead.frame.complete;
    } catch (...) {
    }
    if (!ahead.filled)
        ahead = ReadAhead();
}

bool grabFromReadAhead(ModuleState& state, ReadAhead& ahead, CollectedLog& log) noexcept
{
    ReadAhead taken = std::move(ahead);
    ahead = ReadAhead();
    CollectedLog lines;
    try {
        if (!stillValid(state, taken, lines))
            return false;
        lines.append(taken.frame.log);
    } catch (...) {
        return false;  // the grab afresh will meet the same trouble and report it
    }
    grabPreparedFrame(state, taken.target.folderIndex, lines, taken.frame.images, log);
    return true;
}

namespace {

std::atomic<int> slotsAlive{0};

}  // namespace

ReadAheadSlot::ReadAheadSlot()
{
    slotsAlive.fetch_add(1);
}

ReadAheadSlot::~ReadAheadSlot()
{
    slotsAlive.fetch_sub(1);
}

bool ReadAheadSlot::othersAlive()
{
    return slotsAlive.load() > 1;
}

void ReadAheadSlot::runStarts()
{
    hostPause.runStarts();
    thisRunReadsAhead = readAheadWanted() && !othersAlive();
}

bool ReadAheadSlot::handOver(const ModuleAccess& access, MyThread& worker, ModuleState& state, CollectedLog& log)
{
    if (!thisRunReadsAhead) {
        discard(access, worker);
        return false;
    }
    worker.callOff(access);
    worker.waitUntilIdle(access);
    ReadAhead taken;
    worker.underLock([&](bool) {
        taken = std::exchange(ahead, ReadAhead());
        discardWhenRead = false;
    });
    return grabFromReadAhead(state, taken, log);
}

void ReadAheadSlot::readNext(const ModuleAccess& access, MyThread& worker, const ModuleState& state) noexcept
{
    if (!thisRunReadsAhead || !hostPause.longEnough())
        return;
    try {
        FrameTarget target;
        if (!nextFrameTarget(state, target))
            return;
        // The frame is read into the job's own slot and put in this one as
        // the job ends, under the worker's lock: a job lost with its thread
        // (a fork) leaves this slot whole.
        const auto read = std::make_shared<ReadAhead>();
        worker.post(access, WorkerJob{
            [target, read](const std::atomic<bool>& stop) { readAheadFrame(target, *read, stop); },
            [this, read] {
                ahead = discardWhenRead ? ReadAhead() : std::move(*read);
                discardWhenRead = false;
            }});
    } catch (...) {
    }
}

void ReadAheadSlot::runEnds()
{
    hostPause.runEnds();
}

void ReadAheadSlot::discard(const ModuleAccess& access, MyThread& worker)
{
    ReadAhead dropped;
    bool reading = false;
    worker.underLock([&](bool idle) {
        reading = !idle;
        discardWhenRead = reading;
        dropped = std::exchange(ahead, ReadAhead());
    });
    if (reading)
        worker.askJobToStop(access);
}

void ReadAheadSlot::workerGone(const ModuleAccess&)
{
    ahead = ReadAhead();
    discardWhenRead = false;
}

void HostPause::runStarts() noexcept
{
    if (ran_)
        longEnough_ = std::chrono::steady_clock::now() - lastRunEnded_ >= kLongEnough;
}

void HostPause::runEnds() noexcept
{
    ran_ = true;
    lastRunEnded_ = std::chrono::steady_clock::now();
}

bool readAheadWanted()
{
    const char* value = std::getenv("QZ_READFILE_READ_AHEAD");
    return !value || (std::strcmp(value, "0") != 0 && std::strcmp(value, "off") != 0);
}
