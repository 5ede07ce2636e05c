#pragma once
// Timing, process memory and the results table of the benchmark.

#include <chrono>
#include <string>
#include <utility>
#include <vector>

using BenchClock = std::chrono::steady_clock;

double microsBetween(BenchClock::time_point start, BenchClock::time_point end);

// Median of the samples; 0 when there are none.
double median(std::vector<double> samples);

// Wall time, CPU time and minor page faults of one measured step. CPU time
// and faults count for the whole process, every thread: CPU time shows the
// work apart from waiting for a CPU on a busy machine, and on a virtual
// machine a fault on fresh memory can cost as much as decoding a few
// kilobytes.
struct Sample {
    double micros = 0;
    double cpuMicros = 0;
    long faults = 0;
};

class Stopwatch {
public:
    Stopwatch();
    Sample elapsed() const;

private:
    BenchClock::time_point start_;
    double cpuMicros_;
    long faults_;
};

double medianMicros(const std::vector<Sample>& samples);
// Median over i of x[i] / y[i] and of x[i] - y[i]: samples taken side by side
// (same round, moments apart) share the machine's load of that moment, so
// the paired figures hold better than ratios of medians on a busy machine.
double pairedRatio(const std::vector<Sample>& x, const std::vector<Sample>& y);
double pairedDifference(const std::vector<Sample>& x, const std::vector<Sample>& y);
// The same ratio of CPU times.
double pairedCpuRatio(const std::vector<Sample>& x, const std::vector<Sample>& y);
double meanFaults(const std::vector<Sample>& samples);

// This process's resident memory now and its peak so far, from /proc.
struct MemoryReading {
    long residentKiB = -1;
    long peakKiB = -1;
};
MemoryReading readMemory();

// Bytes the C/C++ heap has handed out and not taken back, all threads'
// arenas together: unlike resident memory, free blocks the allocator keeps
// for later do not count, so a leak shows however the allocator caches.
long heapInUseKiB();

// One line of the results table. A figure without a target has an empty
// `target`; `status` is "PASS", "FAIL" or empty.
struct TableRow {
    std::string figure;
    std::string value;
    std::string target;
    std::string status;
};

class ResultsTable {
public:
    void section(const std::string& title);
    void info(const std::string& figure, const std::string& value);
    // Records the figure with its target and whether it holds.
    void check(const std::string& figure, const std::string& value, const std::string& target, bool holds);
    void print() const;
    int failures() const { return failures_; }

    // Writes each figure's value to `path`, for another run's second column.
    bool save(const std::string& path) const;
    // Shows the values saved by another run at `path` in a column `title`,
    // beside the figures of the same name (the part of a name before its
    // first " (", in the section of the same name). False when none came.
    bool addColumn(const std::string& title, const std::string& path);

private:
    std::vector<TableRow> rows_;
    std::string columnTitle_;
    std::vector<std::pair<std::string, std::string>> column_;  // key, value
    int failures_ = 0;
};

// "12.34 ms" for at least a millisecond, "123.4 us" below.
std::string formatMicros(double micros);
std::string formatNumber(double value, int decimals);
std::string formatMiB(double bytes);
