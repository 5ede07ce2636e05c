#include "CaptureFolders.h"

#include "BrokenLink.h"
#include "PlatformPaths.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <system_error>

namespace fs = std::filesystem;

namespace {

struct Pending {
    fs::path folder;
    std::size_t depth;  // 0 for the root
};

// What an entry is, links followed; on its own path type (wide on Windows).
EntryStatus statusOf(const fs::directory_entry& entry)
{
    std::error_code followError;
    const fs::file_status target = fs::status(entry.path(), followError);
    if (!followError)
        return {fs::is_directory(target) ? EntryKind::Folder : EntryKind::File, {}};
    std::error_code ownError;
    if (fs::is_symlink(fs::symlink_status(entry.path(), ownError)))
        return {EntryKind::BrokenLink, followError};
    if (target.type() == fs::file_type::not_found)
        return {EntryKind::Missing, followError};
    return {EntryKind::Unknown, followError};
}

// Folder entries of `folder`, in the order the home platform lists them.
std::vector<fs::path> subFolders(const fs::path& folder, const LogSink& log)
{
    // Each folder keeps the path the listing gave: a name taken out as a
    // narrow string and joined back may not name the same entry on Windows.
    std::map<std::string, fs::path> byName;  // UTF-8 name, for the order only
    std::vector<std::string> names;
    std::vector<std::string> brokenLinks;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        const EntryStatus status = statusOf(entry);
        switch (status.kind) {
        case EntryKind::Folder:
            names.push_back(entry.path().filename().u8string());
            byName.emplace(names.back(), entry.path());
            break;
        case EntryKind::BrokenLink:
            brokenLinks.push_back(brokenLinkWarning(entry.path().u8string(), status.error));
            break;
        case EntryKind::Unknown:  // might be a folder: the walk cannot go on
            throw fs::filesystem_error("status", entry.path(), status.error);
        case EntryKind::File:
        case EntryKind::Missing:
            break;
        }
    }
    // Reported in a fixed order: the lines differ only after the folder path.
    orderLikeFileSystem(brokenLinks);
    for (const std::string& warning : brokenLinks)
        logTo(log, warning);
    orderLikeFileSystem(names);
    std::vector<fs::path> paths;
    paths.reserve(names.size());
    for (const std::string& name : names)
        paths.push_back(byName.at(name));
    return paths;
}

// Iterative, so a very deep tree cannot exhaust the stack.
void walk(const fs::path& root, std::vector<std::string>& folders, const LogSink& log)
{
    std::vector<Pending> pending{{root, 0}};
    std::vector<FolderId> ancestors;  // ids of the folders on the current path
    while (!pending.empty()) {
        const Pending current = pending.back();
        pending.pop_back();
        ancestors.resize(current.depth);

        FolderId id;
        const bool known = folderIdOf(current.folder.u8string(), id);
        if (known && std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end()) {
            logTo(log, "folder leads back to one it is inside, not walked: " + current.folder.u8string());
            continue;
        }
        if (current.depth > 0)
            folders.push_back(current.folder.u8string());
        ancestors.push_back(known ? id : FolderId{});

        const std::vector<fs::path> children = subFolders(current.folder, log);
        for (auto child = children.rbegin(); child != children.rend(); ++child)
            pending.push_back({*child, current.depth + 1});
    }
}

}  // namespace

bool collectFolders(const std::string& root, std::vector<std::string>& folders,
                    std::string& error, const LogSink& log)
{
    if (root.find('\0') != std::string::npos) {
        error = "cannot open folder: the path holds a NUL character: " + root.substr(0, root.find('\0'));
        return false;
    }
    if (root.empty()) {
        error = "cannot open folder: the root folder path is empty";
        return false;
    }
    try {
        walk(fs::u8path(root), folders, log);
        return true;
    } catch (const std::exception& e) {
        error = e.what();
        // "~" is the shell's: inside a parameter string nothing expands it.
        if (root[0] == '~')
            error += " (a leading ~ is not expanded here: give the full path)";
        return false;
    }
}
