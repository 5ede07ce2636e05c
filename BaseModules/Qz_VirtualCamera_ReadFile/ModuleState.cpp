#include "ModuleState.h"

#include "FrameBuffers.h"

#include <new>

namespace {

struct Module {
    std::mutex calls;
    std::atomic<std::thread::id> holder{};  // the thread holding `calls`, for a forked child
    ModuleState state;
    FrameBuffers buffers;
};

Module& module()
{
    static Module loaded;
    return loaded;
}

}  // namespace

FrameBuffers& frameBuffers()
{
    return module().buffers;
}

ModuleAccess::ModuleAccess() : state_(module().state), held_(true)
{
    module().calls.lock();
    module().holder = std::this_thread::get_id();
}

ModuleAccess::ModuleAccess(std::try_to_lock_t) : state_(module().state), held_(module().calls.try_lock())
{
    if (held_)
        module().holder = std::this_thread::get_id();
}

ModuleAccess::~ModuleAccess()
{
    if (held_) {
        module().holder = std::thread::id();
        module().calls.unlock();
    }
}

// Unless this thread holds the lock (it forked from within an entry), the
// lock is made anew: free, whether or not another thread held it.
void ModuleAccess::forgetOtherThreadsInForkedChild()
{
    Module& loaded = module();
    if (loaded.holder != std::this_thread::get_id()) {
        new (&loaded.calls) std::mutex;
        loaded.holder = std::thread::id();
    }
}
