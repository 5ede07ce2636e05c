#pragma once
// Paths in the form Windows' file calls take whole, past MAX_PATH (260
// characters): `\\?\C:\...` and `\\?\UNC\server\share\...`. Such a path
// reaches the file system as it is, without the rewriting Windows applies to
// an ordinary path, so it has to be absolute and already normalised.

#include <string>

// The `\\?\` form of the Windows path `path` (UTF-8), made absolute against
// `currentFolder` (an absolute Windows path, as GetCurrentDirectoryW gives it,
// `\\?\` or not) when `path` is relative ("a\b"), drive-relative ("C:a") or
// rooted on the current drive ("\a"). Pure text: it runs the same on every
// platform and touches no file.
//
// Like GetFullPathNameW: "/" and "\" both separate; runs of separators count
// as one; "." names are dropped and ".." drops the name before it, never
// climbing above the root ("C:\", "\\server\share", or for "\\.\" paths the
// device name after the prefix). "C:x" with the current folder on drive C
// continues from it, on another drive from that drive's root. A UNC path
// "\\server\share\x" becomes "\\?\UNC\server\share\x"; a "\\.\" (or "//?/")
// device path gets the "\\?\" prefix in place of its own.
//
// Unlike GetFullPathNameW: a path that already begins "\\?\" (or the NT form
// "\??\") is returned unchanged. Names are kept exactly as given: no trailing
// dots or spaces are trimmed and reserved device names ("NUL", "COM1") are not
// turned into devices, so the result opens the name as spelled; callers that
// want Windows' ordinary reading of such names check them first. The current
// folders Windows remembers for other drives are not known here. No trailing
// separator, except on a root ("\\?\C:\", "\\?\UNC\server\share\").
//
// Returns "" for what names no file: an empty path, a UNC path without a
// server or share name, or a relative path with no absolute current folder.
std::string windowsExtendedPath(const std::string& path, const std::string& currentFolder);

// `path` as this system's file calls take it whole. Windows: its `\\?\` form
// against the process's current folder ("" as above when it has none);
// elsewhere `path` unchanged. Log lines keep showing the path as given.
std::string fileCallPath(const std::string& path);
