#pragma once
// Virtual camera that replays recorded image files, capture folder by
// capture folder, in an endless cycle.
//
// Parameter string: "camera,second,third,root" (see ParamParser.h). Each
// run() reads the next capture folder's files for the camera and buffers
// them; getImages() hands them over. All state is the loaded module's, shared
// by every object that create() made, and the calls that reach it take one
// lock: calls from several threads behave as if made one after another.

#include "Base.h"
#include "ReadAhead.h"

class MyThread;

class Qz_VirtualCamera_ReadFile : public Base {
public:
    Qz_VirtualCamera_ReadFile();
    // Waits for a run in progress on another thread (a host that disposes of
    // the object during a grab waits for that grab).
    ~Qz_VirtualCamera_ReadFile() override;

    // Appends every buffered image, in grab order, behind the caller's
    // entries and empties the buffer; false (vector untouched) when empty.
    bool getImages(std::vector<cv::Mat>& images, void* context) override;
    // Stores the parameter string and lowers grabDone. Always true.
    bool setParam(void* context, const QByteArray& param) override;
    // Parses the stored string and lists the capture folders, replacing the
    // previous list. False, with one "[ERROR] " line, on any bad input.
    bool init(void* context) override;
    // One grab, made on the calling thread; the object's worker decodes
    // beside it when the frame has several files. The grab's log lines are
    // written between the "run start" and "run end" lines. False when the
    // grab failed. Then the worker reads the next frame ahead, which the next
    // run hands over when it is still what a grab would read (see
    // ReadAheadSlot: unless QZ_READFILE_READ_AHEAD is "0" or "off", another
    // object is alive, or the host came back from its last run too soon for
    // that to gain anything).
    bool run() override;

private:
    ReadAheadSlot readAhead;  // made first and gone last: its frame is the worker's jobs' work
    MyThread* thread;  // null once the module's end freed the worker (a process ending while its host calls)
};

// The module's only exported functions, resolved by name by hosts.
// create: a new module object, owned by the caller; null if it cannot be made.
// destory: deletes `obj` (null is allowed); the spelling is what hosts look up.
extern "C" {
Q_DECL_EXPORT Qz_VirtualCamera_ReadFile* create();
Q_DECL_EXPORT void destory(Qz_VirtualCamera_ReadFile* obj);
}
