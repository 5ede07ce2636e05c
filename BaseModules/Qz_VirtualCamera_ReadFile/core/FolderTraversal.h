#pragma once
// The one walk over a folder tree that the capture-folder walk and the file
// search share: depth first and pre-order, without recursion, so a tree as
// deep as paths allow costs heap, never the calling thread's stack (a host
// may call with a small one). Each folder is listed with listFolder; the
// folders from the start down to the one being listed are kept, so an entry
// that leads back to one of them is recognised and never entered. What is
// kept and what is entered, the walker decides.

#include "Log.h"
#include "PlatformPaths.h"

#include <functional>
#include <string>

// What the walker makes of one entry.
enum class Step {
    Next,   // go on with the entry after it
    Enter,  // a folder: go through its entries now, before the one after it
    Stop,   // end the traversal
};

struct TraversalRules {
    // Entries listed: names ending in this; "." and ".." never reach `entry`.
    std::string ending;
    // Every listed entry in the listing's order, with folder + separator +
    // name. A folder whose identity cannot be told comes as Missing (gone
    // since it was listed) or Unknown, with the reason.
    std::function<Step(const std::string& path, const FindData& entry)> entry;
    // A folder that leads back to the start or to a folder on the way down:
    // it does not reach `entry` and is not entered.
    std::function<void(const std::string& path)> leadsBack;
    // `folder` could not be listed to its end (`error`: the system's
    // message); the entries listed before the failure still come. Stop ends
    // the traversal.
    std::function<Step(const std::string& folder, const std::string& error)> listingFailed;
};

// Goes through the tree below `start` (which itself reaches no rule except
// listingFailed). False when a rule answered Stop.
bool traverseFolders(const std::string& start, const TraversalRules& rules);

// One warning on `log` when Windows cannot open the entry `name` at `path`
// (a "folder" or a "file") by that name: the module still reads it, through
// the long form of its path, but the user's own tools may not.
void warnOfNameWindowsCannotOpen(const char* what, const std::string& name, const std::string& path,
                                 const LogSink& log);
