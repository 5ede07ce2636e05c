#include "ModuleState.h"

namespace {

struct Module {
    std::mutex calls;
    ModuleState state;
};

Module& module()
{
    static Module loaded;
    return loaded;
}

}  // namespace

ModuleAccess::ModuleAccess() : state_(module().state), held_(module().calls) {}
