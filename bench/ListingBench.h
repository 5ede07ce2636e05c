#pragma once
// The listing helpers against a plain std::filesystem walk of the same tree:
// searchFiles on a folder of 10,000 files, collectFolders over a tree of
// 10,000 folders. Both must stay within 2x (their order costs a sort).

#include "Measure.h"

#include <string>

// Makes the folders under `scratch`; each side is timed `runs` times.
void measureListing(ResultsTable& table, const std::string& scratch, int runs);
