// Windows side of FileRead.h: CreateFileW and ReadFile on the UTF-16 path,
// in its `\\?\` form so a file past MAX_PATH opens too.

#include "ExtendedPath.h"
#include "FileRead.h"
#include "WindowsText.h"

#include <windows.h>

#include <algorithm>

struct ReadableFile {
    HANDLE handle;
};

ReadableFile* openForReading(const std::string& path, std::string& error)
{
    const HANDLE handle = CreateFileW(wideFromUtf8(fileCallPath(path)).c_str(), GENERIC_READ,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return nullptr;
    }
    return new ReadableFile{handle};
}

bool readBytes(ReadableFile* file, unsigned char* into, std::size_t count, std::size_t& got, std::string& error)
{
    got = 0;
    while (got < count) {
        const DWORD wanted = static_cast<DWORD>(std::min<std::size_t>(count - got, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(file->handle, into + got, wanted, &read, nullptr)) {
            error = lastErrorText();
            return false;
        }
        if (read == 0)
            break;
        got += read;
    }
    return true;
}

void closeFile(ReadableFile* file)
{
    if (!file)
        return;
    CloseHandle(file->handle);
    delete file;
}
