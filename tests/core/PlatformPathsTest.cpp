// The platform layer's listing: every match of an ending, in NTFS order, as
// UTF-8. The file search promises exactly the entries whose long name ends in
// the ending. On Windows that does not come for free: the wildcard search also
// matches 8.3 short names ("x.bmpx" is "X~1.BMP"). So it is checked against
// facts that do not come from the platform layer itself, as is the folder
// identity the link guards rely on.

#include "FileSearch.h"
#include "FileStatus.h"
#include "ParamParser.h"
#include "PlatformPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <ostream>
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

TEST(ListFolder, MatchesEndingAnyCaseInNtfsOrder)
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
TEST(ListFolder, UnicodeNamesComeBackAsUtf8InNtfsOrder)
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

TEST(ListFolder, EmptyEndingMatchesEveryEntryWithDots)
{
    TempFolder tmp;
    tmp.make({"b.bmp", "a/"});
    EXPECT_EQ(findAll(tmp.path(), ""), (std::vector<std::string>{"./", "../", "a/", "b.bmp"}));
}

TEST(ListFolder, MissingFolderFailsSayingWhy)
{
    TempFolder tmp;
    std::vector<FindData> entries = {FindData{}};
    std::string error;
    EXPECT_FALSE(listFolder(tmp.at("missing"), "bmp", entries, error));
    EXPECT_TRUE(entries.empty());
    EXPECT_FALSE(error.empty());
}

struct EndingCase {
    std::string label;  // names the case in the test list
    std::string ending;
    std::vector<std::string> files;
    std::vector<std::string> expected;  // in the order NTFS lists them
};

// Names the case in test lists and failure messages.
void PrintTo(const EndingCase& c, std::ostream* out)
{
    *out << c.label;
}

class LongNameEndingTest : public ::testing::TestWithParam<EndingCase> {};

// Each case holds names whose 8.3 short name ends in the ending while the long
// name does not.
INSTANTIATE_TEST_SUITE_P(
    ShortNameLookalikes, LongNameEndingTest,
    ::testing::Values(
        EndingCase{"Bmp", "bmp",
                   {"a.bmp", "x.bmpx", "photo.bmpold", "B.BMP", "imagebmp"},
                   {"a.bmp", "B.BMP", "imagebmp"}},
        EndingCase{"DotBmp", ".bmp", {"x.bmpx", "a.bmp"}, {"a.bmp"}},
        EndingCase{"Tif", "tif", {"a.tif", "a.tiff"}, {"a.tif"}}));

TEST_P(LongNameEndingTest, ListsOnlyLongNamesWithTheEnding)
{
    const EndingCase& c = GetParam();
    TempFolder folder;
    folder.make(c.files);

    std::vector<std::string> found;
    searchFiles(folder.path(), found, c.ending);
    EXPECT_EQ(found, pathsUnder(folder, c.expected));
}

// Folder links cannot be made everywhere (not by std::filesystem on Windows,
// so not under Wine either), which leaves the link guards untested there; the
// identity they compare is checked on plain folders instead.
TEST(FolderId, SameFolderSameIdAnyOtherEntryNot)
{
    TempFolder tmp;
    tmp.make({"a/", "b/", "file"});

    FolderId a;
    FolderId aAgain;
    FolderId b;
    ASSERT_TRUE(folderIdOf(tmp.at("a"), a));
    ASSERT_TRUE(folderIdOf(tmp.at("b/../a"), aAgain));
    ASSERT_TRUE(folderIdOf(tmp.at("b"), b));
    EXPECT_TRUE(a == aAgain);
    EXPECT_FALSE(a == b);

    FolderId none;
    EXPECT_FALSE(folderIdOf(tmp.at("file"), none));
    EXPECT_FALSE(folderIdOf(tmp.at("missing"), none));
}

}  // namespace
