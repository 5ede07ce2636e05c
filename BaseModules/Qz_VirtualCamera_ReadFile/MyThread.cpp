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
// while the guard runs still finds it. Taken after the module-wide lock,
// before a worker's own.
std::mutex workersMutex;
std::set<MyThread*>* workersAlive = nullptr;  // guarded by workersMutex

// The files decoded one after another on the calling thread, which starts no
// thread (a forked child: a child of a process with threads should start
// none, and ThreadSanitizer ends one that does).
DecodedFrame decodeOneByOne(const std::vector<std::string>& paths)
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
            *worker->holder = nullptr;
            dispose(worker);
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
// it waited on or was writing is made anew, the old left as it was (a
// condition variable with a waiter that is not here cannot be destroyed).
void MyThread::leftWithoutThread()
{
    if (started) {
        leftByFork = true;
        new (&changed) std::condition_variable;
        if (busy) {
            new (&ahead) ReadAhead;
            new (&decoded) DecodedFrame;
            new (&decodeFailure) std::exception_ptr;
        }
    }
    started = false;
    busy = false;
    job = Job::None;
    ending = false;
    retired = true;
}

MyThread::MyThread(void* userData, MyThread*& holder) : QThread(nullptr), userData(userData), holder(&holder)
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
    changed.wait(lock, [this] { return job == Job::None && !busy; });
}

void MyThread::post(Job next, std::unique_lock<std::mutex>& lock)
{
    waitUntilIdle(lock);
    job = next;
    changed.notify_all();
}

DecodedFrame MyThread::decode(const ModuleAccess&, const std::vector<std::string>& paths)
{
    // One file is decoded here: handing it to this thread would cost two
    // thread switches and gain nothing.
    if (paths.size() <= 1)
        return decodeFrame(paths, nullptr);
    {
        std::unique_lock<std::mutex> lock(mutex);
        stopReadAhead = true;
        waitUntilIdle(lock);
        if (!runningAtCallersPriority(lock)) {
            const bool threadless = retired;
            lock.unlock();
            return threadless ? decodeOneByOne(paths) : decodeFrame(paths, nullptr);
        }
        decodePaths = &paths;
        callerHelp.callerComing();
        post(Job::Decode, lock);
    }
    callerHelp.helpUntilJobEnds();
    // The job's last step, jobEnded, hands its result over.
    if (std::exception_ptr failure = std::exchange(decodeFailure, nullptr))
        std::rethrow_exception(failure);
    return std::move(decoded);
}

void MyThread::decodeHere() noexcept
{
    try {
        decoded = decodeFrame(*decodePaths, &callerHelp);
    } catch (...) {
        decodeFailure = std::current_exception();
    }
    callerHelp.jobEnded();
}

void MyThread::readAhead(const ModuleAccess&, const FrameTarget& next)
{
    std::unique_lock<std::mutex> lock(mutex);
    waitUntilIdle(lock);
    if (!runningAtCallersPriority(lock))
        return;
    target = next;
    discardWhenRead = false;
    stopReadAhead = false;
    post(Job::ReadAhead, lock);
}

ReadAhead MyThread::takeReadAhead(const ModuleAccess&)
{
    std::unique_lock<std::mutex> lock(mutex);
    if (job == Job::ReadAhead) {
        job = Job::None;
        discardWhenRead = false;
    }
    waitUntilIdle(lock);
    return std::exchange(ahead, ReadAhead());
}

void MyThread::discardReadAhead(const ModuleAccess&)
{
    std::lock_guard<std::mutex> lock(mutex);
    if (busy || job != Job::None) {
        discardWhenRead = true;
        stopReadAhead = true;
    } else {
        ahead = ReadAhead();
    }
}

void MyThread::stop()
{
    std::unique_lock<std::mutex> lock(mutex);
    retired = true;
    stopReadAhead = true;
    endThread(lock);
}

void MyThread::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return ending || job != Job::None; });
        // Ending, the thread still decodes a frame a run waits for; a
        // read-ahead not begun is dropped.
        if (ending && job == Job::ReadAhead) {
            job = Job::None;
            if (discardWhenRead) {
                ahead = ReadAhead();
                discardWhenRead = false;
            }
        }
        if (job == Job::None) {
            ended = true;
            changed.notify_all();
            return;
        }
        const Job current = job;
        job = Job::None;
        busy = true;
        changed.notify_all();
        lock.unlock();
        if (current == Job::Decode)
            decodeHere();
        else
            readAheadFrame(target, ahead, stopReadAhead);
        lock.lock();
        busy = false;
        if (discardWhenRead) {
            ahead = ReadAhead();
            discardWhenRead = false;
        }
        changed.notify_all();
    }
}
