#include "CaptureFolders.h"
#include "FileSearch.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Created in scrambled order; listed in NTFS order.
const std::vector<std::string> kCapture = {
    "old/",  "c.bmp",          "old_bmp/x.bmp", "a.bmp",    "b.tiff", "old/z.bmp",
    "d.bmpx", "old_bmp/y.tiff", "D2.BMP",        "imagebmp",
};

// A missing folder yields nothing and says so.
TEST(SearchFiles, ListsMatchesAndSearchesOnlyMatchingSubFolders)
{
    TempFolder tmp;
    tmp.make(kCapture);
    std::vector<std::string> files = {"kept"};
    searchFiles(tmp.path(), files, "bmp");
    EXPECT_EQ(files, (std::vector<std::string>{"kept", tmp.at("a.bmp"), tmp.at("c.bmp"), tmp.at("D2.BMP"),
                                               tmp.at("imagebmp"), tmp.at("old_bmp"), tmp.at("old_bmp/x.bmp")}));
    files.clear();
    searchFiles(tmp.path(), files, "tiff");
    EXPECT_EQ(files, pathsUnder(tmp, {"b.tiff"}));
    files.clear();
    std::vector<std::string> logged;
    searchFiles(tmp.at("missing"), files, "bmp", [&](const std::string& text) { logged.push_back(text); });
    EXPECT_TRUE(files.empty());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_EQ(logged[0].rfind("cannot list folder " + tmp.at("missing") + ": ", 0), 0u) << logged[0];
}

TEST(SearchFiles, LinkBackToAnAncestorIsReportedNotEntered)
{
    TempFolder tmp;
    tmp.make({"rec/in_bmp/", "rec/a.bmp", "other/z.bmp"});
    if (!tmp.link("rec/in_bmp/up_bmp", "rec") || !tmp.link("rec/self_bmp", "rec") ||
        !tmp.link("rec/side_bmp", "other"))
        GTEST_SKIP() << "folder links cannot be created here";

    std::vector<std::string> files;
    std::vector<std::string> logged;
    searchFiles(tmp.at("rec"), files, "bmp", [&](const std::string& text) { logged.push_back(text); });
    EXPECT_EQ(files, pathsUnder(tmp, {"rec/a.bmp", "rec/in_bmp", "rec/side_bmp", "rec/side_bmp/z.bmp"}));
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find(tmp.at("rec/in_bmp/up_bmp")), std::string::npos) << logged[0];
    EXPECT_NE(logged[1].find(tmp.at("rec/self_bmp")), std::string::npos) << logged[1];
}

// The folders on the way down are forgotten on the way up: a folder linked
// from a later sibling is no loop, for the search and the walk alike.
TEST(SearchFiles, FolderLinkedFromALaterSiblingIsEnteredAgain)
{
    TempFolder tmp;
    tmp.make({"rec/a_bmp/x.bmp"});
    if (!tmp.link("rec/z_bmp", "rec/a_bmp"))
        GTEST_SKIP() << "folder links cannot be created here";
    std::vector<std::string> files;
    std::vector<std::string> logged;
    const auto keep = [&](const std::string& text) { logged.push_back(text); };
    searchFiles(tmp.at("rec"), files, "bmp", keep);
    EXPECT_EQ(files, pathsUnder(tmp, {"rec/a_bmp", "rec/a_bmp/x.bmp", "rec/z_bmp", "rec/z_bmp/x.bmp"}));
    std::vector<std::string> folders;
    std::string error;
    EXPECT_TRUE(collectFolders(tmp.at("rec"), folders, error, keep)) << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"rec/a_bmp", "rec/z_bmp"}));
    EXPECT_TRUE(logged.empty()) << ::testing::PrintToString(logged);
}

// The walk joins with std::filesystem, the search with kPathSeparator; both
// must give the same path for the same entry, or a recording's paths would
// mix separators.
TEST(SearchFiles, JoinsPathsLikeTheFileSystemLibraryAndTheWalk)
{
    TempFolder root;
    root.make({"capture/a.bmp"});

    std::vector<std::string> folders;
    std::string error;
    ASSERT_TRUE(collectFolders(root.path(), folders, error)) << error;
    const std::vector<std::string> expectedFolders{(fs::path(root.path()) / "capture").string()};
    ASSERT_EQ(folders, expectedFolders);

    std::vector<std::string> files;
    searchFiles(folders[0], files, "bmp");
    const std::vector<std::string> expectedFiles{(fs::path(folders[0]) / "a.bmp").string()};
    EXPECT_EQ(files, expectedFiles);
}

}  // namespace
