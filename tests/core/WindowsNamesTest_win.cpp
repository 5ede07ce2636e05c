// Names Windows cannot open by name (made from another system, as a network
// share can hold them): reported, and read all the same through the long
// form of their paths; a root whose name ends in a space or dot is refused.

#include "CaptureFolders.h"
#include "ExtendedPath.h"
#include "FileSearch.h"
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

TEST(WindowsNames, FolderAndFileWindowsCannotOpenAreReportedAndRead)
{
    TempFolder tmp;
    tmp.make({"good/", "later/"});
    const std::string bad = tmp.at("bad.");
    const std::string file = tmp.at("bad./aux.bmp");
    std::wstring wideFolder(bad.begin(), bad.end()), wideFile(file.begin(), file.end());  // ASCII
    ASSERT_TRUE(CreateDirectoryW((L"\\\\?\\" + wideFolder).c_str(), nullptr));
    const HANDLE made = CreateFileW((L"\\\\?\\" + wideFile).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
    ASSERT_NE(made, INVALID_HANDLE_VALUE);
    CloseHandle(made);
    std::vector<std::string> folders, files, lines;
    std::string error;
    const LogSink keep = [&](const std::string& line) { lines.push_back(line); };
    EXPECT_TRUE(collectFolders(tmp.path(), folders, error, keep)) << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"bad.", "good", "later"}));
    searchFiles(bad, files, "bmp", keep);
    EXPECT_EQ(files, std::vector<std::string>{file});
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("this folder by its name (") , std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(bad), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find("this file by its name ("), std::string::npos) << lines[1];
    EXPECT_NE(lines[1].find(file), std::string::npos) << lines[1];
    DeleteFileW((L"\\\\?\\" + wideFile).c_str());
    RemoveDirectoryW((L"\\\\?\\" + wideFolder).c_str());
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
