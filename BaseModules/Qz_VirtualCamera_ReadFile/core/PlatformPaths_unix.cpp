// POSIX side of the platform layer. The listing is built from
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

namespace {

struct Entry {
    std::string name;
    unsigned char type;  // readdir's d_type
};

struct DirCloser {
    void operator()(DIR* dir) const { ::closedir(dir); }
};

std::error_code errnoCode(int number)
{
    return {number, std::generic_category()};
}

// stat(2) and lstat(2), made again when a signal interrupts them.
int statOf(const std::string& path, struct stat& info)
{
    int result;
    do
        result = ::stat(path.c_str(), &info);
    while (result != 0 && errno == EINTR);
    return result;
}

int linkStatOf(const std::string& path, struct stat& info)
{
    int result;
    do
        result = ::lstat(path.c_str(), &info);
    while (result != 0 && errno == EINTR);
    return result;
}

DIR* openFolder(const std::string& folder)
{
    DIR* dir;
    do
        dir = ::opendir(folder.empty() ? "/" : folder.c_str());
    while (!dir && errno == EINTR);
    return dir;
}

// The entries of `folder` whose names end in `ending`, as readdir gives them.
// The folder is closed on every way out, also when keeping a name fails for
// want of memory. A failed readdir is told from the folder's end by errno.
bool readEntries(const std::string& folder, const std::string& ending, std::vector<Entry>& entries,
                 std::string& error)
{
    const std::unique_ptr<DIR, DirCloser> dir(openFolder(folder));
    if (!dir) {
        error = errnoCode(errno).message();
        return false;
    }
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(dir.get());
        if (entry) {
            const std::string name = entry->d_name;
            const bool dots = name == "." || name == "..";
            if ((!dots || ending.empty()) && nameEndsWith(name, ending))
                entries.push_back({name, entry->d_type});
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno == 0)
            return true;
        error = errnoCode(errno).message();
        return false;
    }
}

// readdir already says what most entries are; only a link (followed, like
// the home platform does) or a file system that does not say needs a stat.
FindData matchOf(const std::string& folder, const Entry& entry)
{
    if (entry.type == DT_DIR)
        return {entry.name, EntryKind::Folder, {}};
    if (entry.type != DT_LNK && entry.type != DT_UNKNOWN)
        return {entry.name, EntryKind::File, {}};
    const EntryStatus status = entryStatusOf(folder + kPathSeparator + entry.name);
    return {entry.name, status.kind, status.error};
}

}  // namespace

EntryStatus entryStatusOf(const std::string& path)
{
    struct stat info {};
    if (statOf(path, info) == 0)
        return {S_ISDIR(info.st_mode) ? EntryKind::Folder : EntryKind::File, {}};
    const int followError = errno;
    struct stat own {};
    if (linkStatOf(path, own) == 0 && S_ISLNK(own.st_mode))
        return {EntryKind::BrokenLink, errnoCode(followError)};
    // Not a link: either it went away after it was listed, or it cannot be seen.
    if (followError == ENOENT || followError == ENOTDIR)
        return {EntryKind::Missing, errnoCode(followError)};
    return {EntryKind::Unknown, errnoCode(followError)};
}

bool listFolder(const std::string& folder, const std::string& ending, std::vector<FindData>& entries,
                std::string& error)
{
    std::vector<Entry> matching;
    const bool whole = readEntries(folder, ending, matching, error);
    std::vector<std::string> names;
    names.reserve(matching.size());
    for (const Entry& entry : matching)
        names.push_back(entry.name);
    entries.clear();
    entries.reserve(matching.size());
    for (const std::size_t index : ntfsOrderOf(names))
        entries.push_back(matchOf(folder, matching[index]));
    return whole;
}

bool folderIdOf(const std::string& path, FolderId& id)
{
    struct stat info {};
    if (statOf(path, info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    id.volume = static_cast<std::uint64_t>(info.st_dev);
    id.index = static_cast<std::uint64_t>(info.st_ino);
    return true;
}

std::string rootFolderAsUtf8(const std::string& bytes, std::string& /*warning*/)
{
    return bytes;  // the file system takes bytes as they are
}

std::string nameWindowsCannotOpen(const std::string& /*name*/)
{
    return {};  // every name but "/" and NUL is a name here
}
