#pragma once
// The name rules of NTFS, the home platform's file system, that the module
// keeps on every platform so a recording replays the same everywhere: the
// order in which a folder lists its entries, and how the wildcard search
// matches a name's ending.

#include <cstddef>
#include <string>
#include <vector>

// The upper case NTFS gives one UTF-16 code unit: Unicode's simple upper-case
// mapping (so "ß" stays, "ÿ" becomes "Ÿ"), the unit itself where there is
// none; surrogates stay as they are.
char16_t ntfsUpcase(char16_t unit);

// Order in which an NTFS folder lists its entries. A name in UTF-8 is taken as
// UTF-16 code units, each upper-cased by ntfsUpcase, and names compare unit by
// unit, a name before any longer one it begins: "éa" < "Éb", "0010" < "009",
// and U+1F600 (units 0xD83D 0xDE00) before U+FF01. A name that is not valid
// UTF-8 (overlong, cut short, a lone continuation byte, a surrogate or a
// value past U+10FFFF) is taken byte by byte instead: each byte one unit,
// ASCII letters upper-cased, so it sorts among the others by its bytes.
// Names equal once upper-cased are ordered by their exact bytes, so this is
// a strict weak order that only ties identical names.
bool ntfsNameLess(const std::string& a, const std::string& b);

// The upper-cased units ntfsNameLess compares before the bytes.
std::u16string ntfsSortKey(const std::string& name);

// Indices of `names` in ntfsNameLess order; faster than sorting with
// ntfsNameLess, which decodes both names at every comparison.
std::vector<std::size_t> ntfsOrderOf(const std::vector<std::string>& names);

// True when `name` ends in `ending`, upper and lower case alike (ASCII).
// An empty ending matches every name; "imagebmp" ends in "bmp".
bool nameEndsWith(const std::string& name, const std::string& ending);
