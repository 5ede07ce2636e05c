#include "ThreadPriority.h"

#include <windows.h>

ThreadPriority callingThreadPriority()
{
    ThreadPriority current;
    current.priority = ::GetThreadPriority(::GetCurrentThread());
    return current;
}
