// The entry-order comparison ntfsNameLess must be a strict weak order that
// agrees with the order of upper-cased names: irreflexive, asymmetric,
// transitive, with incomparability transitive too, two names tied only when
// identical, and names that differ once upper-cased ordered by those.
//
// Input: three names separated by NUL bytes.

#include "Names.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "ntfsNameLess broke a rule: %s\n", what);
        std::abort();
    }
}

std::string upper(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    }
    return text;
}

// Byte order (unsigned), as the file system compares upper-cased names.
bool bytesLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
    });
}

bool tied(const std::string& a, const std::string& b)
{
    return !ntfsNameLess(a, b) && !ntfsNameLess(b, a);
}

void checkPair(const std::string& a, const std::string& b)
{
    check(!(ntfsNameLess(a, b) && ntfsNameLess(b, a)), "asymmetry");
    check(tied(a, b) == (a == b), "only identical names tie");
    const std::string ua = upper(a);
    const std::string ub = upper(b);
    if (ua != ub)
        check(ntfsNameLess(a, b) == bytesLess(ua, ub), "order of the upper-cased names");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::string names[3];
    std::size_t start = 0;
    for (int i = 0; i < 3; ++i) {
        const std::size_t end = i < 2 ? input.find('\0', start) : std::string::npos;
        names[i] = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        start = end == std::string::npos ? input.size() : end + 1;
    }
    const std::string& a = names[0];
    const std::string& b = names[1];
    const std::string& c = names[2];

    for (const std::string& name : names)
        check(!ntfsNameLess(name, name), "irreflexivity");
    checkPair(a, b);
    checkPair(b, c);
    checkPair(a, c);
    if (ntfsNameLess(a, b) && ntfsNameLess(b, c))
        check(ntfsNameLess(a, c), "transitivity");
    if (tied(a, b) && tied(b, c))
        check(tied(a, c), "transitivity of ties");
    return 0;
}
