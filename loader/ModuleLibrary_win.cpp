#include "ModuleLibrary.h"
#include "WindowsText.h"

#include <windows.h>

#include <filesystem>

namespace {

// The system's text for the last error, naming "the file" where some texts
// leave a "%1" for a file name ("%1 is not a valid Win32 application"); the
// caller names the file before the text.
std::string loadErrorText()
{
    std::string message = lastErrorText();
    const std::size_t insert = message.find("%1");
    if (insert != std::string::npos)
        message.replace(insert, 2, "the file");
    return message;
}

}  // namespace

void* ModuleLibrary::loadSys(const std::string& path, std::string& reason)
{
    // Keep Windows from showing a message box for a file that is no module;
    // the folder of the module is searched for the libraries it needs.
    std::error_code ec;
    const std::wstring fullPath = std::filesystem::absolute(std::filesystem::path(path), ec).wstring();
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    HMODULE handle = ::LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (!handle)
        reason = loadErrorText();
    ::SetErrorMode(previousMode);
    return handle;
}

void* ModuleLibrary::resolveSys(void* handle, const std::string& name)
{
    return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle), name.c_str()));
}

void ModuleLibrary::unloadSys(void* handle)
{
    ::FreeLibrary(static_cast<HMODULE>(handle));
}
