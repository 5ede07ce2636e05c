#pragma once

#include "CallingThreadHelp.h"
#include "FrameDecoding.h"
#include "ModuleState.h"
#include "ReadAhead.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <string>
#include <vector>

// Called by create(), before any worker starts: from then on the module's
// unload and the process's end first stop every worker still running (a
// host may end without destory), a read-ahead between files, so none is
// inside the decoder or the module's code when those are torn down.
void guardWorkersAtModuleEnd();

// Worker of one module object. It is started when first needed and lives
// until the object goes: it waits for a job, does it, and waits again. Its
// jobs are decoding a frame of several files beside the thread that grabs
// it (run, on the host's thread, which takes part through CallingThreadHelp)
// and reading the next frame ahead, which it does while the host works with
// the last one and keeps until run takes it.
//
// Every member except run() is called by the module object with the
// module-wide lock held (the ModuleAccess it is handed), so one call at a
// time; stop() also by the module's end (guardWorkersAtModuleEnd), for a
// worker whose object was never disposed of. Lock order: the module-wide
// lock, then the list of live workers (MyThread.cpp), then `mutex`, then
// CallingThreadHelp's.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);
    ~MyThread() override;

    // The images of `paths`, decoded on the calling thread and, for a frame
    // of several files, on this thread beside it; without this thread (it
    // cannot be started), on helper threads. Throws only std::bad_alloc.
    DecodedFrame decode(const ModuleAccess&, const std::vector<std::string>& paths);
    // Starts reading `target` ahead and returns at once.
    void readAhead(const ModuleAccess&, const FrameTarget& target);
    // The frame read ahead, taken out for the calling thread to hand over; a
    // read-ahead in progress is waited for. One asked for and not begun yet
    // is called off: the calling thread reads the frame sooner than this
    // thread could wake up for it. Empty when there is none.
    ReadAhead takeReadAhead(const ModuleAccess&);
    // Frees the frame read ahead, at once or, while it is being read, once
    // the file being decoded is done (the rest are not started). Does not wait.
    void discardReadAhead(const ModuleAccess&);
    // Wakes the thread, stops a read-ahead between files, lets it finish
    // what it does and waits for its end.
    void stop();

protected:
    void run() override;

private:
    enum class Job { None, Decode, ReadAhead };

    bool startOnce();
    void decodeHere() noexcept;
    void waitUntilIdle(std::unique_lock<std::mutex>& lock);
    void post(Job next, std::unique_lock<std::mutex>& lock);

    void* userData;  // kept for hosts' tooling, never read

    std::mutex mutex;  // guards the members below and hands ahead over
    std::condition_variable changed;
    Job job = Job::None;
    bool busy = false;
    bool started = false;  // by startOnce
    bool quitting = false;
    bool ended = false;    // the thread body has returned its last lock
    bool released = false; // its hold on the module (holdModule) given back
    bool discardWhenRead = false;
    std::atomic<bool> stopReadAhead{false};  // the read-ahead in progress stops between files

    // The decode job's files and result, handed back through callerHelp.
    const std::vector<std::string>* decodePaths = nullptr;
    DecodedFrame decoded;
    std::exception_ptr decodeFailure;
    CallingThreadHelp callerHelp;

    FrameTarget target;  // for the read-ahead job
    ReadAhead ahead;
};
