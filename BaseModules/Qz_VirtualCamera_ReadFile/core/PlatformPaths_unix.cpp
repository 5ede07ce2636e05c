// POSIX side of the platform layer. The wildcard search is built from
// opendir/readdir and yields matches in the order NTFS would list them, so a
// recording replays in the same order here as on the home platform.

#include "Names.h"
#include "PlatformPaths.h"

#include <dirent.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstddef>
#include <memory>
#include <utility>

const char kPathSeparator[] = "/";

struct FindHandle {
    std::vector<FindData> matches;
    std::size_t next = 0;
};

namespace {

struct Entry {
    std::string name;
    unsigned char type;  // readdir's d_type
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

// The folder is closed on every way out, also when keeping a name fails for
// want of memory.
std::vector<Entry> readEntries(const std::string& folder)
{
    std::vector<Entry> entries;
    const std::unique_ptr<DIR, DirCloser> dir(::opendir(folder.empty() ? "/" : folder.c_str()));
    if (!dir)
        return entries;
    while (const dirent* entry = ::readdir(dir.get()))
        entries.push_back({entry->d_name, entry->d_type});
    return entries;
}

std::error_code errnoCode(int number)
{
    return {number, std::generic_category()};
}

// What the entry at `path` is, following links.
EntryStatus entryStatusOf(const std::string& path)
{
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0)
        return {S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File, {}};
    const int followError = errno;
    struct stat own {};
    if (::lstat(path.c_str(), &own) == 0 && S_ISLNK(own.st_mode))
        return {EntryKind::BrokenLink, errnoCode(followError)};
    // Not a link: either it went away after it was listed, or it cannot be seen.
    if (followError == ENOENT || followError == ENOTDIR)
        return {EntryKind::Missing, errnoCode(followError)};
    return {EntryKind::Unknown, errnoCode(followError)};
}

// readdir already says what most entries are; only a link (followed, like
// the home platform does) or a file system that does not say needs a stat.
// An entry whose kind cannot be told is listed as a file (reading it then
// fails on its own); only a link that cannot be followed is passed over.
FindData matchOf(const std::string& folder, const Entry& entry)
{
    if (entry.type == DT_DIR)
        return {entry.name, EntryKind::Folder, {}};
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return {entry.name, EntryKind::File, {}};
    const EntryStatus status = entryStatusOf(folder + kPathSeparator + entry.name);
    switch (status.kind) {
    case EntryKind::Folder:
        return {entry.name, EntryKind::Folder, {}};
    case EntryKind::BrokenLink:
        return {entry.name, EntryKind::BrokenLink, status.error};
    default:
        return {entry.name, EntryKind::File, {}};
    }
}

bool fillNext(FindHandle* handle, FindData& out)
{
    if (handle->next >= handle->matches.size())
        return false;
    out = handle->matches[handle->next++];
    return true;
}

}  // namespace

FindHandle* findFirst(const std::string& folder, const std::string& ending, FindData& first)
{
    std::vector<Entry> matching;
    std::vector<std::string> names;
    for (Entry& entry : readEntries(folder)) {
        const bool dots = entry.name == "." || entry.name == "..";
        if ((dots && !ending.empty()) || !nameEndsWith(entry.name, ending))
            continue;
        names.push_back(entry.name);
        matching.push_back(std::move(entry));
    }

    auto handle = std::make_unique<FindHandle>();
    handle->matches.reserve(matching.size());
    for (const std::size_t index : ntfsOrderOf(names))
        handle->matches.push_back(matchOf(folder, matching[index]));
    if (!fillNext(handle.get(), first))
        return nullptr;
    return handle.release();
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
    std::vector<std::string> ordered;
    ordered.reserve(names.size());
    for (const std::size_t index : ntfsOrderOf(names))
        ordered.push_back(std::move(names[index]));
    names.swap(ordered);
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

std::string rootFolderAsUtf8(const std::string& bytes)
{
    return bytes;  // the file system takes bytes as they are
}
