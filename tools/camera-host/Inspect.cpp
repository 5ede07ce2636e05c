#include "Inspect.h"

#include "Console.h"
#include "ImageFile.h"
#include "ImageText.h"
#include "JsonLines.h"
#include "RecordingChecks.h"
#include "RecordingPlan.h"

#include <opencv2/core/mat.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <iterator>
#include <map>
#include <string>
#include <vector>

namespace {

// Inspect's text: on standard output, or nowhere when JSON Lines take its
// place there.
class Say {
public:
    explicit Say(bool wanted) : wanted_(wanted) {}
    template <typename... Args>
    void operator()(const char* format, Args... args) const
    {
        if (wanted_)
            printText(stdout, format, args...);
    }

private:
    bool wanted_;
};

struct InspectedFile {
    std::string path;
    std::string kind;   // kindText(): camera1's kind, else "image N" (position)
    std::string image;  // describeImage() of the decoded file; empty when it will not decode
    std::string notRead;  // why the module hands an empty image, when `image` is empty
    ImageEntry entry;     // the same for --json
};

struct Capture {
    std::string folder;
    std::vector<InspectedFile> files;
};

// Reads the file with the module's own code (never opening what is not a
// regular file), keeping only its description so a long recording does not
// have to fit in memory.
void describeFile(InspectedFile& file)
{
    ImageFileRead outcome;
    const cv::Mat image = readImageFile(file.path, outcome);
    file.entry = imageEntries({file.path}, {image}).front();
    switch (outcome.fault) {
    case ImageFileFault::None:
        file.image = describeImage(image);
        break;
    case ImageFileFault::CannotLook:
    case ImageFileFault::CannotRead:
        file.notRead = "cannot be read (" + outcome.detail + ")";
        break;
    case ImageFileFault::NotRegular:
        file.notRead = std::string("is ") + describe(outcome.before.kind) + ", not a regular file";
        break;
    case ImageFileFault::NotAnImage:
        file.notRead = outcome.detail;
        break;
    case ImageFileFault::DecoderThrew:
    case ImageFileFault::WillNotDecode:
        file.notRead = "will not decode";
        break;
    }
}

std::string shortName(const std::string& folder, const std::string& path)
{
    return path.rfind(folder, 0) == 0 && path.size() > folder.size() + 1 ? path.substr(folder.size() + 1) : path;
}

class Report {
public:
    void warn(const Capture* capture, int number, const std::string& text)
    {
        std::string line = capture ? "capture " + std::to_string(number) + " (" + capture->folder + "): " : "";
        warnings_.push_back(line + text);
    }
    const std::vector<std::string>& warnings() const { return warnings_; }

private:
    std::vector<std::string> warnings_;
};

void checkCamera1Kinds(const Capture& capture, int number, Report& report)
{
    std::map<std::string, int> counts;
    for (const InspectedFile& file : capture.files)
        ++counts[file.kind];
    int kindsPresent = 0;
    for (const char* kind : kCamera1Kinds)
        kindsPresent += counts[kind] > 0 ? 1 : 0;
    std::string missing;
    for (const char* kind : kCamera1Kinds) {
        if (counts[kind] == 0)
            missing += (missing.empty() ? "" : ", ") + std::string(kind);
        else if (counts[kind] > 1)
            report.warn(&capture, number,
                        std::to_string(counts[kind]) + " files of kind " + kind + ": the frame holds " +
                            countOf(capture.files.size(), "image") + " of " + std::to_string(kindsPresent) +
                            " of the " + std::to_string(std::size(kCamera1Kinds)) + " kinds");
    }
    if (!missing.empty() && !capture.files.empty())
        report.warn(&capture, number, "missing kinds " + missing);
}

void checkCapture(CameraMode mode, const std::string& cameraName, const Capture& capture, int number,
                  Report& report)
{
    for (const std::string& name : passedOverImageFiles(capture.folder, mode, cameraName))
        report.warn(&capture, number,
                    name + " is not read: " + cameraName + " reads only files ending in " + readEndings(mode));
    if (capture.files.empty()) {
        report.warn(&capture, number, "no file for " + cameraName + ": the frame will be empty");
        return;
    }
    if (readRuleOf(mode) == ReadRule::KindPasses)
        checkCamera1Kinds(capture, number, report);
    for (const InspectedFile& file : capture.files) {
        if (file.image.empty())
            report.warn(&capture, number,
                        shortName(capture.folder, file.path) + " " + file.notRead +
                            ": the module hands an empty image");
    }
}

// Flags files whose size or type differs from what most files of their kind have.
void checkConsistency(const std::vector<Capture>& captures, Report& report)
{
    std::map<std::string, std::map<std::string, int>> seen;  // kind -> description -> count
    for (const Capture& capture : captures)
        for (const InspectedFile& file : capture.files)
            if (!file.image.empty())
                ++seen[file.kind][file.image];
    std::map<std::string, std::string> usual;
    for (const auto& [kind, descriptions] : seen) {
        int best = 0;
        for (const auto& [description, count] : descriptions)
            if (count > best) {
                best = count;
                usual[kind] = description;
            }
    }
    for (std::size_t i = 0; i < captures.size(); ++i)
        for (const InspectedFile& file : captures[i].files) {
            if (file.image.empty() || file.image == usual[file.kind])
                continue;
            report.warn(&captures[i], static_cast<int>(i) + 1,
                        shortName(captures[i].folder, file.path) + " is " + file.image +
                            ", most " + file.kind + " files are " + usual[file.kind]);
        }
}

void printCapture(const Say& say, const Capture& capture, int number)
{
    say("\ncapture %d  %s\n", number, capture.folder.c_str());
    if (capture.files.empty())
        say("    (no file to read)\n");
    for (std::size_t i = 0; i < capture.files.size(); ++i) {
        const InspectedFile& file = capture.files[i];
        const std::string image = file.image.empty() ? "WILL NOT DECODE" : file.image;
        say("  %3zu  %-28s %-16s %s\n", i + 1, file.kind.c_str(), image.c_str(),
                    shortName(capture.folder, file.path).c_str());
    }
}

}  // namespace

namespace {

// Per camera, one JSON camera object per capture, in replay order.
using CaptureJson = std::vector<QJsonObject>;

int inspectCamera(const std::string& param, const Say& say, CaptureJson* json)
{
    Report report;
    const auto logToReport = [&report](const std::string& text) { report.warn(nullptr, 0, text); };
    RecordingPlan plan;
    std::string error;
    if (!planRecording(param, plan, error, logToReport)) {
        printText(stderr, "camera-host: %s\n", error.c_str());
        return 1;
    }
    const ParamParse& parse = plan.param;
    const std::vector<std::string>& folders = plan.folders;
    const CameraMode mode = plan.mode;
    say("recording  %s\ncamera     %s: %s\n", parse.rootFolder.c_str(), parse.cameraName.c_str(),
                readOrderText(mode).c_str());
    const std::string noCaptures = rootWithoutCapturesProblem(parse.rootFolder, folders.size());
    if (!noCaptures.empty()) {
        printText(stderr, "camera-host: %s\n", noCaptures.c_str());
        return 1;
    }
    say("captures   %zu, replayed in this order, then again from the first\n", folders.size());
    const std::string unknownCamera = unknownCameraProblem(parse.cameraName);
    if (!unknownCamera.empty())
        report.warn(nullptr, 0, unknownCamera);
    const std::string imagesInRoot = imagesInRootProblem(parse.rootFolder);
    if (!imagesInRoot.empty())
        report.warn(nullptr, 0, imagesInRoot);

    std::vector<Capture> captures;
    std::size_t fileCount = 0;
    for (std::size_t i = 0; i < folders.size(); ++i) {
        const PlannedCapture planned = planCapture(plan, i, logToReport);
        Capture capture{planned.folder, {}};
        for (const PlannedFile& file : planned.files) {
            capture.files.push_back({file.path, kindText(file, capture.files.size()), {}, {}, {}});
            describeFile(capture.files.back());
        }
        fileCount += capture.files.size();
        if (json) {
            std::vector<ImageEntry> entries;
            for (const InspectedFile& file : capture.files)
                entries.push_back(file.entry);
            json->push_back(cameraFrameJson(param, planned.belowRoot, entries));
        }
        printCapture(say, capture, static_cast<int>(captures.size()) + 1);
        if (mode != CameraMode::None)
            checkCapture(mode, parse.cameraName, capture, static_cast<int>(captures.size()) + 1, report);
        captures.push_back(std::move(capture));
    }
    checkConsistency(captures, report);

    say("\n%s, %s to read, %s\n", countOf(captures.size(), "capture").c_str(),
                countOf(fileCount, "file").c_str(), countOf(report.warnings().size(), "warning").c_str());
    for (const std::string& warning : report.warnings())
        say("warning: %s\n", warning.c_str());
    return report.warnings().empty() ? 0 : 1;
}

}  // namespace

// Each camera in turn, as given; the worst exit status of them.
// With --json, frame k holds each camera's capture k (a camera with fewer
// captures starts again from its first, as replay would).
int runInspect(const Options& options)
{
    std::FILE* json = nullptr;
    if (!options.jsonFile.empty() && !(json = openJsonOutput(options.jsonFile)))
        return 1;
    const Say say(options.jsonFile != "-");
    int status = 0;
    std::vector<CaptureJson> cameras(options.params.size());
    for (std::size_t i = 0; i < options.params.size(); ++i) {
        if (i > 0)
            say("\n");
        status = std::max(status, inspectCamera(options.params[i], say, json ? &cameras[i] : nullptr));
    }
    if (json) {
        std::size_t frames = 0;
        for (const CaptureJson& captures : cameras)
            frames = std::max(frames, captures.size());
        for (std::size_t k = 0; k < frames; ++k) {
            QJsonArray frame;
            for (const CaptureJson& captures : cameras)
                if (!captures.empty())
                    frame.append(captures[k % captures.size()]);
            writeFrameLine(json, static_cast<int>(k) + 1, frame);
        }
        writeSummaryLine(json, QJsonObject{{"frames", static_cast<int>(frames)},
                                           {"cameras", static_cast<int>(cameras.size())},
                                           {"warnings", status != 0}});
        closeJsonOutput(json);
    }
    return status;
}
