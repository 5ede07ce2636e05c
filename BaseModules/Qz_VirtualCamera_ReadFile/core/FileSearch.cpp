#include "FileSearch.h"

#include "BrokenLink.h"
#include "FolderTraversal.h"

void searchFiles(const std::string& folder, std::vector<std::string>& files,
                 const std::string& ending, const LogSink& log, std::vector<std::string>* entered)
{
    TraversalRules rules;
    rules.ending = ending;
    rules.entry = [&](const std::string& path, const FindData& entry) {
        if (entry.kind == EntryKind::BrokenLink) {
            logTo(log, brokenLinkWarning(path, entry.linkError));
            return Step::Next;
        }
        // Anything else is a file to read, whose read then says what is wrong.
        warnOfNameWindowsCannotOpen(entry.kind == EntryKind::Folder ? "folder" : "file", entry.name, path, log);
        files.push_back(path);
        if (entry.kind != EntryKind::Folder)
            return Step::Next;
        if (entered)
            entered->push_back(path);
        return Step::Enter;
    };
    rules.leadsBack = [&](const std::string& path) {
        logTo(log, "folder leads back to one it is inside, not searched: " + path);
    };
    rules.listingFailed = [&](const std::string& listed, const std::string& error) {
        logTo(log, "cannot list folder " + listed + ": " + error);
        return Step::Next;
    };
    traverseFolders(folder, rules);
}
