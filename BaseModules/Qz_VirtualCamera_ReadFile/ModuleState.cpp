#include "ModuleState.h"

#include "FrameBuffers.h"

namespace {

struct Module {
    std::mutex calls;
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

ModuleAccess::ModuleAccess() : state_(module().state), held_(module().calls) {}
