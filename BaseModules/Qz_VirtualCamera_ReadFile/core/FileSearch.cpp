#include "FileSearch.h"

#include "BrokenLink.h"
#include "PlatformPaths.h"

#include <algorithm>
#include <memory>

namespace {

// Folders from the searched folder down to the one being listed.
using Ancestors = std::vector<FolderId>;

struct SearchCloser {
    void operator()(FindHandle* handle) const { findClose(handle); }
};

bool leadsBack(const std::string& folder, const Ancestors& ancestors)
{
    FolderId id;
    return folderIdOf(folder, id) &&
           std::find(ancestors.begin(), ancestors.end(), id) != ancestors.end();
}

void searchBelow(const std::string& folder, std::vector<std::string>& files,
                 const std::string& ending, const LogSink& log, Ancestors& ancestors)
{
    FindData entry;
    FindHandle* search = findFirst(folder, ending, entry);
    if (!search)
        return;
    const std::unique_ptr<FindHandle, SearchCloser> closer(search);
    do {
        const std::string path = folder + kPathSeparator + entry.name;
        if (entry.kind == EntryKind::BrokenLink) {
            logTo(log, brokenLinkWarning(path, entry.linkError));
            continue;
        }
        if (entry.kind != EntryKind::Folder) {
            files.push_back(path);
            continue;
        }
        if (entry.name == "." || entry.name == "..")
            continue;
        if (leadsBack(path, ancestors)) {
            logTo(log, "folder leads back to one it is inside, not searched: " + path);
            continue;
        }
        files.push_back(path);
        FolderId id;
        const bool known = folderIdOf(path, id);
        if (known)
            ancestors.push_back(id);
        searchBelow(path, files, ending, log, ancestors);
        if (known)
            ancestors.pop_back();
    } while (findNext(search, entry));
}

}  // namespace

void searchFiles(const std::string& folder, std::vector<std::string>& files,
                 const std::string& ending, const LogSink& log)
{
    Ancestors ancestors;
    FolderId id;
    if (folderIdOf(folder, id))
        ancestors.push_back(id);
    searchBelow(folder, files, ending, log, ancestors);
}
