#include "ModuleLifetime.h"

#include <windows.h>

namespace {

// Any address inside this module names it.
void anchor() {}

}  // namespace

void holdModule()
{
    HMODULE self = nullptr;
    ::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&anchor), &self);
}

void releaseModule()
{
    HMODULE self = nullptr;
    if (::GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                             reinterpret_cast<LPCWSTR>(&anchor), &self))
        ::FreeLibrary(self);
}

// RtlDllShutdownInProgress (ntdll) answers true while the process is ending;
// a DLL unloaded by FreeLibrary sees false, and its threads still run.
bool otherThreadsEnded()
{
    using Query = BOOLEAN(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return query && query();
}

void watchForks(void (*)(), void (*)(), void (*)()) {}
