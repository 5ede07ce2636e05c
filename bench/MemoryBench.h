#pragma once
// Peak memory of many grabs with getImages after each, measured in a fresh
// process (this program again, with --memory-probe), so the allocator holds
// nothing from the other measurements and runs with glibc's defaults, as in
// a host.

#include "Measure.h"
#include "Recording.h"

#include <string>

// Adds the memory figures of `grabs` grabs of `shape` to the table.
void measureMemory(ResultsTable& table, const FrameShape& shape, int grabs);

// The probe itself, run in the fresh process: prints one line of figures
// for measureMemory. Returns the process's exit status.
int runMemoryProbe(const std::string& root, const std::string& camera, int folders, int grabs);
