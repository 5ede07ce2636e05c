// Windows side of FileStatus.h. The attributes come without opening
// anything; only a file or folder is then opened, for query only (no read
// access), to learn its identity. Links are followed.

#include "FileStatus.h"

#include <windows.h>

namespace {

// FILETIME counts 100 ns steps from 1601; the Unix epoch is 11644473600 s later.
std::int64_t unixNanoseconds(const FILETIME& time)
{
    const std::int64_t steps =
        static_cast<std::int64_t>((static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime);
    return (steps - 116444736000000000LL) * 100;
}

std::string lastErrorText()
{
    char text[256] = {};
    const DWORD code = GetLastError();
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0, text,
                        sizeof text, nullptr))
        return "system error " + std::to_string(code);
    std::string message(text);
    message.erase(message.find_last_not_of(" \r\n.") + 1);
    return message;
}

}  // namespace

FileStatus fileStatusOf(const std::string& path, std::string& error)
{
    FileStatus status;
    WIN32_FILE_ATTRIBUTE_DATA attributes {};
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &attributes)) {
        error = lastErrorText();
        return status;
    }
    if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DEVICE) {
        status.kind = FileKind::CharacterDevice;
        return status;
    }
    // FILE_FLAG_BACKUP_SEMANTICS is needed to open a folder.
    HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        error = lastErrorText();
        return status;
    }
    const DWORD type = GetFileType(file);
    BY_HANDLE_FILE_INFORMATION info {};
    const bool known = type == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) != 0;
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
    status.volume = info.dwVolumeSerialNumber;
    status.index = (static_cast<std::uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    return status;
}
