#pragma once
// Unicode's simple upper-case mapping of the Basic Multilingual Plane as
// ranges, generated into UpcaseTable.cpp by tools/make_upcase_table.py.

#include <cstddef>

// Units first..last (every one, or every other one from `first` when stride
// is 2) upper-case to unit + delta, modulo 2^16. Sorted, not overlapping;
// a unit in no range is its own upper case.
struct UpcaseRange {
    char16_t first;
    char16_t last;
    char16_t delta;
    unsigned char stride;
};

extern const UpcaseRange kUpcaseRanges[];
extern const std::size_t kUpcaseRangeCount;
