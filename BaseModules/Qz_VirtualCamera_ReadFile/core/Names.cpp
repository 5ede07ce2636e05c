#include "Names.h"

#include <algorithm>
#include <cstddef>

namespace {

unsigned char upperAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

}  // namespace

bool ntfsNameLess(const std::string& a, const std::string& b)
{
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        const unsigned char ua = upperAscii(a[i]);
        const unsigned char ub = upperAscii(b[i]);
        if (ua != ub)
            return ua < ub;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    return a < b;  // equal once upper-cased: exact bytes decide
}

bool nameEndsWith(const std::string& name, const std::string& ending)
{
    if (ending.size() > name.size())
        return false;
    const std::size_t offset = name.size() - ending.size();
    for (std::size_t i = 0; i < ending.size(); ++i) {
        if (upperAscii(name[offset + i]) != upperAscii(ending[i]))
            return false;
    }
    return true;
}
