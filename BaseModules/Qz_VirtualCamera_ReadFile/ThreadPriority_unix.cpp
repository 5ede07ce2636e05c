#include "ThreadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>

ThreadPriority callingThreadPriority()
{
    ThreadPriority current;
    sched_param param{};
    if (::pthread_getschedparam(::pthread_self(), &current.policy, &param) == 0)
        current.priority = param.sched_priority;
    // On Linux the nice value is the thread's own, and 0 names the caller.
    current.nice = ::getpriority(PRIO_PROCESS, 0);
    return current;
}
