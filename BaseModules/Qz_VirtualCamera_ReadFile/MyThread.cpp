#include "MyThread.h"

#include "FrameBuffers.h"
#include "ModuleLifetime.h"

#include <opencv2/imgcodecs.hpp>

#include <new>
#include <set>
#include <utility>

namespace {

// Workers alive in this loaded module, listed from the guard's making on.
// The module's end takes the list and frees it once it has stopped them, so
// an unloaded module leaves nothing allocated. The lock is a plain static,
// there before any code runs and never torn down, so a worker that ends
// while the guard runs still finds it. Its place in the lock order:
// ModuleState.h.
std::mutex workersMutex;
std::set<MyThread*>* workersAlive = nullptr;  // guarded by workersMutex

}  // namespace

// Static objects are torn down in the reverse order of their making. Made
// after the decoder's registry of codecs, the module's state and its
// buffers, which the workers use, this one goes first.
struct ModuleEndGuard {
    ModuleEndGuard()
    {
        cv::haveImageWriter(".bmp");  // sets the decoder's registry up
        frameBuffers();  // the module's state and buffers
        std::lock_guard<std::mutex> lock(workersMutex);
        workersAlive = new std::set<MyThread*>;
        watchForks(&MyThread::beforeFork, &MyThread::afterForkInParent, &MyThread::afterForkInChild);
    }
    ~ModuleEndGuard()
    {
        // At a Windows process's end the other threads are gone already,
        // wherever they were, perhaps holding the heap's lock: touch nothing.
        if (!otherThreadsEnded())
            MyThread::stopAll();
    }
};

void guardWorkersAtModuleEnd()
{
    static ModuleEndGuard guard;
}

// Every worker stops. They are freed with their frames unless a host call is
// in progress on another thread (a process ending while it calls), which may
// still use its worker: those are only stopped.
void MyThread::stopAll()
{
    const ModuleAccess access(std::try_to_lock);
    std::set<MyThread*>* workers = nullptr;
    {
        std::lock_guard<std::mutex> lock(workersMutex);
        workers = std::exchange(workersAlive, nullptr);
    }
    for (MyThread* worker : *workers) {
        if (access.held()) {
            const std::function<void(const ModuleAccess&)> freed = std::move(worker->freedByModuleEnd);
            dispose(worker);
            if (freed)
                freed(access);
        } else {
            worker->stop();
        }
    }
    delete workers;
}

// Around a fork every worker's state and the frame buffers the decoding
// threads share are held still, so that the child finds them whole; none of
// these locks is held for longer than a few steps.
void MyThread::beforeFork()
{
    workersMutex.lock();
    if (workersAlive) {
        for (MyThread* worker : *workersAlive)
            worker->mutex.lock();
    }
    frameBuffers().lockForFork();
}

void MyThread::afterForkInParent()
{
    frameBuffers().unlockAfterFork();
    if (workersAlive) {
        for (MyThread* worker : *workersAlive)
            worker->mutex.unlock();
    }
    workersMutex.unlock();
}

void MyThread::afterForkInChild()
{
    frameBuffers().unlockAfterFork();
    ModuleAccess::forgetOtherThreadsInForkedChild();
    if (workersAlive) {
        for (MyThread* worker : *workersAlive) {
            worker->leftWithoutThread();
            worker->mutex.unlock();
        }
    }
    workersMutex.unlock();
}

// In the child, with `mutex` held: the thread ran in the parent only. What
// it waited on is made anew, the old left as it was (a condition variable
// with a waiter that is not here cannot be destroyed). A job it was running
// is lost with it; its settle step, the only one to write what others see,
// never ran.
void MyThread::leftWithoutThread()
{
    if (started) {
        leftByFork = true;
        new (&changed) std::condition_variable;
    }
    started = false;
    busy = false;
    handedOver.reset();
    ending = false;
    retired = true;
}

MyThread::MyThread(void* userData, std::function<void(const ModuleAccess&)> freedByModuleEnd)
    : QThread(nullptr), userData(userData), freedByModuleEnd(std::move(freedByModuleEnd))
{
    std::lock_guard<std::mutex> lock(workersMutex);
    if (workersAlive)
        workersAlive->insert(this);
}

MyThread::~MyThread()
{
    std::lock_guard<std::mutex> lock(workersMutex);
    if (workersAlive)
        workersAlive->erase(this);
}

void MyThread::dispose(MyThread* worker)
{
    worker->stop();
    if (!worker->leftByFork) {
        delete worker;
        return;
    }
    // Kept, but off the list: the module's end must not reach its object.
    std::lock_guard<std::mutex> lock(workersMutex);
    if (workersAlive)
        workersAlive->erase(worker);
}

// With the worker idle. A thread started at another priority than the
// caller's ends first.
bool MyThread::runningAtCallersPriority(std::unique_lock<std::mutex>& lock)
{
    if (retired)
        return false;
    const ThreadPriority caller = callingThreadPriority();
    if (started && startedAt == caller)
        return true;
    endThread(lock);
    if (retired)  // stopped meanwhile by the module's end
        return false;
    startedAt = caller;
    holdModule();
    start(QThread::InheritPriority);
    started = isRunning();
    if (!started)
        releaseModule();
    return started;
}

// The mutex is let go while the thread ends.
void MyThread::endThread(std::unique_lock<std::mutex>& lock)
{
    if (!started)
        return;
    if (ending) {  // another caller ends it
        changed.wait(lock, [this] { return !started; });
        return;
    }
    ending = true;
    changed.notify_all();
    // The thread's last word comes through this mutex, which ThreadSanitizer
    // sees (QThread::wait it does not), before its members are used again.
    changed.wait(lock, [this] { return ended; });
    lock.unlock();
    wait();
    lock.lock();
    started = false;
    ending = false;
    ended = false;
    releaseModule();
    changed.notify_all();
}

void MyThread::waitUntilIdle(std::unique_lock<std::mutex>& lock)
{
    changed.wait(lock, [this] { return !handedOver && !busy; });
}

bool MyThread::post(const ModuleAccess&, WorkerJob job)
{
    std::unique_lock<std::mutex> lock(mutex);
    waitUntilIdle(lock);
    if (!runningAtCallersPriority(lock))
        return false;
    jobStopWanted = false;
    handedOver = std::move(job);
    changed.notify_all();
    return true;
}

// Wakes the threads waiting for the worker to be idle only when a job was
// called off: the worker's own thread waits on the same condition, and waking
// it for nothing costs a host that runs back to back a thread switch a run.
bool MyThread::callOff(const ModuleAccess&)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!handedOver)
        return false;
    handedOver.reset();
    changed.notify_all();
    return true;
}

void MyThread::askJobToStop(const ModuleAccess&)
{
    jobStopWanted = true;
}

void MyThread::waitUntilIdle(const ModuleAccess&)
{
    std::unique_lock<std::mutex> lock(mutex);
    waitUntilIdle(lock);
}

void MyThread::underLock(const std::function<void(bool idle)>& look)
{
    std::lock_guard<std::mutex> lock(mutex);
    look(!handedOver && !busy);
}

bool MyThread::stopped()
{
    std::lock_guard<std::mutex> lock(mutex);
    return retired;
}

void MyThread::stop()
{
    std::unique_lock<std::mutex> lock(mutex);
    retired = true;
    jobStopWanted = true;
    endThread(lock);
}

// Ending, the thread still runs a job handed over: a caller may be waiting
// for it. The job is asked to stop, so one that may stop early does.
void MyThread::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return ending || handedOver; });
        if (!handedOver) {
            ended = true;
            changed.notify_all();
            return;
        }
        WorkerJob job = std::move(*handedOver);
        handedOver.reset();
        busy = true;
        changed.notify_all();
        lock.unlock();
        job.work(jobStopWanted);
        lock.lock();
        if (job.settle)
            job.settle();
        busy = false;
        changed.notify_all();
        lock.unlock();
        job = WorkerJob();  // whatever the job still holds goes without the lock
        lock.lock();
    }
}
