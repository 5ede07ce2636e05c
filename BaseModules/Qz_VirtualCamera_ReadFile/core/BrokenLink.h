#pragma once
// A link that cannot be followed is neither a folder nor a file: the walk and
// the file search pass it over and report it with this one text.

#include <string>
#include <system_error>

// "link cannot be followed, passed over: <path> (<what is wrong>)", where what
// is wrong names a loop, a dangling target or a denied permission when `cause`
// is one of those, and is the system's own text otherwise.
std::string brokenLinkWarning(const std::string& path, const std::error_code& cause);
