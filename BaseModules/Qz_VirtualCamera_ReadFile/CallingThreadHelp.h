#pragma once
// The host thread in run, which hands a frame of several files to the
// object's worker to decode, takes part in the decoding: the worker offers
// the work here and the host thread, which has nothing else to do until the
// frame is decoded, joins in. On two cores two files are decoded at a time
// without a helper thread started and ended for every frame.
//
// One frame at a time: run announces itself before it hands the job to the
// worker; the job offers at most one piece of work and always ends with
// jobEnded, which the host thread waits for. Should more than one caller
// come and enter the work, withdraw waits for all of them to leave it.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

class CallingThreadHelp {
public:
    // Host thread, before handing the job to the worker: a caller will come.
    void callerComing();
    // Host thread, after handing the job over: runs the offered work
    // once, if any is offered, and returns when the job has ended.
    void helpUntilJobEnds();

    // Worker: whether a host thread will come to take part.
    bool callerExpected();
    // Worker: offers `work` to the host thread. `work` must not
    // throw and must stay alive until withdraw has returned.
    void offer(const std::function<void()>& work);
    // Worker: takes the offer back once nothing is left to take
    // (`nextToTake` has reached `count`) and no caller is inside the work. Until then it waits, for the host thread to come or finish.
    void withdraw(const std::atomic<std::size_t>& nextToTake, std::size_t count);
    // Worker, last step of every job: wakes a waiting host thread.
    void jobEnded() noexcept;

private:
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void()>* offered = nullptr;
    bool expected = false;
    bool ended = false;
    int callersInside = 0;
};
