#include "ModuleLibrary.h"

#include <windows.h>

#include <filesystem>
#include <string>

namespace {

std::string lastErrorText()
{
    const DWORD code = ::GetLastError();
    char* text = nullptr;
    const DWORD length = ::FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string message = length && text ? std::string(text, length) : "error " + std::to_string(code);
    if (text)
        ::LocalFree(text);
    while (!message.empty() && (message.back() == '\n' || message.back() == '\r' || message.back() == ' '))
        message.pop_back();
    return message;
}

}  // namespace

ModuleLibrary::~ModuleLibrary()
{
    if (handle_)
        ::FreeLibrary(static_cast<HMODULE>(handle_));
}

bool ModuleLibrary::open(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(std::filesystem::path(path), ec)) {
        error_ = "no such file: " + path;
        return false;
    }
    // Keep Windows from showing a message box for a file that is no module;
    // the folder of the module is searched for the libraries it needs.
    const UINT previousMode = ::SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    const std::wstring fullPath = std::filesystem::absolute(std::filesystem::path(path), ec).wstring();
    handle_ = ::LoadLibraryExW(fullPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    ::SetErrorMode(previousMode);
    if (!handle_) {
        std::string reason = lastErrorText();
        // Some system texts leave a "%1" where the file name goes.
        const std::size_t insert = reason.find("%1");
        if (insert != std::string::npos)
            reason.replace(insert, 2, path);
        error_ = "cannot load " + path + ": " + reason;
        return false;
    }
    return true;
}

void* ModuleLibrary::symbol(const std::string& name)
{
    if (!handle_) {
        error_ = "no module loaded";
        return nullptr;
    }
    FARPROC address = ::GetProcAddress(static_cast<HMODULE>(handle_), name.c_str());
    if (!address)
        error_ = "it exports no function \"" + name + "\"";
    return reinterpret_cast<void*>(address);
}

std::string executablePath()
{
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size()) {
            buffer.resize(length);
            return std::filesystem::path(buffer).string();
        }
        buffer.resize(buffer.size() * 2);
    }
}
