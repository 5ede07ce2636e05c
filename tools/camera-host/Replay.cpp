#include "Replay.h"

#include "Base.h"
#include "CaptureFolders.h"
#include "Console.h"
#include "ContactSheet.h"
#include "ImageText.h"
#include "JsonLines.h"
#include "ModuleMessages.h"
#include "ModuleObject.h"
#include "ModulePath.h"
#include "ModuleQtMajor.h"
#include "ParamParser.h"
#include "Progress.h"
#include "ReadOrder.h"
#include "RecordingChecks.h"
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
#include <thread>
#include <vector>

namespace {

struct FrameResult {
    bool grabbed = false;
    std::vector<cv::Mat> images;
    double seconds = 0;
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

// With --fps N, frame k (0-based) is due at start + k/N: a late frame does not
// shift the ones after it, so the replay keeps the camera's rate on average.
class Pacer {
public:
    explicit Pacer(double fps) : fps_(fps), start_(std::chrono::steady_clock::now()) {}
    // Waits until frame `index` is due.
    void waitFor(int index) const
    {
        if (fps_ > 0)
            std::this_thread::sleep_until(due(index));
    }
    // True when frame `index` ended after frame index + 1 was due.
    bool late(int index) const { return fps_ > 0 && std::chrono::steady_clock::now() > due(index + 1); }
    double elapsedSeconds() const
    {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    }

private:
    std::chrono::steady_clock::time_point due(int index) const
    {
        return start_ + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                            std::chrono::duration<double>(index / fps_));
    }
    double fps_;
    std::chrono::steady_clock::time_point start_;
};

void fail(const std::string& text)
{
    printText(stderr, "camera-host: %s\n", text.c_str());
}

// What the replay is of, found with the module's own folder walk: a fresh
// module grabs the capture folders in this order, one per frame, so frame n
// comes from folders[(n - 1) % folders.size()].
struct Plan {
    ParamParse param;
    std::vector<std::string> folders;
    int frames = 0;
};

// False, after saying why, when the replay could only give empty frames
// because the root holds no capture folder, or the walk fails.
bool planReplay(const std::string& param, const Options& options, Plan& plan)
{
    plan.param = parseParam(param);
    std::string error;
    if (plan.param.error != ParamError::None || !collectFolders(plan.param.rootFolder, plan.folders, error)) {
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
    // --frames, or --cycles (default 1) times the number of capture folders.
    const long long wanted = options.frames > 0 ? options.frames
                                                : static_cast<long long>(plan.folders.size()) * std::max(1, options.cycles);
    plan.frames = static_cast<int>(std::min<long long>(wanted, 100000000));
    return true;
}

// Where frame `number` comes from, planned with the module's own core code:
// its capture folder (below the root), the files read in order, and per
// image the camera1 kind or the file name (the contact sheet's words).
struct FrameNames {
    std::string folder;
    std::vector<std::string> files;
    std::vector<std::string> images;
};

std::string kindName(const std::string& path)
{
    for (const char* kind : kCamera1Kinds) {
        if (path.find(kind) != std::string::npos) {
            std::string name = kind;  // "VexoShapeImage1" -> "Shape1"
            name.erase(0, 4);
            name.erase(name.find("Image"), 5);
            return name;
        }
    }
    return {};
}

FrameNames frameNames(const Plan& plan, int number)
{
    FrameNames names;
    const std::string& folder = plan.folders[static_cast<std::size_t>(number - 1) % plan.folders.size()];
    names.folder = folderBelowRoot(folder, plan.param.rootFolder);
    const CameraMode mode = cameraModeOf(plan.param.cameraName);
    for (const std::string& path : planFrame(folder, plan.param.cameraName)) {
        names.files.push_back(path);
        names.images.push_back(readRuleOf(mode) == ReadRule::KindPasses
                                   ? kindName(path)
                                   : std::filesystem::u8path(path).filename().u8string());
    }
    return names;
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

FrameResult grabOne(Base& camera)
{
    FrameResult frame;
    const auto start = std::chrono::steady_clock::now();
    frame.grabbed = camera.run();
    camera.getImages(frame.images, nullptr);
    frame.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return frame;
}

void printHeader()
{
    printText(stdout, "%6s %7s %9s  %s\n", "frame", "images", "grab ms",
                "image 1, 2, ... (width x height, type)  <- capture folder");
}

void printFrameLine(int number, const FrameResult& frame, const std::string& folder)
{
    std::string line;
    char head[64];
    std::snprintf(head, sizeof head, "%6d %7zu %9.2f ", number, frame.images.size(), frame.seconds * 1e3);
    line = head;
    if (!frame.grabbed)
        line += " grab failed";
    for (const cv::Mat& image : frame.images) {
        char cell[32];
        std::snprintf(cell, sizeof cell, " %-15s", describeImage(image).c_str());
        line += cell;
    }
    while (!line.empty() && line.back() == ' ')
        line.pop_back();
    line += "  <- " + folder;
    printText(stdout, "%s\n", line.c_str());
    std::fflush(stdout);
}

// One camera's part of a frame; the frame itself is counted by the caller.
void account(Totals& totals, const FrameResult& frame)
{
    if (!frame.grabbed)
        ++totals.failedGrabs;
    for (const cv::Mat& image : frame.images) {
        ++totals.images;
        totals.emptyImages += image.empty() ? 1 : 0;
        totals.bytes += imageBytes(image);
    }
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

// Each image is named after its capture folder and source file; by its
// position only when the frame holds other images than planned (images a
// failed grab left buffered).
QJsonObject summaryJson(const Totals& totals)
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
    return summary;
}

bool saveFrame(const Options& options, int number, const FrameResult& frame, const FrameNames& names)
{
    const bool asPlanned = names.files.size() == frame.images.size();
    for (std::size_t i = 0; i < frame.images.size(); ++i) {
        std::string error;
        const std::string source =
            asPlanned ? sourceName(names.folder, names.files[i]) : "image" + std::to_string(i + 1);
        if (!saveImage(frame.images[i], options.saveFolder, number, source, error)) {
            fail(error);
            return false;
        }
    }
    return true;
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

}  // namespace

namespace {

// One camera of the replay: its parameter string, its own loaded module (a
// private copy of the module file when there are several cameras: objects of
// one loaded module share its state) and its plan.
struct CameraRun {
    std::string param;
    ModuleObject module;
    Plan plan;
};

// Loads and configures every camera; false after saying why.
bool startCameras(const Options& options, ModuleMessages& messages, std::vector<std::unique_ptr<CameraRun>>& cameras)
{
    const std::string modulePath = options.module.empty() ? defaultModulePath() : options.module;
    std::string qtMismatch;
    if (!checkModuleQtMajor(modulePath, qtMismatch)) {
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
        if (!configure(camera->module.object(), param, options, messages) ||
            !planReplay(param, options, camera->plan))
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

}  // namespace

int runReplay(const Options& options)
{
    if (!options.sheetFile.empty() && !checkSheetPath(options.sheetFile))
        return 1;
    ModuleMessages messages;
    std::vector<std::unique_ptr<CameraRun>> cameras;
    if (!startCameras(options, messages, cameras))
        return 1;
    const bool several = cameras.size() > 1;
    const int frames = cameras.front()->plan.frames;
    if (!options.saveFolder.empty() && !prepareSaveFolder(options.saveFolder))
        return 1;

    std::FILE* json = nullptr;
    if (!options.jsonFile.empty() && !(json = openJsonOutput(options.jsonFile)))
        return 1;
    // JSON on standard output replaces the text there.
    const bool quiet = options.quiet || options.jsonFile == "-";

    std::unique_ptr<ContactSheet> sheet;
    if (!options.sheetFile.empty()) {
        std::string title;
        for (const auto& camera : cameras)
            title += camera->param + "   ";
        sheet = std::make_unique<ContactSheet>(title + countOf(frames, "frame"));
    }
    ProgressBar progress(frames, stderrIsTerminal() && frames > kFramesBeforeProgressBar);
    Totals totals;
    bool writesOk = true;
    if (!quiet)
        printHeader();
    totals.fps = options.fps;
    const Pacer pacer(options.fps);
    for (int number = 1; number <= frames; ++number) {
        pacer.waitFor(number - 1);
        std::vector<FrameResult> results;
        for (auto& camera : cameras)
            results.push_back(grabOne(camera->module.object()));
        totals.lateFrames += pacer.late(number - 1) ? 1 : 0;
        progress.clear();
        printModuleLines(messages.take(), options.verbose);
        QJsonArray jsonCameras;
        FrameResult row;  // every camera's images, for the contact sheet
        std::vector<std::string> rowLabels;
        std::string rowFolders;
        double frameSeconds = 0;
        for (std::size_t c = 0; c < cameras.size(); ++c) {
            const CameraRun& camera = *cameras[c];
            const FrameResult& frame = results[c];
            const FrameNames names = frameNames(camera.plan, number);
            const std::string where = several ? camera.plan.param.cameraName + ": " + names.folder : names.folder;
            if (!quiet)
                printFrameLine(number, frame, where);
            if (json)
                jsonCameras.append(cameraFrameJson(camera.param, names.folder, imageEntries(names.files, frame.images)));
            account(totals, frame);
            frameSeconds += frame.seconds;
            if (writesOk && !options.saveFolder.empty())
                writesOk = saveFrame(options, number, frame, names);
            row.grabbed = (c == 0 || row.grabbed) && frame.grabbed;
            row.images.insert(row.images.end(), frame.images.begin(), frame.images.end());
            std::vector<std::string> labels = names.images;
            labels.resize(frame.images.size());
            rowLabels.insert(rowLabels.end(), labels.begin(), labels.end());
            rowFolders += (rowFolders.empty() ? "" : "  ") + where;
        }
        ++totals.frames;
        totals.grabSeconds.push_back(frameSeconds);
        if (json)
            writeFrameLine(json, number, jsonCameras);
        if (sheet)
            sheet->addFrame(number, row.images, !row.grabbed, rowFolders, rowLabels);
        progress.show(number);
    }
    progress.clear();
    if (options.fps > 0)
        totals.pacedSeconds = pacer.elapsedSeconds();
    if (options.jsonFile != "-")
        printSummary(totals, cameras.size());
    if (json) {
        QJsonObject summary = summaryJson(totals);
        summary["cameras"] = static_cast<int>(cameras.size());
        writeSummaryLine(json, summary);
        closeJsonOutput(json);
    }

    if (sheet) {
        std::string error;
        if (sheet->write(options.sheetFile, error))
            printText(stdout, "contact sheet: %s\n", options.sheetFile.c_str());
        else {
            fail(error);
            writesOk = false;
        }
    }
    if (totals.failedGrabs > 0)
        fail(std::to_string(totals.failedGrabs) + " of " + countOf(totals.frames * cameras.size(), "grab") +
             " failed");
    if (totals.images == 0)
        fail("no frame held an image: the module found no file for \"" + cameras.front()->plan.param.cameraName +
             "\" in any capture folder (camera-host inspect shows which files it reads)");
    return totals.failedGrabs == 0 && totals.images > 0 && writesOk ? 0 : 1;
}
