#pragma once
// `camera-host inspect`: the recording as the module will replay it, worked
// out with the module's own core (folder walk, camera modes, read order)
// but without loading the module, plus the warnings a user wants before a
// long run.

#include "Options.h"

// Returns the process exit status: 0 nothing to warn about, 1 warnings or
// the recording cannot be read.
int runInspect(const Options& options);
