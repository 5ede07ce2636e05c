#include "StorageBench.h"

#include "FrameBench.h"
#include "ReplayHost.h"
#include "SlowMount.h"

#include <opencv2/imgcodecs.hpp>

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace fs = std::filesystem;

namespace {

pid_t threadId()
{
    return static_cast<pid_t>(::syscall(SYS_gettid));
}

// Keeps this thread's CPU busy for `micros`, as an inspection does.
void busyWork(double micros)
{
    const auto until = BenchClock::now() + std::chrono::duration<double, std::micro>(micros);
    while (BenchClock::now() < until) {
    }
}

void start(ReplayHost& host, const std::string& cameraName, const std::string& root)
{
    if (!host.start(replayParam(cameraName, root)))
        throw std::runtime_error("module: " + host.error());
}

// `frames` frames of `host`, the host busy `workMicros` after each; each
// frame's period is the time from one run to the next.
std::vector<Sample> play(ReplayHost& host, double workMicros, int frames, int& failures)
{
    std::vector<Sample> periods;
    std::vector<cv::Mat> images;
    Stopwatch stopwatch;
    for (int i = 0; i < frames; ++i) {
        images.clear();
        if (!host.grab(images) || images.empty())
            ++failures;
        busyWork(workMicros);
        periods.push_back(stopwatch.elapsed());
        stopwatch = Stopwatch();
    }
    return periods;
}

double directMicros(const std::vector<std::string>& frame)
{
    std::vector<Sample> samples;
    for (int pass = 0; pass < 5; ++pass) {
        const Stopwatch stopwatch;
        for (const std::string& path : frame)
            cv::imread(path, cv::IMREAD_UNCHANGED);
        samples.push_back(stopwatch.elapsed());
    }
    return medianMicros(samples);
}

// A folder modified within two seconds is listed again at every hand-over
// (its stamps cannot tell): wait until the recording's folders are older.
void letTheStampsAge(const FrameShape& shape)
{
    auto newest = fs::last_write_time(shape.root);
    for (const auto& frame : shape.frames)
        newest = std::max(newest, fs::last_write_time(fs::path(frame[0]).parent_path()));
    const auto age = fs::file_time_type::clock::now() - newest;
    if (age < std::chrono::milliseconds(2500))
        std::this_thread::sleep_for(std::chrono::milliseconds(2500) - age);
}

}  // namespace

void measureSlowStorage(ResultsTable& table, const FrameShape& camera1, const std::string& scratch, int frames)
{
    const int delayMicros = 2000;
    table.section("slow storage: camera1 through FUSE adding " + formatMicros(delayMicros) + " a request");
    const std::string mountPoint = scratch + "/slow-mount";
    fs::create_directories(mountPoint);
    std::string why;
    const std::unique_ptr<SlowMount> mount = mountSlowly(camera1.root, mountPoint, delayMicros, why);
    if (!mount) {
        table.info("skipped", why);
        return;
    }
    letTheStampsAge(camera1);
    const std::size_t files = camera1.frames[0].size();
    int failures = 0;

    // The host thread's requests per grab, read-ahead on and the host working
    // long enough for the read-ahead to end; a frame whose files the host
    // thread did not open was handed over.
    {
        setReadAhead(true);
        ReplayHost host(scratch);
        start(host, camera1.cameraName, mountPoint);
        std::vector<double> handedOver;
        RequestCounts afresh, handed;
        std::vector<cv::Mat> images;
        for (int i = 0; i < 2 * static_cast<int>(camera1.frames.size()) + 1; ++i) {
            mount->reset();
            images.clear();
            if (!host.grab(images) || images.size() != files)
                ++failures;
            const RequestCounts counts = mount->countsOf(threadId());
            if (counts.opens == 0 && counts.reads == 0) {
                handedOver.push_back(static_cast<double>(counts.total()));
                handed = counts;
            } else {
                afresh = counts;
            }
            // Long enough for the read-ahead, within the second the kernel
            // trusts the entries it looked up.
            std::this_thread::sleep_for(std::chrono::milliseconds(600));
        }
        const double requests = median(handedOver);
        table.check("host thread's requests per frame handed over (" + std::to_string(handedOver.size()) + " of " +
                        std::to_string(2 * camera1.frames.size() + 1) + " frames)",
                    formatNumber(requests, 1), "<= files + 3 = " + std::to_string(files + 3),
                    !handedOver.empty() && requests <= static_cast<double>(files + 3));
        const auto kinds = [](const RequestCounts& c) {
            return std::to_string(c.statuses) + ", " + std::to_string(c.listings) + ", " + std::to_string(c.opens) +
                   ", " + std::to_string(c.reads) + ", " + std::to_string(c.other);
        };
        table.info("the last handed over: statuses, listings, opens, reads, other", kinds(handed));
        table.info("a grab made at run: statuses, listings, opens, reads, other", kinds(afresh));
    }

    // The period with the host working 20 ms and 300 ms, read-ahead on and
    // off in alternating blocks.
    ReplayHost hosts[2]{ReplayHost(scratch), ReplayHost(scratch)};  // [0] read-ahead off, [1] on
    for (ReplayHost& host : hosts)
        start(host, camera1.cameraName, mountPoint);
    for (const double workMicros : {20000.0, 300000.0}) {
        std::vector<Sample> periods[2];
        for (const int mode : {0, 1, 1, 0}) {
            setReadAhead(mode == 1);
            play(hosts[mode], workMicros, 1, failures);  // the first frame after a switch is not counted
            const std::vector<Sample> block = play(hosts[mode], workMicros, std::max(2, frames / 2), failures);
            periods[mode].insert(periods[mode].end(), block.begin(), block.end());
        }
        setReadAhead(true);
        const double off = medianMicros(periods[0]);
        const double on = medianMicros(periods[1]);
        const double bound = workMicros < 100000 ? 1.0 : 0.75;
        table.check("host working " + formatMicros(workMicros) + ": period read-ahead on / off",
                    formatMicros(on) + " / " + formatMicros(off), "on <= " + formatNumber(bound, 2) + " off",
                    on <= bound * off);
    }
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}

namespace {

bool dropPageCache()
{
    ::sync();
    std::ofstream drop("/proc/sys/vm/drop_caches");
    drop << "1\n";
    drop.flush();
    return static_cast<bool>(drop);
}

// Reads the frame's files, one read each.
void readFiles(const std::vector<std::string>& frame, std::vector<char>& bytes)
{
    for (const std::string& path : frame) {
        const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0 || ::read(fd, bytes.data(), bytes.size()) <= 0)
            throw std::runtime_error("cannot read " + path);
        ::close(fd);
    }
}

// Decodes the frame's files on two threads, each taking every other file.
void decodeOnTwoThreads(const std::vector<std::string>& frame)
{
    const auto half = [&](std::size_t first) {
        for (std::size_t i = first; i < frame.size(); i += 2)
            cv::imread(frame[i], cv::IMREAD_UNCHANGED);
    };
    std::thread other(half, 1);
    half(0);
    other.join();
}

}  // namespace

void measureColdStorage(ResultsTable& table, const FrameShape& camera1, const std::string& scratch, int rounds)
{
    table.section("cold storage: camera1, the page cache dropped before each pass over the recording (" +
                  std::to_string(rounds) + " passes)");
    if (::geteuid() != 0 || !dropPageCache()) {
        table.info("skipped", "dropping the page cache needs root (/proc/sys/vm/drop_caches)");
        return;
    }
    std::size_t largest = 0;
    for (const std::string& path : camera1.frames[0])
        largest = std::max<std::size_t>(largest, fs::file_size(path));
    std::vector<char> bytes(largest, 1);
    std::vector<Sample> io, decode;
    for (int round = 0; round < rounds; ++round) {
        dropPageCache();
        for (const auto& frame : camera1.frames) {
            const Stopwatch stopwatch;
            readFiles(frame, bytes);
            io.push_back(stopwatch.elapsed());
        }
        for (const auto& frame : camera1.frames) {
            const Stopwatch stopwatch;
            decodeOnTwoThreads(frame);
            decode.push_back(stopwatch.elapsed());
        }
    }
    const double a = directMicros(camera1.frames[0]);
    setReadAhead(true);
    ReplayHost host(scratch);
    start(host, camera1.cameraName, camera1.root);
    int failures = 0;
    std::vector<Sample> periods;
    const int perPass = static_cast<int>(camera1.frames.size());
    play(host, a, 1, failures);
    for (int round = 0; round < rounds; ++round) {
        dropPageCache();
        // The frame read ahead before the drop is warm: its period is not counted.
        play(host, a, 1, failures);
        const std::vector<Sample> pass = play(host, a, perPass - 1, failures);
        periods.insert(periods.end(), pass.begin(), pass.end());
    }
    // The same with the recording in the page cache, for comparison.
    const std::vector<Sample> warm = play(host, a, perPass * rounds, failures);
    const double ioFloor = medianMicros(io);
    const double decodeFloor = medianMicros(decode);
    const double period = medianMicros(periods);
    // The host's own work is a floor too: the period cannot be shorter.
    const double floor = std::max({ioFloor, decodeFloor, a});
    table.info("I/O floor: a frame's files read cold, median", formatMicros(ioFloor));
    table.info("decode floor: a frame decoded on two threads, warm, median", formatMicros(decodeFloor));
    table.info("period / max(I/O, decode)", formatNumber(period / std::max(ioFloor, decodeFloor), 3));
    table.info("period with the recording in the page cache", formatMicros(medianMicros(warm)));
    table.check("period, host working A = " + formatMicros(a) + ", read-ahead on",
                formatMicros(period) + ", " + formatNumber(period / floor, 3) + " max(A, I/O, decode)",
                "<= 1.15 max(A, I/O, decode)", period <= 1.15 * floor);
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}

void measureStation(ResultsTable& table, const std::vector<FrameShape>& shapes, const std::string& scratch,
                    int frames)
{
    std::vector<const FrameShape*> cameras;
    for (const FrameShape& shape : shapes) {
        if (shape.name != "tiny" && cameras.size() < 4)
            cameras.push_back(&shape);
    }
    setReadAhead(true);
    std::vector<double> waits;
    for (const FrameShape* shape : cameras)
        waits.push_back(directMicros(shape->frames[0]));
    // Each camera on its own thread: grab, then wait W; the period of each
    // camera is its median time from run to run.
    const auto run = [&](const std::vector<std::size_t>& which) {
        std::vector<double> periods(which.size());
        std::vector<int> failures(which.size());
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < which.size(); ++t) {
            threads.emplace_back([&, t] {
                const FrameShape& shape = *cameras[which[t]];
                ReplayHost host(scratch);
                start(host, shape.cameraName, shape.root);
                std::vector<Sample> samples;
                std::vector<cv::Mat> images;
                Stopwatch stopwatch;
                for (int i = 0; i < frames + 1; ++i) {
                    images.clear();
                    if (!host.grab(images) || images.size() != shape.frames[0].size())
                        ++failures[t];
                    std::this_thread::sleep_for(std::chrono::duration<double, std::micro>(waits[which[t]]));
                    if (i > 0)
                        samples.push_back(stopwatch.elapsed());
                    stopwatch = Stopwatch();
                }
                periods[t] = medianMicros(samples);
            });
        }
        for (std::thread& thread : threads)
            thread.join();
        int failed = 0;
        for (const int f : failures)
            failed += f;
        return std::make_pair(periods, failed);
    };
    std::string names;
    std::vector<std::size_t> all;
    for (std::size_t c = 0; c < cameras.size(); ++c) {
        names += (names.empty() ? "" : ", ") + cameras[c]->name;
        all.push_back(c);
    }
    table.section("a station: " + names + ", each on its own host thread waiting W = its A a frame (" +
                  std::to_string(frames) + " frames)");
    double slowestAlone = 0;
    int failures = 0;
    std::string alone;
    for (std::size_t c = 0; c < cameras.size(); ++c) {
        const auto [periods, failed] = run({c});
        failures += failed;
        slowestAlone = std::max(slowestAlone, periods[0]);
        alone += (alone.empty() ? "" : " / ") + formatMicros(periods[0]);
    }
    const auto [periods, failed] = run(all);
    failures += failed;
    const double station = *std::max_element(periods.begin(), periods.end());
    table.info("each camera alone: period", alone);
    table.check("the station: slowest camera's period / slowest alone",
                formatMicros(station) + ", " + formatNumber(station / slowestAlone, 3), "<= 1.15",
                station <= 1.15 * slowestAlone);
    table.check("grabs that failed or lost an image", std::to_string(failures), "0", failures == 0);
}
