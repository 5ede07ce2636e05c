#include "ProcessEnd.h"

#include <windows.h>

// RtlDllShutdownInProgress (ntdll) answers true while the process is ending;
// a DLL unloaded by FreeLibrary sees false, and its threads still run.
bool otherThreadsEnded()
{
    using Query = BOOLEAN(WINAPI*)();
    static const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"ntdll.dll"), "RtlDllShutdownInProgress")));
    return query && query();
}
