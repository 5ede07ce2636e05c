#include "AllocationFailure.h"

#include <atomic>
#include <cstdlib>
#include <new>

namespace {

// Trivially made, so that a thread's first allocation needs no set-up.
struct Injection {
    bool armed = false;
    long allocations = 0;  // that took part since it was armed
    AllocationFailurePlan plan;
    int suspended = 0;     // inside the filter, or suspended by the test
    int epoch = 0;         // armed in this epoch of injectionEpoch
};
thread_local Injection injection;
// Moving it on disarms every thread at once.
std::atomic<int> injectionEpoch{0};

bool shouldFail(void* caller)
{
    if (!injection.armed || injection.suspended > 0 || injection.epoch != injectionEpoch.load())
        return false;
    if (injection.plan.takesPart) {
        ++injection.suspended;
        const bool takesPart = injection.plan.takesPart(caller);
        --injection.suspended;
        if (!takesPart)
            return false;
    }
    const long index = injection.allocations++;
    const AllocationFailurePlan& plan = injection.plan;
    if (plan.failFrom < 0)
        return false;
    return plan.failOnce ? index == plan.failFrom : index >= plan.failFrom;
}

void* allocate(std::size_t size, void* caller)
{
    if (shouldFail(caller))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}

}  // namespace

void armAllocationFailure(const AllocationFailurePlan& plan)
{
    const int suspended = injection.suspended;
    injection = Injection{true, 0, plan, suspended, injectionEpoch.load()};
}

long disarmAllocationFailure()
{
    const long allocations = injection.allocations;
    injection.armed = false;
    return allocations;
}

void disarmAllocationFailureEverywhere()
{
    ++injectionEpoch;
}

void suspendAllocationFailure(bool suspended)
{
    injection.suspended += suspended ? 1 : -1;
}

void* operator new(std::size_t size)
{
    return allocate(size, __builtin_return_address(0));
}
void* operator new[](std::size_t size)
{
    return allocate(size, __builtin_return_address(0));
}
// The nothrow forms must pair with the replaced deletes too (the standard
// library's temporary buffers use them); they take part in no injection.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }
