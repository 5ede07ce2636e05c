#include "ProcessStats.h"

bool processStatsReadable(std::string& why)
{
    why = "the process figures come from /proc, which Windows has not";
    return false;
}

ProcessStats processStats()
{
    return {};
}

ProcessStats processStatsOnceThreadsEnd(int /*threads*/, int /*openFds*/)
{
    return {};
}

ProcessStats settledProcessStats()
{
    return {};
}

std::string openFdTargets()
{
    return {};
}

bool isMapped(const std::string& /*part*/)
{
    return false;
}

bool residentMemoryIsMeaningful()
{
    return false;
}
