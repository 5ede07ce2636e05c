#include "SpecialFiles.h"

#include <filesystem>
#include <system_error>

bool makeFifo(const std::string& /*path*/, std::string& why)
{
    why = "Windows has no FIFOs in its file system";
    return false;
}

bool makeSocketFile(const std::string& /*path*/, std::string& why)
{
    why = "Windows has no socket files";
    return false;
}

// Windows makes symbolic links (with the right privilege); Wine makes none.
bool makeSymlink(const std::string& target, const std::string& path, std::string& why)
{
    std::error_code error;
    std::filesystem::create_symlink(std::filesystem::u8path(target), std::filesystem::u8path(path), error);
    if (error)
        why = "no symbolic link made here (Wine makes none): " + path + ": " + error.message();
    return !error;
}

void releaseFifoReader(const std::string& /*path*/) {}

bool setNoPermissions(const std::string& /*path*/, bool /*none*/, std::string& why)
{
    why = "Windows permissions are no mode bits";
    return false;
}

bool nestFolders(const std::string& /*base*/, const std::string& /*name*/, int /*levels*/, std::string& /*relative*/,
                 std::string& why)
{
    why = "a working folder's path stops at 260 characters on Windows";
    return false;
}

void unnestFolders(const std::string& /*base*/, const std::string& /*name*/, int /*levels*/) {}

bool endingWhileDecodingIsTested(std::string& why)
{
    why = "under Wine a process that ends while another thread decodes hangs now and then in its teardown";
    return false;
}

FileOpenWatch::FileOpenWatch(const std::string& /*folder*/) : why_("Windows reports no file opens to a watcher") {}

FileOpenWatch::~FileOpenWatch() = default;

std::set<std::string> FileOpenWatch::opened()
{
    return {};
}
