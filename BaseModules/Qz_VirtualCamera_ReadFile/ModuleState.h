#pragma once
// State of the loaded module: one copy per loaded module file, shared by
// every module object that `create` made in the process. The host thread
// writes it in setParam/init/getImages; the worker writes the buffer and the
// cursor during a grab and publishes them by raising grabDone (release),
// which the host thread reads with acquire ordering before touching them.

#include <opencv2/core/mat.hpp>

#include <atomic>
#include <string>
#include <vector>

struct ModuleState {
    std::string param;                        // last text given to setParam
    std::string cameraName;                   // field 1
    std::string secondField;                  // field 2, stored only
    int thirdField = 0;                       // field 3, stored only
    std::string rootFolder;                   // field 4
    std::vector<std::string> captureFolders;  // replay order
    std::vector<cv::Mat> imageBuffer;         // grabbed, not yet collected
    int folderCursor = 0;                     // index of the next grab's folder
    std::atomic<bool> grabDone{false};        // raised at the end of every grab
    bool lastGrabOk = true;                   // written before grabDone is raised
    bool emptyRecordingReported = false;      // "no capture folder" logged once
};

ModuleState& moduleState();
