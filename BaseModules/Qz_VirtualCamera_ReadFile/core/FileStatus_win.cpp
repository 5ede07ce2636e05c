// Windows side of FileStatus.h. The attributes come without opening
// anything; only a file or folder is then opened, for query only (no read
// access), to learn its identity. Links are followed.

#include "ExtendedPath.h"
#include "FileStatus.h"
#include "WindowsText.h"

#include <windows.h>

namespace {

// FILETIME counts 100 ns steps from 1601; the Unix epoch is 11644473600 s later.
std::int64_t unixNanoseconds(std::int64_t steps)
{
    return (steps - 116444736000000000LL) * 100;
}

std::int64_t unixNanoseconds(const FILETIME& time)
{
    return unixNanoseconds(
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime));
}

}  // namespace

FileStatus fileStatusOf(const std::string& given, std::string& error)
{
    const std::wstring path = wideFromUtf8(fileCallPath(given));  // `\\?\` form: past MAX_PATH too
    FileStatus status;
    WIN32_FILE_ATTRIBUTE_DATA attributes {};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &attributes)) {
        error = lastErrorText();
        return status;
    }
    if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
        status.kind = FileKind::CharacterDevice;
        return status;
    }
    // FILE_FLAG_BACKUP_SEMANTICS is needed to open a folder.
    HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return status;
    }
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info {};
    FILE_BASIC_INFO times {};
    const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0 &&
                       GetFileInformationByHandleEx(file, FileBasicInfo, &times, sizeof times) != 0;
    CloseHandle(file);
    if (type == FILE_TYPE_CHAR) {
        status.kind = FileKind::CharacterDevice;
        return status;
    }
    if (type == FILE_TYPE_PIPE) {
        status.kind = FileKind::Fifo;
        return status;
    }
    if (!known) {
        status.kind = FileKind::Other;
        return status;
    }
    status.kind = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? FileKind::Folder : FileKind::Regular;
    status.size = (static_cast<std::uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    status.modifiedNs = unixNanoseconds(info.ftLastWriteTime);
    status.changedNs = unixNanoseconds(times.ChangeTime.QuadPart);
    status.volume = info.dwVolumeSerialNumber;
    status.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return status;
}
