#pragma once
// What a path names, asked of the file system without opening it: a decoder
// that opens a FIFO or a device blocks or reads a stream that never ends, so
// a file is checked before it is read. Implemented once per platform
// (FileStatus_unix.cpp, FileStatus_win.cpp; CMake picks one).

#include <cstdint>
#include <string>

enum class FileKind { Missing, Regular, Folder, Fifo, Socket, CharacterDevice, BlockDevice, Other };

struct FileStatus {
    FileKind kind = FileKind::Missing;
    std::uint64_t size = 0;
    std::int64_t modifiedNs = 0;  // last modification, nanoseconds since the epoch
    // Last change of data or metadata (write, chmod, link, rename), ns since
    // the epoch. Unlike the modification time no tool can set it back.
    std::int64_t changedNs = 0;
    std::uint64_t volume = 0;     // device, or volume serial number
    std::uint64_t index = 0;      // inode, or file index on the volume

    // Same kind, size, modification and change time and identity: nothing
    // suggests the file was written, replaced or re-permitted between two looks.
    bool operator==(const FileStatus& o) const
    {
        return kind == o.kind && size == o.size && modifiedNs == o.modifiedNs && changedNs == o.changedNs &&
               volume == o.volume && index == o.index;
    }
    bool operator!=(const FileStatus& o) const { return !(*this == o); }
};

// Status of `path`, links followed. Never opens a file that is not a regular
// file or a folder. A path that cannot be looked at (missing, dangling link,
// no permission) gives kind Missing and `error` naming the cause.
FileStatus fileStatusOf(const std::string& path, std::string& error);

// "a regular file", "a FIFO", ... for log lines.
const char* describe(FileKind kind);
