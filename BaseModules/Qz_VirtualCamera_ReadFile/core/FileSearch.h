#pragma once
// Lists the files of one capture folder by name ending.

#include "Log.h"

#include <string>
#include <vector>

// Appends folder + kPathSeparator + name for every entry of `folder` whose
// name ends in `ending` (upper and lower case alike; "imagebmp" ends in
// "bmp"). A matching sub-folder is listed itself and then searched the same
// way, before the entries that follow it; a non-matching one is not entered.
// A folder that cannot be listed to its end (missing, unreadable, a failing
// file system) gives what was listed before the failure and one line on
// `log` naming it and the system's message. When `entered` is given, each
// sub-folder searched is appended to it too. A matching sub-folder that
// leads back to the folder being searched or one of its ancestors is neither
// listed nor entered, and is reported on `log`. A matching link that cannot be
// followed (a loop, a dangling target, no permission on the way) is neither
// file nor folder: not listed, and reported on `log`.
void searchFiles(const std::string& folder, std::vector<std::string>& files,
                 const std::string& ending, const LogSink& log = {},
                 std::vector<std::string>* entered = nullptr);
