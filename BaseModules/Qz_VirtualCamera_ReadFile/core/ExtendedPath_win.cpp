#include "ExtendedPath.h"

#include "WindowsText.h"

#include <windows.h>

std::string fileCallPath(const std::string& path)
{
    // The current folder only matters for a path that is not absolute.
    std::wstring current(MAX_PATH, L'\0');
    DWORD length = ::GetCurrentDirectoryW(static_cast<DWORD>(current.size()), &current[0]);
    if (length >= current.size()) {
        current.resize(length);
        length = ::GetCurrentDirectoryW(static_cast<DWORD>(current.size()), &current[0]);
    }
    current.resize(length < current.size() ? length : 0);
    return windowsExtendedPath(path, utf8FromWide(current));
}
