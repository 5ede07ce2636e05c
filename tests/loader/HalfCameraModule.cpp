// Exports `create` but not `destory`: objects it made could never be handed
// back, so a host must turn it down as "not a camera module" too.
extern "C" void* create()
{
    return nullptr;
}
