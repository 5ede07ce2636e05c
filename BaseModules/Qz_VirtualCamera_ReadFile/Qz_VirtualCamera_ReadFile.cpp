#include "Qz_VirtualCamera_ReadFile.h"

#include "CaptureFolders.h"
#include "ModuleLog.h"
#include "ModuleState.h"
#include "MyThread.h"
#include "ParamParser.h"

#include <QDebug>
#include <QString>

#include <exception>
#include <iostream>


namespace {

// Shown on standard output when the parameter string lacks its third comma.
const char kNoThirdCommaMessage[] = "输入字符串格式错误，找不到第三个逗号。";

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
    std::vector<std::string> folders;
    std::string error;
    if (!collectFolders(state.rootFolder, folders, error, logWarning)) {
        logError("init failed: " + error + " (root folder \"" + state.rootFolder + "\")");
        return false;
    }
    state.captureFolders.swap(folders);
    state.emptyRecordingReported = false;
    return true;
}

}  // namespace

Qz_VirtualCamera_ReadFile::Qz_VirtualCamera_ReadFile() : thread(nullptr)
{
    thread = new MyThread(nullptr);
}

Qz_VirtualCamera_ReadFile::~Qz_VirtualCamera_ReadFile()
{
    // A run on another thread still waits on the worker; deleting the worker
    // under it would leave that run waiting forever.
    while (runsInProgress.load(std::memory_order_acquire) > 0)
        QThread::msleep(1);
    if (thread) {
        thread->exit(0);
        // Deleting a running QThread aborts the process; a grab always ends,
        // so wait for it if the short wait was not enough.
        if (!thread->wait(1))
            thread->wait();
        delete thread;
        thread = nullptr;
    }
    try {  // nothing may leave a destructor, not even a failing log line
        qDebug() << "[INFO] " << " delete success!";
    } catch (...) {
    }
}

bool Qz_VirtualCamera_ReadFile::getImages(std::vector<cv::Mat>& images, void* /*context*/)
{
    try {
        std::vector<cv::Mat>& buffer = moduleState().imageBuffer;
        if (buffer.empty())
            return false;
        images.insert(images.end(), buffer.begin(), buffer.end());
        buffer.clear();
        return true;
    } catch (const std::exception& e) {
        logFailure("getImages failed", e.what());
        return false;
    } catch (...) {
        logFailure("getImages failed", "unknown error");
        return false;
    }
}

bool Qz_VirtualCamera_ReadFile::setParam(void* /*context*/, const QByteArray& param)
{
    try {
        ModuleState& state = moduleState();
        state.grabDone.store(false, std::memory_order_release);
        state.param = param.toStdString();
        return true;
    } catch (const std::exception& e) {
        logFailure("setParam failed", e.what());
        return false;
    } catch (...) {
        logFailure("setParam failed", "unknown error");
        return false;
    }
}

bool Qz_VirtualCamera_ReadFile::init(void* /*context*/)
{
    try {
        return initFromParam(moduleState());
    } catch (const std::exception& e) {
        logFailure("init failed", e.what());
        return false;
    } catch (...) {
        logFailure("init failed", "unknown error");
        return false;
    }
}

// Starts the grab's thread and, while it runs, decodes files of its frame on
// this thread. A failed start leaves the thread neither running nor finished.
void Qz_VirtualCamera_ReadFile::startGrabAndHelp()
{
    GrabHandOff& handOff = thread->grabHandOff();
    handOff.callerComing();
    thread->start(QThread::InheritPriority);
    if (!thread->isRunning() && !thread->isFinished())
        handOff.callerGone();
    else
        handOff.helpUntilGrabEnds();
}

bool Qz_VirtualCamera_ReadFile::run()
{
    // Leaving run is the last thing it does with this object.
    struct InProgress {
        std::atomic<int>& count;
        explicit InProgress(std::atomic<int>& c) : count(c) { count.fetch_add(1, std::memory_order_relaxed); }
        ~InProgress() { count.fetch_sub(1, std::memory_order_release); }
    } inProgress(runsInProgress);
    try {
        ModuleState& state = moduleState();
        qDebug() << "[INFO] " << " run start" << QString::fromStdString(state.param);
        thread->wait();  // a previous grab's thread must have ended, or start() would do nothing
        startGrabAndHelp();
        thread->wait();
        const bool done = state.grabDone.load(std::memory_order_acquire);
        state.grabDone.store(false, std::memory_order_relaxed);
        if (!done)
            logError("grab did not run: the worker thread could not be started");
        qDebug() << "[INFO] " << __LINE__ << " run end";
        return done && state.lastGrabOk;
    } catch (const std::exception& e) {
        logFailure("run failed", e.what());
        return false;
    } catch (...) {
        logFailure("run failed", "unknown error");
        return false;
    }
}

Qz_VirtualCamera_ReadFile* create()
{
    try {
        qDebug() << "[INFO] " << "Qz_VirtualCamera_ReadFile create success!";
        return new Qz_VirtualCamera_ReadFile;
    } catch (const std::exception& e) {
        logFailure("create failed", e.what());
        return nullptr;
    } catch (...) {
        logFailure("create failed", "unknown error");
        return nullptr;
    }
}

void destory(Qz_VirtualCamera_ReadFile* obj)
{
    try {
        delete obj;
        qDebug() << "[INFO] " << "Qz_VirtualCamera_ReadFile  destory success!";
    } catch (const std::exception& e) {
        logFailure("destory failed", e.what());
    } catch (...) {
        logFailure("destory failed", "unknown error");
    }
}
