#pragma once

#include "Grab.h"
#include "GrabHandOff.h"
#include "ModuleLog.h"

#include <QThread>

#include <condition_variable>
#include <mutex>

struct ModuleState;

// Worker of one module object. It is started by the object's first run and
// lives until the object goes: it waits for a job, does it, and waits
// again. Its jobs are a grab, for which run waits (and helps), and reading
// the next frame ahead, which it does while the host works with the last
// one and keeps to itself until a run asks for it.
//
// Every member except run() is called by the module object with the
// module-wide lock held, so one call at a time.
class MyThread : public QThread {
    Q_OBJECT
public:
    explicit MyThread(void* userData);

    // One grab on this thread; returns once it is done. With `useReadAhead`
    // the grab is made with the frame read ahead when that is still valid
    // (see grabFromReadAhead; a read-ahead in progress is waited for);
    // otherwise the frame is read now, the calling thread helping with the
    // decoding. False when the thread cannot be started (then nothing was
    // grabbed).
    bool grab(ModuleState& state, bool useReadAhead);
    // Starts reading `target` ahead and returns at once.
    void readAhead(const FrameTarget& target);
    // Frees the frame read ahead, at once or, while it is being read, once
    // it is read. Does not wait.
    void discardReadAhead();
    // Wakes the thread, lets it finish what it does and waits for its end.
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
    bool discardWhenRead = false;
    ModuleState* grabState = nullptr;  // for the grab job
    bool grabUsesReadAhead = false;
    FrameTarget target;                // for the read-ahead job
    ReadAhead ahead;

    GrabHandOff handOff;
    CollectedLog log;
};
