#include "ExecutablePath.h"

#include <windows.h>

#include <filesystem>

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
