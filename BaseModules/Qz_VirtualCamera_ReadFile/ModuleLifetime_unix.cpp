#include "ModuleLifetime.h"

void holdModule() {}

void releaseModule() {}

bool otherThreadsEnded()
{
    return false;
}
