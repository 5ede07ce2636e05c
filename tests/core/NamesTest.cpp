#include "Names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

struct Pair {
    const char* less;
    const char* greater;
};

// Each pair in NTFS order: upper-cased bytes, then length, then exact bytes.
const Pair kOrderedPairs[] = {
    {"A2.bmp", "b.bmp"},      {"b.bmp", "c.bmp"},         {"x_a.bmp", "x_B.bmp"},
    {"x_B.bmp", "x_D.BMP"},   {"x_D.BMP", "x_imagebmp"},  {"x_imagebmp", "x__c.bmp"},
    {"0010", "009"},          {"a", "ab"},                {"Z", "_"},
    {"ba", "b_"},             {"a", "["},                 {"9", "A"},
    {"A", "a"},               {"Ab", "aB"},               {"z", "\xC3\xA9"},
};

TEST(NtfsNameLess, OrdersEachPairOneWayOnly)
{
    for (const Pair& pair : kOrderedPairs) {
        EXPECT_TRUE(ntfsNameLess(pair.less, pair.greater)) << pair.less << " < " << pair.greater;
        EXPECT_FALSE(ntfsNameLess(pair.greater, pair.less)) << pair.greater << " < " << pair.less;
    }
}

TEST(NtfsNameLess, IsAStrictWeakOrderThatSortsLikeNtfs)
{
    const std::vector<std::string> ntfsOrder = {"0",  "9", "A", "a", "aa", "ab",
                                                "a_", "B", "b", "Z", "_",  "~"};
    std::vector<std::string> names = {"_", "b", "a_", "Z", "~", "A", "ab", "0", "aa", "B", "9", "a"};
    std::sort(names.begin(), names.end(), ntfsNameLess);
    EXPECT_EQ(names, ntfsOrder);

    for (const std::string& a : names) {
        EXPECT_FALSE(ntfsNameLess(a, a)) << a;
        for (const std::string& b : names) {
            if (a != b)
                EXPECT_NE(ntfsNameLess(a, b), ntfsNameLess(b, a)) << a << " vs " << b;
            for (const std::string& c : names) {
                if (ntfsNameLess(a, b) && ntfsNameLess(b, c))
                    EXPECT_TRUE(ntfsNameLess(a, c)) << a << " < " << b << " < " << c;
            }
        }
    }
}

TEST(NameEndsWith, IgnoresAsciiCaseOnly)
{
    struct Case {
        const char* name;
        const char* ending;
        bool ends;
    };
    const Case cases[] = {
        {"a.bmp", "bmp", true},      {"a.BMP", "bmp", true},    {"a.bMp", "BmP", true},
        {"imagebmp", "bmp", true},   {"bmp", "bmp", true},      {"mp", "bmp", false},
        {"a.bmpx", "bmp", false},    {"a.tiff", "bmp", false},  {"x.tif", "tiff", false},
        {"anything", "", true},      {"", "", true},            {"", "bmp", false},
        {"\xC3\xA9", "\xC3\x89", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(nameEndsWith(c.name, c.ending), c.ends) << c.name << " / " << c.ending;
}

}  // namespace
