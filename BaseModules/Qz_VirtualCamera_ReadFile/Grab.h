#pragma once
// One grab: reads the next capture folder's images for the configured camera
// into the module state's buffer. Runs on the worker thread.

#include <functional>

class CollectedLog;
class GrabHandOff;

// Reads one frame and moves the cursor on by one capture folder, whatever
// happens. Never throws: a failure is reported, the frame's images are taken
// out of the buffer again and lastGrabOk is lowered. Always raises grabDone.
// Its log lines go to `log` (emptied first), for the host's thread to write.
// With a hand-off, the host thread announced there decodes the frame's files
// together with this thread; without one, this thread does all the work.
void grabFrame(GrabHandOff* handOff, CollectedLog& log);

// Test seam: when set, called inside the grab after the frame's images have
// been appended to the buffer; a throw there fails the grab.
void setGrabFaultForTesting(std::function<void()> fault);
