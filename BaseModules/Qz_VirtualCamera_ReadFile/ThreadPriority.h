#pragma once
// The calling thread's priority, per system (ThreadPriority_unix.cpp /
// ThreadPriority_win.cpp): what a thread started from it with
// QThread::InheritPriority takes over. A worker started at one caller's
// priority is started again when a later caller's differs (see MyThread):
// an unprivileged thread cannot raise its own priority back once lowered.

struct ThreadPriority {
    int policy = 0;    // Linux: the scheduling policy; Windows: 0
    int priority = 0;  // Linux: the policy's static priority; Windows: GetThreadPriority
    int nice = 0;      // Linux: the thread's nice value; Windows: 0

    bool operator==(const ThreadPriority& other) const
    {
        return policy == other.policy && priority == other.priority && nice == other.nice;
    }
    bool operator!=(const ThreadPriority& other) const { return !(*this == other); }
};

ThreadPriority callingThreadPriority();
