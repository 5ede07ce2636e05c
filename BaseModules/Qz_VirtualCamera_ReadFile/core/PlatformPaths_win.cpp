// Windows side of the platform layer: the listing is the run-time library's
// wide wildcard search, in the file system's own entry order. Every path is
// turned into its `\\?\` form (fileCallPath) where it enters here, so folders
// and files past MAX_PATH are reached; callers keep the path as given.

#include "ExtendedPath.h"
#include "Names.h"
#include "PlatformPaths.h"
#include "WindowsText.h"

#include <io.h>
#include <windows.h>

#include <cctype>
#include <vector>

const char kPathSeparator[] = "\\";

namespace {

// The path as Windows' file calls take it whole (`\\?\` form), in UTF-16.
std::wstring callPath(const std::string& path)
{
    return wideFromUtf8(fileCallPath(path));
}

// Opens the file or folder at `path` (already in call form) for its
// attributes only, following links; FILE_FLAG_BACKUP_SEMANTICS is needed to
// open a folder.
HANDLE openFollowingLinks(const std::wstring& path)
{
    return CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
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
EntryStatus entryStatusOf(const std::string& given)
{
    const std::wstring path = callPath(given);
    const DWORD attributes = GetFileAttributesW(path.c_str());
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
    const SearchCloser search{_wfindfirst64(callPath(pattern).c_str(), &info)};
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
    HANDLE file = openFollowingLinks(callPath(path));
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

std::string rootFolderAsUtf8(const std::string& bytes, std::string& warning)
{
    const auto isFolder = [](const std::string& utf8) {
        const DWORD attributes = GetFileAttributesW(callPath(utf8).c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    };
    const std::string ansi = utf8FromAnsi(bytes);
    if (isUtf8(bytes) && isFolder(bytes)) {
        if (ansi != bytes && isFolder(ansi))
            warning = "the root folder's bytes name two folders: \"" + bytes + "\" read as UTF-8 and \"" + ansi +
                      "\" read in the ANSI code page " + std::to_string(GetACP()) + "; taking \"" + bytes + "\"";
        return bytes;
    }
    return ansi;
}

std::string nameWindowsCannotOpen(const std::string& name)
{
    if (name.empty() || name == "." || name == "..")
        return {};
    if (name.back() == '.')
        return "the name ends in a dot";
    if (name.back() == ' ')
        return "the name ends in a space";
    for (const char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || std::string("<>:\"/\\|?*").find(c) != std::string::npos)
            return std::string("the name holds the character '") +
                   (static_cast<unsigned char>(c) < 0x20 ? std::string("\\x") + "0123456789abcdef"[(c >> 4) & 15] +
                                                               "0123456789abcdef"[c & 15]
                                                         : std::string(1, c)) +
                   "'";
    }
    // A device name, with or without an extension, spaces before it ignored.
    std::string base = name.substr(0, name.find('.'));
    while (!base.empty() && base.back() == ' ')
        base.pop_back();
    for (char& c : base)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                          base[3] >= '1' && base[3] <= '9';
    if (numbered || base == "CON" || base == "PRN" || base == "AUX" || base == "NUL")
        return "\"" + base + "\" is a reserved device name";
    return {};
}
