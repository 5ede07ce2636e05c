#include "SpecialFiles.h"

#include <thread>

std::set<std::string> FileOpenWatch::openedWithin(std::size_t expected, std::chrono::milliseconds limit)
{
    const auto until = std::chrono::steady_clock::now() + limit;
    std::set<std::string> files = opened();
    while (files.size() < expected && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const std::set<std::string> more = opened();
        files.insert(more.begin(), more.end());
    }
    return files;
}
