// Windows side of the platform layer: the run-time library's wildcard search
// and the file system's own entry order.

#include "Names.h"
#include "Platform.h"

#include <io.h>
#include <windows.h>

const char kPathSeparator[] = "\\";

struct FindHandle {
    intptr_t search = -1;
    std::string ending;
};

namespace {

// The search also matches 8.3 short names ("x.bmpx" is "X~1.BMP"), so each
// match's long name is checked against the ending again.
bool isWanted(const _finddata64i32_t& info, const std::string& ending)
{
    return nameEndsWith(info.name, ending);
}

void toFindData(const _finddata64i32_t& info, FindData& out)
{
    out.name = info.name;
    out.isFolder = (info.attrib & _A_SUBDIR) != 0;
}

bool nextWanted(FindHandle* handle, FindData& out)
{
    _finddata64i32_t info {};
    while (_findnext64i32(handle->search, &info) == 0) {
        if (isWanted(info, handle->ending)) {
            toFindData(info, out);
            return true;
        }
    }
    return false;
}

std::string endingOf(const std::string& pattern)
{
    const std::string marker = std::string(kPathSeparator) + "*";
    const std::size_t at = pattern.rfind(marker);
    return at == std::string::npos ? std::string() : pattern.substr(at + marker.size());
}

}  // namespace

FindHandle* findFirst(const std::string& pattern, FindData& first)
{
    _finddata64i32_t info {};
    const intptr_t search = _findfirst64i32(pattern.c_str(), &info);
    if (search == -1)
        return nullptr;
    auto* handle = new FindHandle{search, endingOf(pattern)};
    if (isWanted(info, handle->ending)) {
        toFindData(info, first);
        return handle;
    }
    if (nextWanted(handle, first))
        return handle;
    findClose(handle);
    return nullptr;
}

bool findNext(FindHandle* handle, FindData& next)
{
    return handle != nullptr && nextWanted(handle, next);
}

void findClose(FindHandle* handle)
{
    if (!handle)
        return;
    _findclose(handle->search);
    delete handle;
}

void orderLikeFileSystem(std::vector<std::string>& /*names*/)
{
    // NTFS already lists a folder in its own order.
}

bool folderIdOf(const std::string& path, FolderId& id)
{
    // FILE_FLAG_BACKUP_SEMANTICS is needed to open a folder; links are followed.
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    BY_HANDLE_FILE_INFORMATION info {};
    const bool ok = GetFileInformationByHandle(file, &info) != 0 &&
                    (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    CloseHandle(file);
    if (!ok)
        return false;
    id.volume = info.dwVolumeSerialNumber;
    id.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return true;
}
