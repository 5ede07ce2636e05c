#pragma once

#include "ModuleState.h"
#include "ThreadPriority.h"

#include <QThread>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

// Called by create(), before any worker starts: from then on the module's
// unload and the process's end first stop every worker still running (a
// host may end without destory), its job asked to stop, so none is inside
// the decoder or the module's code when those are torn down, and free the
// workers. And the child of a fork knows that it has none of the workers'
// threads.
void guardWorkersAtModuleEnd();

// One job for a worker. `work` runs on the worker's thread without its lock
// and may end early once `stopWanted` is raised; it must not throw. `settle`
// then runs with the worker's lock held, as the job ends: what the job leaves
// for others is put in place there, so that whoever sees the worker idle
// finds it (see underLock).
struct WorkerJob {
    std::function<void(const std::atomic<bool>& stopWanted)> work;
    std::function<void()> settle;
};

// Worker of one module object: a thread that runs the jobs it is handed, one
// at a time, and knows nothing of what they do. It is started when first
// needed and lives until the object goes. It runs at the priority of the
// thread that hands it a job: it is started again, inheriting it, when a job
// comes from a thread of another priority.
//
// The members taking a ModuleAccess are called by the module object with the
// module-wide lock held, so one call at a time; stop() also by the module's
// end (guardWorkersAtModuleEnd), for a worker whose object was never
// disposed of. Lock order: see ModuleState.h.
//
// In the child of a fork the worker has no thread and starts none.
class MyThread : public QThread {
    Q_OBJECT
public:
    // `freedByModuleEnd` is called when the module's end has freed this
    // worker while its object is still there: the object lets go of it and
    // of what its jobs left.
    MyThread(void* userData, std::function<void(const ModuleAccess&)> freedByModuleEnd);
    ~MyThread() override;

    // Stops `worker` and deletes it; in a forked child, one whose thread was
    // left in the parent is only stopped: it is never freed (a QThread that
    // looks running cannot be deleted).
    static void dispose(MyThread* worker);

    // Waits for the job in progress, then hands `job` over and returns at
    // once. False, and the job is not run, when no thread can run it: the
    // thread cannot be started, or the worker is stopped (see stopped()).
    bool post(const ModuleAccess&, WorkerJob job);
    // Calls off a job handed over and not begun yet; true when there was one.
    bool callOff(const ModuleAccess&);
    // Asks the job in progress, and one handed over, to stop early.
    void askJobToStop(const ModuleAccess&);
    void waitUntilIdle(const ModuleAccess&);
    // Runs `look` with the worker's lock held; `idle`: no job waits or runs.
    void underLock(const std::function<void(bool idle)>& look);
    // Stopped, or in a forked child: no thread runs a job any more.
    bool stopped();
    // Wakes the thread, asks its job to stop, lets it finish the job and one
    // handed over (asked to stop too) and waits for its end. No thread is
    // started afterwards.
    void stop();

protected:
    void run() override;

private:
    friend struct ModuleEndGuard;
    static void stopAll();
    static void beforeFork();
    static void afterForkInParent();
    static void afterForkInChild();
    void leftWithoutThread();

    bool runningAtCallersPriority(std::unique_lock<std::mutex>& lock);
    void endThread(std::unique_lock<std::mutex>& lock);
    void waitUntilIdle(std::unique_lock<std::mutex>& lock);

    void* userData;  // kept for hosts' tooling, never read
    std::function<void(const ModuleAccess&)> freedByModuleEnd;

    std::mutex mutex;  // guards the members below and whatever a job's settle step writes
    std::condition_variable changed;
    std::optional<WorkerJob> handedOver;  // the next job, not begun
    bool busy = false;      // a job is being run
    bool started = false;   // a thread runs, holding the module (holdModule)
    ThreadPriority startedAt;  // the priority of the thread that started it
    bool ending = false;    // the thread is to end once its jobs are done
    bool ended = false;     // the thread body has returned its last lock
    bool retired = false;   // stopped, or in a forked child: no thread is started
    bool leftByFork = false;  // in a forked child: the thread ran in the parent
    std::atomic<bool> jobStopWanted{false};
};
