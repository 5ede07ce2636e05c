#include "SpecialFiles.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// The failure as a test failure too: here, the entry should have been made.
bool failed(const std::string& call, const std::string& path, std::string& why)
{
    why = call + " " + path + ": " + std::strerror(errno);
    ADD_FAILURE() << why;
    return false;
}

}  // namespace

bool makeFifo(const std::string& path, std::string& why)
{
    return ::mkfifo(path.c_str(), 0600) == 0 || failed("mkfifo", path, why);
}

bool makeSocketFile(const std::string& path, std::string& why)
{
    sockaddr_un address {};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        why = "socket path too long: " + path;
        ADD_FAILURE() << why;
        return false;
    }
    std::strcpy(address.sun_path, path.c_str());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0)
        return failed("socket", path, why);
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    const int error = errno;
    ::close(fd);  // the socket file stays
    errno = error;
    return bound || failed("bind", path, why);
}

bool makeSymlink(const std::string& target, const std::string& path, std::string& why)
{
    return ::symlink(target.c_str(), path.c_str()) == 0 || failed("symlink", path, why);
}

void releaseFifoReader(const std::string& path)
{
    const int writer = ::open(path.c_str(), O_WRONLY | O_NONBLOCK);
    if (writer >= 0)
        ::close(writer);
}

bool setNoPermissions(const std::string& path, bool none, std::string& why)
{
    return ::chmod(path.c_str(), none ? 0 : 0755) == 0 || failed("chmod", path, why);
}

bool nestFolders(const std::string& base, const std::string& name, int levels, std::string& relative,
                 std::string& why)
{
    const int start = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (start < 0 || ::chdir(base.c_str()) != 0)
        return failed("chdir", base, why);
    relative.clear();
    for (int i = 0; i < levels; ++i) {
        if (::mkdir(name.c_str(), 0755) != 0 || ::chdir(name.c_str()) != 0) {
            failed("mkdir", base + "/" + relative + "/" + name, why);
            break;
        }
        relative += (i ? "/" : "") + name;
    }
    const bool back = ::fchdir(start) == 0;
    ::close(start);
    return why.empty() && (back || failed("fchdir", "(the folder the test started in)", why));
}

void unnestFolders(const std::string& base, const std::string& name, int levels)
{
    const int start = ::open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (start < 0 || ::chdir(base.c_str()) != 0)
        return;
    int depth = 0;
    while (depth < levels && ::chdir(name.c_str()) == 0)
        ++depth;
    for (; depth > 0; --depth) {
        if (::chdir("..") != 0 || ::rmdir(name.c_str()) != 0)
            break;
    }
    if (::fchdir(start) != 0)
        ADD_FAILURE() << "cannot go back to the folder the test started in";
    ::close(start);
}

bool endingWhileDecodingIsTested(std::string& /*why*/)
{
    return true;
}

FileOpenWatch::FileOpenWatch(const std::string& folder) : handle_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (handle_ < 0 || ::inotify_add_watch(handle_, folder.c_str(), IN_OPEN) < 0)
        why_ = "inotify on " + folder + ": " + std::strerror(errno);
}

FileOpenWatch::~FileOpenWatch()
{
    if (handle_ >= 0)
        ::close(handle_);
}

std::set<std::string> FileOpenWatch::opened()
{
    std::set<std::string> files;
    alignas(inotify_event) char buffer[4096];
    for (ssize_t got; (got = ::read(handle_, buffer, sizeof buffer)) > 0;) {
        for (char* at = buffer; at < buffer + got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(at);
            if ((event->mask & IN_OPEN) && !(event->mask & IN_ISDIR) && event->len > 0)
                files.insert(event->name);
            at += sizeof(inotify_event) + event->len;
        }
    }
    return files;
}
