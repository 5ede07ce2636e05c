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

std::vector<std::string> readNames(const std::string& folder)
{
    std::vector<std::string> names;
    DIR* dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    if (!dir)
        return names;
    while (const dirent* entry = ::readdir(dir))
        names.emplace_back(entry->d_name);
    ::closedir(dir);
    return names;
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
    std::vector<std::string> names = readNames(folder);
    orderLikeFileSystem(names);

    auto* handle = new FindHandle;
    for (const std::string& name : names) {
        const bool dots = name == "." || name == "..";
        if ((dots && !ending.empty()) || !nameEndsWith(name, ending))
            continue;
        handle->matches.push_back({name, isFolderPath(folder + kPathSeparator + name)});
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
