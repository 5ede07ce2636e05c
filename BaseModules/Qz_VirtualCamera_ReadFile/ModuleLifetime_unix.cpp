#include "ModuleLifetime.h"

#include <pthread.h>

void holdModule() {}

void releaseModule() {}

bool otherThreadsEnded()
{
    return false;
}

// Registered from within the module, the handlers go when it is unloaded.
void watchForks(void (*prepare)(), void (*parent)(), void (*child)())
{
    ::pthread_atfork(prepare, parent, child);
}
