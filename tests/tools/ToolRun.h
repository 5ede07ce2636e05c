#pragma once
// Runs the built tools as a user would, and makes small recordings for them.

#include "Files.h"
#include "Images.h"
#include "TempFolder.h"

#include <string>
#include <vector>

struct ToolResult {
    int exitCode = -1;  // -1 when the tool crashed, did not start or did not finish
    std::string out;    // standard output, with "\n" line ends on every platform
    std::string err;    // standard error
};

// Runs `program` with `args` (standard input empty) and waits for it, at most
// TOOL_TIME_LIMIT_SECONDS: a tool that hangs is killed and its result says so.
ToolResult runTool(const std::string& program, const std::vector<std::string>& args);

// The ending --save gives an 8- or 16-bit image and --sheet takes: ".png", or
// ".tiff" where OpenCV writes no PNG (the Windows build).
const std::string& imageEnding();

// The sample recording, made once per test process.
const std::string& sampleRecording();

// A file that names the other Qt major's Core as a module file does (made
// once per test process).
const std::string& otherQtModule();

// Lines of `text` that start with `prefix`.
std::vector<std::string> linesStartingWith(const std::string& text, const std::string& prefix);
