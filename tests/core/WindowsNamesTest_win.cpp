// Names Windows cannot open by name (made from another system, as a network
// share can hold them): reported, skipped, and the walk goes on; a root
// whose name ends in a space or dot is refused.

#include "CaptureFolders.h"
#include "ExtendedPath.h"
#include "PlatformPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

namespace {

TEST(WindowsNames, ReservedTrailingAndForbiddenNamesAreTold)
{
    for (const char* name : {"COM1", "nul", "AUX.txt", "lpt9.bmp", "con .x", "x.", "x ", "a?b", "a*b", "a<b", "a|b"})
        EXPECT_NE(nameWindowsCannotOpen(name), "") << name;
    for (const char* name : {"COM10", "COM0", "con1", "nullx", "x.y", ".x", ".", "..", "plain", u8"图像"})
        EXPECT_EQ(nameWindowsCannotOpen(name), "") << name;
}

TEST(WindowsNames, FolderWindowsCannotOpenIsReportedAndSkipped)
{
    TempFolder tmp;
    tmp.make({"good/", "later/"});
    const std::string bad = tmp.at("bad.");
    std::wstring wide(bad.begin(), bad.end());  // ASCII
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wide).c_str(), nullptr));
    std::vector<std::string> folders, lines;
    std::string error;
    EXPECT_TRUE(collectFolders(tmp.path(), folders, error, [&](const std::string& line) { lines.push_back(line); }))
        << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"good", "later"}));
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(bad), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("ends in a dot"), std::string::npos) << lines[0];
    RemoveDirectoryW((L"\\\\?\\" + wide).c_str());
}

TEST(WindowsNames, RootEndingInSpaceOrDotIsRefused)
{
    TempFolder tmp;
    tmp.make({"rec/sub/"});
    for (const std::string tail : {" ", ".", " \\", ".\\"}) {
        SCOPED_TRACE("\"" + tail + "\"");
        std::vector<std::string> folders;
        std::string error;
        EXPECT_FALSE(collectFolders(tmp.at("rec") + tail, folders, error));
        EXPECT_NE(error.find(tail[0] == ' ' ? "ends in a space" : "ends in a dot"), std::string::npos) << error;
    }
    std::vector<std::string> folders;
    std::string error;
    EXPECT_TRUE(collectFolders(tmp.at("rec") + "\\.", folders, error)) << error;  // "." is the folder itself
}

}  // namespace
