#pragma once
// Reading the next frame before the grab that wants it, on the module
// object's worker while the host works with the last one. What makes it
// invisible to a host: the frame is only handed over when it is still what a
// grab would read (grabFromReadAhead), and it can be stopped between files,
// which the worker's end does too (see guardWorkersAtModuleEnd). Whether to
// read ahead at all, the frame read ahead and its hand-over are
// ReadAheadSlot's, at the end of this file.

#include "Grab.h"

#include <atomic>
#include <chrono>

class MyThread;
class ModuleAccess;

// A frame read before the grab that wants it.
struct ReadAhead {
    bool filled = false;
    FrameTarget target;
    DecodedFrame frame;
    // The folders listed to plan the frame (the capture folder first) and
    // their statuses when it was planned. Adding, removing or renaming an
    // entry moves a folder's modification and change time, so while these
    // are unchanged the listing is too, provided `stampsTell`: the planning
    // logged nothing (no link that might resolve later), the capture
    // folder's status held while it was listed, and no folder had been
    // modified within kStampMargin of the planning (coarse times, or a
    // change the listing may have missed).
    std::vector<std::string> folders;
    std::vector<FileStatus> folderStamps;
    bool stampsTell = false;
};

// How long before the planning a folder must have last been modified for
// its stamps to tell a later change (file systems keep times as coarse as 2 s).
constexpr std::chrono::seconds kStampMargin{2};

// Reads `target`'s frame into `ahead`, dropping what `ahead` held first (so
// at most one frame is held). Stops between files once `stop` is raised
// (before planning the frame when it is raised already);
// `ahead` is then left empty, as after any failure. Touches no module state
// and writes no log line: the lines stay with the frame. Never throws.
void readAheadFrame(const FrameTarget& target, ReadAhead& ahead, const std::atomic<bool>& stop) noexcept;

// The grab, made with the frame read ahead if it is what a grab would read
// now: no setParam or init since, the same folder at the cursor, the same
// files (the folders' stamps unchanged, or else the folder planned again
// gives the same files), every file's size, modification and change time
// and identity unchanged: one status per file and per folder listed when the
// stamps tell. Then the images are buffered, the
// cursor moves and `log` gets the lines exactly as grabFrame would do them
// (the planning's too), and the result is true. Otherwise false, and nothing
// changed. `ahead` is emptied either way.
bool grabFromReadAhead(ModuleState& state, ReadAhead& ahead, CollectedLog& log) noexcept;

// The host's pause between two runs, which a read-ahead works in. A host
// that comes back at once (it does nothing between runs) gives it nothing
// to gain: the worker would barely have woken up, and the run would then
// wait for it or call it off, and check the frame, for nothing. So the next
// frame is read ahead only when the host's last pause was at least
// kLongEnough; the first run counts as after a long pause.
class HostPause {
public:
    static constexpr std::chrono::microseconds kLongEnough{100};

    void runStarts() noexcept;
    void runEnds() noexcept;
    // Whether the pause before the run in progress (or the last one) was long enough.
    bool longEnough() const noexcept { return longEnough_; }

private:
    std::chrono::steady_clock::time_point lastRunEnded_{};
    bool ran_ = false;
    bool longEnough_ = true;
};

// Whether the read-ahead switch (environment variable QZ_READFILE_READ_AHEAD)
// is on: it is unless set to "0" or "off". Read at every run, so a host can
// change its mind between runs.
bool readAheadWanted();

// The read-ahead of one module object: its switch, the frame read ahead and
// its hand-over. The frame is read into the slot by a job of the object's
// worker; the slot's frame and its discard mark are guarded by the worker's
// lock. Every member is called by the module object with the module-wide lock
// held (the ModuleAccess it is handed).
class ReadAheadSlot {
public:
    ReadAheadSlot();
    ~ReadAheadSlot();
    ReadAheadSlot(const ReadAheadSlot&) = delete;
    ReadAheadSlot& operator=(const ReadAheadSlot&) = delete;

    // Whether another module object is alive. Objects of one loaded module
    // share its cursor: a frame read ahead by one would be read again by the
    // other's next run, so while several live none reads ahead.
    static bool othersAlive();

    // run's first step: the host's pause ends, and whether this run reads
    // ahead is decided (the switch on, this the only object).
    void runStarts();
    // The grab of this run made with the frame read ahead, when the run reads
    // ahead and the frame is still what a grab would read: true, the images
    // buffered and `log` filled as grabFrame would. False otherwise, nothing
    // changed; a read-ahead not begun is called off (the calling thread reads
    // the frame sooner than the worker could wake up for it), one in progress
    // waited for. When the run does not read ahead, a frame read ahead is
    // dropped.
    bool handOver(const ModuleAccess&, MyThread& worker, ModuleState& state, CollectedLog& log);
    // After the grab: the worker starts reading the next frame, when this
    // run reads ahead and the host's last pause was long enough. Whatever
    // goes wrong leaves the grab made as it is.
    void readNext(const ModuleAccess&, MyThread& worker, const ModuleState& state) noexcept;
    // run's last step: the host's pause begins.
    void runEnds();
    // Drops the frame read ahead, at once or, while it is being read, once
    // the file being decoded is done (the rest are not started). Does not wait.
    void discard(const ModuleAccess&, MyThread& worker);
    // The worker is gone (the module's end freed it): drops the frame read ahead.
    void workerGone(const ModuleAccess&);

private:
    HostPause hostPause;
    bool thisRunReadsAhead = false;
    // Guarded by the worker's lock:
    ReadAhead ahead;
    bool discardWhenRead = false;  // the read-ahead in progress is not wanted
};
