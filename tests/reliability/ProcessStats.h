#pragma once
// What the process holds right now, read from /proc/self: the figures the
// leak checks of the reliability tests compare before and after a load.

#include <cstddef>
#include <string>

// False with `why` where the figures cannot be read (Windows has no /proc;
// under Wine, /proc is the Linux process's), and the checks are skipped.
bool processStatsReadable(std::string& why);

struct ProcessStats {
    std::size_t residentKiB = 0;   // resident memory
    int openFds = 0;               // entries of /proc/self/fd
    int threads = 0;               // entries of /proc/self/task
};

ProcessStats processStats();

// A thread may still be leaving, and the worker may still be reading the
// next frame ahead (a file open) when run returns. Reads the figures until
// the process has at most `threads` threads and `openFds` descriptors, or
// two seconds have passed.
ProcessStats processStatsOnceThreadsEnd(int threads, int openFds = 1 << 30);
// Reads the figures until the thread and descriptor counts have stopped
// changing.
ProcessStats settledProcessStats();

// What each open descriptor refers to, one "fd -> target" per line, for
// messages of failed checks.
std::string openFdTargets();

// True when a file whose path contains `part` is mapped into the process.
bool isMapped(const std::string& part);

// True in builds whose allocator keeps freed memory aside (AddressSanitizer,
// ThreadSanitizer), where resident memory says nothing about leaks.
bool residentMemoryIsMeaningful();
