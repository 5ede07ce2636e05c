#include "AsNobody.h"
#include "CaptureFolders.h"
#include "PlatformPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

// Created in scrambled order, with files that must not be listed.
const Paths kRecording = {
    "0002/y/",   "009/",     "0001/x/deep/", "readme.txt", "0010/",
    "0001/f.bmp", "0001/a/", "0002/y/g.bmp", "0001/x/h.tiff",
};
const Paths kRecordingOrder = {"0001", "0001/a", "0001/x", "0001/x/deep", "0002", "0002/y", "0010", "009"};

// A trailing separator on the root gives the same paths.
TEST(CollectFolders, AppendsEveryFolderPreOrderInNtfsOrder)
{
    TempFolder tmp;
    tmp.make(kRecording);
    for (const std::string& root : {tmp.path(), tmp.path() + kPathSeparator}) {
        Paths folders = {"kept"};
        std::string error;
        ASSERT_TRUE(collectFolders(root, folders, error)) << error;
        Paths expected = pathsUnder(tmp, kRecordingOrder);
        expected.insert(expected.begin(), "kept");
        EXPECT_EQ(folders, expected) << root;
    }
}

// Each entry's kind comes from its own path: on Windows a narrow copy of a
// name outside the code page would name no entry, and the folder would be
// dropped (or the copy would throw, files too).
TEST(CollectFolders, FoldersWithNamesBeyondAsciiAreWalked)
{
    TempFolder tmp;
    const std::string ea = "\xC3\xA9" "a";  // éa
    tmp.make({ea + "/inner/", ea + "/f.bmp", "b/", "\xC3\xBC.bmp"});
    Paths folders;
    std::string error;
    ASSERT_TRUE(collectFolders(tmp.path(), folders, error)) << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"b", ea, ea + "/inner"}));
}

TEST(CollectFolders, RootWithoutFoldersListsNothing)
{
    TempFolder tmp;
    tmp.make({"only.bmp"});
    Paths folders;
    std::string error;
    EXPECT_TRUE(collectFolders(tmp.path(), folders, error)) << error;
    EXPECT_TRUE(folders.empty());
}

TEST(CollectFolders, BadRootFailsNamingThePath)
{
    TempFolder tmp;
    tmp.make({"file.bmp"});
    const std::string withNul = tmp.path() + std::string(1, '\0') + "x";
    struct Case {
        std::string root;
        std::string named;
    };
    const Case cases[] = {{tmp.at("missing"), tmp.at("missing")},
                          {tmp.at("file.bmp"), tmp.at("file.bmp")},
                          {"", ""},
                          {withNul, tmp.path()},
                          {"~/no-such-recording", "a leading ~ is not expanded here"}};
    for (const Case& c : cases) {
        Paths folders = {"kept"};
        std::string error;
        EXPECT_FALSE(collectFolders(c.root, folders, error)) << c.named;
        EXPECT_FALSE(error.empty()) << c.named;
        EXPECT_NE(error.find(c.named), std::string::npos) << error;
        EXPECT_EQ(folders, Paths{"kept"});
    }
}

TEST(CollectFolders, LinkBackToAnAncestorIsReportedNotWalked)
{
    TempFolder tmp;
    tmp.make({"rec/b/", "rec/a/", "other/c/"});
    if (!tmp.link("rec/a/up", "rec") || !tmp.link("rec/a/self", "rec/a") || !tmp.link("rec/a/side", "other"))
        GTEST_SKIP() << "folder links cannot be created here";

    Paths folders;
    std::string error;
    Paths logged;
    ASSERT_TRUE(collectFolders(tmp.at("rec"), folders, error,
                               [&](const std::string& text) { logged.push_back(text); }))
        << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"rec/a", "rec/a/side", "rec/a/side/c", "rec/b"}));
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_NE(logged[0].find(tmp.at("rec/a/self")), std::string::npos) << logged[0];
    EXPECT_NE(logged[1].find(tmp.at("rec/a/up")), std::string::npos) << logged[1];
}

TEST(CollectFolders, UnreadableSubFolderFailsAfterListingIt)
{
    if (ranAgainAsNobody())
        return;
    TempFolder tmp;
    tmp.make({"c/", "a/", "b/inner/"});
    if (!tmp.denyReading("b"))
        GTEST_SKIP() << "a folder without permissions can still be read here";

    Paths folders;
    std::string error;
    EXPECT_FALSE(collectFolders(tmp.path(), folders, error));
    EXPECT_NE(error.find(tmp.at("b")), std::string::npos) << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"a", "b"}));
}

// A folder that may be read but not searched lists its entries, but what
// each is cannot be told; one of them might be a folder, so the walk fails.
TEST(CollectFolders, EntryOfUnknownKindFailsTheWalkNamingIt)
{
    if (ranAgainAsNobody())
        return;
    TempFolder tmp;
    tmp.make({"a/", "shut/x/"});
    const std::filesystem::path shut = tmp.at("shut");
    std::filesystem::permissions(shut, std::filesystem::perms::owner_read);
    struct Restore {
        std::filesystem::path folder;
        ~Restore() { std::filesystem::permissions(folder, std::filesystem::perms::owner_all); }
    } restore{shut};
    FolderId probe;
    if (folderIdOf(tmp.at("shut/x"), probe))
        GTEST_SKIP() << "a folder without search permission can still be searched here";

    Paths folders;
    std::string error;
    EXPECT_FALSE(collectFolders(tmp.path(), folders, error));
    EXPECT_NE(error.find("status"), std::string::npos) << error;
    EXPECT_NE(error.find(tmp.at("shut/x")), std::string::npos) << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"a", "shut"}));
}

TEST(CollectFolders, DeepTreeCompletes)
{
    TempFolder tmp;
    const int depth = 300;
    std::string relative;
    Paths expected;
    for (int level = 0; level < depth; ++level) {
        relative += level == 0 ? "d" : "/d";
        expected.push_back(tmp.at(relative));
    }
    std::error_code createError;
    std::filesystem::create_directories(expected.back(), createError);
    if (!createError) {
        // Windows may create a path longer than MAX_PATH and then not list it.
        const std::filesystem::directory_iterator probe(expected.back(), createError);
    }
    if (createError)
        GTEST_SKIP() << "a path of " << expected.back().size() << " characters cannot be created and listed here";

    Paths folders;
    std::string error;
    ASSERT_TRUE(collectFolders(tmp.path(), folders, error)) << error;
    EXPECT_EQ(folders, expected);
}

}  // namespace
