// POSIX side of the platform layer. The wildcard search is built from
// opendir/readdir and yields matches in the order NTFS would list them, so a
// recording replays in the same order here as on the home platform.

#include "Names.h"
#include "Platform.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstddef>

const char kPathSeparator[] = "/";

struct FindHandle {
    std::vector<FindData> matches;
    std::size_t next = 0;
};

namespace {

bool isFolderPath(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Splits "folder/*ending" into its folder and its ending.
bool splitPattern(const std::string& pattern, std::string& folder, std::string& ending)
{
    const std::string marker = std::string(kPathSeparator) + "*";
    const std::size_t at = pattern.rfind(marker);
    if (at == std::string::npos)
        return false;
    folder = pattern.substr(0, at);
    ending = pattern.substr(at + marker.size());
    return true;
}

struct Entry {
    std::string name;
    unsigned char type;  // readdir's d_type
};

std::vector<Entry> readEntries(const std::string& folder)
{
    std::vector<Entry> entries;
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir))
        entries.push_back({entry->d_name, entry->d_type});
    ::closedir(dir);
    return entries;
}

// readdir already says what most entries are; only a link (followed, like
// the home platform does) or a file system that does not say needs a stat.
bool isFolderEntry(const std::string& folder, const Entry& entry)
{
    if (entry.type == DT_DIR)
        return true;
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return false;
    return isFolderPath(folder + kPathSeparator + entry.name);
}

bool fillNext(FindHandle* handle, FindData& out)
{
    if (handle->next >= handle->matches.size())
        return false;
    out = handle->matches[handle->next++];
    return true;
}

}  // namespace

FindHandle* findFirst(const std::string& pattern, FindData& first)
{
    std::string folder;
    std::string ending;
    if (!splitPattern(pattern, folder, ending))
        return nullptr;
    std::vector<Entry> entries = readEntries(folder);
    std::sort(entries.begin(), entries.end(),
              [](const Entry& a, const Entry& b) { return ntfsNameLess(a.name, b.name); });

    auto* handle = new FindHandle;
    for (const Entry& entry : entries) {
        const bool dots = entry.name == "." || entry.name == "..";
        if ((dots && !ending.empty()) || !nameEndsWith(entry.name, ending))
            continue;
        handle->matches.push_back({entry.name, isFolderEntry(folder, entry)});
    }
    if (!fillNext(handle, first)) {
        delete handle;
        return nullptr;
    }
    return handle;
}

bool findNext(FindHandle* handle, FindData& next)
{
    return handle != nullptr && fillNext(handle, next);
}

void findClose(FindHandle* handle)
{
    delete handle;
}

void orderLikeFileSystem(std::vector<std::string>& names)
{
    std::sort(names.begin(), names.end(), ntfsNameLess);
}

bool folderIdOf(const std::string& path, FolderId& id)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    id.volume = static_cast<std::uint64_t>(info.st_dev);
    id.index = static_cast<std::uint64_t>(info.st_ino);
    return true;
}
