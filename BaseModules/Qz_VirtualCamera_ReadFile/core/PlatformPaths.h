#pragma once
// The platform's paths and entries: the separator, what an entry is, a folder's
// identity, and the listing of a folder that the folder walk and the file
// search share. Implemented once per platform (PlatformPaths_unix.cpp,
// PlatformPaths_win.cpp; CMake picks one).

#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

// Separator between a folder and an entry name: "\\" on Windows, "/" elsewhere.
extern const char kPathSeparator[];

// --- Entry kinds --------------------------------------------------------------

enum class EntryKind {
    File,        // anything but a folder; links followed
    Folder,      // a folder; links followed
    BrokenLink,  // a link that cannot be followed (loop, dangling, no permission)
    Missing,     // gone since its folder was listed
    Unknown,     // not a link, and what it is cannot be told
};

struct EntryStatus {
    EntryKind kind = EntryKind::File;
    std::error_code error;  // BrokenLink, Missing, Unknown: why the kind cannot be told
};

// What the entry at `path` is, links followed.
EntryStatus entryStatusOf(const std::string& path);

// --- Listing a folder ----------------------------------------------------------
// The entries of `folder` whose names end in `ending`, upper and lower case
// alike, "." and ".." only when the ending is empty. On Windows they come in
// the file system's own order; elsewhere in ntfsNameLess order. An empty
// folder path is the root of the file system.

struct FindData {
    std::string name;                  // entry name, no folder part
    EntryKind kind = EntryKind::File;  // Folder, BrokenLink, Missing or Unknown
                                       // when a link or the file system says so
    std::error_code linkError;         // BrokenLink, Missing, Unknown: why
};

// Fills `entries` with the matches of `folder`. False when the folder could
// not be listed to its end: `error` then holds the system's message and
// `entries` what was listed before the failure. An interrupted call (EINTR)
// is made again, it is no failure.
bool listFolder(const std::string& folder, const std::string& ending, std::vector<FindData>& entries,
                std::string& error);

// --- Folders ---------------------------------------------------------------

// Identity of a folder on its volume (device and inode, or volume serial and
// file index), so a link back to an ancestor can be recognised.
struct FolderId {
    std::uint64_t volume = 0;
    std::uint64_t index = 0;
    bool operator==(const FolderId& o) const { return volume == o.volume && index == o.index; }
};

// Fills `id` for the folder at `path` (links followed); false when it cannot
// be determined.
bool folderIdOf(const std::string& path, FolderId& id);

// Why Windows cannot open an entry called `name` by that name: a reserved
// device name ("NUL", "COM1", also with an extension: "AUX.txt"), a trailing
// dot or space, or a character Windows forbids in names. Empty when it can,
// and always elsewhere: other systems take such names as they are.
std::string nameWindowsCannotOpen(const std::string& name);

// The root folder's bytes as the host handed them, as UTF-8. On Windows a
// host may hand UTF-8 (QString::toUtf8) or the ANSI code page (toLocal8Bit):
// bytes that are valid UTF-8 and name an existing folder that way are UTF-8,
// any others are read in the ANSI code page. Elsewhere they are kept as given.
// When the bytes read in the ANSI code page name another existing folder too,
// the UTF-8 one is taken and `warning` names both; otherwise it is left empty.
std::string rootFolderAsUtf8(const std::string& bytes, std::string& warning);
