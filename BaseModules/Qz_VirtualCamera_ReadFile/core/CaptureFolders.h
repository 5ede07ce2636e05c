#pragma once
// The capture folders of a recording: every folder below the root, at any
// depth, depth first and pre-order (a folder comes right before its own
// sub-folders). The root itself and plain files are never listed. Links to
// folders are followed, except a link back to the folder being walked or one
// of its ancestors, which is passed over and reported on `log`. A link that
// cannot be followed (a loop, a dangling target, no permission on the way) is
// neither folder nor file: passed over and reported on `log`, one line each.
// Paths are the root as given joined with entry names; a root given with a
// trailing separator yields the same paths as without.

#include "Log.h"

#include <string>
#include <vector>

// Appends the capture folders under `root` to `folders`; a root without
// sub-folders appends nothing and succeeds. On an error (root missing, not a
// folder, an empty path, unreadable, an entry that is no link and whose kind
// cannot be told, or any other failure of the walk)
// returns false with `error` naming the cause and the path concerned;
// `folders` then holds what was appended before the error.
bool collectFolders(const std::string& root, std::vector<std::string>& folders,
                    std::string& error, const LogSink& log = {});
