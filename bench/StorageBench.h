#pragma once
// The module where a host's recordings really are and as stations run it:
// on slow storage (a FUSE file system that adds a delay to every request, a
// stand-in for a network share), from a cold page cache, and as four cameras
// of one station. Each part adds its figures, or why it was skipped, to the
// table.

#include "Measure.h"
#include "Recording.h"

#include <string>
#include <vector>

// camera1 through a FUSE mount adding 2 ms a request: the host thread's
// requests per frame handed over from a read-ahead (target: files + 3), and
// the period with the host working 20 ms and 300 ms a frame, read-ahead on
// and off (targets: on <= off; on <= 0.75 off). `frames` frames per figure.
void measureSlowStorage(ResultsTable& table, const FrameShape& camera1, const std::string& scratch, int frames);

// camera1 replayed with the page cache dropped before each pass over the
// recording (root only), the host working A (the warm direct loop) per
// frame, read-ahead on: the period beside the I/O floor (a frame's files
// read cold) and the decode floor (a frame decoded on two threads, warm).
// Target: period <= 1.15 max(A, I/O, decode): the host's own work A is a
// floor of the period too. `rounds` passes.
void measureColdStorage(ResultsTable& table, const FrameShape& camera1, const std::string& scratch, int rounds);

// Four cameras of one station, each loaded from its own copy of the module
// and driven by its own host thread that waits W = its A on each frame, as a
// host waits for an inspection's outcome: the station's period (every
// camera's frame once) beside the slowest camera's alone. Target: <= 1.15.
void measureStation(ResultsTable& table, const std::vector<FrameShape>& shapes, const std::string& scratch,
                    int frames);
