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

namespace {

// The name without what is in parentheses and without digits (counts and
// measured references that differ from run to run).
std::string upToParenthesis(const std::string& text)
{
    std::string key = text.substr(0, text.find(" ("));
    key.erase(std::remove_if(key.begin(), key.end(), [](char c) { return c >= '0' && c <= '9'; }), key.end());
    return key;
}

// Each value row's key: its section's name and its own.
std::vector<std::string> keysOf(const std::vector<TableRow>& rows)
{
    std::vector<std::string> keys;
    std::string section;
    for (const TableRow& row : rows) {
        if (row.value.empty() && row.target.empty())
            section = upToParenthesis(row.figure);
        keys.push_back(section + "|" + upToParenthesis(row.figure));
    }
    return keys;
}

}  // namespace

bool ResultsTable::save(const std::string& path) const
{
    std::FILE* file = std::fopen(path.c_str(), "w");
    if (!file)
        return false;
    const std::vector<std::string> keys = keysOf(rows_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (!rows_[i].value.empty())
            std::fprintf(file, "%s\t%s\n", keys[i].c_str(), rows_[i].value.c_str());
    }
    return std::fclose(file) == 0;
}

bool ResultsTable::addColumn(const std::string& title, const std::string& path)
{
    std::ifstream file(path);
    std::string line;
    columnTitle_ = title;
    while (std::getline(file, line)) {
        const std::size_t tab = line.find('\t');
        if (tab != std::string::npos)
            column_.emplace_back(line.substr(0, tab), line.substr(tab + 1));
    }
    return !column_.empty();
}

void ResultsTable::print() const
{
    std::size_t figureWidth = 6;
    std::size_t valueWidth = 8;
    std::size_t columnWidth = columnTitle_.size();
    std::size_t targetWidth = 6;
    const std::vector<std::string> keys = keysOf(rows_);
    std::vector<std::string> second(rows_.size());
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        for (const auto& [key, value] : column_) {
            if (key == keys[i]) {
                second[i] = value;
                break;
            }
        }
        const TableRow& row = rows_[i];
        if (row.value.empty() && row.target.empty())
            continue;  // section titles may run over the columns
        figureWidth = std::max(figureWidth, row.figure.size());
        valueWidth = std::max(valueWidth, row.value.size());
        columnWidth = std::max(columnWidth, second[i].size());
        targetWidth = std::max(targetWidth, row.target.size());
    }
    const auto printRow = [&](const TableRow& row, const std::string& other) {
        std::printf("%-*s  %*s  ", static_cast<int>(figureWidth), row.figure.c_str(), static_cast<int>(valueWidth),
                    row.value.c_str());
        if (!columnTitle_.empty())
            std::printf("%*s  ", static_cast<int>(columnWidth), other.c_str());
        std::printf("%-*s  %s\n", static_cast<int>(targetWidth), row.target.c_str(), row.status.c_str());
    };
    printRow({"figure", "measured", "target", "status"}, columnTitle_);
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        if (rows_[i].value.empty() && rows_[i].target.empty())
            std::printf("%s\n", rows_[i].figure.c_str());
        else
            printRow(rows_[i], second[i]);
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
