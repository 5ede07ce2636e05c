#pragma once
// Per-frame comparison of one frame shape: A direct imread loop, B the
// module, C OpenCV's image-sequence reader (single-file frames), D the bare
// bytes, E A behind an idle thread's start and end (single-file frames).
// Adds the medians, the ratios and their targets to the table.

#include "Measure.h"
#include "Recording.h"

#include <string>

// `scratch` receives the module copy; `rounds` frames are read per method;
// `note`, when not empty, is added to the shape's title in the table. The
// module is measured with read-ahead off: these are the costs of a grab made
// at run, which read-ahead hides only when the host works between runs.
void measureFrameShape(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int rounds,
                       const std::string& note);

// What a call that reaches the module's state costs with nobody else calling:
// getImages on an empty buffer (entry guard, the module-wide lock, the empty
// check), per call.
void measureCallCost(ResultsTable& table, const FrameShape& shape, const std::string& scratch);

// A host that works W on each frame (a busy loop, as an inspection keeps a
// CPU busy) between getImages and the next run, for W = 0, A/2, A and 2A,
// with the module's read-ahead on and off: the frame period beside A + W.
// `frames` frames per block; two blocks per mode and W, interleaved.
void measureHostWorks(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int frames);

// How long destory takes right after a run and half a file's decode later,
// while the object's worker reads the next frame ahead, beside one file's
// decode (the frame's slowest file): destory stops a read-ahead between
// files, so it waits for at most the files being decoded then. Read-ahead on.
void measureDestoryLatency(ResultsTable& table, const FrameShape& shape, const std::string& scratch);

// Tiny frames back to back, as a host that does nothing between runs: A the
// direct loop, B the module with read-ahead on and with it off, in blocks of
// frames that alternate. With nothing to overlap, read-ahead must cost
// nothing: B on - A and B on / B off are checked. `note` names the CPUs.
void measureBackToBack(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int rounds,
                       const std::string& note);

// Two objects of one loaded module driven in turn by a host that works A
// between runs, read-ahead on, beside one object with read-ahead off: they
// share one cursor, so neither may read ahead, and each file must be read
// once per image (CPU time per frame alike) with nothing held ahead.
void measureTwoObjects(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int frames);

// Read-ahead on or off for the module objects of this process.
void setReadAhead(bool on);
