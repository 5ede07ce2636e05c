#pragma once
// State of the loaded module: one copy per loaded module file, shared by
// every module object that `create` made in the process. It is reached only
// through a ModuleAccess, which holds the module-wide lock.

#include <opencv2/core/mat.hpp>

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
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
    // Raised at the end of every grab, lowered by run and setParam. Nothing
    // waits on it (run makes its grab itself); it is kept as the module's
    // documented state: a grab done and not yet seen by run.
    std::atomic<bool> grabDone{false};
    bool lastGrabOk = true;                   // written before grabDone is raised
    bool emptyRecordingReported = false;      // "no capture folder" logged once per init
    std::uint64_t configuration = 0;          // counts setParam and init calls: a frame read
                                              // ahead under another count is not used
};

// The module-wide lock, and with it the state. Every entry that touches the
// state (setParam, init, run, getImages, and the destructor, which waits for
// a run in progress) holds one for its whole length, so calls from several
// host threads, on one object or on several, behave as if made one after
// another; the worker's members that such an entry calls take it as proof.
//
// The module's locks, each taken only after those above it in this list:
// 1. this lock;
// 2. the list of live workers (MyThread.cpp);
// 3. a worker's lock (MyThread::mutex), which also guards what its jobs
//    leave behind (a ReadAheadSlot's frame);
// 4. CallingThreadHelp's lock;
// 5. the frame buffers' lock (FrameBuffers), taken last.
class ModuleAccess {
public:
    ModuleAccess();
    // Only when no other entry holds the lock now: see held().
    explicit ModuleAccess(std::try_to_lock_t);
    ~ModuleAccess();
    ModuleAccess(const ModuleAccess&) = delete;
    ModuleAccess& operator=(const ModuleAccess&) = delete;

    bool held() const { return held_; }
    ModuleState& state() const { return state_; }

    // In the child of a fork: a lock that a thread the child does not have
    // held at the fork is free again. That entry's changes may be half made;
    // nothing in the child waits for a thread that will never come back.
    static void forgetOtherThreadsInForkedChild();

private:
    ModuleState& state_;
    bool held_;
};
