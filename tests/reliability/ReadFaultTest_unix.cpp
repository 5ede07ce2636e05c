// Reads the system interrupts or fails, injected by wrapping the module's
// open(2), read(2) and stat(2) at link time (this program is linked with
// --wrap for them, so only the module's own calls come here): interrupted
// calls are made again, and a failed read is reported as such.

#include "FrameDecoding.h"
#include "LogCapture.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <deque>
#include <initializer_list>
#include <mutex>

extern "C" {
int __real_open(const char* path, int flags, ...);
ssize_t __real_read(int descriptor, void* into, size_t count);
int __real_stat(const char* path, struct stat* info);
}

namespace {

// The next calls of a kind fail with these errors, in order.
class Injected {
public:
    void set(std::initializer_list<int> errors)
    {
        const std::lock_guard<std::mutex> hold(lock);
        pending.assign(errors);
    }
    std::size_t left()
    {
        const std::lock_guard<std::mutex> hold(lock);
        return pending.size();
    }
    bool fail()
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (pending.empty())
            return false;
        errno = pending.front();
        pending.pop_front();
        return true;
    }

private:
    std::mutex lock;
    std::deque<int> pending;
};

Injected openFaults, readFaults, statFaults;

}  // namespace

extern "C" {
int __wrap_open(const char* path, int flags, ...)
{
    return openFaults.fail() ? -1 : __real_open(path, flags);
}

ssize_t __wrap_read(int descriptor, void* into, size_t count)
{
    // A short read first, so an interrupted call is also made again mid-file.
    return readFaults.fail() ? -1 : __real_read(descriptor, into, count > 7 ? 7 : count);
}

int __wrap_stat(const char* path, struct stat* info)
{
    return statFaults.fail() ? -1 : __real_stat(path, info);
}
}

namespace {

struct ReadFault {
    const char* name;
    std::initializer_list<int> open, read, stat;
    const char* line;  // the warning expected after the path; none when the image comes whole
};

TEST(ReadFault, InterruptedCallsAreMadeAgainAndFailedReadsSaySo)
{
    const ReadFault cases[] = {
        {"interrupted open, reads and looks", {EINTR, EINTR}, {EINTR, EINTR, EINTR}, {EINTR, EINTR}, nullptr},
        {"read fails", {}, {EIO}, {}, ": Input/output error, empty image in its place"},
        {"read fails after interruptions", {}, {EINTR, EINTR, EIO}, {}, ": Input/output error, empty image in its place"},
    };
    RecordingFixture rec;
    const std::string path = rec.gray8Bmp("cap/camera2_1.bmp", 11);
    for (const ReadFault& c : cases) {
        openFaults.set(c.open);
        readFaults.set(c.read);
        statFaults.set(c.stat);
        LogCapture log;
        DecodedFrame frame = decodeFrame({path}, nullptr);
        frame.log.writeOut();
        ASSERT_EQ(frame.images.size(), 1u) << c.name;
        if (!c.line) {
            EXPECT_EQ(identityOf(frame.images[0]), 11) << c.name;
            EXPECT_TRUE(log.containing(path).empty()) << c.name;
        } else {
            EXPECT_TRUE(frame.images[0].empty()) << c.name;
            EXPECT_EQ(log.containing("cannot read " + path + c.line).size(), 1u) << c.name;
        }
        EXPECT_EQ(openFaults.left() + readFaults.left() + statFaults.left(), 0u) << c.name << ": not all injected";
    }
}

}  // namespace
