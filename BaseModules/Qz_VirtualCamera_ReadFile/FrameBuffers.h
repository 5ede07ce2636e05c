#pragma once
// Memory kept for the next frames: the images last handed to the host, to
// decode into once the host has let go of them, and the byte buffers the
// decoding threads read files into. A host that drops each frame then gets
// the next one in memory whose pages are in place, instead of fresh memory
// faulted in page by page (about 7,000 faults for a camera1 frame). No
// buffer the host still references is ever written. One per loaded module.

#include "ImageFile.h"

#include <opencv2/core/mat.hpp>

#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

class FrameBuffers {
public:
    // Keeps the images just handed to the host (the last two hand-overs).
    void keepHandedOver(const std::vector<cv::Mat>& images);
    // An image handed over earlier at `position` of its frame that nothing but
    // this keeps now; empty when there is none. The caller then owns it.
    cv::Mat takeFree(std::size_t position);
    // A byte buffer for one decoding thread, and back when it is done.
    FileBytes takeBytes();
    void giveBack(FileBytes bytes);
    // Lets go of everything kept (a new configuration, an object's end).
    void forget();
    // Around a fork (MyThread.cpp): held still, so that the child finds it
    // whole and its lock free. Its lock is the module's last (ModuleState.h).
    void lockForFork() { keptLock.lock(); }
    void unlockAfterFork() { keptLock.unlock(); }

private:
    std::mutex keptLock;  // guards handedOver and spareBytes
    std::deque<std::vector<cv::Mat>> handedOver;  // oldest first
    std::vector<FileBytes> spareBytes;
};

FrameBuffers& frameBuffers();
