#include "ProcessEnd.h"

bool otherThreadsEnded()
{
    return false;
}
