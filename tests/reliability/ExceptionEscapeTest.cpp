// No exception leaves the module: every exported function and Base operation
// is run with the module's own allocations failing, the k-th one alone and
// every one from the k-th on, for every k the operation reaches. Each call
// must come back with an answer (no exception, no std::terminate), and the
// module must work normally afterwards.
//
// Only allocations that the module's code asks for fail (directly or through
// the standard library). Qt and OpenCV do not promise to survive a failing
// allocation inside themselves (Qt's QThread constructor crashes, OpenCV's
// decoder leaks), so their own allocations are left alone, except Qt's log
// lines where an operation makes no Qt object.
//
// Own program: it replaces the global operator new.

#include "EntryGuard.h"
#include "Grab.h"
#include "LogCapture.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

// Allocation failure injection for the thread that arms it.
struct Injection {
    bool counting = false;
    long allocations = 0;    // made by the module's code since counting started
    long failFrom = -1;      // index of the first allocation to fail
    bool failOnce = true;    // only that one, or every one from it on
    bool anyCode = false;    // Qt's allocations fail too (OpenCV's never)
    int suspended = 0;       // inside the test's own bookkeeping
    int epoch = 0;           // armed in this epoch of injectionEpoch
};
thread_local Injection injection;
// Moving it on disarms every thread's injection at once, also that of the
// module's worker, which outlives the grab that armed it.
std::atomic<int> injectionEpoch{0};

struct CodeAt {
    const void* object = nullptr;  // load address of the file holding it
    std::string function;          // exported name, when it has one
};

CodeAt codeAt(void* address)
{
    Dl_info info;
    if (!dladdr(address, &info))
        return {};
    return {info.dli_fbase, info.dli_sname ? info.dli_sname : ""};
}

const void* standardLibrary()
{
    return codeAt(dlsym(RTLD_DEFAULT, "_ZSt9terminatev")).object;
}

// True when the code that wants the memory is this program (the module's
// objects are linked into it), directly or through the standard library's
// out-of-line string code. Other standard library internals are left out:
// libstdc++'s directory iterator ends in std::terminate when an allocation
// inside it fails, whoever calls it.
bool askedForByTheModule(void* caller)
{
    static const void* const program = codeAt(reinterpret_cast<void*>(&codeAt)).object;
    static const void* const library = standardLibrary();
    void* frames[32];
    const int count = backtrace(frames, 32);
    int i = 0;
    while (i < count && frames[i] != caller)
        ++i;
    for (; i < count && codeAt(frames[i]).object == library; ++i) {
        if (codeAt(frames[i]).function.find("basic_string") == std::string::npos)
            return false;
    }
    return i < count && codeAt(frames[i]).object == program;
}

// True when OpenCV's code is anywhere on the way to the allocation: the
// host thread decodes in run too, and OpenCV loses the pixels it has just
// allocated when its next allocation fails.
bool insideOpenCV()
{
    void* frames[64];
    const int count = backtrace(frames, 64);
    for (int i = 0; i < count; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fname && std::strstr(info.dli_fname, "libopencv_"))
            return true;
    }
    return false;
}

bool shouldFail(void* caller)
{
    if (!injection.counting || injection.suspended > 0 || injection.epoch != injectionEpoch.load())
        return false;
    ++injection.suspended;  // backtrace may allocate
    const bool eligible = injection.anyCode ? !insideOpenCV() : askedForByTheModule(caller);
    --injection.suspended;
    if (!eligible)
        return false;
    const long index = injection.allocations++;
    if (injection.failFrom < 0)
        return false;
    return injection.failOnce ? index == injection.failFrom : index >= injection.failFrom;
}

}  // namespace

void* operator new(std::size_t size)
{
    if (shouldFail(__builtin_return_address(0)))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size)
{
    if (shouldFail(__builtin_return_address(0)))
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
// The nothrow forms must pair with the replaced deletes too (the standard
// library's temporary buffers use them); they take part in no injection.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size ? size : 1); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete[](void* memory, const std::nothrow_t&) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

// Log lines are kept, but keeping them is the test's own business and
// never fails.
void logCaptureAtWork(bool starts)
{
    injection.suspended += starts ? 1 : -1;
}

struct Outcome {
    bool escaped = false;  // an exception left the call
    long allocations = 0;
};

Outcome callInjected(const std::function<void()>& call, long failFrom, bool failOnce, bool anyCode)
{
    injection = Injection{true, 0, failFrom, failOnce, anyCode, 0, injectionEpoch.load()};
    Outcome outcome;
    try {
        call();
    } catch (...) {
        outcome.escaped = true;
    }
    outcome.allocations = injection.allocations;
    injection = Injection{};
    return outcome;
}

class ExceptionEscape : public ::testing::Test {
protected:
    void SetUp() override
    {
        rec.gray8Bmp("cap1/camera3P_a.bmp", 1);
        rec.gray8Bmp("cap1/camera3P_b.bmp", 2);
        rec.gray8Bmp("cap2/camera3P_a.bmp", 3);
        camera = create();
        ASSERT_NE(camera, nullptr);
        camera->setParam(nullptr, QByteArray::fromStdString(param()));
        ASSERT_TRUE(camera->init(nullptr));
    }
    void TearDown() override
    {
        destory(camera);
    }

    std::string param() const { return rec.param("camera3P"); }

    // Calls `operation` with allocation k failing (once, then from k on) for
    // every k below the number of allocations it makes, checking after each
    // call that nothing escaped and that `healthy` still holds.
    // With `anyCode`, Qt's allocations on the host thread fail too: for
    // operations whose Qt allocations are log lines only, and that make no
    // Qt object (Qt does not survive that).
    void failEveryAllocationOf(const std::string& name, const std::function<void()>& operation,
                               const std::function<void()>& healthy, bool anyCode = false)
    {
        const long total = callInjected(operation, -1, true, anyCode).allocations;
        healthy();
        ASSERT_GT(total, 0) << name << " allocates nothing on the host thread: nothing injected";
        for (const bool once : {true, false}) {
            for (long k = 0; k < total; ++k) {
                const Outcome outcome = callInjected(operation, k, once, anyCode);
                ASSERT_FALSE(outcome.escaped) << name << ": an exception left it when allocation " << k
                                              << (once ? " failed" : " and every later one failed");
                healthy();
                if (HasFatalFailure())
                    return;
            }
        }
        std::printf("%s: %ld allocations on the host thread, each failed once and from there on\n",
                    name.c_str(), total);
    }

    // One normal frame: the module still works.
    void grabsNormally()
    {
        std::vector<cv::Mat> images;
        camera->getImages(images, nullptr);  // whatever an earlier call left
        images.clear();
        ASSERT_TRUE(camera->run());
        ASSERT_TRUE(camera->getImages(images, nullptr));
        ASSERT_FALSE(identitiesOf(images).empty());
    }

    LogCapture log{logCaptureAtWork};
    RecordingFixture rec;
    Qz_VirtualCamera_ReadFile* camera = nullptr;
};

TEST_F(ExceptionEscape, Create)
{
    failEveryAllocationOf("create", [] { destory(create()); }, [this] { grabsNormally(); });
}

TEST_F(ExceptionEscape, Destory)
{
    // The object is made outside the injection, so only disposal is tested.
    Qz_VirtualCamera_ReadFile* object = nullptr;
    failEveryAllocationOf(
        "destory",
        [&object] {
            ++injection.suspended;
            object = create();
            --injection.suspended;
            destory(object);
        },
        [this] { grabsNormally(); }, true);
}

TEST_F(ExceptionEscape, SetParam)
{
    const QByteArray text = QByteArray::fromStdString(param());
    // The parameter's copy is made by QByteArray::toStdString: inline in the
    // module under Qt 5, inside Qt Core under Qt 6; so Qt's allocations fail
    // too (setParam makes no Qt object; on failure it only logs).
    failEveryAllocationOf("setParam", [&] { camera->setParam(nullptr, text); },
                          [&] { camera->setParam(nullptr, text); grabsNormally(); }, true);
}

TEST_F(ExceptionEscape, Init)
{
    failEveryAllocationOf("init", [&] { camera->init(nullptr); },
                          [&] { ASSERT_TRUE(camera->init(nullptr)); grabsNormally(); });
}

TEST_F(ExceptionEscape, Run)
{
    failEveryAllocationOf("run", [&] { camera->run(); }, [&] { grabsNormally(); }, true);
}

TEST_F(ExceptionEscape, GetImages)
{
    std::vector<cv::Mat> images;
    failEveryAllocationOf(
        "getImages",
        [&] {
            ++injection.suspended;
            images.assign(3, cv::Mat());  // the host's entries stay in front
            images.shrink_to_fit();
            camera->run();
            --injection.suspended;
            camera->getImages(images, nullptr);
        },
        [&] { grabsNormally(); });
}

// The grab fails with memory gone for good: its report of the failure
// cannot allocate either, and still nothing escapes run. run answers false.
TEST_F(ExceptionEscape, GrabFailingOutOfMemory)
{
    for (const long failFrom : {0L, 1L, 2L, 5L}) {
        setGrabFaultForTesting([failFrom] {
            injection = Injection{true, 0, failFrom, false, false, 0, injectionEpoch.load()};
            throw std::bad_alloc();
        });
        EXPECT_FALSE(camera->run());
        setGrabFaultForTesting(nullptr);
        ++injectionEpoch;  // memory is back
        grabsNormally();
    }
}

// Whatever the entry's body throws becomes its failed answer and one error
// line naming the entry and the cause.
TEST_F(ExceptionEscape, AFailureInsideAnEntryIsOneErrorLine)
{
    const std::pair<std::function<void()>, std::string> faults[] = {
        {[] { throw std::runtime_error("disk gone\n"); }, "run failed: disk gone"},
        {[] { throw 42; }, "run failed: unknown error"},
    };
    for (const auto& [fault, cause] : faults) {
        log.clear();
        EXPECT_FALSE(guardedEntry("run", false, [&fault] {
            fault();
            return true;
        }));
        const std::vector<std::string> errors = log.containing("[ERROR] ");
        ASSERT_EQ(errors.size(), 1u) << cause;
        EXPECT_NE(errors[0].find(cause), std::string::npos) << errors[0];
    }
}

}  // namespace
