#include "Replay.h"

#include "Base.h"
#include "Console.h"
#include "ContactSheet.h"
#include "ImageText.h"
#include "JsonLines.h"
#include "ModuleMessages.h"
#include "ModuleObject.h"
#include "ModulePath.h"
#include "ModuleQtMajor.h"
#include "Pacing.h"
#include "Progress.h"
#include "RecordingChecks.h"
#include "RecordingPlan.h"
#include "SaveImages.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>

#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

// One camera of the replay: its parameter string, its own loaded module (a
// private copy of the module file when there are several cameras: objects of
// one loaded module share its state) and the recording it replays.
struct CameraRun {
    std::string param;
    ModuleObject module;
    RecordingPlan plan;
};

using Cameras = std::vector<std::unique_ptr<CameraRun>>;

// One camera's part of a frame: what its grab handed over and where that
// came from.
struct CameraFrame {
    const CameraRun* camera = nullptr;
    bool grabbed = false;
    std::vector<cv::Mat> images;
    double seconds = 0;
    PlannedCapture capture;  // the capture folder and the files read, by plan
    std::string where;       // the capture folder as the text names it
};

// One grabbed frame, fed to each output: every camera's part, in the order
// the cameras were given.
struct FrameRecord {
    int number = 0;
    std::vector<CameraFrame> cameras;
};

struct Totals {
    int frames = 0;
    int lateFrames = 0;  // with --fps: grabs that ended after the next frame was due
    int failedGrabs = 0;
    int images = 0;
    int emptyImages = 0;
    double bytes = 0;
    std::vector<double> grabSeconds;
    double fps = 0;            // --fps, 0 when not paced
    double pacedSeconds = 0;   // with --fps: from the first grab's start to the last one's end
};

void fail(const std::string& text)
{
    printText(stderr, "camera-host: %s\n", text.c_str());
}

// The recording of one camera; false, after saying why, when the replay
// could only give empty frames because the root holds no capture folder,
// or the walk fails.
bool planCamera(const std::string& param, RecordingPlan& plan)
{
    std::string error;
    if (!planRecording(param, plan, error)) {
        fail("cannot list the capture folders of \"" + param + "\"" + (error.empty() ? "" : ": " + error));
        return false;
    }
    const std::string noCaptures = rootWithoutCapturesProblem(plan.param.rootFolder, plan.folders.size());
    if (!noCaptures.empty()) {
        fail(noCaptures);
        return false;
    }
    const std::string unknownCamera = unknownCameraProblem(plan.param.cameraName);
    if (!unknownCamera.empty())
        fail("warning: " + unknownCamera);
    return true;
}

// --frames, or --cycles (default 1) times the number of capture folders.
int framesToReplay(const Options& options, std::size_t folders)
{
    const long long wanted =
        options.frames > 0 ? options.frames : static_cast<long long>(folders) * std::max(1, options.cycles);
    return static_cast<int>(std::min<long long>(wanted, 100000000));
}

// The sheet endings this OpenCV writes (the Windows build's writes no PNG).
std::string writtenSheetEndings()
{
    std::string endings;
    for (const char* ending : {".png", ".tiff", ".bmp"}) {
        if (cv::haveImageWriter(std::string("x") + ending))
            endings += (endings.empty() ? "" : " or ") + std::string(ending);
    }
    return endings;
}

// A --sheet that cannot be written is refused before the replay: its folder
// must exist and the ending must be one OpenCV writes.
bool checkSheetPath(const std::string& file)
{
    const std::filesystem::path path = std::filesystem::u8path(file);
    const std::filesystem::path folder = path.parent_path().empty() ? "." : path.parent_path();
    std::error_code ec;
    std::string problem;
    if (!std::filesystem::is_directory(folder, ec))
        problem = "the folder " + folder.u8string() + " does not exist";
    else if (std::filesystem::is_directory(path, ec))
        problem = "it is a folder";
    else if (!cv::haveImageWriter(file))
        problem = "OpenCV writes no image file named so; end the name in " + writtenSheetEndings();
    if (problem.empty())
        return true;
    fail("cannot write the contact sheet " + file + ": " + problem);
    return false;
}

bool prepareSaveFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::u8path(folder), ec);
    if (ec || !std::filesystem::is_directory(std::filesystem::u8path(folder), ec)) {
        fail("cannot make the folder for --save: " + folder + (ec ? ": " + ec.message() : ""));
        return false;
    }
    return true;
}

// setParam + init; on failure the module's own error lines have been shown.
bool configure(Base& camera, const std::string& param, const Options& options, ModuleMessages& messages)
{
    const bool paramTaken = camera.setParam(nullptr, QByteArray::fromStdString(param));
    const bool initDone = paramTaken && camera.init(nullptr);
    printModuleLines(messages.take(), options.verbose);
    if (!paramTaken)
        fail("the module refused the parameter string \"" + param + "\"");
    else if (!initDone)
        fail("the module's init failed for \"" + param + "\" (its error line is above)");
    return initDone;
}

// Loads and configures every camera; false after saying why.
bool startCameras(const Options& options, ModuleMessages& messages, Cameras& cameras)
{
    std::string modulePath;
    std::string qtMismatch;
    if (!pickModule(options.module, defaultModulePath(), modulePath, qtMismatch)) {
        fail(qtMismatch);
        return false;
    }
    const bool privateCopies = options.params.size() > 1;
    for (const std::string& param : options.params) {
        auto camera = std::make_unique<CameraRun>();
        camera->param = param;
        const bool loaded = camera->module.load(
            modulePath, privateCopies ? CameraModule::Load::PrivateCopy : CameraModule::Load::TheFile);
        printModuleLines(messages.take(), options.verbose);
        if (!loaded) {
            fail(camera->module.error());
            return false;
        }
        if (!configure(camera->module.object(), param, options, messages) || !planCamera(param, camera->plan))
            return false;
        cameras.push_back(std::move(camera));
    }
    // Cameras of one station record the same parts: differing capture counts
    // mean their frames drift apart after the first missing capture.
    std::string counts;
    bool differ = false;
    for (const auto& camera : cameras) {
        counts += (counts.empty() ? "" : ", ") + camera->plan.param.cameraName + " " +
                  countOf(camera->plan.folders.size(), "capture");
        differ = differ || camera->plan.folders.size() != cameras.front()->plan.folders.size();
    }
    if (differ)
        fail("warning: the cameras' recordings differ in capture count (" + counts +
             "): their frames do not come from the same captures throughout");
    return true;
}

// Every camera's run + getImages, timed, one camera after the other.
FrameRecord grabFrame(const Cameras& cameras, int number)
{
    FrameRecord frame;
    frame.number = number;
    for (const auto& camera : cameras) {
        CameraFrame part;
        part.camera = camera.get();
        const auto start = std::chrono::steady_clock::now();
        part.grabbed = camera->module.object().run();
        camera->module.object().getImages(part.images, nullptr);
        part.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        frame.cameras.push_back(std::move(part));
    }
    return frame;
}

// Where each camera's images came from: a fresh module grabs the capture
// folders in plan order, one per frame.
void nameSources(FrameRecord& frame)
{
    const bool several = frame.cameras.size() > 1;
    for (CameraFrame& part : frame.cameras) {
        const RecordingPlan& plan = part.camera->plan;
        part.capture = planCapture(plan, static_cast<std::size_t>(frame.number - 1));
        part.where = several ? plan.param.cameraName + ": " + part.capture.belowRoot : part.capture.belowRoot;
    }
}

void account(Totals& totals, const FrameRecord& frame)
{
    double seconds = 0;
    for (const CameraFrame& part : frame.cameras) {
        if (!part.grabbed)
            ++totals.failedGrabs;
        for (const cv::Mat& image : part.images) {
            ++totals.images;
            totals.emptyImages += image.empty() ? 1 : 0;
            totals.bytes += imageBytes(image);
        }
        seconds += part.seconds;
    }
    ++totals.frames;
    totals.grabSeconds.push_back(seconds);
}

std::vector<std::string> plannedPaths(const PlannedCapture& capture)
{
    std::vector<std::string> paths;
    for (const PlannedFile& file : capture.files)
        paths.push_back(file.path);
    return paths;
}

// Output: the text table.

void printHeader()
{
    printText(stdout, "%6s %7s %9s  %s\n", "frame", "images", "grab ms",
                "image 1, 2, ... (width x height, type)  <- capture folder");
}

// One line per camera.
void printFrame(const FrameRecord& frame)
{
    for (const CameraFrame& part : frame.cameras) {
        char head[64];
        std::snprintf(head, sizeof head, "%6d %7zu %9.2f ", frame.number, part.images.size(), part.seconds * 1e3);
        std::string line = head;
        if (!part.grabbed)
            line += " grab failed";
        for (const cv::Mat& image : part.images) {
            char cell[32];
            std::snprintf(cell, sizeof cell, " %-15s", describeImage(image).c_str());
            line += cell;
        }
        while (!line.empty() && line.back() == ' ')
            line.pop_back();
        line += "  <- " + part.where;
        printText(stdout, "%s\n", line.c_str());
    }
    std::fflush(stdout);
}

// Nearest-rank percentile of `values` (sorted here).
double percentile(std::vector<double> values, double fraction)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const auto rank = static_cast<std::size_t>(std::max(1.0, std::ceil(fraction * values.size())));
    return values[std::min(rank, values.size()) - 1];
}

void printSummary(const Totals& totals, std::size_t cameras)
{
    double total = 0;
    for (double seconds : totals.grabSeconds)
        total += seconds;
    const double megabytes = totals.bytes / 1e6;
    printText(stdout, "\n");
    if (cameras > 1)
        printText(stdout, "cameras     %zu, each on its own copy of the module file\n", cameras);
    printText(stdout, "frames      %d (%d failed)\n", totals.frames, totals.failedGrabs);
    printText(stdout, "images      %d (%d empty)\n", totals.images, totals.emptyImages);
    printText(stdout, "data        %.2f MB\n", megabytes);
    printText(stdout, "grab time   median %.2f ms, 95th percentile %.2f ms\n", percentile(totals.grabSeconds, 0.5) * 1e3,
                percentile(totals.grabSeconds, 0.95) * 1e3);
    if (total > 0)
        printText(stdout, "throughput  %.1f frames/s, %.1f MB/s (over the grab time)\n", totals.frames / total,
                    megabytes / total);
    if (totals.pacedSeconds > 0)
        printText(stdout, "pacing      %g frames/s asked, %.1f frames/s kept over %.2f s; %s could not keep up\n",
                    totals.fps, std::max(0, totals.frames - 1) / totals.pacedSeconds, totals.pacedSeconds,
                    countOf(totals.lateFrames, "frame").c_str());
    std::fflush(stdout);
}

// Output: JSON Lines. Each image is named after the file it was planned to
// come from; a frame holding other images than planned (images a failed
// grab left buffered) names none.

void writeFrameJson(std::FILE* json, const FrameRecord& frame)
{
    QJsonArray cameras;
    for (const CameraFrame& part : frame.cameras)
        cameras.append(cameraFrameJson(part.camera->param, part.capture.belowRoot,
                                       imageEntries(plannedPaths(part.capture), part.images)));
    writeFrameLine(json, frame.number, cameras);
}

QJsonObject summaryJson(const Totals& totals, std::size_t cameras)
{
    QJsonObject summary{{"frames", totals.frames},
                        {"failedGrabs", totals.failedGrabs},
                        {"images", totals.images},
                        {"emptyImages", totals.emptyImages},
                        {"medianGrabMs", percentile(totals.grabSeconds, 0.5) * 1e3}};
    if (totals.fps > 0) {
        summary["fps"] = totals.fps;
        summary["lateFrames"] = totals.lateFrames;
    }
    summary["cameras"] = static_cast<int>(cameras);
    return summary;
}

// Output: the saved images. Each is named after its capture folder and
// source file; by its position only when the frame holds other images than
// planned. False after saying why at the first image not written.
bool saveFrame(const std::string& folder, const FrameRecord& frame)
{
    for (const CameraFrame& part : frame.cameras) {
        const bool asPlanned = part.capture.files.size() == part.images.size();
        for (std::size_t i = 0; i < part.images.size(); ++i) {
            std::string error;
            const std::string source = asPlanned ? sourceName(part.capture.belowRoot, part.capture.files[i].path)
                                                 : "image" + std::to_string(i + 1);
            if (!saveImage(part.images[i], folder, frame.number, source, error)) {
                fail(error);
                return false;
            }
        }
    }
    return true;
}

// Output: the contact sheet, one row for every camera's images; the row is
// marked failed when a camera's grab failed.
void addToSheet(ContactSheet& sheet, const FrameRecord& frame)
{
    std::vector<cv::Mat> images;
    std::vector<std::string> labels;
    std::string folders;
    bool grabbed = true;
    for (const CameraFrame& part : frame.cameras) {
        grabbed = grabbed && part.grabbed;
        images.insert(images.end(), part.images.begin(), part.images.end());
        for (std::size_t i = 0; i < part.images.size(); ++i)
            labels.push_back(i < part.capture.files.size() ? sheetLabel(part.capture.files[i]) : std::string());
        folders += (folders.empty() ? "" : "  ") + part.where;
    }
    sheet.addFrame(frame.number, images, !grabbed, folders, labels);
}

// The outputs asked for; each is off when not asked for.
struct Outputs {
    bool text = false;      // the table (JSON on standard output replaces it)
    std::FILE* json = nullptr;
    std::string saveFolder;
    std::unique_ptr<ContactSheet> sheet;
    bool writesOk = true;   // every image saved so far (saving stops at the first failure)
};

// False after saying why when an output cannot be written.
bool openOutputs(const Options& options, const Cameras& cameras, int frames, Outputs& outputs)
{
    if (!options.saveFolder.empty() && !prepareSaveFolder(options.saveFolder))
        return false;
    if (!options.jsonFile.empty() && !(outputs.json = openJsonOutput(options.jsonFile)))
        return false;
    outputs.text = !options.quiet && options.jsonFile != "-";
    outputs.saveFolder = options.saveFolder;
    if (!options.sheetFile.empty()) {
        std::string title;
        for (const auto& camera : cameras)
            title += camera->param + "   ";
        outputs.sheet = std::make_unique<ContactSheet>(title + countOf(frames, "frame"));
    }
    if (outputs.text)
        printHeader();
    return true;
}

void emitFrame(Outputs& outputs, const FrameRecord& frame)
{
    if (outputs.text)
        printFrame(frame);
    if (outputs.json)
        writeFrameJson(outputs.json, frame);
    if (outputs.writesOk && !outputs.saveFolder.empty())
        outputs.writesOk = saveFrame(outputs.saveFolder, frame);
    if (outputs.sheet)
        addToSheet(*outputs.sheet, frame);
}

// The summaries and the sheet; false when the sheet could not be written.
bool closeOutputs(Outputs& outputs, const Options& options, const Totals& totals, std::size_t cameras)
{
    if (options.jsonFile != "-")
        printSummary(totals, cameras);
    if (outputs.json) {
        writeSummaryLine(outputs.json, summaryJson(totals, cameras));
        closeJsonOutput(outputs.json);
    }
    if (!outputs.sheet)
        return outputs.writesOk;
    std::string error;
    if (!outputs.sheet->write(options.sheetFile, error)) {
        fail(error);
        return false;
    }
    printText(stdout, "contact sheet: %s\n", options.sheetFile.c_str());
    return outputs.writesOk;
}

}  // namespace

int runReplay(const Options& options)
{
    if (!options.sheetFile.empty() && !checkSheetPath(options.sheetFile))
        return 1;
    ModuleMessages messages;
    Cameras cameras;
    if (!startCameras(options, messages, cameras))
        return 1;
    const int frames = framesToReplay(options, cameras.front()->plan.folders.size());
    Outputs outputs;
    if (!openOutputs(options, cameras, frames, outputs))
        return 1;

    ProgressBar progress(frames, stderrIsTerminal() && frames > kFramesBeforeProgressBar);
    Totals totals;
    totals.fps = options.fps;
    Pacer pacer(options.fps, Pacer::Clock::now());
    for (int number = 1; number <= frames; ++number) {
        pacer.waitFor(number - 1);
        FrameRecord frame = grabFrame(cameras, number);
        pacer.ended(number - 1, Pacer::Clock::now());
        progress.clear();
        printModuleLines(messages.take(), options.verbose);
        nameSources(frame);
        account(totals, frame);
        emitFrame(outputs, frame);
        progress.show(number);
    }
    progress.clear();
    totals.lateFrames = pacer.lateFrames();
    if (options.fps > 0)
        totals.pacedSeconds = pacer.seconds();
    const bool writesOk = closeOutputs(outputs, options, totals, cameras.size());

    if (totals.failedGrabs > 0)
        fail(std::to_string(totals.failedGrabs) + " of " + countOf(totals.frames * cameras.size(), "grab") +
             " failed");
    if (totals.images == 0)
        fail("no frame held an image: the module found no file for \"" + cameras.front()->plan.param.cameraName +
             "\" in any capture folder (camera-host inspect shows which files it reads)");
    return totals.failedGrabs == 0 && totals.images > 0 && writesOk ? 0 : 1;
}
