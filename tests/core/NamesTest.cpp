#include "Names.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

TEST(NtfsUpcase, SimpleUpperCaseMappingOfTheBmp)
{
    struct Case {
        char16_t unit;
        char16_t upper;
    };
    const Case cases[] = {
        {u'a', u'A'},           {u'z', u'Z'},           {u'A', u'A'},           {u'_', u'_'},
        {0x00E9, 0x00C9},  // é -> É
        {0x00FF, 0x0178},  // ÿ -> Ÿ, outside Latin-1
        {0x00DF, 0x00DF},  // ß: no simple upper case
        {0x00B5, 0x039C},  // micro sign -> Greek capital mu
        {0x00D7, 0x00D7},  // multiplication sign, between the letters
        // Every other unit of a range: an upper-case letter between two
        // lower-case ones maps to itself, not to the unit before it.
        {0x0101, 0x0100},  {0x0100, 0x0100},  {0x0102, 0x0102},  {0x0103, 0x0102},  {0x012F, 0x012E},
        {0x0134, 0x0134},  {0x0135, 0x0134},  // Ĵ ĵ, in the range from U+0133
        {0x0131, u'I'},    // dotless i -> ASCII I
        {0x017F, u'S'},    // long s -> ASCII S
        {0x01C5, 0x01C4},  {0x01C6, 0x01C4},  // title case and lower case Dž
        {0x03B1, 0x0391},  {0x03C2, 0x03A3},  {0x03C3, 0x03A3},  // α, final ς and σ
        {0x0450, 0x0400},  {0x044F, 0x042F},  {0x0451, 0x0401},  // Cyrillic ѐ я ё
        {0x0561, 0x0531},  // Armenian
        {0x10D0, 0x1C90},  // Georgian Mkhedruli -> Mtavruli
        {0x1E9E, 0x1E9E},  // capital sharp s stays
        {0x2170, 0x2160},  {0x24D0, 0x24B6},  // roman numeral, circled letter
        {0xAB70, 0x13A0},  // Cherokee small letter, mapping downwards
        {0x4E2D, 0x4E2D},  {0xAC00, 0xAC00},  // CJK, Hangul: no case
        {0xD83D, 0xD83D},  {0xDE00, 0xDE00},  // surrogates
        {0xFF41, 0xFF21},  {0xFF5A, 0xFF3A},  {0xFF01, 0xFF01},  // fullwidth
        {0xFFFF, 0xFFFF},
    };
    for (const Case& c : cases)
        EXPECT_EQ(static_cast<int>(ntfsUpcase(c.unit)), static_cast<int>(c.upper)) << std::hex << int(c.unit);
}

struct Pair {
    const char* less;
    const char* greater;
};

// Each pair in NTFS order. Most non-ASCII pairs are the other way round in
// plain byte order, so an order that skipped a step would fail them.
const Pair kOrderedPairs[] = {
    // ASCII: upper-cased, then shorter first, then exact bytes.
    {"A2.bmp", "b.bmp"}, {"b.bmp", "c.bmp"}, {"x_a.bmp", "x_B.bmp"}, {"x_B.bmp", "x_D.BMP"},
    {"x_D.BMP", "x_imagebmp"}, {"x_imagebmp", "x__c.bmp"}, {"0010", "009"}, {"a", "ab"}, {"Z", "_"},
    {"ba", "b_"}, {"a", "["}, {"9", "A"}, {"A", "a"}, {"Ab", "aB"},
    // Latin-1 and beyond.
    {"z", "\xC3\xA9"},                     // z < é
    {"\xC3\xA9" "a", "\xC3\x89" "b"},      // éa < Éb: both "É…"
    {"\xC3\x89" "a", "\xC3\xA9" "a"},      // Éa < éa: equal upper-cased, bytes decide
    {"\xC4\x81", "\xC3\xBF"},              // ā (Ā 0x100) < ÿ (Ÿ 0x178)
    {"\xC3\x9F", "\xC4\x80"},              // ß stays 0xDF < Ā
    {"\xC3\xA0", "\xC3\x9F"},              // à (À 0xC0) < ß
    {"SS", "\xC3\x9F"},                    // ß is not "SS"
    {"\xC4\xB1" "b", "ic"},                // ı upper-cases to I
    // Greek.
    {"\xCE\x9B", "\xC2\xB5"},              // Λ 0x39B < µ (Μ 0x39C)
    {"\xCE\xB1\xCE\xB2", "\xCE\x91\xCE\xB3"},  // αβ < Αγ
    {"\xCF\x82", "\xCF\x83"},              // ς, σ: both Σ, bytes decide
    // Cyrillic.
    {"\xD1\x90", "\xD0\xAF"},              // ѐ (Ѐ 0x400) < Я 0x42F
    {"\xD1\x91\xD0\xB0", "\xD0\x81\xD0\xB1"},  // ёа < Ёб
    // CJK and fullwidth.
    {"\xE4\xB8\x80", "\xE4\xB8\xAD"},      // 一 < 中
    {"\xC4\x80", "\xE0\xA0\x80"},          // Ā < U+0800, the first three-byte form
    {"\xEF\xBD\x81", "\xEF\xBC\xBA"},      // ａ (Ａ 0xFF21) < Ｚ 0xFF3A
    // Supplementary planes: high surrogates 0xD800-0xDBFF sort after 0xD7FF
    // and before 0xE000-0xFFFF.
    {"\xED\x9F\xBF", "\xF0\x90\x80\x80"},  // U+D7FF < U+10000
    {"\xF0\x9F\x98\x80", "\xEE\x80\x80"},  // U+1F600 < U+E000
    {"\xF0\x9F\x98\x80", "\xEF\xBC\x81"},  // U+1F600 < U+FF01
    {"\xF4\x8F\xBF\xBF", "\xEF\xBF\xBD"},  // U+10FFFF < U+FFFD
    {"\xF0\x9F\x98\x80" "a", "\xF0\x9F\x98\x80" "B"},
    {"\xF0\x90\x90\x80" "b", "\xF0\x90\x90\xA8"},  // 𐐀b < 𐐨: surrogates are not upper-cased
    // Not valid UTF-8: byte by byte, ASCII letters upper-cased.
    {"A", "\xC0\xAF"},                     // overlong "/", not taken as '/'
    {"\xC3\x80", "\xC0\xAF"},              // À is unit 0xC0, a prefix of C0 AF
    {"A", "\xE0\x80\xAF"},                 // three-byte overlong "/"
    {"A", "\xF0\x80\x80\xAF"},             // four-byte overlong "/"
    {"a\x80", "B"},                        // lone continuation byte
    {"A", "a\x80"},
    {"\x80", "\xC2\x80"},                  // both unit 0x80 first: bytes decide
    {"\xE4\xB8", "\xE4\xB8\xAD"},          // 中 cut short: E4 < 0x4E2D
    {"\xED\xA0\x80", "\xE4\xB8\xAD"},      // U+D800 encoded: ED < 0x4E2D
    {"\xF4\x90\x80\x80", "\xE4\xB8\xAD"},  // past U+10FFFF
    {"\xC3\xA9\xFF", "\xC3\xA9"},          // one bad byte: the whole name by its bytes
};

TEST(NtfsNameLess, OrdersEachPairOneWayOnly)
{
    for (const Pair& pair : kOrderedPairs) {
        EXPECT_TRUE(ntfsNameLess(pair.less, pair.greater)) << pair.less << " < " << pair.greater;
        EXPECT_FALSE(ntfsNameLess(pair.greater, pair.less)) << pair.greater << " < " << pair.less;
    }
}

TEST(NtfsNameLess, SortsLikeNtfs)
{
    struct Case {
        std::vector<std::string> scrambled;
        std::vector<std::string> ntfsOrder;
    };
    const Case cases[] = {
        {{"_", "b", "a_", "Z", "~", "A", "ab", "0", "aa", "B", "9", "a"},
         {"0", "9", "A", "a", "aa", "ab", "a_", "B", "b", "Z", "_", "~"}},
        // éa, Éb, U+FF01, U+1F600 as capture folders.
        {{"\xEF\xBC\x81", "\xC3\x89" "b", "\xF0\x9F\x98\x80", "\xC3\xA9" "a"},
         {"\xC3\xA9" "a", "\xC3\x89" "b", "\xF0\x9F\x98\x80", "\xEF\xBC\x81"}},
    };
    for (const Case& c : cases) {
        std::vector<std::string> names = c.scrambled;
        std::sort(names.begin(), names.end(), ntfsNameLess);
        EXPECT_EQ(names, c.ntfsOrder);

        std::vector<std::string> byOrder;
        for (const std::size_t index : ntfsOrderOf(c.scrambled))
            byOrder.push_back(c.scrambled[index]);
        EXPECT_EQ(byOrder, c.ntfsOrder);
    }
}

TEST(NtfsNameLess, IsAStrictWeakOrderThatOnlyTiesIdenticalNames)
{
    std::vector<std::string> names;
    for (const Pair& pair : kOrderedPairs) {
        names.push_back(pair.less);
        names.push_back(pair.greater);
    }
    for (const std::string& a : names) {
        EXPECT_FALSE(ntfsNameLess(a, a)) << a;
        for (const std::string& b : names) {
            if (a != b)
                EXPECT_NE(ntfsNameLess(a, b), ntfsNameLess(b, a)) << a << " vs " << b;
            if (!ntfsNameLess(a, b))
                continue;
            for (const std::string& c : names) {
                if (ntfsNameLess(b, c))
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
