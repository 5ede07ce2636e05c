#pragma once
// CPU placement for the benchmark. The CPUs of a virtual machine need not
// be equally fast (here one decoded the same image 1.6 times slower than
// the other while the host kept its other half busy), and a comparison of
// two single-thread figures then depends on where each ran.

#include <sched.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

// CPUs the calling thread may run on.
std::vector<int> allowedCpus();

// Keeps the calling thread, and every thread it starts meanwhile, on one
// CPU while it lives; then the CPUs allowed before are allowed again.
class CpuPin {
public:
    explicit CpuPin(int cpu);
    ~CpuPin();
    CpuPin(const CpuPin&) = delete;
    CpuPin& operator=(const CpuPin&) = delete;
    bool pinned() const { return pinned_; }

private:
    cpu_set_t previous_;
    bool pinned_ = false;
};

// Median microseconds of `work` on each allowed CPU, `repeats` runs each,
// the calling thread pinned there.
std::vector<std::pair<int, double>> microsPerCpu(const std::function<void()>& work, int repeats);
