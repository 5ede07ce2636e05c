#include "MemoryBench.h"

#include "ReplayHost.h"

#include <opencv2/core.hpp>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct MemoryProbe {
    long baselineKiB = -1;        // resident after init, before the first grab
    long firstCyclePeakKiB = -1;  // after one pass over the capture folders
    long firstCycleHeapKiB = -1;
    long endPeakKiB = -1;         // after every grab
    long endHeapKiB = -1;
    int failures = -1;
};

std::string shellQuoted(const std::string& text)
{
    std::string quoted = "'";
    for (char c : text)
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

MemoryProbe probeMemory(const FrameShape& shape, int grabs)
{
    const std::string command = shellQuoted(fs::read_symlink("/proc/self/exe").string()) + " --memory-probe " +
                                shellQuoted(shape.root) + " " + shape.cameraName + " " +
                                std::to_string(shape.frames.size()) + " " + std::to_string(grabs);
    const std::unique_ptr<FILE, int (*)(FILE*)> output(::popen(command.c_str(), "r"), ::pclose);
    MemoryProbe probe;
    if (!output || std::fscanf(output.get(), "%ld %ld %ld %ld %ld %d", &probe.baselineKiB,
                               &probe.firstCyclePeakKiB, &probe.firstCycleHeapKiB, &probe.endPeakKiB,
                               &probe.endHeapKiB, &probe.failures) != 6)
        throw std::runtime_error("the memory probe gave no result: " + command);
    return probe;
}

void reportMemory(ResultsTable& table, const FrameShape& shape, int grabs, const MemoryProbe& probe)
{
    const double frame = static_cast<double>(shape.frameBytes);
    const double baseline = probe.baselineKiB * 1024.0;
    const double peak = probe.endPeakKiB * 1024.0;
    const double peakGrowth = (probe.endPeakKiB - probe.firstCyclePeakKiB) * 1024.0;
    const long heapGrowthKiB = probe.endHeapKiB - probe.firstCycleHeapKiB;
    table.section("memory: " + std::to_string(grabs) + " grabs of " + shape.name + " (" + formatMiB(frame) +
                  " a frame), getImages after each, in a fresh process");
    table.info("resident before the first grab", formatMiB(baseline));
    table.info("peak after the first cycle", formatMiB(probe.firstCyclePeakKiB * 1024.0));
    // Growth is judged on the heap in use, where a leak of 100 bytes a grab
    // shows. The resident peak also moves with how the allocator happens to
    // keep freed frames in the arenas of the threads that decoded them; the
    // peak bound below covers that.
    table.check("growth after the first cycle: heap in use", std::to_string(heapGrowthKiB) + " KiB",
                "<= 64 KiB", heapGrowthKiB <= 64);
    table.info("growth after the first cycle: resident peak", formatMiB(peakGrowth));
    // The host's frame, the one the worker reads ahead, and the buffer
    // while a frame is handed over.
    table.check("peak", formatMiB(peak), "<= baseline + 3 frames = " + formatMiB(baseline + 3 * frame),
                peak <= baseline + 3 * frame);
    table.check("grabs that failed", std::to_string(probe.failures), "0", probe.failures == 0);
}

}  // namespace

void measureMemory(ResultsTable& table, const FrameShape& shape, int grabs)
{
    reportMemory(table, shape, grabs, probeMemory(shape, grabs));
}

int runMemoryProbe(const std::string& root, const std::string& camera, int folders, int grabs)
{
    ReplayHost host(fs::path(root).parent_path().string());
    if (!host.start(replayParam(camera, root))) {
        std::fprintf(stderr, "memory probe: %s\n", host.error().c_str());
        return 2;
    }
    MemoryProbe probe;
    probe.baselineKiB = readMemory().residentKiB;
    probe.failures = 0;
    std::vector<cv::Mat> images;
    // The two heap readings must find the module in the same state: each
    // after a grab that followed a pause (so the next frame is read ahead)
    // and once that read-ahead is surely done.
    const auto settledGrab = [&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        if (!host.grab(images))
            ++probe.failures;
        images.clear();
        std::this_thread::sleep_for(std::chrono::milliseconds(500));
    };
    for (int grab = 1; grab <= grabs; ++grab) {
        if (grab == folders || grab == grabs) {
            settledGrab();
            if (grab == folders) {
                probe.firstCyclePeakKiB = readMemory().peakKiB;
                probe.firstCycleHeapKiB = heapInUseKiB();
            }
            continue;
        }
        if (!host.grab(images))
            ++probe.failures;
        images.clear();  // the host is done with the frame
    }
    probe.endPeakKiB = readMemory().peakKiB;
    probe.endHeapKiB = heapInUseKiB();
    std::printf("%ld %ld %ld %ld %ld %d\n", probe.baselineKiB, probe.firstCyclePeakKiB, probe.firstCycleHeapKiB,
                probe.endPeakKiB, probe.endHeapKiB, probe.failures);
    return 0;
}
