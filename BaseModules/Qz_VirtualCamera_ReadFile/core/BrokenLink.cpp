#include "BrokenLink.h"

namespace {

std::string whatIsWrong(const std::error_code& cause)
{
    // Compared as portable conditions, so a Windows error and an errno value
    // that mean the same give the same words.
    if (cause == std::errc::too_many_symbolic_link_levels)
        return "a loop, or too many levels of links";
    if (cause == std::errc::no_such_file_or_directory || cause == std::errc::not_a_directory)
        return "dangling: its target does not exist";
    if (cause == std::errc::permission_denied)
        return "permission denied on the way to its target";
    if (cause == std::errc::filename_too_long)
        return "its target's path is too long";
    return cause.message();
}

}  // namespace

std::string brokenLinkWarning(const std::string& path, const std::error_code& cause)
{
    return "link cannot be followed, passed over: " + path + " (" + whatIsWrong(cause) + ")";
}
