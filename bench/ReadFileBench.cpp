// Replay benchmark. Makes its own recordings in a temporary folder and
// measures, frame by frame and side by side in one run:
//   A  a plain cv::imread(IMREAD_UNCHANGED) loop over the frame's files,
//   B  the module loaded like a host loads it, run + getImages,
//   C  OpenCV's image-sequence reader over a single-kind sequence,
//   D  the frame's file bytes, one read(2) each,
//   E  A behind the start and end of a thread that does nothing (single-file
//      frames: the least a grab on a worker thread can cost);
// then the frame period of a host that works between frames, with the
// module's read-ahead on and off; the peak memory of 1,000 grabs; and the
// listing helpers against a plain std::filesystem walk. Prints one table,
// each figure beside its target. Exit status 1 when a target fails, 2 when
// the run cannot be made.
//
// The figures are taken as a host runs: glibc's allocator left as it is, no
// thread pinned. Before them, the same parts run once more in a child
// process whose allocator keeps freed memory (mmap and trim thresholds
// raised) and whose single-file frames run on the fastest CPU; its figures
// are the table's "tuned" column.
//
//   readfile_bench                        every part
//   readfile_bench --long                 five times the samples
//   readfile_bench --only frames fuse     these parts only: frames, backtoback, hostworks, memory, listing,
//                                         fuse, cold, station
//   readfile_bench --tuned                only the tuned run, as the table's first column

#include "Cpus.h"
#include "FrameBench.h"
#include "ListingBench.h"
#include "Measure.h"
#include "MemoryBench.h"
#include "Recording.h"
#include "StorageBench.h"

#include <QString>
#include <QtGlobal>

#include <opencv2/core.hpp>
#include <opencv2/core/utility.hpp>
#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <malloc.h>
#include <sys/wait.h>
#include <unistd.h>
#include <sys/statfs.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Options {
    int rounds = 60;          // frames per method, frames of several files
    int singleRounds = 240;   // single-file frames are cheap and need more
    int tinyRounds = 2000;    // the tiny frame is cheapest and noisiest
    int memoryGrabs = 1000;
    int listingRuns = 11;
    int backToBackRounds = 40;  // blocks of 50 tiny frames per method
    int hostWorksFrames = 40;  // per figure, single-file frames; a quarter for camera1
    int slowFrames = 8;        // per mode and host work, through the slow file system
    int coldRounds = 5;        // passes over the recording from a cold cache
    bool tuned = false;        // allocator keeps freed memory, single-file frames pinned
    std::string valuesTo;      // where a tuned child saves its figures
    std::vector<std::string> only;  // empty: every part
    bool isLong = false;
};

const char* const kParts[] = {"frames", "backtoback", "hostworks", "memory", "listing", "fuse", "cold", "station"};
// The parts whose figures depend on the allocator: measured tuned too.
const char* const kAllocatorParts[] = {"frames", "backtoback", "hostworks", "memory"};

bool isPart(const std::string& name)
{
    for (const char* part : kParts) {
        if (name == part)
            return true;
    }
    return false;
}

// --- The module's log ------------------------------------------------------
// A host keeps its own log; here the module's lines are dropped, but an
// error or warning means the measurement is off, so those are counted.

std::atomic<int> moduleProblems{0};
std::mutex firstProblemMutex;
std::string firstProblem;

void dropModuleLog(QtMsgType, const QMessageLogContext&, const QString& text)
{
    if (!text.startsWith("[ERROR]") && !text.startsWith("[WARN]"))
        return;
    if (text.contains("another object of this module is alive"))
        return;  // the two-objects part makes a second object on purpose
    if (moduleProblems++ == 0) {
        const std::lock_guard<std::mutex> lock(firstProblemMutex);
        firstProblem = text.toStdString();
    }
}

// --- Temporary folder --------------------------------------------------------

class TempRoot {
public:
    TempRoot()
    {
        std::string pattern = (fs::temp_directory_path() / "readfile-bench-XXXXXX").string();
        if (!::mkdtemp(pattern.data()))
            throw std::runtime_error("cannot make a temporary folder from " + pattern);
        path_ = pattern;
    }
    ~TempRoot()
    {
        std::error_code ignored;
        fs::remove_all(path_, ignored);
    }
    TempRoot(const TempRoot&) = delete;
    TempRoot& operator=(const TempRoot&) = delete;
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

// Lets every method reuse the memory of the frames it freed. With glibc's
// defaults a freed frame larger than the trim threshold goes back to the
// system and the next frame faults its pages in again; on a virtual machine
// that can cost more than the decoding, and it falls unevenly: the main
// thread's heap (the direct loop) trims, other threads' arenas mostly not.
// False when the allocator refused.
bool keepFreedMemory()
{
    const int largestMmapThreshold = 32 * 1024 * 1024;  // glibc's upper bound on 64-bit
    return ::mallopt(M_MMAP_THRESHOLD, largestMmapThreshold) == 1 && ::mallopt(M_TRIM_THRESHOLD, 1 << 30) == 1;
}

// --- Machine -------------------------------------------------------------------

std::string cpuModel()
{
    std::ifstream info("/proc/cpuinfo");
    std::string line;
    while (std::getline(info, line)) {
        if (line.rfind("model name", 0) == 0)
            return line.substr(line.find(':') + 2);
    }
    return "unknown CPU";
}

std::string fileSystemOf(const std::string& path)
{
    struct statfs info {};
    if (::statfs(path.c_str(), &info) != 0)
        return "unknown";
    switch (static_cast<unsigned long>(info.f_type)) {
    case 0xEF53: return "ext4";
    case 0x01021994: return "tmpfs";
    case 0x58465342: return "xfs";
    case 0x9123683E: return "btrfs";
    case 0x794C7630: return "overlayfs";
    default: break;
    }
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%lx", static_cast<unsigned long>(info.f_type));
    return hex;
}

std::string loadAverage()
{
    double load[3] = {0, 0, 0};
    if (::getloadavg(load, 3) != 3)
        return "unknown";
    return formatNumber(load[0], 2) + " " + formatNumber(load[1], 2) + " " + formatNumber(load[2], 2);
}

void printMachine(const std::string& scratch)
{
    std::printf("CPU: %s, %u hardware threads; OpenCV %s (%d threads), Qt %s\n", cpuModel().c_str(),
                std::thread::hardware_concurrency(), CV_VERSION, cv::getNumThreads(), qVersion());
    std::printf("recordings in %s (%s); load average at start: %s\n", scratch.c_str(),
                fileSystemOf(scratch).c_str(), loadAverage().c_str());
}

// Times one decode of `file` on every CPU, prints the figures and returns the
// fastest CPU (-1 when none could be measured). Single-file frames are
// measured with every thread on that CPU, so that the module and the direct
// loop decode on the same one; frames of several files need every CPU.
int fastestCpu(const std::string& file)
{
    const auto times = microsPerCpu([&] { cv::imread(file, cv::IMREAD_UNCHANGED); }, 5);
    int fastest = -1;
    double best = 0;
    std::printf("one decode of %s, median per CPU:", fs::path(file).filename().c_str());
    for (const auto& [cpu, micros] : times) {
        std::printf(" cpu%d %s", cpu, formatMicros(micros).c_str());
        if (fastest < 0 || micros < best) {
            fastest = cpu;
            best = micros;
        }
    }
    std::printf("\n");
    return fastest;
}

bool isSingleFile(const FrameShape& shape)
{
    return shape.frames[0].size() == 1;
}

int roundsFor(const FrameShape& shape, const Options& options)
{
    if (shape.frameBytes < 64 * 1024)
        return options.tinyRounds;
    return isSingleFile(shape) ? options.singleRounds : options.rounds;
}

Options parseOptions(int argc, char** argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--long") {
            options.isLong = true;
            options.rounds *= 5;
            options.singleRounds *= 5;
            options.tinyRounds *= 5;
            options.memoryGrabs *= 5;
            options.listingRuns *= 5;
            options.hostWorksFrames *= 5;
            options.backToBackRounds *= 5;
            options.slowFrames *= 5;
            options.coldRounds *= 5;
        } else if (arg == "--tuned") {
            options.tuned = true;
        } else if (arg == "--values-to" && i + 1 < argc) {
            options.valuesTo = argv[++i];
        } else if (arg == "--only" && i + 1 < argc && isPart(argv[i + 1])) {
            while (i + 1 < argc && isPart(argv[i + 1]))
                options.only.push_back(argv[++i]);
        } else {
            std::fprintf(stderr,
                         "usage: %s [--long] [--tuned] [--only PART...]\n"
                         "parts: frames backtoback hostworks memory listing fuse cold station\n",
                         argv[0]);
            std::exit(2);
        }
    }
    return options;
}

// Runs the allocator's parts of `options` in a tuned child process, its
// output dropped; false when it could not run. Its figures go to `valuesTo`.
bool runTunedChild(const Options& options, const std::string& valuesTo)
{
    std::vector<std::string> args{"/proc/self/exe", "--tuned", "--values-to", valuesTo};
    if (options.isLong)
        args.push_back("--long");
    args.push_back("--only");
    for (const char* part : kAllocatorParts) {
        if (options.only.empty() || std::find(options.only.begin(), options.only.end(), part) != options.only.end())
            args.push_back(part);
    }
    if (args.back() == "--only")
        return false;
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    const pid_t child = ::fork();
    if (child < 0)
        return false;
    if (child == 0) {
        const int devNull = ::open("/dev/null", O_WRONLY);
        ::dup2(devNull, STDOUT_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) && WEXITSTATUS(status) <= 1;
}

int runBenchmark(const Options& options)
{
    const auto started = BenchClock::now();
    const auto progress = [&](const std::string& step) {
        std::printf("[%5.1f s] %s\n", microsBetween(started, BenchClock::now()) / 1e6, step.c_str());
        std::fflush(stdout);
    };
    TempRoot scratch;
    printMachine(scratch.path());
    const auto wanted = [&](const char* part) {
        return options.only.empty() || std::find(options.only.begin(), options.only.end(), part) != options.only.end();
    };
    ResultsTable table;
    if (options.tuned) {
        if (!keepFreedMemory())
            throw std::runtime_error("glibc refused the raised mmap and trim thresholds");
        std::printf("tuned run: glibc's mmap and trim thresholds raised, single-file frames on the fastest CPU\n");
    } else if (std::any_of(std::begin(kAllocatorParts), std::end(kAllocatorParts), wanted)) {
        progress("the tuned run, in a child process (its figures: the column \"tuned\")");
        const std::string values = scratch.path() + "/tuned-values";
        if (!runTunedChild(options, values) || !table.addColumn("tuned", values))
            std::printf("the tuned run failed: no tuned column\n");
    }
    progress("making the recordings");
    const std::vector<FrameShape> shapes = makeFrameShapes(scratch.path());
    const int singleFileCpu =
        options.tuned && (wanted("frames") || wanted("backtoback")) ? fastestCpu(shapes[0].frames[0][0]) : -1;
    for (const FrameShape& shape : shapes) {
        if (!wanted("frames"))
            break;
        progress("measuring " + shape.name);
        if (options.tuned && isSingleFile(shape) && singleFileCpu >= 0) {
            const CpuPin pin(singleFileCpu);
            measureFrameShape(table, shape, scratch.path(), roundsFor(shape, options),
                              pin.pinned() ? "all threads on cpu" + std::to_string(singleFileCpu) : "");
        } else {
            measureFrameShape(table, shape, scratch.path(), roundsFor(shape, options), "");
        }
    }
    for (const FrameShape& shape : shapes) {
        if (!wanted("frames") && !wanted("backtoback"))
            break;
        if (shape.name != "tiny")
            continue;
        progress("measuring " + shape.name + " back to back");
        measureBackToBack(table, shape, scratch.path(), options.backToBackRounds, "unpinned");
        if (singleFileCpu >= 0) {
            const CpuPin pin(singleFileCpu);
            if (pin.pinned())
                measureBackToBack(table, shape, scratch.path(), options.backToBackRounds,
                                  "all threads on cpu" + std::to_string(singleFileCpu));
        }
    }
    if (wanted("frames")) {
        measureCallCost(table, shapes.back(), scratch.path());
        for (const FrameShape& shape : shapes) {
            if (shape.name == "camera1")
                measureDestoryLatency(table, shape, scratch.path());
        }
    }
    for (const FrameShape& shape : shapes) {
        if (!wanted("hostworks") || (shape.name != "single" && shape.name != "camera1"))
            continue;
        progress("measuring a host that works, " + shape.name);
        measureHostWorks(table, shape, scratch.path(),
                         isSingleFile(shape) ? options.hostWorksFrames : options.hostWorksFrames / 2);
        if (isSingleFile(shape))
            measureTwoObjects(table, shape, scratch.path(), options.hostWorksFrames);
    }
    if (wanted("memory")) {
        progress("measuring memory over " + std::to_string(options.memoryGrabs) + " grabs");
        measureMemory(table, shapes[0], options.memoryGrabs);
    }
    if (wanted("listing")) {
        progress("measuring listing");
        measureListing(table, scratch.path(), options.listingRuns);
    }
    for (const FrameShape& shape : shapes) {
        if (shape.name != "camera1")
            continue;
        if (wanted("fuse")) {
            progress("measuring slow storage (FUSE)");
            measureSlowStorage(table, shape, scratch.path(), options.slowFrames);
        }
        if (wanted("cold")) {
            progress("measuring cold storage");
            measureColdStorage(table, shape, scratch.path(), options.coldRounds);
        }
    }
    if (wanted("station")) {
        progress("measuring a station of four cameras");
        measureStation(table, shapes, scratch.path(), options.hostWorksFrames);
    }
    progress("done\n");

    if (!options.valuesTo.empty() && !table.save(options.valuesTo))
        throw std::runtime_error("cannot write " + options.valuesTo);
    std::printf("measured: glibc's allocator %s, no thread pinned%s\n",
                options.tuned ? "tuned (freed memory kept)" : "left alone",
                options.tuned ? " but single-file frames" : "");
    table.print();
    if (wanted("frames"))
        std::printf("\nB/A, B/C, A/D and B - A are medians over the rounds of figures taken side by side.\n");
    if (moduleProblems > 0)
        std::printf("\nthe module logged %d error or warning lines, the first: %s\n", moduleProblems.load(),
                    firstProblem.c_str());
    std::printf("\nload average at end: %s; %d target(s) failed\n", loadAverage().c_str(), table.failures());
    return table.failures() > 0 || moduleProblems > 0 ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(dropModuleLog);
    try {
        if (argc == 6 && std::strcmp(argv[1], "--memory-probe") == 0)
            return runMemoryProbe(argv[2], argv[3], std::atoi(argv[4]), std::atoi(argv[5]));
        return runBenchmark(parseOptions(argc, argv));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "benchmark failed: %s\n", e.what());
        return 2;
    }
}
