#include "ProcessStats.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <chrono>
#include <thread>

namespace fs = std::filesystem;

namespace {

int entriesOf(const char* folder)
{
    std::error_code ec;
    return static_cast<int>(std::distance(fs::directory_iterator(folder, ec), fs::directory_iterator()));
}

std::size_t residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmRSS:") {
            std::size_t kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

}  // namespace

bool processStatsReadable(std::string& /*why*/)
{
    return true;
}

ProcessStats processStats()
{
    ProcessStats stats;
    stats.residentKiB = residentKiB();
    // The iterator's own descriptor is counted too, the same every time.
    stats.openFds = entriesOf("/proc/self/fd");
    stats.threads = entriesOf("/proc/self/task");
    return stats;
}

ProcessStats processStatsOnceThreadsEnd(int threads, int openFds)
{
    ProcessStats stats = processStats();
    for (int i = 0; i < 2000 && (stats.threads > threads || stats.openFds > openFds); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
        stats = processStats();
    }
    return stats;
}

ProcessStats settledProcessStats()
{
    ProcessStats stats = processStats();
    for (int same = 0, i = 0; same < 5 && i < 400; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        const ProcessStats next = processStats();
        same = next.threads == stats.threads && next.openFds == stats.openFds ? same + 1 : 0;
        stats = next;
    }
    return stats;
}

std::string openFdTargets()
{
    std::string out;
    std::error_code ec;
    for (const fs::directory_entry& fd : fs::directory_iterator("/proc/self/fd", ec))
        out += fd.path().filename().string() + " -> " + fs::read_symlink(fd.path(), ec).string() + "\n";
    return out;
}

bool isMapped(const std::string& part)
{
    std::ifstream maps("/proc/self/maps");
    std::string line;
    while (std::getline(maps, line)) {
        if (line.find(part) != std::string::npos)
            return true;
    }
    return false;
}

bool residentMemoryIsMeaningful()
{
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    return false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
    return false;
#else
    return true;
#endif
#else
    return true;
#endif
}
