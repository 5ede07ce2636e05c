#pragma once
// Per-frame comparison of one frame shape: A direct imread loop, B the
// module, C OpenCV's image-sequence reader (single-file frames), D the bare
// bytes. Adds the medians, the ratios and their targets to the table.

#include "Measure.h"
#include "Recording.h"

#include <string>

// `scratch` receives the module copy; `rounds` frames are read per method;
// `note`, when not empty, is added to the shape's title in the table.
void measureFrameShape(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int rounds,
                       const std::string& note);

// What a call that reaches the module's state costs with nobody else calling:
// getImages on an empty buffer (entry guard, the module-wide lock, the empty
// check), per call.
void measureCallCost(ResultsTable& table, const FrameShape& shape, const std::string& scratch);
