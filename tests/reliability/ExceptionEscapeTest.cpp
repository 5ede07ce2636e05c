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
// Own program: it replaces the global operator new (AllocationFailure.h).

#include "AllocationFailure.h"
#include "EntryGuard.h"
#include "Grab.h"
#include "LogCapture.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <execinfo.h>

#include <cstring>
#include <functional>
#include <new>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

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

// False when OpenCV's code is anywhere on the way to the allocation: the
// host thread decodes in run too, and OpenCV loses the pixels it has just
// allocated when its next allocation fails.
bool outsideOpenCV(void*)
{
    void* frames[64];
    const int count = backtrace(frames, 64);
    for (int i = 0; i < count; ++i) {
        Dl_info info;
        if (dladdr(frames[i], &info) && info.dli_fname && std::strstr(info.dli_fname, "libopencv_"))
            return false;
    }
    return true;
}

AllocationFailurePlan planFor(long failFrom, bool failOnce, bool anyCode)
{
    return {failFrom, failOnce, anyCode ? outsideOpenCV : askedForByTheModule};
}

struct Outcome {
    bool escaped = false;  // an exception left the call
    long allocations = 0;
};

Outcome callInjected(const std::function<void()>& call, long failFrom, bool failOnce, bool anyCode)
{
    armAllocationFailure(planFor(failFrom, failOnce, anyCode));
    Outcome outcome;
    try {
        call();
    } catch (...) {
        outcome.escaped = true;
    }
    outcome.allocations = disarmAllocationFailure();
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

    // Log lines are kept, but keeping them is the test's own business and
    // never fails.
    LogCapture log{suspendAllocationFailure};
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
            suspendAllocationFailure(true);
            object = create();
            suspendAllocationFailure(false);
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
            suspendAllocationFailure(true);
            images.assign(3, cv::Mat());  // the host's entries stay in front
            images.shrink_to_fit();
            camera->run();
            suspendAllocationFailure(false);
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
            armAllocationFailure(planFor(failFrom, false, false));
            throw std::bad_alloc();
        });
        EXPECT_FALSE(camera->run());
        setGrabFaultForTesting(nullptr);
        disarmAllocationFailureEverywhere();  // memory is back (the grab's thread may be the worker)
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
