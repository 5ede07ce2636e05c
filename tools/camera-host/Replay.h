#pragma once
// `camera-host replay`: drives a camera module as a host does and reports
// every frame it hands over.

#include "Options.h"

// Returns the process exit status (0 done, 1 failed).
int runReplay(const Options& options);
