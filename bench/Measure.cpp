#include "Measure.h"

#include <malloc.h>
#include <sys/resource.h>
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <sstream>

double microsBetween(BenchClock::time_point start, BenchClock::time_point end)
{
    return std::chrono::duration<double, std::micro>(end - start).count();
}

double median(std::vector<double> samples)
{
    if (samples.empty())
        return 0;
    const std::size_t middle = samples.size() / 2;
    std::nth_element(samples.begin(), samples.begin() + middle, samples.end());
    if (samples.size() % 2 == 1)
        return samples[middle];
    const double upper = samples[middle];
    const double lower = *std::max_element(samples.begin(), samples.begin() + middle);
    return (lower + upper) / 2;
}

namespace {

long minorFaults()
{
    struct rusage usage {};
    ::getrusage(RUSAGE_SELF, &usage);
    return usage.ru_minflt;
}

double processCpuMicros()
{
    struct timespec now {};
    ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e6 + static_cast<double>(now.tv_nsec) / 1e3;
}

}  // namespace

Stopwatch::Stopwatch() : start_(BenchClock::now()), cpuMicros_(processCpuMicros()), faults_(minorFaults()) {}

Sample Stopwatch::elapsed() const
{
    const auto now = BenchClock::now();
    return {microsBetween(start_, now), processCpuMicros() - cpuMicros_, minorFaults() - faults_};
}

double medianMicros(const std::vector<Sample>& samples)
{
    std::vector<double> micros;
    for (const Sample& sample : samples)
        micros.push_back(sample.micros);
    return median(micros);
}

double pairedRatio(const std::vector<Sample>& x, const std::vector<Sample>& y)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        ratios.push_back(x[i].micros / y[i].micros);
    return median(ratios);
}

double pairedDifference(const std::vector<Sample>& x, const std::vector<Sample>& y)
{
    std::vector<double> differences;
    for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        differences.push_back(x[i].micros - y[i].micros);
    return median(differences);
}

double pairedCpuRatio(const std::vector<Sample>& x, const std::vector<Sample>& y)
{
    std::vector<double> ratios;
    for (std::size_t i = 0; i < std::min(x.size(), y.size()); ++i)
        ratios.push_back(x[i].cpuMicros / y[i].cpuMicros);
    return median(ratios);
}

double meanFaults(const std::vector<Sample>& samples)
{
    double total = 0;
    for (const Sample& sample : samples)
        total += static_cast<double>(sample.faults);
    return samples.empty() ? 0 : total / static_cast<double>(samples.size());
}

MemoryReading readMemory()
{
    MemoryReading reading;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        std::istringstream fields(line);
        std::string key;
        long kib = -1;
        fields >> key >> kib;
        if (key == "VmRSS:")
            reading.residentKiB = kib;
        else if (key == "VmHWM:")
            reading.peakKiB = kib;
    }
    return reading;
}

long heapInUseKiB()
{
    const struct mallinfo2 info = ::mallinfo2();
    return static_cast<long>((info.uordblks + info.hblkhd) / 1024);
}

void ResultsTable::section(const std::string& title)
{
    rows_.push_back({title, "", "", ""});
}

void ResultsTable::info(const std::string& figure, const std::string& value)
{
    rows_.push_back({"  " + figure, value, "", ""});
}

void ResultsTable::check(const std::string& figure, const std::string& value, const std::string& target,
                         bool holds)
{
    rows_.push_back({"  " + figure, value, target, holds ? "PASS" : "FAIL"});
    if (!holds)
        ++failures_;
}

void ResultsTable::print() const
{
    std::size_t figureWidth = 6;
    std::size_t valueWidth = 8;
    std::size_t targetWidth = 6;
    for (const TableRow& row : rows_) {
        if (row.value.empty() && row.target.empty())
            continue;  // section titles may run over the columns
        figureWidth = std::max(figureWidth, row.figure.size());
        valueWidth = std::max(valueWidth, row.value.size());
        targetWidth = std::max(targetWidth, row.target.size());
    }
    const auto printRow = [&](const TableRow& row) {
        std::printf("%-*s  %*s  %-*s  %s\n", static_cast<int>(figureWidth), row.figure.c_str(),
                    static_cast<int>(valueWidth), row.value.c_str(), static_cast<int>(targetWidth),
                    row.target.c_str(), row.status.c_str());
    };
    printRow({"figure", "measured", "target", "status"});
    for (const TableRow& row : rows_) {
        if (row.value.empty() && row.target.empty())
            std::printf("%s\n", row.figure.c_str());
        else
            printRow(row);
    }
}

std::string formatNumber(double value, int decimals)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string formatMicros(double micros)
{
    if (micros >= 1000 || micros <= -1000)
        return formatNumber(micros / 1000, 2) + " ms";
    return formatNumber(micros, 1) + " us";
}

std::string formatMiB(double bytes)
{
    return formatNumber(bytes / (1024.0 * 1024.0), 1) + " MiB";
}
