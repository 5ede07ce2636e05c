#pragma once
// Decoding the files of one frame: each file looked at first (only a regular
// file goes to the decoder), the files decoded side by side, the images kept
// in the planned order, one log line per file that gave no image. Touches no
// module state, so it serves the grab and the read-ahead alike.

#include "FileStatus.h"
#include "ModuleLog.h"

#include <opencv2/core/mat.hpp>

#include <functional>
#include <string>
#include <vector>

class CallingThreadHelp;

struct DecodedFrame {
    std::vector<std::string> paths;   // as planned
    std::vector<cv::Mat> images;      // one per path; empty where a file gave none
    std::vector<FileStatus> statuses; // each file as it was just before it was read
    bool unchangedWhileRead = true;   // every file's status the same after decoding
    bool complete = true;             // false when stopped between files
    CollectedLog log;                 // the lines about the files, in path order
};

// Decodes `paths`. Up to OpenCV's thread count of threads take part: the
// host thread announced in `callerHelp` (when there is one and the frame has
// several files), the calling thread, and helper threads. When `stopWanted`
// is given and answers true, no further file is started: the frame comes
// back incomplete after at most the files being decoded then. Throws only
// std::bad_alloc (memory ran out); every other failure of a file is an empty
// image and a line.
DecodedFrame decodeFrame(const std::vector<std::string>& paths, CallingThreadHelp* callerHelp,
                         const std::function<bool()>& stopWanted = {});

// Decodes `paths` one after another on the calling thread, starting no
// thread (a forked child: a child of a process with threads should start
// none, and ThreadSanitizer ends one that does). Throws only std::bad_alloc.
DecodedFrame decodeOnCallingThread(const std::vector<std::string>& paths);

// Test seam: when set, a stoppable decoding calls it before every file but
// the first, with its stop question, and goes on when it returns.
void setBetweenFilesForTesting(std::function<void(const std::function<bool()>& stopWanted)> hook);
