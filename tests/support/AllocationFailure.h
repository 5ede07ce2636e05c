#pragma once
// Allocations made to fail, for tests of what code does when memory runs
// out. AllocationFailure.cpp replaces the global operator new and delete of
// the whole program, so a test that links it is a program of its own.
//
// A thread arms it for itself: from then on its allocations are counted
// (0, 1, 2, ...) and the planned ones throw std::bad_alloc, until it
// disarms. Nothing is counted or failed on other threads, nor by the
// nothrow forms of new.

// Which allocations take part: every one when null, else those it answers
// true for. It gets the address the allocation was asked from, and runs
// with the injection suspended (it may allocate).
using AllocationFilter = bool (*)(void* caller);

struct AllocationFailurePlan {
    long failFrom = -1;      // index of the first allocation to fail; -1: none fails
    bool failOnce = true;    // only that one, or every one from it on
    AllocationFilter takesPart = nullptr;
};

// Starts counting this thread's allocations from 0 under `plan`.
void armAllocationFailure(const AllocationFailurePlan& plan);
// Stops it on this thread; returns how many allocations took part.
long disarmAllocationFailure();
// Stops it on every thread at once, also on a thread that armed it and
// still runs (a worker that outlives the call that armed it).
void disarmAllocationFailureEverywhere();
// True: this thread's allocations neither count nor fail until the matching
// false (pairs nest). The shape of LogCapture's marker of its own work.
void suspendAllocationFailure(bool suspended);
