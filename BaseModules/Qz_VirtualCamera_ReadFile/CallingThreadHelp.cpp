#include "CallingThreadHelp.h"

void CallingThreadHelp::callerComing()
{
    std::lock_guard<std::mutex> lock(mutex);
    offered = nullptr;
    expected = true;
    ended = false;
}

void CallingThreadHelp::helpUntilJobEnds()
{
    std::unique_lock<std::mutex> lock(mutex);
    changed.wait(lock, [this] { return offered != nullptr || ended; });
    expected = false;
    if (const std::function<void()>* work = offered) {
        ++callersInside;
        lock.unlock();
        (*work)();
        lock.lock();
        --callersInside;
        changed.notify_all();
    }
    // The worker's last touch of this object is jobEnded.
    changed.wait(lock, [this] { return ended; });
}

bool CallingThreadHelp::callerExpected()
{
    std::lock_guard<std::mutex> lock(mutex);
    return expected;
}

void CallingThreadHelp::offer(const std::function<void()>& work)
{
    std::lock_guard<std::mutex> lock(mutex);
    offered = &work;
    changed.notify_all();
}

void CallingThreadHelp::withdraw(const std::atomic<std::size_t>& nextToTake, std::size_t count)
{
    std::unique_lock<std::mutex> lock(mutex);
    // A caller leaves the work only when nothing is left to take, and every
    // file it took is decoded by then. Every caller that entered must have
    // left: the work lives on the worker's stack.
    changed.wait(lock, [&] { return callersInside == 0 && nextToTake.load() >= count; });
    offered = nullptr;
}

void CallingThreadHelp::jobEnded() noexcept
{
    try {
        // Notified under the lock: once the host thread sees the end, this
        // thread no longer touches this object, which may then go away.
        std::lock_guard<std::mutex> lock(mutex);
        ended = true;
        offered = nullptr;
        changed.notify_all();
    } catch (...) {
        // A std::mutex that cannot be locked leaves nothing better to do.
    }
}
