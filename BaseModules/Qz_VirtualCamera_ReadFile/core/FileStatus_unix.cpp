// POSIX side of FileStatus.h: one stat(2), which follows links and opens
// nothing (made again when the system interrupts it).

#include "FileStatus.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

namespace {

FileKind kindOf(mode_t mode)
{
    if (S_ISREG(mode))
        return FileKind::Regular;
    if (S_ISDIR(mode))
        return FileKind::Folder;
    if (S_ISFIFO(mode))
        return FileKind::Fifo;
    if (S_ISSOCK(mode))
        return FileKind::Socket;
    if (S_ISCHR(mode))
        return FileKind::CharacterDevice;
    if (S_ISBLK(mode))
        return FileKind::BlockDevice;
    return FileKind::Other;
}

}  // namespace

FileStatus fileStatusOf(const std::string& path, std::string& error)
{
    FileStatus status;
    struct stat info {};
    int result = 0;
    do {
        result = ::stat(path.c_str(), &info);
    } while (result != 0 && errno == EINTR);
    if (result != 0) {
        error = std::strerror(errno);
        return status;
    }
    status.kind = kindOf(info.st_mode);
    status.size = static_cast<std::uint64_t>(info.st_size);
    status.modifiedNs = static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1000000000 + info.st_mtim.tv_nsec;
    status.changedNs = static_cast<std::int64_t>(info.st_ctim.tv_sec) * 1000000000 + info.st_ctim.tv_nsec;
    status.volume = static_cast<std::uint64_t>(info.st_dev);
    status.index = static_cast<std::uint64_t>(info.st_ino);
    return status;
}
