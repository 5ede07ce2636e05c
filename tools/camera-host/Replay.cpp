#include "Replay.h"

#include "CaptureFolders.h"
#include "Console.h"
#include "ContactSheet.h"
#include "HostedModule.h"
#include "ImageText.h"
#include "ModuleMessages.h"
#include "ParamParser.h"
#include "Progress.h"
#include "SaveImages.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

struct FrameResult {
    bool grabbed = false;
    std::vector<cv::Mat> images;
    double seconds = 0;
};

struct Totals {
    int frames = 0;
    int failedGrabs = 0;
    int images = 0;
    int emptyImages = 0;
    double bytes = 0;
    std::vector<double> grabSeconds;
};

void fail(const std::string& text)
{
    std::fprintf(stderr, "camera-host: %s\n", text.c_str());
}

// Capture folders the module's own walk finds for `param`; -1 when it cannot.
int countCaptureFolders(const std::string& param)
{
    const ParamParse parse = parseParam(param);
    if (parse.error != ParamError::None)
        return -1;
    std::vector<std::string> folders;
    std::string error;
    if (!collectFolders(parse.rootFolder, folders, error))
        return -1;
    return static_cast<int>(folders.size());
}

// --frames, or --cycles (default 1) times the number of capture folders.
bool frameCount(const Options& options, int& frames)
{
    if (options.frames > 0) {
        frames = options.frames;
        return true;
    }
    const int folders = countCaptureFolders(options.param);
    if (folders <= 0) {
        fail(folders == 0 ? "the recording holds no capture folder, so a cycle has no frame; give --frames"
                          : "cannot count the capture folders of \"" + options.param + "\"; give --frames");
        return false;
    }
    const long long wanted = static_cast<long long>(folders) * std::max(1, options.cycles);
    frames = static_cast<int>(std::min<long long>(wanted, 100000000));
    return true;
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
    std::printf("%6s %7s %9s  %s\n", "frame", "images", "grab ms", "image 1, 2, ... (width x height, type)");
}

void printFrameLine(int number, const FrameResult& frame)
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
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
}

void account(Totals& totals, const FrameResult& frame)
{
    ++totals.frames;
    if (!frame.grabbed)
        ++totals.failedGrabs;
    totals.grabSeconds.push_back(frame.seconds);
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

void printSummary(const Totals& totals)
{
    double total = 0;
    for (double seconds : totals.grabSeconds)
        total += seconds;
    const double megabytes = totals.bytes / 1e6;
    std::printf("\n");
    std::printf("frames      %d (%d failed)\n", totals.frames, totals.failedGrabs);
    std::printf("images      %d (%d empty)\n", totals.images, totals.emptyImages);
    std::printf("data        %.2f MB\n", megabytes);
    std::printf("grab time   median %.2f ms, 95th percentile %.2f ms\n", percentile(totals.grabSeconds, 0.5) * 1e3,
                percentile(totals.grabSeconds, 0.95) * 1e3);
    if (total > 0)
        std::printf("throughput  %.1f frames/s, %.1f MB/s (over the grab time)\n", totals.frames / total,
                    megabytes / total);
    std::fflush(stdout);
}

bool saveFrame(const Options& options, int number, const FrameResult& frame)
{
    for (std::size_t i = 0; i < frame.images.size(); ++i) {
        std::string error;
        if (!saveImage(frame.images[i], options.saveFolder, number, static_cast<int>(i) + 1, error)) {
            fail(error);
            return false;
        }
    }
    return true;
}

bool prepareSaveFolder(const std::string& folder)
{
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    if (ec || !std::filesystem::is_directory(folder)) {
        fail("cannot make the folder for --save: " + folder + (ec ? ": " + ec.message() : ""));
        return false;
    }
    return true;
}

// setParam + init; on failure the module's own error lines have been shown.
bool configure(Base& camera, const Options& options, ModuleMessages& messages)
{
    const bool paramTaken = camera.setParam(nullptr, QByteArray::fromStdString(options.param));
    const bool initDone = paramTaken && camera.init(nullptr);
    printModuleLines(messages.take(), options.verbose);
    if (!paramTaken)
        fail("the module refused the parameter string \"" + options.param + "\"");
    else if (!initDone)
        fail("the module's init failed for \"" + options.param + "\" (its error line is above)");
    return initDone;
}

}  // namespace

int runReplay(const Options& options)
{
    ModuleMessages messages;
    HostedModule module;
    const std::string modulePath = options.module.empty() ? defaultModulePath() : options.module;
    const bool loaded = module.load(modulePath);
    printModuleLines(messages.take(), options.verbose);
    if (!loaded) {
        fail(module.error());
        return 1;
    }
    int frames = 0;
    if (!configure(module.object(), options, messages) || !frameCount(options, frames))
        return 1;
    if (!options.saveFolder.empty() && !prepareSaveFolder(options.saveFolder))
        return 1;

    std::unique_ptr<ContactSheet> sheet;
    if (!options.sheetFile.empty())
        sheet = std::make_unique<ContactSheet>(options.param + "   " + std::to_string(frames) + " frames");
    ProgressBar progress(frames, stderrIsTerminal() && frames > kFramesBeforeProgressBar);
    Totals totals;
    bool writesOk = true;
    if (!options.quiet)
        printHeader();
    for (int number = 1; number <= frames; ++number) {
        const FrameResult frame = grabOne(module.object());
        progress.clear();
        printModuleLines(messages.take(), options.verbose);
        if (!options.quiet)
            printFrameLine(number, frame);
        account(totals, frame);
        if (writesOk && !options.saveFolder.empty())
            writesOk = saveFrame(options, number, frame);
        if (sheet)
            sheet->addFrame(number, frame.images, !frame.grabbed);
        progress.show(number);
    }
    progress.clear();
    printSummary(totals);

    if (sheet) {
        std::string error;
        if (sheet->write(options.sheetFile, error))
            std::printf("contact sheet: %s\n", options.sheetFile.c_str());
        else {
            fail(error);
            writesOk = false;
        }
    }
    if (totals.failedGrabs > 0)
        fail(std::to_string(totals.failedGrabs) + " of " + std::to_string(totals.frames) + " grabs failed");
    return totals.failedGrabs == 0 && writesOk ? 0 : 1;
}
