#include "CaptureFolders.h"
#include "FileSearch.h"
#include "FileStatus.h"
#include "ParamParser.h"
#include "PlatformPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Every match of `ending` in `folder`, as "name", "name/" (folder) or "name!"
// (a link that cannot be followed).
std::vector<std::string> findAll(const std::string& folder, const std::string& ending)
{
    std::vector<FindData> entries;
    std::string error;
    EXPECT_TRUE(listFolder(folder, ending, entries, error)) << error;
    std::vector<std::string> names;
    for (const FindData& entry : entries)
        names.push_back(entry.name + (entry.kind == EntryKind::Folder       ? "/"
                                      : entry.kind == EntryKind::BrokenLink ? "!"
                                                                            : ""));
    return names;
}

// Created in scrambled order; listed in NTFS order.
const std::vector<std::string> kCapture = {
    "old/",  "c.bmp",          "old_bmp/x.bmp", "a.bmp",    "b.tiff", "old/z.bmp",
    "d.bmpx", "old_bmp/y.tiff", "D2.BMP",        "imagebmp",
};

TEST(FindFirstNext, MatchesEndingAnyCaseInNtfsOrder)
{
    TempFolder tmp;
    tmp.make(kCapture);
    EXPECT_EQ(findAll(tmp.path(), "bmp"),
              (std::vector<std::string>{"a.bmp", "c.bmp", "D2.BMP", "imagebmp", "old_bmp/"}));
    EXPECT_EQ(findAll(tmp.path(), "BMP"), findAll(tmp.path(), "bmp"));
    EXPECT_EQ(findAll(tmp.path(), "tiff"), (std::vector<std::string>{"b.tiff"}));
    EXPECT_EQ(findAll(tmp.path(), "gif"), (std::vector<std::string>{}));
}

// Names outside any one code page, in a folder named so too: they come back
// as UTF-8, ordered on UTF-16 units as NTFS does ("éa" < "Éb" once upper-cased;
// a surrogate pair, 0xD83D..., before U+FF01).
TEST(FindFirstNext, UnicodeNamesComeBackAsUtf8InNtfsOrder)
{
    TempFolder tmp;
    const std::string folder = u8"图像 Éé 😀/";
    const std::vector<std::string> names = {u8"！.bmp", u8"😀.bmp", u8"Éb.bmp", u8"图像.bmp", u8"éa.bmp"};
    for (const std::string& name : names)
        tmp.make({folder + name});
    EXPECT_EQ(findAll(tmp.at(folder), "bmp"),
              (std::vector<std::string>{u8"éa.bmp", u8"Éb.bmp", u8"图像.bmp", u8"😀.bmp", u8"！.bmp"}));
    std::string error;
    const FileStatus status = fileStatusOf(tmp.at(folder + u8"😀.bmp"), error);
    EXPECT_EQ(status.kind, FileKind::Regular) << error;
    EXPECT_NE(status.changedNs, 0);
    EXPECT_EQ(parseParam(u8"cam,0,0," + tmp.at(folder)).rootFolder, tmp.at(folder));
}

// Read-ahead hands a frame over only while its files compare equal, so each
// field alone must tell a change.
TEST(FileStatusCompare, EachFieldAloneTellsAChange)
{
    const FileStatus base{FileKind::Regular, 10, 20, 30, 40, 50};
    const std::vector<void (*)(FileStatus&)> changes = {
        [](FileStatus& s) { s.kind = FileKind::Fifo; },    [](FileStatus& s) { ++s.size; },
        [](FileStatus& s) { ++s.modifiedNs; },             [](FileStatus& s) { ++s.changedNs; },
        [](FileStatus& s) { ++s.volume; },                 [](FileStatus& s) { ++s.index; }};
    EXPECT_EQ(base, base);
    for (std::size_t i = 0; i < changes.size(); ++i) {
        FileStatus changed = base;
        changes[i](changed);
        EXPECT_NE(changed, base) << "field " << i;
    }
}

TEST(FindFirstNext, EmptyEndingMatchesEveryEntryWithDots)
{
    TempFolder tmp;
    tmp.make({"b.bmp", "a/"});
    EXPECT_EQ(findAll(tmp.path(), ""), (std::vector<std::string>{"./", "../", "a/", "b.bmp"}));
}

TEST(FindFirstNext, MissingFolderFailsSayingWhy)
{
    TempFolder tmp;
    std::vector<FindData> entries = {FindData{}};
    std::string error;
    EXPECT_FALSE(listFolder(tmp.at("missing"), "bmp", entries, error));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(error.empty());
}

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

}  // namespace
