#include "CaptureFolders.h"

#include "BrokenLink.h"
#include "FolderTraversal.h"

#include <exception>

namespace {

// Goes through every entry below `root`; false with `error` set on the first
// folder that cannot be listed or entry whose kind cannot be told.
bool walk(const std::string& root, std::vector<std::string>& folders, std::string& error, const LogSink& log)
{
    TraversalRules rules;
    rules.entry = [&](const std::string& path, const FindData& entry) {
        if (entry.kind == EntryKind::Folder)
            warnOfNameWindowsCannotOpen("folder", entry.name, path, log);
        switch (entry.kind) {
        case EntryKind::Folder:
            folders.push_back(path);
            return Step::Enter;
        case EntryKind::BrokenLink:
            logTo(log, brokenLinkWarning(path, entry.linkError));
            return Step::Next;
        case EntryKind::Unknown:  // might be a folder: the walk cannot go on
            error = "cannot tell what this entry is (status: " + entry.linkError.message() + "): " + path;
            return Step::Stop;
        case EntryKind::File:
        case EntryKind::Missing:
            break;
        }
        return Step::Next;
    };
    rules.leadsBack = [&](const std::string& path) {
        logTo(log, "folder leads back to one it is inside, not walked: " + path);
    };
    rules.listingFailed = [&](const std::string& folder, const std::string& why) {
        error = "cannot list folder " + folder + ": " + why;
        return Step::Stop;
    };
    return traverseFolders(root, rules);
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
    std::size_t end = root.size();
    while (end > 1 && (root[end - 1] == '/' || root[end - 1] == '\\'))
        --end;  // "C:\\rec\\" names "rec"
    const std::size_t start = root.find_last_of("/\\", end - 1) + 1;  // npos + 1 is 0
    const std::string last = root.substr(start, end - start);
    if (!last.empty() && (last.back() == ' ' || last.back() == '.') && !nameWindowsCannotOpen(last).empty()) {
        error = "cannot open folder: Windows cannot open a folder by a name that ends in " +
                std::string(last.back() == ' ' ? "a space" : "a dot") + ": \"" + root + "\"";
        return false;
    }
    try {
        if (walk(root, folders, error, log))
            return true;
    } catch (const std::exception& e) {
        error = e.what();
    }
    // "~" is the shell's: inside a parameter string nothing expands it.
    if (root[0] == '~')
        error += " (a leading ~ is not expanded here: give the full path)";
    return false;
}
