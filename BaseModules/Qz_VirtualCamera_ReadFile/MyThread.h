#pragma once

#include "CallingThreadHelp.h"
#include "FrameDecoding.h"
#include "ModuleState.h"
#include "ReadAhead.h"
#include "ThreadPriority.h"

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
// inside the decoder or the module's code when those are torn down, and
// free the workers and their frames read ahead. And the child of a fork
// knows that it has none of the workers' threads.
void guardWorkersAtModuleEnd();

// Worker of one module object. It is started when first needed and lives
// until the object goes: it waits for a job, does it, and waits again. Its
// jobs are decoding a frame of several files beside the thread that grabs
// it (run, on the host's thread, which takes part through CallingThreadHelp)
// and reading the next frame ahead, which it does while the host works with
// the last one and keeps until run takes it. It works at the priority of
// the thread whose run gave it the job: it is started again, inheriting it,
// when a run comes from a thread of another priority.
//
// Every member except run() is called by the module object with the
// module-wide lock held (the ModuleAccess it is handed), so one call at a
// time; stop() also by the module's end (guardWorkersAtModuleEnd), for a
// worker whose object was never disposed of. Lock order: the module-wide
// lock, then the list of live workers (MyThread.cpp), then `mutex`, then
// CallingThreadHelp's.
//
// In the child of a fork the worker has no thread and starts none: the
// calling thread decodes the files one after another.
class MyThread : public QThread {
    Q_OBJECT
public:
    // `holder` is the module object's pointer to this worker, which the
    // module's end clears when it frees a worker whose object is still there.
    MyThread(void* userData, MyThread*& holder);
    ~MyThread() override;

    // Stops `worker` and deletes it; in a forked child, one whose thread was
    // left in the parent is only stopped: it is never freed (a QThread that
    // looks running cannot be deleted).
    static void dispose(MyThread* worker);

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
    // what it does and waits for its end. No thread is started afterwards.
    void stop();

protected:
    void run() override;

private:
    enum class Job { None, Decode, ReadAhead };

    friend struct ModuleEndGuard;
    static void stopAll();
    static void beforeFork();
    static void afterForkInParent();
    static void afterForkInChild();
    void leftWithoutThread();

    bool runningAtCallersPriority(std::unique_lock<std::mutex>& lock);
    void endThread(std::unique_lock<std::mutex>& lock);
    void decodeHere() noexcept;
    void waitUntilIdle(std::unique_lock<std::mutex>& lock);
    void post(Job next, std::unique_lock<std::mutex>& lock);

    void* userData;  // kept for hosts' tooling, never read
    MyThread** holder;

    std::mutex mutex;  // guards the members below and hands ahead over
    std::condition_variable changed;
    Job job = Job::None;
    bool busy = false;
    bool started = false;   // a thread runs, holding the module (holdModule)
    ThreadPriority startedAt;  // the priority of the thread that started it
    bool ending = false;    // the thread is to end once its job is done
    bool ended = false;     // the thread body has returned its last lock
    bool retired = false;   // stopped, or in a forked child: no thread is started
    bool leftByFork = false;  // in a forked child: the thread ran in the parent
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
