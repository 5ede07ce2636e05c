#pragma once
// A stand-in for a network share: a file system mounted with FUSE that
// passes every request through to a folder, waits a fixed time on each and
// counts them per requesting thread. Served by threads of this process.
// Built with libfuse3 when it is there (SlowMount_fuse.cpp), otherwise
// never available (SlowMount_none.cpp).

#include <sys/types.h>

#include <memory>
#include <string>

// Requests one thread made, by kind. A stat of a path whose entry the
// kernel no longer trusts is a lookup, counted as a status too.
struct RequestCounts {
    long statuses = 0;  // lookups and getattrs
    long listings = 0;  // opendir and readdir
    long opens = 0;
    long reads = 0;
    long other = 0;
    long total() const { return statuses + listings + opens + reads + other; }
};

class SlowMount {
public:
    virtual ~SlowMount() = default;
    // Requests made by thread `tid` since the last reset.
    virtual RequestCounts countsOf(pid_t tid) const = 0;
    virtual void reset() = 0;
};

// Mounts `source` at `mountPoint` (an empty folder), `delayMicros` added to
// every request. Null, with `why` set, when FUSE is not available.
std::unique_ptr<SlowMount> mountSlowly(const std::string& source, const std::string& mountPoint, int delayMicros,
                                       std::string& why);
