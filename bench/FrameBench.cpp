#include "FrameBench.h"

#include "BuiltModule.h"
#include "ReplayHost.h"

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>
#include <opencv2/videoio.hpp>

#include <QThread>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What each frame shape must meet; a negative bound means "no target, shown
// for information".
struct ShapeTargets {
    const char* name;
    double maxModuleOverDirect;  // B/A
    double maxModuleMinusDirect; // B - A in microseconds
    double maxModuleOverPeer;    // B/C
    const char* note;            // where the B/A bound comes from
};

const ShapeTargets kTargets[] = {
    {"camera1", 0.55, -1, -1, "six images decoded on two threads"},
    {"camera2-raw", 1.00, -1, -1, "never above the decode floor"},
    {"camera2-lzw", 1.00, -1, -1, "never above the decode floor"},
    {"single", 1.01, -1, 1.00, "single-image frame"},
    {"tiny", -1, 20, -1, ""},
};

// Period / (A + W) with the host working W = A per frame, read-ahead on.
struct HostWorksTarget {
    const char* name;
    double maxPeriodOverWork;
};

const HostWorksTarget kHostWorksTargets[] = {
    {"single", 0.65},
    {"camera1", 0.70},
};

const ShapeTargets& targetsOf(const std::string& name)
{
    for (const ShapeTargets& targets : kTargets) {
        if (name == targets.name)
            return targets;
    }
    throw std::logic_error("no targets for frame shape " + name);
}

bool sameImages(const std::vector<cv::Mat>& a, const std::vector<cv::Mat>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].empty() || a[i].size != b[i].size || a[i].type() != b[i].type() ||
            cv::norm(a[i], b[i], cv::NORM_INF) != 0)
            return false;
    }
    return true;
}

// A thread that does nothing: what starting a thread for every grab would
// cost, as the module did before its worker lived with the object.
class IdleThread : public QThread {
protected:
    void run() override {}
};

// Reads the frames of one shape in the four ways, plus E for single-file
// shapes. Each method returns the
// time of the reading alone; releasing the previous frame is left outside.
class FrameReaders {
public:
    FrameReaders(const FrameShape& shape, const std::string& scratch) : shape_(shape), host_(scratch)
    {
        if (!host_.start(replayParam(shape.cameraName, shape.root)))
            throw std::runtime_error("module: " + host_.error());
        std::size_t largest = 0;
        for (const auto& frame : shape.frames) {
            for (const std::string& path : frame)
                largest = std::max<std::size_t>(largest, fs::file_size(path));
        }
        bytes_.assign(largest, 1);  // touched now, so reads take no page faults
        if (hasPeer() && !peer_.open(shape.sequencePattern, cv::CAP_IMAGES))
            throw std::runtime_error("OpenCV cannot open the sequence " + shape.sequencePattern);
    }

    bool hasPeer() const { return !shape_.sequencePattern.empty(); }
    std::size_t frameCount() const { return shape_.frames.size(); }

    // One pass over every frame, untimed: warms the caches, the decoder
    // threads and the lazily bound symbols, and checks that every method
    // reads the same images. The module then stands at frame 0 again.
    void warmUpAndCheck()
    {
        for (std::size_t frame = 0; frame < frameCount(); ++frame) {
            direct(frame);
            module(frame);
            if (!sameImages(directImages_, moduleImages_))
                throw std::runtime_error(shape_.name + ": the module's images differ from imread's, frame " +
                                         std::to_string(frame));
            if (hasPeer()) {
                peer(frame);
                if (!sameImages(directImages_, {peerFrame_}))
                    throw std::runtime_error(shape_.name + ": the sequence reader's image differs, frame " +
                                             std::to_string(frame));
            }
        }
        moduleFailures_ = 0;
        peerFailures_ = 0;
    }

    Sample direct(std::size_t frame)
    {
        const std::vector<std::string>& paths = shape_.frames[frame];
        directImages_.clear();
        directImages_.reserve(paths.size());
        const Stopwatch stopwatch;
        for (const std::string& path : paths)
            directImages_.push_back(cv::imread(path, cv::IMREAD_UNCHANGED));
        return stopwatch.elapsed();
    }

    Sample module(std::size_t frame)
    {
        moduleImages_.clear();
        const Stopwatch stopwatch;
        const bool ok = host_.grab(moduleImages_);
        const Sample sample = stopwatch.elapsed();
        if (!ok || moduleImages_.size() != shape_.frames[frame].size())
            ++moduleFailures_;
        return sample;
    }

    // The reader goes through the sequence in order; it is moved only when
    // asked for another frame than the next.
    Sample peer(std::size_t frame)
    {
        if (frame != peerNext_ && !peer_.set(cv::CAP_PROP_POS_FRAMES, static_cast<double>(frame)))
            throw std::runtime_error("OpenCV cannot move to frame " + std::to_string(frame) + " of " +
                                     shape_.sequencePattern);
        peerNext_ = frame + 1;
        const Stopwatch stopwatch;
        const bool ok = peer_.read(peerFrame_);
        const Sample sample = stopwatch.elapsed();
        if (!ok || peerFrame_.empty())
            ++peerFailures_;
        return sample;
    }

    // E: the direct loop behind the start of a thread and the wait for its
    // end, as every grab has them: the floor the module's design allows.
    Sample directAfterThread(std::size_t frame)
    {
        const Stopwatch stopwatch;
        idleThread_.start();
        idleThread_.wait();
        for (const std::string& path : shape_.frames[frame])
            floorImages_.push_back(cv::imread(path, cv::IMREAD_UNCHANGED));
        const Sample sample = stopwatch.elapsed();
        floorImages_.clear();
        return sample;
    }

    Sample bytes(std::size_t frame)
    {
        const Stopwatch stopwatch;
        for (const std::string& path : shape_.frames[frame]) {
            const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0 || ::read(fd, bytes_.data(), bytes_.size()) <= 0)
                throw std::runtime_error("cannot read " + path);
            ::close(fd);
        }
        return stopwatch.elapsed();
    }

    int moduleFailures() const { return moduleFailures_; }
    int peerFailures() const { return peerFailures_; }

private:
    const FrameShape& shape_;
    ReplayHost host_;
    cv::VideoCapture peer_;
    std::vector<cv::Mat> directImages_;
    std::vector<cv::Mat> moduleImages_;
    std::vector<cv::Mat> floorImages_;
    IdleThread idleThread_;
    cv::Mat peerFrame_;
    std::size_t peerNext_ = 0;
    std::vector<char> bytes_;
    int moduleFailures_ = 0;
    int peerFailures_ = 0;
};

struct FrameTimes {
    std::vector<Sample> direct, module, peer, bytes, floor;  // one per frame read
};

// Interleaves the methods round by round, so a change in the machine's load
// falls on all of them alike. In a round each method reads another frame
// (the module the one at its cursor, the others spread over the recording),
// so none reads files whose bytes another has just brought into the CPU
// caches; the order within a round rotates too.
FrameTimes measureFrames(FrameReaders& readers, int rounds)
{
    FrameTimes times;
    using Method = std::function<void(std::size_t)>;
    const std::vector<Method> methods{
        [&](std::size_t f) { times.module.push_back(readers.module(f)); },
        [&](std::size_t f) { times.direct.push_back(readers.direct(f)); },
        [&](std::size_t f) { times.bytes.push_back(readers.bytes(f)); },
        [&](std::size_t f) { times.peer.push_back(readers.peer(f)); },
        [&](std::size_t f) { times.floor.push_back(readers.directAfterThread(f)); },
    };
    const std::size_t count = readers.hasPeer() ? methods.size() : methods.size() - 2;
    const std::size_t frames = readers.frameCount();
    for (std::size_t round = 0; round < static_cast<std::size_t>(rounds); ++round) {
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t method = (i + round) % count;
            const std::size_t offset = method * frames / count;  // 0 for the module
            methods[method]((round + offset) % frames);
        }
    }
    return times;
}

// A ratio with its bound, or for information when the shape has none.
void reportRatio(ResultsTable& table, const std::string& figure, double ratio, double bound,
                 const std::string& why)
{
    if (bound <= 0) {
        table.info(figure, formatNumber(ratio, 3));
        return;
    }
    std::string target = "<= " + formatNumber(bound, 2);
    if (!why.empty())
        target += " (" + why + ")";
    table.check(figure, formatNumber(ratio, 3), target, ratio <= bound);
}

void reportShape(ResultsTable& table, const FrameShape& shape, const FrameReaders& readers,
                 const FrameTimes& times, const std::string& note)
{
    const ShapeTargets& targets = targetsOf(shape.name);
    table.section(shape.name + ": " + shape.label + " (" + std::to_string(shape.frames.size()) +
                  " capture folders, " + std::to_string(times.module.size()) + " frames per method" +
                  (note.empty() ? "" : ", " + note) + ")");
    table.info("A direct imread loop, median", formatMicros(medianMicros(times.direct)));
    table.info("B module run + getImages, median", formatMicros(medianMicros(times.module)));
    if (readers.hasPeer())
        table.info("C OpenCV image-sequence reader, median", formatMicros(medianMicros(times.peer)));
    table.info("D bytes, one read per file, median", formatMicros(medianMicros(times.bytes)));
    if (readers.hasPeer())
        table.info("E thread start + wait, then A, median", formatMicros(medianMicros(times.floor)));
    reportRatio(table, "B/A", pairedRatio(times.module, times.direct), targets.maxModuleOverDirect, targets.note);
    if (targets.maxModuleMinusDirect > 0) {
        const double extra = pairedDifference(times.module, times.direct);
        table.check("B - A", formatMicros(extra), "<= " + formatMicros(targets.maxModuleMinusDirect),
                    extra <= targets.maxModuleMinusDirect);
    }
    if (readers.hasPeer())
        reportRatio(table, "B/C", pairedRatio(times.module, times.peer), targets.maxModuleOverPeer, "");
    if (readers.hasPeer()) {
        table.info("E - A (starting and ending a thread)", formatMicros(pairedDifference(times.floor, times.direct)));
        table.info("E/A", formatNumber(pairedRatio(times.floor, times.direct), 3));
        table.info("B/E", formatNumber(pairedRatio(times.module, times.floor), 3));
    }
    table.info("A/D", formatNumber(pairedRatio(times.direct, times.bytes), 1));
    table.info("B/A in CPU time, all threads", formatNumber(pairedCpuRatio(times.module, times.direct), 3));
    table.info("minor page faults per frame, A / B",
               formatNumber(meanFaults(times.direct), 0) + " / " + formatNumber(meanFaults(times.module), 0));
    table.check("grabs that failed or lost an image", std::to_string(readers.moduleFailures()), "0",
                readers.moduleFailures() == 0);
    if (readers.hasPeer() && readers.peerFailures() != 0)
        table.check("sequence reads that failed", std::to_string(readers.peerFailures()), "0", false);
}

}  // namespace

void setReadAhead(bool on)
{
    if (on)
        ::unsetenv("QZ_READFILE_READ_AHEAD");
    else
        ::setenv("QZ_READFILE_READ_AHEAD", "0", 1);
}

void measureFrameShape(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int rounds,
                       const std::string& note)
{
    setReadAhead(false);
    FrameReaders readers(shape, scratch);
    readers.warmUpAndCheck();
    const FrameTimes times = measureFrames(readers, rounds);
    reportShape(table, shape, readers, times, note);
    setReadAhead(true);
}

namespace {

// CPU time of the calling thread.
double threadCpuMicros()
{
    timespec now{};
    ::clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1e6 + now.tv_nsec / 1e3;
}

// Keeps this thread's CPU busy until `micros` have passed.
void work(double micros)
{
    const auto until = BenchClock::now() + std::chrono::duration<double, std::micro>(micros);
    while (BenchClock::now() < until) {
    }
}

// The median time of one direct imread loop over a frame, over the recording.
double directMicros(const FrameShape& shape)
{
    std::vector<Sample> samples;
    for (int pass = 0; pass < 3; ++pass) {
        for (const auto& frame : shape.frames) {
            std::vector<cv::Mat> images;
            const Stopwatch stopwatch;
            for (const std::string& path : frame)
                images.push_back(cv::imread(path, cv::IMREAD_UNCHANGED));
            samples.push_back(stopwatch.elapsed());
        }
    }
    return medianMicros(samples);
}

// One block of frames: grab, then work; each frame's period is the time from
// one run to the next.
void playBlock(ReplayHost& host, double workMicros, int frames, std::vector<Sample>& periods, int& failures)
{
    std::vector<cv::Mat> images;
    Stopwatch stopwatch;
    for (int i = 0; i < frames; ++i) {
        images.clear();
        if (!host.grab(images))
            ++failures;
        work(workMicros);
        periods.push_back(stopwatch.elapsed());
        stopwatch = Stopwatch();
    }
}

}  // namespace

void measureHostWorks(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int frames)
{
    const double a = directMicros(shape);
    ReplayHost hosts[2]{ReplayHost(scratch), ReplayHost(scratch)};  // [0] read-ahead off, [1] on
    for (ReplayHost& host : hosts) {
        if (!host.start(replayParam(shape.cameraName, shape.root)))
            throw std::runtime_error("module: " + host.error());
    }
    double target = -1;
    for (const HostWorksTarget& t : kHostWorksTargets) {
        if (shape.name == t.name)
            target = t.maxPeriodOverWork;
    }
    table.section("host works: " + shape.name + ", W per frame between getImages and the next run (" +
                  std::to_string(4 * frames) + " frames per figure; A = " + formatMicros(a) + ")");
    int failures = 0;
    for (const double share : {0.0, 0.5, 1.0, 2.0}) {
        const double w = share * a;
        std::vector<Sample> periods[2];
        for (const int mode : {0, 1, 1, 0, 0, 1, 1, 0}) {
            setReadAhead(mode == 1);
            int ignored = 0;
            std::vector<Sample> warmUp;
            playBlock(hosts[mode], w, 1, warmUp, ignored);  // the first frame after a switch is not counted
            playBlock(hosts[mode], w, frames / 2, periods[mode], failures);
        }
        setReadAhead(true);
        const std::string wName = share == 0 ? "W = 0" : share == 0.5 ? "W = A/2" : share == 1 ? "W = A" : "W = 2A";
        for (const int mode : {0, 1}) {
            const double period = medianMicros(periods[mode]);
            const double ratio = period / (a + w);
            const std::string figure = wName + ", read-ahead " + (mode ? "on" : "off") + ": period (A + W = " +
                                       formatMicros(a + w) + ")";
            const std::string value = formatMicros(period) + ", " + formatNumber(ratio, 3);
            if (mode == 1 && share == 1.0 && target > 0)
                table.check(figure, value, "<= " + formatNumber(target, 2) + " (A + W)", ratio <= target);
            else
                table.info(figure, value);
        }
    }
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}

void measureBackToBack(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int rounds,
                       const std::string& note)
{
    ReplayHost hosts[2]{ReplayHost(scratch), ReplayHost(scratch)};  // [0] read-ahead off, [1] on
    for (ReplayHost& host : hosts) {
        if (!host.start(replayParam(shape.cameraName, shape.root)))
            throw std::runtime_error("module: " + host.error());
    }
    const int blockFrames = 50;
    int failures = 0;
    // One block: `blockFrames` frames back to back; its figure is the median frame.
    const auto block = [&](int method) {
        std::vector<Sample> frames;
        std::vector<cv::Mat> images;
        for (int i = 0; i < blockFrames; ++i) {
            images.clear();
            const Stopwatch stopwatch;
            if (method == 2) {
                for (const std::string& path : shape.frames[static_cast<std::size_t>(i) % shape.frames.size()])
                    images.push_back(cv::imread(path, cv::IMREAD_UNCHANGED));
            } else if (!hosts[method].grab(images) || images.size() != shape.frames[0].size()) {
                ++failures;
            }
            frames.push_back(stopwatch.elapsed());
        }
        return medianMicros(frames);
    };
    std::vector<double> direct, on, off, onMinusDirect, onOverOff;
    const int methods[3] = {2, 1, 0};
    for (int round = 0; round < rounds; ++round) {
        double figure[3] = {0, 0, 0};
        for (int i = 0; i < 3; ++i) {
            const int method = methods[(i + round) % 3];
            setReadAhead(method == 1);
            figure[method] = block(method);
        }
        direct.push_back(figure[2]);
        on.push_back(figure[1]);
        off.push_back(figure[0]);
        onMinusDirect.push_back(figure[1] - figure[2]);
        onOverOff.push_back(figure[1] / figure[0]);
    }
    setReadAhead(true);
    table.section(shape.name + " back to back, no host work (" + std::to_string(rounds) + " rounds of " +
                  std::to_string(blockFrames) + " frames per method" + (note.empty() ? "" : ", " + note) + ")");
    table.info("A direct imread loop, median", formatMicros(median(direct)));
    table.info("B module, read-ahead on / off, median", formatMicros(median(on)) + " / " + formatMicros(median(off)));
    const double extra = median(onMinusDirect);
    table.check("B on - A", formatMicros(extra), "<= 20.0 us", extra <= 20.0);
    const double ratio = median(onOverOff);
    table.check("B on / B off", formatNumber(ratio, 3), "<= 1.05", ratio <= 1.05);
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}

void measureTwoObjects(ResultsTable& table, const FrameShape& shape, const std::string& scratch, int frames)
{
    const double a = directMicros(shape);
    ModuleObject held;
    if (!held.load(builtModulePath(), CameraModule::Load::PrivateCopy, scratch))
        throw std::runtime_error("module: " + held.error());
    Base* objects[2] = {held.get(), held.module().create()};
    if (!objects[1])
        throw std::runtime_error("module: create gave no second object");
    const std::string param = replayParam(shape.cameraName, shape.root);
    objects[0]->setParam(nullptr, QByteArray::fromStdString(param));
    objects[0]->init(nullptr);
    int failures = 0;
    // Per frame: wall and CPU time from one run to the next, the host working A between.
    const auto play = [&](int count, bool inTurn, std::vector<Sample>& periods) {
        std::vector<cv::Mat> images;
        for (int i = 0; i < count; ++i) {
            Base* object = objects[inTurn ? i % 2 : 0];
            images.clear();
            const Stopwatch stopwatch;
            if (!object->run() || !object->getImages(images, nullptr) || images.size() != shape.frames[0].size())
                ++failures;
            const double workCpuStart = threadCpuMicros();
            work(a);
            Sample period = stopwatch.elapsed();
            period.cpuMicros -= threadCpuMicros() - workCpuStart;  // the host's own work left out
            periods.push_back(period);
        }
    };
    std::vector<Sample> inTurn, alone;
    for (int block = 0; block < 4; ++block) {
        setReadAhead(true);
        play(frames / 4, true, inTurn);
        setReadAhead(false);
        play(frames / 4, false, alone);
    }
    setReadAhead(true);
    held.module().destory(objects[1]);
    std::vector<double> cpuInTurn, cpuAlone;
    for (const Sample& s : inTurn)
        cpuInTurn.push_back(s.cpuMicros);
    for (const Sample& s : alone)
        cpuAlone.push_back(s.cpuMicros);
    table.section("two objects of one module in turn: " + shape.name + ", the host working A = " + formatMicros(a) +
                  " between runs (" + std::to_string(frames) + " frames each)");
    table.info("period, two objects in turn (read-ahead on) / one object (off)",
               formatMicros(medianMicros(inTurn)) + " / " + formatMicros(medianMicros(alone)));
    const double cpuRatio = median(cpuInTurn) / median(cpuAlone);
    table.check("module's CPU time per frame, in turn / alone", formatNumber(cpuRatio, 3),
                "<= 1.05 (each file read once)", cpuRatio <= 1.05);
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}

void measureCallCost(ResultsTable& table, const FrameShape& shape, const std::string& scratch)
{
    ReplayHost host(scratch);
    if (!host.start(replayParam(shape.cameraName, shape.root)))
        throw std::runtime_error("module: " + host.error());
    Base* object = host.object();
    std::vector<cv::Mat> images;
    const int calls = 200000;
    std::vector<Sample> perBatch;
    for (int batch = 0; batch < 11; ++batch) {
        const Stopwatch stopwatch;
        for (int i = 0; i < calls / 10; ++i)
            object->getImages(images, nullptr);
        perBatch.push_back(stopwatch.elapsed());
    }
    const double nanos = medianMicros(perBatch) * 1000.0 / (calls / 10);
    table.section("a call with nobody else calling (getImages on an empty buffer)");
    table.check("time per call, median of 11 batches of " + std::to_string(calls / 10), formatNumber(nanos, 0) + " ns",
                "<= 1000 ns", nanos <= 1000.0);
}

void measureDestoryLatency(ResultsTable& table, const FrameShape& shape, const std::string& scratch)
{
    std::vector<Sample> decodes;
    for (int pass = 0; pass < 3; ++pass) {
        for (const std::string& path : shape.frames[1]) {
            const Stopwatch stopwatch;
            cv::imread(path, cv::IMREAD_UNCHANGED);
            decodes.push_back(stopwatch.elapsed());
        }
    }
    std::sort(decodes.begin(), decodes.end(), [](const Sample& a, const Sample& b) { return a.micros < b.micros; });
    const double slowestFile = decodes.back().micros;
    setReadAhead(true);
    table.section("destory after a run, " + shape.label + " (read-ahead on; slowest file " +
                  formatNumber(slowestFile, 0) + " us)");
    // Right after the run the worker may not have begun; half a file later
    // it is inside a file, which destory waits for.
    for (const double pauseMicros : {0.0, slowestFile / 2}) {
        std::vector<Sample> destories;
        for (int round = 0; round < 11; ++round) {
            ModuleObject held;
            if (!held.load(builtModulePath(), CameraModule::Load::PrivateCopy, scratch))
                throw std::runtime_error("module: " + held.error());
            Base* object = held.get();
            object->setParam(nullptr, QByteArray::fromStdString(replayParam(shape.cameraName, shape.root)));
            std::vector<cv::Mat> images;
            if (!object->init(nullptr) || !object->run() || !object->getImages(images, nullptr))
                throw std::runtime_error("module: the grab before destory failed");
            work(pauseMicros);
            const Stopwatch stopwatch;
            held.release();  // destory, while the worker reads the next frame ahead
            destories.push_back(stopwatch.elapsed());
        }
        const double destory = medianMicros(destories);
        table.check(std::string(pauseMicros == 0 ? "right after the run" : "half a file after the run") +
                        ": destory, median of 11",
                    formatNumber(destory, 0) + " us", "<= 2 files (" + formatNumber(2 * slowestFile, 0) + " us)",
                    destory <= 2 * slowestFile);
    }
}
