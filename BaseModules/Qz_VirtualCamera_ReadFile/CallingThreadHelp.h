#pragma once
// The host thread that waits in run for its grab helps decode the frame:
// the meeting of a grab's thread and the host thread that waits for it in
// run. The host thread has nothing else to do while the grab runs, so for a
// frame of several files the grab offers their decoding here and the host
// thread takes part in it: on two cores, two files are decoded at a time
// without a helper thread started and ended for every grab.
//
// One grab at a time: run announces itself before it hands the grab to the
// worker; the grab offers at most one piece of work and always ends with
// grabEnded, which the host thread waits for. Should more than one caller
// come and enter the work, withdraw waits for all of them to leave it.

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>

class CallingThreadHelp {
public:
    // Host thread, before handing the grab to the worker: a caller will come.
    void callerComing();
    // Host thread, after handing the grab over: runs the offered work
    // once, if any is offered, and returns when the grab has ended.
    void helpUntilGrabEnds();

    // Grab's thread: whether a host thread will come to take part.
    bool callerExpected();
    // Grab's thread: offers `work` to the host thread. `work` must not
    // throw and must stay alive until withdraw has returned.
    void offer(const std::function<void()>& work);
    // Grab's thread: takes the offer back once nothing is left to take
    // (`nextToTake` has reached `count`) and no caller is inside the work. Until then it waits, for the host thread to come or finish.
    void withdraw(const std::atomic<std::size_t>& nextToTake, std::size_t count);
    // Grab's thread, last step of every grab: wakes a waiting host thread.
    void grabEnded() noexcept;

private:
    std::mutex mutex;
    std::condition_variable changed;
    const std::function<void()>* offered = nullptr;
    bool expected = false;
    bool ended = false;
    int callersInside = 0;
};
