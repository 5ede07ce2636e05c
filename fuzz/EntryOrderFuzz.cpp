// The entry-order comparison ntfsNameLess must be a strict weak order that
// agrees with a plain reference of the rule: irreflexive, asymmetric,
// transitive, with incomparability transitive too, two names tied only when
// identical, and names ordered by their upper-cased UTF-16 units (their
// bytes, ASCII upper-cased, when not valid UTF-8), then by their bytes.
//
// Input: three names separated by NUL bytes.

#include "Names.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

void check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "ntfsNameLess broke a rule: %s\n", what);
        std::abort();
    }
}

// UTF-8 decoded the slow way: a sequence is valid exactly when encoding the
// value it spells gives the same bytes back (no overlong forms), and the
// value is no surrogate and at most U+10FFFF.
std::string encode(char32_t code)
{
    std::string out;
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
    return out;
}

bool decode(const std::string& text, std::vector<char32_t>& codes)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto lead = static_cast<unsigned char>(text[at]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
        if (length == 0 || at + length > text.size())
            return false;
        char32_t code = length == 1 ? lead : lead & (0x3F >> (length - 1));
        for (std::size_t i = 1; i < length; ++i)
            code = (code << 6) | (static_cast<unsigned char>(text[at + i]) & 0x3F);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF) || encode(code) != text.substr(at, length))
            return false;
        codes.push_back(code);
        at += length;
    }
    return true;
}

std::u16string referenceKey(const std::string& name)
{
    std::u16string key;
    std::vector<char32_t> codes;
    if (!decode(name, codes)) {
        for (const char c : name) {
            const auto byte = static_cast<unsigned char>(c);
            key += static_cast<char16_t>(byte >= 'a' && byte <= 'z' ? byte - 'a' + 'A' : byte);
        }
        return key;
    }
    for (const char32_t code : codes) {
        if (code < 0x10000) {
            key += ntfsUpcase(static_cast<char16_t>(code));
        } else {
            key += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
            key += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
        }
    }
    return key;
}

bool tied(const std::string& a, const std::string& b)
{
    return !ntfsNameLess(a, b) && !ntfsNameLess(b, a);
}

void checkPair(const std::string& a, const std::string& b)
{
    check(!(ntfsNameLess(a, b) && ntfsNameLess(b, a)), "asymmetry");
    check(tied(a, b) == (a == b), "only identical names tie");
    const std::u16string keyA = referenceKey(a);
    const std::u16string keyB = referenceKey(b);
    check(ntfsNameLess(a, b) == (keyA != keyB ? keyA < keyB : a < b), "differs from the reference");
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
