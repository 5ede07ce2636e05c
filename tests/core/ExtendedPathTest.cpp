#include "ExtendedPath.h"

#include <gtest/gtest.h>

namespace {

TEST(WindowsExtendedPath, TakesEachFormOfPathWhole)
{
    struct Case {
        const char* path;
        const char* current;
        const char* expected;
    };
    const char* here = "C:\\work\\rec";
    const Case cases[] = {
        // Absolute: separators of either kind, runs of them, "." and "..".
        {"C:\\rec\\part_1", here, "\\\\?\\C:\\rec\\part_1"},
        {"D:/rec//part_1/", here, "\\\\?\\D:\\rec\\part_1"},
        {"C:\\a\\.\\b\\..\\c", here, "\\\\?\\C:\\a\\c"},
        {"C:\\..\\..\\a", here, "\\\\?\\C:\\a"},
        {"C:\\", here, "\\\\?\\C:\\"},
        {"c:/", here, "\\\\?\\c:\\"},
        // UNC, never climbing above the share.
        {"\\\\server\\share\\rec\\p", here, "\\\\?\\UNC\\server\\share\\rec\\p"},
        {"//server/share/../../x", here, "\\\\?\\UNC\\server\\share\\x"},
        {"\\\\server\\share", here, "\\\\?\\UNC\\server\\share\\"},
        {"\\\\server", here, ""},
        {"\\\\", here, ""},
        // Device paths take the "\\?\" prefix; "\\?\" and "\??\" stay as they are.
        {"\\\\.\\C:\\a\\..\\b", here, "\\\\?\\C:\\b"},
        {"//?/C:/a", here, "\\\\?\\C:\\a"},
        {"\\\\.\\", here, ""},
        {"\\\\?\\C:\\a\\..\\b/c.", here, "\\\\?\\C:\\a\\..\\b/c."},
        {"\\??\\C:\\a", here, "\\??\\C:\\a"},
        // Names are kept as spelled.
        {"C:\\a.\\b \\NUL\\x...", here, "\\\\?\\C:\\a.\\b \\NUL\\x..."},
        {"C:\\录像 Été\\😀", here, "\\\\?\\C:\\录像 Été\\😀"},
        // Relative, against the current folder.
        {"part_1\\x.bmp", here, "\\\\?\\C:\\work\\rec\\part_1\\x.bmp"},
        {".", here, "\\\\?\\C:\\work\\rec"},
        {"..\\..\\..\\x", here, "\\\\?\\C:\\x"},
        {"\\x", here, "\\\\?\\C:\\x"},
        {"/x", "\\\\server\\share\\rec", "\\\\?\\UNC\\server\\share\\x"},
        {"..\\x", "\\\\server\\share", "\\\\?\\UNC\\server\\share\\x"},
        {"p", "C:\\", "\\\\?\\C:\\p"},
        // Drive-relative: the current folder on that drive, else its root.
        {"c:p", here, "\\\\?\\C:\\work\\rec\\p"},
        {"C:", here, "\\\\?\\C:\\work\\rec"},
        {"D:p\\..\\q", here, "\\\\?\\D:\\q"},
        // A current folder already in the long form.
        {"p", "\\\\?\\C:\\work\\a.", "\\\\?\\C:\\work\\a.\\p"},
        {"..\\..\\..\\p", "\\\\?\\UNC\\server\\share\\rec", "\\\\?\\UNC\\server\\share\\p"},
        {"\\p", "\\\\?\\C:\\work", "\\\\?\\C:\\p"},
        // Nothing to continue from, or nothing given.
        {"p", "", ""},
        {"p", "work", ""},
        {"", here, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(windowsExtendedPath(c.path, c.current), c.expected) << c.path << " in " << c.current;
}

}  // namespace
