#include "FileStatus.h"

const char* describe(FileKind kind)
{
    switch (kind) {
    case FileKind::Missing:
        return "missing";
    case FileKind::Regular:
        return "a regular file";
    case FileKind::Folder:
        return "a folder";
    case FileKind::Fifo:
        return "a FIFO";
    case FileKind::Socket:
        return "a socket";
    case FileKind::CharacterDevice:
        return "a character device";
    case FileKind::BlockDevice:
        return "a block device";
    case FileKind::Other:
        break;
    }
    return "not a regular file";
}
