#include "FolderTraversal.h"

#include <algorithm>
#include <utility>
#include <vector>

namespace {

// A folder being gone through: its entries and the next one to look at.
struct Level {
    std::string folder;
    std::vector<FindData> entries;
    std::size_t next = 0;
};

// folder + separator + name; a folder given with a trailing separator gets
// no second one.
std::string joined(const std::string& folder, const std::string& name)
{
    if (!folder.empty() && (folder.back() == '/' || folder.back() == kPathSeparator[0]))
        return folder + name;
    return folder + kPathSeparator + name;
}

class Traversal {
public:
    explicit Traversal(const TraversalRules& rules) : rules_(rules) {}

    bool run(const std::string& start)
    {
        FolderId id;
        if (!enter(start, folderIdOf(start, id) ? id : FolderId{}))
            return false;
        while (!levels_.empty()) {
            Level& level = levels_.back();
            if (level.next == level.entries.size()) {
                levels_.pop_back();
                ancestors_.pop_back();
                continue;
            }
            FindData entry = std::move(level.entries[level.next++]);
            if (entry.name == "." || entry.name == "..")
                continue;
            const std::string path = joined(level.folder, entry.name);
            if (entry.kind == EntryKind::Folder && !identify(path, entry, id))
                continue;
            const Step step = rules_.entry(path, entry);
            if (step == Step::Stop)
                return false;
            if (step == Step::Enter && entry.kind == EntryKind::Folder && !enter(path, id))
                return false;
        }
        return true;
    }

private:
    // A listed folder's identity; false when it leads back to a folder on
    // the way down (reported). One whose identity cannot be told is no
    // folder to enter: it becomes Missing or Unknown.
    bool identify(const std::string& path, FindData& entry, FolderId& id)
    {
        if (!folderIdOf(path, id)) {
            const EntryStatus status = entryStatusOf(path);
            entry.kind = status.kind == EntryKind::Folder ? EntryKind::Unknown : status.kind;
            entry.linkError = status.error;
            return true;
        }
        if (std::find(ancestors_.begin(), ancestors_.end(), id) == ancestors_.end())
            return true;
        rules_.leadsBack(path);
        return false;
    }

    bool enter(const std::string& folder, const FolderId& id)
    {
        Level level{folder, {}, 0};
        std::string error;
        if (!listFolder(folder, rules_.ending, level.entries, error) &&
            rules_.listingFailed(folder, error) == Step::Stop)
            return false;
        levels_.push_back(std::move(level));
        ancestors_.push_back(id);
        return true;
    }

    const TraversalRules& rules_;
    std::vector<Level> levels_;
    std::vector<FolderId> ancestors_;  // one per level; unknown ones are {0, 0}
};

}  // namespace

bool traverseFolders(const std::string& start, const TraversalRules& rules)
{
    return Traversal(rules).run(start);
}

void warnOfNameWindowsCannotOpen(const char* what, const std::string& name, const std::string& path,
                                 const LogSink& log)
{
    const std::string why = nameWindowsCannotOpen(name);
    if (!why.empty())
        logTo(log, std::string("Windows cannot open this ") + what + " by its name (" + why +
                       "), read through its long form: " + path);
}
