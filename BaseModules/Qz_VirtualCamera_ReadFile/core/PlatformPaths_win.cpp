// Windows side of the platform layer: the listing is the run-time library's
// wide wildcard search, in the file system's own entry order.

#include "Names.h"
#include "PlatformPaths.h"
#include "WindowsText.h"

#include <io.h>
#include <windows.h>

#include <vector>

const char kPathSeparator[] = "\\";

namespace {

// Opens the file or folder at `path` for its attributes only, following
// links; FILE_FLAG_BACKUP_SEMANTICS is needed to open a folder.
HANDLE openFollowingLinks(const std::string& path)
{
    return CreateFileW(wideFromUtf8(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

// The reasons a link cannot be followed, as the portable conditions the
// POSIX side reports, so both word them the same.
std::error_code lastErrorCode()
{
    const DWORD error = GetLastError();
    switch (error) {
    case ERROR_CANT_RESOLVE_FILENAME:
        return std::make_error_code(std::errc::too_many_symbolic_link_levels);
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return std::make_error_code(std::errc::no_such_file_or_directory);
    case ERROR_ACCESS_DENIED:
        return std::make_error_code(std::errc::permission_denied);
    case ERROR_FILENAME_EXCED_RANGE:
        return std::make_error_code(std::errc::filename_too_long);
    default:
        return {static_cast<int>(error), std::system_category()};
    }
}

// The search also matches 8.3 short names ("x.bmpx" is "X~1.BMP"), so each
// match's long name is checked against the ending again.
bool isWanted(const _wfinddata64_t& info, const std::string& ending)
{
    return nameEndsWith(utf8FromWide(info.name), ending);
}

// The search reports a link itself; only a link needs following to tell
// what it leads to.
FindData findDataOf(const std::string& folder, const _wfinddata64_t& info)
{
    FindData out;
    out.name = utf8FromWide(info.name);
    out.kind = (info.attrib & _A_SUBDIR) != 0 ? EntryKind::Folder : EntryKind::File;
    if ((info.attrib & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return out;
    const EntryStatus status = entryStatusOf(folder + kPathSeparator + out.name);
    out.kind = status.kind;
    out.linkError = status.error;
    return out;
}

// Owns the run-time library's search, so it is closed on every way out.
struct SearchCloser {
    intptr_t search;
    ~SearchCloser()
    {
        if (search != -1)
            _findclose(search);
    }
};

}  // namespace

// What the entry at `path` is, following links.
EntryStatus entryStatusOf(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(wideFromUtf8(path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        const std::error_code error = lastErrorCode();
        if (error == std::errc::no_such_file_or_directory)
            return {EntryKind::Missing, error};
        return {EntryKind::Unknown, error};
    }
    if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        return {(attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder : EntryKind::File, {}};

    HANDLE file = openFollowingLinks(path);
    if (file == INVALID_HANDLE_VALUE)
        return {EntryKind::BrokenLink, lastErrorCode()};
    BY_HANDLE_FILE_INFORMATION info {};
    const bool known = GetFileInformationByHandle(file, &info) != 0;
    const std::error_code error = known ? std::error_code() : lastErrorCode();
    CloseHandle(file);
    if (!known)
        return {EntryKind::BrokenLink, error};
    return {(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? EntryKind::Folder : EntryKind::File, {}};
}

bool listFolder(const std::string& folder, const std::string& ending, std::vector<FindData>& entries,
                std::string& error)
{
    entries.clear();
    const std::string pattern = folder + kPathSeparator + "*" + ending;
    _wfinddata64_t info {};
    const SearchCloser search{_wfindfirst64(wideFromUtf8(pattern).c_str(), &info)};
    if (search.search == -1) {
        // Nothing matching is no failure; a folder that cannot be read is.
        if (GetLastError() == ERROR_FILE_NOT_FOUND)
            return true;
        error = lastErrorText();
        return false;
    }
    do {
        if (isWanted(info, ending))
            entries.push_back(findDataOf(folder, info));
    } while (_wfindnext64(search.search, &info) == 0);
    if (GetLastError() == ERROR_NO_MORE_FILES)
        return true;
    error = lastErrorText();
    return false;
}

bool folderIdOf(const std::string& path, FolderId& id)
{
    HANDLE file = openFollowingLinks(path);
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

std::string rootFolderAsUtf8(const std::string& bytes)
{
    if (isUtf8(bytes)) {
        const DWORD attributes = GetFileAttributesW(wideFromUtf8(bytes).c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
            return bytes;
    }
    return utf8FromAnsi(bytes);
}
