#include "MyThread.h"

#include "FrameBuffers.h"
#include "ModuleLifetime.h"

#include <opencv2/imgcodecs.hpp>

#include <set>
#include <utility>

namespace {

// Workers alive in this loaded module, listed from the guard's making on.
// The guard below frees the list once it has stopped them, so an unloaded
// module leaves nothing allocated. The lock is a plain static, there before
// any code runs and never torn down, so a worker that ends while the guard
// runs still finds it. Taken after the module-wide lock, before a worker's own.
std::mutex workersMutex;
std::set<MyThread*>* workersAlive = nullptr;  // guarded by workersMutex

// Static objects are torn down in the reverse order of their making. Made
// after the decoder's registry of codecs and the module's buffers, which
// the workers use, this one goes first.
struct ModuleEndGuard {
    ModuleEndGuard()
    {
        cv::haveImageWriter(".bmp");  // sets the decoder's registry up
        frameBuffers();
        std::lock_guard<std::mutex> lock(workersMutex);
        workersAlive = new std::set<MyThread*>;
    }
    ~ModuleEndGuard()
    {
        // At a Windows process's end the other threads are gone already,
        // wherever they were, perhaps holding the heap's lock: touch nothing.
        if (otherThreadsEnded())
            return;
        std::lock_guard<std::mutex> lock(workersMutex);
        for (MyThread* worker : *workersAlive)
            worker->stop();
        delete std::exchange(workersAlive, nullptr);
    }
};

}  // namespace

void guardWorkersAtModuleEnd()
{
    static ModuleEndGuard guard;
}

MyThread::MyThread(void* userData) : QThread(nullptr), userData(userData)
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

bool MyThread::startOnce()
{
    std::lock_guard<std::mutex> lock(mutex);
    if (!started) {
        holdModule();
        start(QThread::InheritPriority);
        started = isRunning();
        if (!started)
            releaseModule();
    }
    return started;
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
    if (paths.size() <= 1 || !startOnce())
        return decodeFrame(paths, nullptr);
    {
        std::unique_lock<std::mutex> lock(mutex);
        if (quitting) {  // stopped by the module's end while a host still calls
            lock.unlock();
            return decodeFrame(paths, nullptr);
        }
        stopReadAhead = true;
        waitUntilIdle(lock);
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
    if (!startOnce())
        return;
    std::unique_lock<std::mutex> lock(mutex);
    if (quitting)
        return;
    waitUntilIdle(lock);
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
    {
        // The thread's last word comes through this mutex, which
        // ThreadSanitizer sees (QThread::wait it does not), before the
        // members go.
        std::unique_lock<std::mutex> lock(mutex);
        quitting = true;
        stopReadAhead = true;
        changed.notify_all();
        changed.wait(lock, [this] { return ended || !started; });
    }
    wait();
    std::lock_guard<std::mutex> lock(mutex);
    if (started && !released) {
        released = true;
        releaseModule();
    }
}

void MyThread::run()
{
    std::unique_lock<std::mutex> lock(mutex);
    for (;;) {
        changed.wait(lock, [this] { return quitting || job != Job::None; });
        if (quitting) {
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
