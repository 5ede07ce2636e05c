#include "Qz_VirtualCamera_ReadFile.h"

#include "CallingThreadHelp.h"
#include "CaptureFolders.h"
#include "EntryGuard.h"
#include "FrameBuffers.h"
#include "ModuleLog.h"
#include "ModuleState.h"
#include "MyThread.h"
#include "ParamParser.h"
#include "ReadAhead.h"

#include <QDebug>
#include <QString>

#include <atomic>
#include <exception>
#include <iostream>


namespace {

// Shown on standard output when the parameter string lacks its third comma:
// "输入字符串格式错误，找不到第三个逗号。" ("input string malformed, third comma
// not found") in UTF-8. Written as bytes so that no compiler reads the
// source in another code page and writes other bytes.
const char kNoThirdCommaMessage[] =
    "\xE8\xBE\x93\xE5\x85\xA5\xE5\xAD\x97\xE7\xAC\xA6\xE4\xB8\xB2\xE6\xA0\xBC\xE5\xBC\x8F"
    "\xE9\x94\x99\xE8\xAF\xAF\xEF\xBC\x8C\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0\xE7\xAC\xAC"
    "\xE4\xB8\x89\xE4\xB8\xAA\xE9\x80\x97\xE5\x8F\xB7\xE3\x80\x82";

// Objects of one loaded module share its one state, so a second camera in
// one process needs a second copy of the module file; the host is told.
const char kSharedStateWarning[] =
    "another object of this module is alive: objects of one loaded module file share one state "
    "(parameter, recording, position), so each camera needs its own copy of the module file";

void storeParsedFields(ModuleState& state, const ParamParse& parse)
{
    if (parse.fieldsParsed >= 2) {
        state.cameraName = parse.cameraName;
        state.secondField = parse.secondField;
    }
    if (parse.fieldsParsed >= 4) {
        state.thirdField = parse.thirdField;
        state.rootFolder = parse.rootFolder;
    }
}

bool initFromParam(ModuleState& state)
{
    const ParamParse parse = parseParam(state.param);
    storeParsedFields(state, parse);
    if (parse.error == ParamError::NoThirdComma)
        std::cout << kNoThirdCommaMessage << std::endl;
    if (parse.error != ParamError::None) {
        logError("init failed: " + parse.message);
        return false;
    }
    if (!parse.warning.empty())
        logWarning(parse.warning);
    std::vector<std::string> folders;
    std::string error;
    if (!collectFolders(state.rootFolder, folders, error, logWarning)) {
        logError("init failed: " + error + " (root folder \"" + state.rootFolder + "\")");
        return false;
    }
    // Another recording plays from its first capture folder; the same one
    // initialised again goes on where it was.
    if (folders != state.captureFolders)
        state.folderCursor = 0;
    state.captureFolders.swap(folders);
    state.emptyRecordingReported = false;
    return true;
}

// The files of a grab, decoded on the calling thread and, for a frame of
// several files, on `worker` beside it, the calling thread taking part
// (CallingThreadHelp). One file is decoded here: handing it to the worker
// would cost two thread switches and gain nothing. Without the worker's
// thread (it cannot be started) on helper threads; in a forked child, or
// once the module's end stopped the worker, on the calling thread alone.
DecodedFrame decodeWithWorker(const ModuleAccess& access, MyThread& worker, const std::vector<std::string>& paths)
{
    if (paths.size() <= 1)
        return decodeFrame(paths, nullptr);
    CallingThreadHelp help;
    DecodedFrame decoded;
    std::exception_ptr failure;
    help.callerComing();
    const bool posted = worker.post(access, WorkerJob{[&](const std::atomic<bool>&) {
        try {
            decoded = decodeFrame(paths, &help);
        } catch (...) {
            failure = std::current_exception();
        }
        help.jobEnded();  // the job's last touch of this frame
    }, nullptr});
    if (!posted)
        return worker.stopped() ? decodeOnCallingThread(paths) : decodeFrame(paths, nullptr);
    help.helpUntilJobEnds();
    if (failure)
        std::rethrow_exception(failure);
    return decoded;
}

}  // namespace

// An entry that reaches the module's state: guarded, and holding the
// module-wide lock for its whole length.
template <typename Result, typename Body>
Result lockedEntry(const char* function, Result failed, Body&& body) noexcept
{
    return guardedEntry(function, failed, [&body] {
        const ModuleAccess access;
        return body(access);
    });
}

Qz_VirtualCamera_ReadFile::Qz_VirtualCamera_ReadFile() : thread(nullptr)
{
    if (ReadAheadSlot::othersAlive())
        logWarning(kSharedStateWarning);
    // The module's end frees the worker with the module-wide lock held.
    thread = new MyThread(nullptr, [this](const ModuleAccess& access) {
        thread = nullptr;
        readAhead.workerGone(access);
    });
}

Qz_VirtualCamera_ReadFile::~Qz_VirtualCamera_ReadFile()
{
    lockedEntry("~Qz_VirtualCamera_ReadFile", true, [this](const ModuleAccess&) {
        // Every run holds the module-wide lock to its end: once it is ours,
        // no run of this object is inside any more. The worker may still be
        // reading ahead; it stops between files (deleting a running QThread
        // aborts the process). The module's end may have freed it already.
        if (thread) {
            MyThread::dispose(thread);
            thread = nullptr;
        }
        frameBuffers().forget();
        return true;
    });
    guardedEntry("~Qz_VirtualCamera_ReadFile", [] { qDebug() << "[INFO] " << " delete success!"; });
}

bool Qz_VirtualCamera_ReadFile::getImages(std::vector<cv::Mat>& images, void* /*context*/)
{
    return lockedEntry("getImages", false, [&images](const ModuleAccess& access) {
        ModuleState& state = access.state();
        if (state.imageBuffer.empty())
            return false;
        images.insert(images.end(), state.imageBuffer.begin(), state.imageBuffer.end());
        frameBuffers().keepHandedOver(state.imageBuffer);
        state.imageBuffer.clear();
        return true;
    });
}

bool Qz_VirtualCamera_ReadFile::setParam(void* /*context*/, const QByteArray& param)
{
    return lockedEntry("setParam", false, [this, &param](const ModuleAccess& access) {
        ModuleState& state = access.state();
        ++state.configuration;
        if (thread)
            readAhead.discard(access, *thread);
        frameBuffers().forget();
        state.grabDone.store(false, std::memory_order_relaxed);
        state.param = param.toStdString();
        return true;
    });
}

bool Qz_VirtualCamera_ReadFile::init(void* /*context*/)
{
    return lockedEntry("init", false, [this](const ModuleAccess& access) {
        ++access.state().configuration;
        if (thread)
            readAhead.discard(access, *thread);
        frameBuffers().forget();
        return initFromParam(access.state());
    });
}

bool Qz_VirtualCamera_ReadFile::run()
{
    return lockedEntry("run", false, [this](const ModuleAccess& access) {
        ModuleState& state = access.state();
        readAhead.runStarts();
        qDebug() << "[INFO] " << " run start" << QString::fromStdString(state.param);
        // An object whose worker the module's end freed (a process that ends
        // while its host calls) grabs without one.
        CollectedLog log;
        if (!thread || !readAhead.handOver(access, *thread, state, log))
            grabFrame(state, [&](const std::vector<std::string>& paths) {
                return thread ? decodeWithWorker(access, *thread, paths) : decodeFrame(paths, nullptr);
            }, log);
        state.grabDone.store(false, std::memory_order_relaxed);
        if (thread)
            readAhead.readNext(access, *thread, state);
        log.writeOut();
        qDebug() << "[INFO] " << __LINE__ << " run end";
        readAhead.runEnds();
        return state.lastGrabOk;
    });
}

Qz_VirtualCamera_ReadFile* create()
{
    return guardedEntry("create", static_cast<Qz_VirtualCamera_ReadFile*>(nullptr), [] {
        guardWorkersAtModuleEnd();
        qDebug() << "[INFO] " << "Qz_VirtualCamera_ReadFile create success!";
        return new Qz_VirtualCamera_ReadFile;
    });
}

void destory(Qz_VirtualCamera_ReadFile* obj)
{
    guardedEntry("destory", [obj] {
        delete obj;
        qDebug() << "[INFO] " << "Qz_VirtualCamera_ReadFile  destory success!";
    });
}
