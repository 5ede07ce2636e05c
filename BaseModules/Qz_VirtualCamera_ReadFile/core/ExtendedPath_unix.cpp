#include "ExtendedPath.h"

std::string fileCallPath(const std::string& path)
{
    return path;
}
