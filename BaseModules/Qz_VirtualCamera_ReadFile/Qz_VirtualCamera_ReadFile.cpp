#include "Qz_VirtualCamera_ReadFile.h"

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
std::atomic<int> livingObjects{0};
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
    if (livingObjects.fetch_add(1) > 0)
        logWarning(kSharedStateWarning);
    thread = new MyThread(nullptr, thread);
}

Qz_VirtualCamera_ReadFile::~Qz_VirtualCamera_ReadFile()
{
    livingObjects.fetch_sub(1);
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
            thread->discardReadAhead(access);
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
            thread->discardReadAhead(access);
        frameBuffers().forget();
        return initFromParam(access.state());
    });
}

// Reading the next frame ahead is optional: whatever goes wrong with it
// leaves the grab that was made as it is.
void Qz_VirtualCamera_ReadFile::readNextFrameAhead(const ModuleAccess& access) noexcept
{
    try {
        FrameTarget next;
        if (nextFrameTarget(access.state(), next))
            thread->readAhead(access, next);
    } catch (...) {
    }
}

bool Qz_VirtualCamera_ReadFile::run()
{
    return lockedEntry("run", false, [this](const ModuleAccess& access) {
        ModuleState& state = access.state();
        hostPause.runStarts();
        qDebug() << "[INFO] " << " run start" << QString::fromStdString(state.param);
        // Objects of one module share its cursor: a frame read ahead by one
        // would be read again by the other's next run, so while several
        // live none reads ahead. Nor does an object whose worker the
        // module's end freed (a process that ends while its host calls).
        const bool readingAhead = thread && readAheadWanted() && livingObjects.load() == 1;
        CollectedLog log;
        bool handedOver = false;
        if (readingAhead) {
            ReadAhead ahead = thread->takeReadAhead(access);
            handedOver = grabFromReadAhead(state, ahead, log);
        } else if (thread) {
            thread->discardReadAhead(access);
        }
        if (!handedOver)
            grabFrame(state, [&](const std::vector<std::string>& paths) {
                return thread ? thread->decode(access, paths) : decodeFrame(paths, nullptr);
            }, log);
        state.grabDone.store(false, std::memory_order_relaxed);
        if (readingAhead && hostPause.longEnough())
            readNextFrameAhead(access);
        log.writeOut();
        qDebug() << "[INFO] " << __LINE__ << " run end";
        hostPause.runEnds();
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
