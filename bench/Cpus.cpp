#include "Cpus.h"

#include "Measure.h"

std::vector<int> allowedCpus()
{
    cpu_set_t set;
    CPU_ZERO(&set);
    std::vector<int> cpus;
    if (::sched_getaffinity(0, sizeof set, &set) != 0)
        return cpus;
    for (int cpu = 0; cpu < CPU_SETSIZE; ++cpu) {
        if (CPU_ISSET(cpu, &set))
            cpus.push_back(cpu);
    }
    return cpus;
}

CpuPin::CpuPin(int cpu)
{
    CPU_ZERO(&previous_);
    if (::sched_getaffinity(0, sizeof previous_, &previous_) != 0)
        return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    pinned_ = ::sched_setaffinity(0, sizeof one, &one) == 0;
}

CpuPin::~CpuPin()
{
    if (pinned_)
        ::sched_setaffinity(0, sizeof previous_, &previous_);
}

std::vector<std::pair<int, double>> microsPerCpu(const std::function<void()>& work, int repeats)
{
    std::vector<std::pair<int, double>> result;
    for (int cpu : allowedCpus()) {
        const CpuPin pin(cpu);
        if (!pin.pinned())
            continue;
        work();  // settle on the CPU first
        std::vector<double> times;
        for (int i = 0; i < repeats; ++i) {
            const auto start = BenchClock::now();
            work();
            times.push_back(microsBetween(start, BenchClock::now()));
        }
        result.emplace_back(cpu, median(times));
    }
    return result;
}
