// POSIX side of FileRead.h: open(2) and read(2), interrupted calls made again.

#include "FileRead.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

struct ReadableFile {
    int descriptor;
};

ReadableFile* openForReading(const std::string& path, std::string& error)
{
    int descriptor = -1;
    do {
        descriptor = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor < 0) {
        error = std::strerror(errno);
        return nullptr;
    }
    return new ReadableFile{descriptor};
}

bool readBytes(ReadableFile* file, unsigned char* into, std::size_t count, std::size_t& got, std::string& error)
{
    got = 0;
    while (got < count) {
        const ssize_t read = ::read(file->descriptor, into + got, count - got);
        if (read == 0)
            break;
        if (read < 0) {
            if (errno == EINTR)
                continue;
            error = std::strerror(errno);
            return false;
        }
        got += static_cast<std::size_t>(read);
    }
    return true;
}

void closeFile(ReadableFile* file)
{
    if (!file)
        return;
    ::close(file->descriptor);
    delete file;
}
