// The worker's life beside the host's own threads and processes: a host
// that forks once the worker has started, and runs that come from threads
// of different priorities. Linux only (fork, nice values, /proc).

#include "ModuleHost.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <thread>

#include <pthread.h>
#include <sched.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Three capture folders of two files each: a frame the worker decodes.
void record(const RecordingFixture& rec)
{
    for (int n = 1; n <= 3; ++n) {
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
    }
}

// A host with its module configured for that recording, the log captured.
template <typename Case>
class ConfiguredHost : public ::testing::TestWithParam<Case> {
protected:
    void SetUp() override
    {
        record(rec);
        ASSERT_NE(host.camera, nullptr) << host.held.error();
        ASSERT_TRUE(host.configure(rec.param("camera3P")));
    }

    RecordingFixture rec;
    LogCapture log;
    ModuleHost host;
};

const unsigned kChildSeconds = 5;

// What a forked child got from threads that stayed in the parent (the frame
// the worker was reading, what lay on its stack) is unreachable in the
// child, and LeakSanitizer would report it when the child ends. So the child
// ends here: exit() has run every later registered handler, the module's
// end among them, and the leak check, registered first, has not run yet.
int forkedChildStatus = -1;
struct ForkedChildEnd {
    ~ForkedChildEnd()
    {
        if (forkedChildStatus >= 0)
            ::_exit(forkedChildStatus);
    }
} forkedChildEnd;

// Runs `inChild` in a forked child that ends with exit() and the status it
// returns; one that hangs is stopped after kChildSeconds. "" when the child
// exited with 0, else how it ended.
std::string inForkedChild(const std::function<int()>& inChild)
{
    const pid_t child = ::fork();
    if (child == 0) {
        ::alarm(kChildSeconds);
        forkedChildStatus = inChild();
        std::exit(forkedChildStatus);
    }
    int status = 0;
    if (child < 0 || ::waitpid(child, &status, 0) != child)
        return "fork failed";
    if (WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM)
        return "hung: stopped after " + std::to_string(kChildSeconds) + " s";
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
        return "ended with status " + std::to_string(status);
    return "";
}

struct ForkCase {
    const char* name;
    std::function<int(ModuleHost&)> child;  // 0 when all went as it should
};

void PrintTo(const ForkCase& c, std::ostream* out) { *out << c.name; }

class ForkedHost : public ConfiguredHost<ForkCase> {};

// The host forks after a run, while the worker reads the next frame ahead.
// The child does its part and calls exit(); the parent goes on as before.
TEST_P(ForkedHost, ChildEndsAndParentGoesOn)
{
    ASSERT_EQ(host.grab(), (std::vector<int>{11, 12}));

    EXPECT_EQ(inForkedChild([this] { return GetParam().child(host); }), "");
    EXPECT_EQ(host.grabs(3), (Frames{{21, 22}, {31, 32}, {11, 12}}));
}

INSTANTIATE_TEST_SUITE_P(, ForkedHost,
    ::testing::Values(
        ForkCase{"exits", [](ModuleHost&) { return 0; }},
        ForkCase{"runsThreeTimesAndExits",
                 [](ModuleHost& host) {
                     const Frames expected{{21, 22}, {31, 32}, {11, 12}};
                     return host.grabs(3) == expected ? 0 : 1;
                 }},
        ForkCase{"disposesAndExits",
                 [](ModuleHost& host) {
                     host.held.release();
                     return 0;
                 }}),
    [](const ::testing::TestParamInfo<ForkCase>& info) { return std::string(info.param.name); });

// A message handler that holds a thread that asked for it inside its run,
// at the "run end" line, until released. It waits by polling: a condition
// variable would keep the waiter in its state in a forked child.
thread_local bool holdAtRunEnd = false;
std::atomic<bool> heldAtRunEnd{false};
std::atomic<bool> releaseRunEnd{false};

void holdingHandler(QtMsgType, const QMessageLogContext&, const QString& message)
{
    if (!holdAtRunEnd || !message.contains(" run end"))
        return;
    heldAtRunEnd = true;
    for (int i = 0; i < 1000 && !releaseRunEnd; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
}

// Another host thread is inside run, holding the module-wide lock, when the
// host forks: the child, which does not have that thread, still runs.
TEST(ForkedHostDuringARun, ChildRunsAndParentGoesOn)
{
    RecordingFixture rec;
    record(rec);
    ModuleHost host;
    ASSERT_NE(host.camera, nullptr) << host.held.error();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    ASSERT_EQ(host.grab(), (std::vector<int>{11, 12}));
    heldAtRunEnd = false;
    releaseRunEnd = false;
    const QtMessageHandler previous = qInstallMessageHandler(holdingHandler);
    const std::unique_ptr<QThread> other(QThread::create([&host] {
        holdAtRunEnd = true;
        host.camera->run();  // grabs cap2, left uncollected
    }));
    other->start();
    for (int i = 0; i < 1000 && !heldAtRunEnd; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    ASSERT_TRUE(heldAtRunEnd) << "the other thread's run never got to its end";

    const Frames expected{{21, 22, 31, 32}, {11, 12}, {21, 22}};
    EXPECT_EQ(inForkedChild([&host, &expected] { return host.grabs(3) == expected ? 0 : 1; }), "");
    releaseRunEnd = true;
    EXPECT_TRUE(other->wait(10000));
    qInstallMessageHandler(previous);
    EXPECT_EQ(host.grabs(3), expected);
}

// How a thread is scheduled: its policy and nice value.
struct Scheduling {
    int policy = -1;
    int nice = 0;
    bool operator==(const Scheduling& other) const { return policy == other.policy && nice == other.nice; }
};

std::ostream& operator<<(std::ostream& out, const Scheduling& s)
{
    return out << "{policy " << s.policy << ", nice " << s.nice << "}";
}

Scheduling schedulingOf(pid_t tid)
{
    return {::sched_getscheduler(tid) & ~SCHED_RESET_ON_FORK, ::getpriority(PRIO_PROCESS, static_cast<id_t>(tid))};
}

// The schedulings of the module's worker threads, each once (QThread names
// them after their class; the helper threads they start take that name too).
std::vector<Scheduling> workersScheduling()
{
    std::vector<Scheduling> found;
    std::error_code ec;
    for (const auto& task : std::filesystem::directory_iterator("/proc/self/task", ec)) {
        std::string name;
        std::getline(std::ifstream(task.path() / "comm"), name);
        const Scheduling s = schedulingOf(static_cast<pid_t>(std::stoi(task.path().filename().string())));
        if (name == "MyThread" && std::find(found.begin(), found.end(), s) == found.end())
            found.push_back(s);
    }
    return found;
}

// The workers' schedulings once they are all `wanted`, or after two seconds
// (a worker that ended may linger a moment: Qt's threads are detached).
std::vector<Scheduling> workersOnceAt(const Scheduling& wanted)
{
    std::vector<Scheduling> found = workersScheduling();
    for (int i = 0; i < 200 && found != std::vector<Scheduling>{wanted}; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        found = workersScheduling();
    }
    return found;
}

struct PriorityCase {
    const char* name;
    std::function<bool()> lowerThisThread;
};

void PrintTo(const PriorityCase& c, std::ostream* out) { *out << c.name; }

class WorkerPriority : public ConfiguredHost<PriorityCase> {};

// The first run comes from a thread of idle priority, the next from this
// one: the worker then decodes and reads ahead at this thread's priority.
TEST_P(WorkerPriority, FollowsTheThreadOfEachRun)
{

    bool lowered = false;
    Scheduling idle;
    std::vector<int> first;
    const std::unique_ptr<QThread> idleHost(QThread::create([&] {
        lowered = GetParam().lowerThisThread();
        idle = schedulingOf(static_cast<pid_t>(::gettid()));
        first = host.grab();
    }));
    idleHost->start();
    ASSERT_TRUE(idleHost->wait(10000)) << "the first run never ended";
    ASSERT_TRUE(lowered);
    EXPECT_EQ(first, (std::vector<int>{11, 12}));
    EXPECT_EQ(workersOnceAt(idle), std::vector<Scheduling>{idle});

    const Scheduling normal = schedulingOf(static_cast<pid_t>(::gettid()));
    EXPECT_EQ(host.grab(), (std::vector<int>{21, 22}));
    EXPECT_EQ(workersOnceAt(normal), std::vector<Scheduling>{normal});
}

INSTANTIATE_TEST_SUITE_P(, WorkerPriority,
    ::testing::Values(
        PriorityCase{"nice19", [] { return ::setpriority(PRIO_PROCESS, 0, 19) == 0; }},
        PriorityCase{"schedIdle",
                     [] {
                         const sched_param none{};
                         return ::pthread_setschedparam(::pthread_self(), SCHED_IDLE, &none) == 0;
                     }}),
    [](const ::testing::TestParamInfo<PriorityCase>& info) { return std::string(info.param.name); });

}  // namespace
