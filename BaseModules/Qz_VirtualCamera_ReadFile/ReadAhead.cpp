#include "ReadAhead.h"

#include "ReadOrder.h"

#include <cstdlib>
#include <cstring>

void readAheadFrame(const FrameTarget& target, ReadAhead& ahead, const std::atomic<bool>& stop) noexcept
{
    ahead = ReadAhead();
    try {
        const auto stopWanted = [&stop] { return stop.load(std::memory_order_relaxed); };
        ahead.target = target;
        ahead.frame = decodeFrame(planFrame(target.folder, target.cameraName), nullptr, stopWanted);
        ahead.filled = ahead.frame.complete;
    } catch (...) {
    }
    if (!ahead.filled)
        ahead = ReadAhead();
}

bool readAheadWanted()
{
    const char* value = std::getenv("QZ_READFILE_READ_AHEAD");
    return !value || (std::strcmp(value, "0") != 0 && std::strcmp(value, "off") != 0);
}
