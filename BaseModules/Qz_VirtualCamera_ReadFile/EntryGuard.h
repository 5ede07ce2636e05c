#pragma once
// The boundary of every exported function and Base operation: nothing thrown
// inside leaves the module (an exception in a host built without them, or
// across a DLL boundary, ends the process). A failure becomes one line,
// "[ERROR] <function> failed: <cause>", and the call answers `failed`.

#include "ModuleLog.h"

#include <exception>

template <typename Result, typename Body>
Result guardedEntry(const char* function, Result failed, Body&& body) noexcept
{
    try {
        return body();
    } catch (const std::exception& e) {
        logFailure(function, e.what());
    } catch (...) {
        logFailure(function, "unknown error");
    }
    return failed;
}

// For entries without a result.
template <typename Body>
void guardedEntry(const char* function, Body&& body) noexcept
{
    guardedEntry(function, true, [&body] {
        body();
        return true;
    });
}
