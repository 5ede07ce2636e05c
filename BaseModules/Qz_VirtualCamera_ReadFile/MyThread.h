#pragma once

#include "Grab.h"
#include "CallingThreadHelp.h"
#include "ModuleLog.h"
#include "ReadAhead.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <mutex>

struct ModuleState;

// Called by create(), before any worker starts: from then on the module's
// unload and the process's end first stop every worker still running (a
// host may end without destory), a read-ahead between files, so none is
// inside the decoder or the module's code when those are torn down.
void guardWorkersAtModuleEnd();

// Worker of one module object. It is started by the object's first run and
// lives until the object goes: it waits for a job, does it, and waits
// again. Its jobs are a grab, for which run waits (and helps), and reading
// the next frame ahead, which it does while the host works with the last
// one and keeps to itself until a run asks for it.
//
// Every member except run() is called by the module object with the
// module-wide lock held, so one call at a time; stop() also by the module's
// end (guardWorkersAtModuleEnd), for a worker whose object was never disposed of.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);
    ~MyThread() override;

    // One grab on this thread; returns once it is done. With `useReadAhead`
    // the grab is made with the frame read ahead when that is still valid
    // (see grabFromReadAhead; a read-ahead in progress is waited for);
    // otherwise a read-ahead in progress is stopped between files and the
    // frame is read now, the calling thread helping with the decoding. False
    // when the thread cannot be started (then nothing was grabbed).
    bool grab(ModuleState& state, bool useReadAhead);
    // Starts reading `target` ahead and returns at once.
    void readAhead(const FrameTarget& target);
    // Frees the frame read ahead, at once or, while it is being read, once
    // the file being decoded is done (the rest are not started). Does not wait.
    void discardReadAhead();
    // Wakes the thread, stops a read-ahead between files, lets it finish
    // what it does and waits for its end.
    void stop();

    // The last grab's log lines, for run to write on the host's thread.
    CollectedLog& grabLog() { return log; }

protected:
    void run() override;

private:
    enum class Job { None, Grab, ReadAhead };

    bool startOnce();
    void grabHere();
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
    ModuleState* grabState = nullptr;  // for the grab job
    bool grabUsesReadAhead = false;
    FrameTarget target;                // for the read-ahead job
    ReadAhead ahead;

    CallingThreadHelp callerHelp;
    CollectedLog log;
};
