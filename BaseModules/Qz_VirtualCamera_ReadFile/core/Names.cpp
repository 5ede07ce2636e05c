#include "Names.h"

#include "UpcaseTable.h"

#include <algorithm>
#include <cstddef>

namespace {

unsigned char upperAscii(char c)
{
    const auto u = static_cast<unsigned char>(c);
    return (u >= 'a' && u <= 'z') ? static_cast<unsigned char>(u - 'a' + 'A') : u;
}

bool isContinuation(unsigned char byte)
{
    return (byte & 0xC0) == 0x80;
}

// Length of the well-formed UTF-8 sequence at `at`, 0 when there is none:
// overlong forms, surrogates and values past U+10FFFF are not well-formed.
std::size_t sequenceLength(const std::string& text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[at + i]); };
    const unsigned char lead = byte(0);
    const std::size_t left = text.size() - at;
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return left >= 2 && isContinuation(byte(1)) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (left < 3 || !isContinuation(byte(1)) || !isContinuation(byte(2)))
            return 0;
        if ((lead == 0xE0 && byte(1) < 0xA0) || (lead == 0xED && byte(1) >= 0xA0))
            return 0;  // overlong, or a surrogate
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (left < 4 || !isContinuation(byte(1)) || !isContinuation(byte(2)) || !isContinuation(byte(3)))
            return 0;
        if ((lead == 0xF0 && byte(1) < 0x90) || (lead == 0xF4 && byte(1) >= 0x90))
            return 0;  // overlong, or past U+10FFFF
        return 4;
    }
    return 0;  // a continuation byte, or a lead that is never valid
}

bool isValidUtf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {  // most names are ASCII
            ++at;
            continue;
        }
        const std::size_t length = sequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

// The upper-cased UTF-16 units of a name, one at a time and without copying
// it: the one definition of what names are compared by.
class SortUnits {
public:
    explicit SortUnits(const std::string& name) : name(name), byBytes(!isValidUtf8(name)) {}

    // The next unit; false past the last.
    bool next(char16_t& unit)
    {
        if (low != 0) {
            unit = low;
            low = 0;
            return true;
        }
        if (at >= name.size())
            return false;
        const auto lead = static_cast<unsigned char>(name[at]);
        if (byBytes || lead < 0x80) {
            unit = upperAscii(name[at++]);
            return true;
        }
        const std::size_t length = sequenceLength(name, at);
        char32_t code = lead & (0xFF >> (length + 1));
        for (std::size_t i = 1; i < length; ++i)
            code = (code << 6) | (static_cast<unsigned char>(name[at + i]) & 0x3F);
        at += length;
        if (code < 0x10000) {
            unit = ntfsUpcase(static_cast<char16_t>(code));
            return true;
        }
        // A surrogate pair; NTFS upper-cases each unit, and surrogates have none.
        code -= 0x10000;
        unit = static_cast<char16_t>(0xD800 + (code >> 10));
        low = static_cast<char16_t>(0xDC00 + (code & 0x3FF));
        return true;
    }

private:
    const std::string& name;
    const bool byBytes;  // not valid UTF-8: each byte one unit
    std::size_t at = 0;
    char16_t low = 0;  // second unit of a surrogate pair, still to come
};

// Below, equal or above zero as the upper-cased units of `a` sort before, the
// same as or after those of `b`: unit by unit, a prefix first.
int compareUnits(SortUnits a, SortUnits b)
{
    for (;;) {
        char16_t unitA = 0;
        char16_t unitB = 0;
        const bool moreA = a.next(unitA);
        const bool moreB = b.next(unitB);
        if (!moreA || !moreB)
            return static_cast<int>(moreA) - static_cast<int>(moreB);
        if (unitA != unitB)
            return unitA < unitB ? -1 : 1;
    }
}

// The entry order once the units are compared: names equal once upper-cased
// go by their exact bytes.
bool lessByUnitsThenBytes(int unitOrder, const std::string& a, const std::string& b)
{
    return unitOrder != 0 ? unitOrder < 0 : a < b;
}

}  // namespace

char16_t ntfsUpcase(char16_t unit)
{
    if (unit < 0x80)
        return upperAscii(static_cast<char>(unit));
    const UpcaseRange* const end = kUpcaseRanges + kUpcaseRangeCount;
    const UpcaseRange* const after = std::upper_bound(
        kUpcaseRanges, end, unit, [](char16_t u, const UpcaseRange& range) { return u < range.first; });
    if (after == kUpcaseRanges)
        return unit;
    const UpcaseRange& range = *(after - 1);
    if (unit > range.last || (unit - range.first) % range.stride != 0)
        return unit;
    return static_cast<char16_t>(unit + range.delta);
}

std::u16string ntfsSortKey(const std::string& name)
{
    std::u16string key;
    key.reserve(name.size());
    SortUnits units(name);
    for (char16_t unit = 0; units.next(unit);)
        key += unit;
    return key;
}

bool ntfsNameLess(const std::string& a, const std::string& b)
{
    return lessByUnitsThenBytes(compareUnits(SortUnits(a), SortUnits(b)), a, b);
}

std::vector<std::size_t> ntfsOrderOf(const std::vector<std::string>& names)
{
    // Each name is converted once, not once per comparison.
    std::vector<std::u16string> keys;
    keys.reserve(names.size());
    for (const std::string& name : names)
        keys.push_back(ntfsSortKey(name));
    std::vector<std::size_t> order(names.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) {
        return lessByUnitsThenBytes(keys[a].compare(keys[b]), names[a], names[b]);
    });
    return order;
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
