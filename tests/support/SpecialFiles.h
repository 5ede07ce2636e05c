#pragma once
// Entries other than plain files and folders, for tests of what the module
// does when a recording holds one. Each maker returns false with `why` set
// when the entry cannot be made: Windows has no FIFOs or socket files, and
// Wine makes no symbolic links, so a test skips there, saying why. Where the
// platform has them, a failure is also reported as a test failure.

#include <chrono>
#include <cstddef>
#include <set>
#include <string>

bool makeFifo(const std::string& path, std::string& why);
bool makeSocketFile(const std::string& path, std::string& why);
bool makeSymlink(const std::string& target, const std::string& path, std::string& why);
// Opens the FIFO at `path` for writing without waiting, so that a reader
// blocked in opening it goes on.
void releaseFifoReader(const std::string& path);

// Takes every permission from `path` (mode 0) or gives them back (0755).
// False with `why` where permissions are no mode bits (Windows).
bool setNoPermissions(const std::string& path, bool none, std::string& why);

// Makes `levels` nested folders named `name` below `base`, going down
// through chdir so the path may grow beyond what one system call takes;
// `relative` gets the deepest one's path from `base`. unnestFolders removes
// them the same way. False with `why` on Windows, where a working folder's
// path stops at 260 characters.
bool nestFolders(const std::string& base, const std::string& name, int levels, std::string& relative,
                 std::string& why);
void unnestFolders(const std::string& base, const std::string& name, int levels);

// Whether a test may end a process while another of its threads decodes.
// False with `why` on Windows: under Wine such an end hangs now and then
// (about one run in thirty), in the process's teardown, not yet understood.
bool endingWhileDecodingIsTested(std::string& why);

// Files opened in one folder, as the system reports them (Linux: inotify).
// The decoder opens a file more than once, and inotify merges repeated events
// only while they are unread, so files are counted, not events.
class FileOpenWatch {
public:
    explicit FileOpenWatch(const std::string& folder);
    ~FileOpenWatch();
    FileOpenWatch(const FileOpenWatch&) = delete;
    FileOpenWatch& operator=(const FileOpenWatch&) = delete;

    // False with why() set when opens cannot be watched here (Windows).
    bool ok() const { return handle_ >= 0; }
    const std::string& why() const { return why_; }
    // Names of the files opened since the last call.
    std::set<std::string> opened();
    // Same, once `expected` of them have been seen or `limit` has passed.
    std::set<std::string> openedWithin(std::size_t expected, std::chrono::milliseconds limit);

private:
    int handle_ = -1;
    std::string why_;
};
