// init through the exported module: the strings it takes, its answer to bad
// ones, and the capture-folder list it leaves behind, seen through the frames
// that replay afterwards.

#include "ModuleHost.h"

namespace {

class Init : public ModuleTest {
protected:
    // f1, f2 under `under`, each with a camera3P image carrying its number
    // and a camera1 image carrying 9, 10 (shows which camera name is in use).
    void SetUp() override
    {
        ModuleTest::SetUp();
        for (int n = 1; n <= 2; ++n) {
            rec.gray8Bmp("f" + std::to_string(n) + "/camera3P_a.bmp", n);
            rec.gray8Bmp("f" + std::to_string(n) + "/camera1_VexoNormalImage.bmp", 8 + n);
        }
    }
    std::vector<std::string> errors() const { return log.containing("[ERROR] "); }
};

struct AcceptedCase {
    std::string name;
    std::string secondAndThird;  // fields 2 and 3 with their commas
    std::string relativeRoot;
    std::vector<int> firstFrame;
};

void PrintTo(const AcceptedCase& c, std::ostream* out) { *out << c.name; }

class InitAccepts : public Init, public ::testing::WithParamInterface<AcceptedCase> {};

TEST_P(InitAccepts, StoresTheFieldsAndReplaysTheRoot)
{
    rec.gray8Bmp("x,y/g1/camera3P_a.bmp", 7);
    const AcceptedCase& c = GetParam();
    EXPECT_TRUE(host.configure("camera3P," + c.secondAndThird + "," + rec.path(c.relativeRoot)));
    EXPECT_EQ(host.grab(), c.firstFrame);
    EXPECT_TRUE(errors().empty());
}

INSTANTIATE_TEST_SUITE_P(Strings, InitAccepts, ::testing::Values(
    AcceptedCase{"Plain", "a,1", "", {1}},
    AcceptedCase{"EmptySecondFieldRootWithComma", ",7", "x,y", {7}},
    AcceptedCase{"BlankNumberLettersIsTwelve", "a, +12abc", "", {1}},
    AcceptedCase{"IntMax", "a,2147483647", "", {1}},
    AcceptedCase{"IntMin", "a,-2147483648", "", {1}},
    AcceptedCase{"RootWithTrailingSeparator", "a,1", "x,y/", {7}}),
    [](const auto& info) { return info.param.name; });

// Strings rejected before any field is taken: the previous camera name and
// folder list stay, so camera3P keeps replaying f1, f2.
class InitRejects : public Init, public ::testing::WithParamInterface<std::string> {};

TEST_P(InitRejects, AndChangesNothing)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    log.clear();
    EXPECT_FALSE(host.configure(GetParam()));
    EXPECT_EQ(errors().size(), 1u);
    EXPECT_EQ(host.grabs(2), (Frames{{1}, {2}}));
}

INSTANTIATE_TEST_SUITE_P(Strings, InitRejects,
                         ::testing::Values(",a,1,/tmp", "camera1", "camera1,a", "", ","));

TEST_F(Init, MissingThirdCommaPrintsTheMessageAndKeepsTheNewCameraName)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    testing::internal::CaptureStdout();
    const bool ok = host.configure("camera1,a,1");
    // The message's UTF-8 bytes, whatever code page a compiler reads sources in.
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "\xE8\xBE\x93\xE5\x85\xA5\xE5\xAD\x97\xE7\xAC\xA6\xE4\xB8\xB2\xE6\xA0\xBC\xE5\xBC\x8F"
              "\xE9\x94\x99\xE8\xAF\xAF\xEF\xBC\x8C\xE6\x89\xBE\xE4\xB8\x8D\xE5\x88\xB0\xE7\xAC\xAC"
              "\xE4\xB8\x89\xE4\xB8\xAA\xE9\x80\x97\xE5\x8F\xB7\xE3\x80\x82\n");
    EXPECT_FALSE(ok);
    // Fields 1 and 2 are taken before the third comma is looked for.
    EXPECT_EQ(host.grab(), std::vector<int>{9});
}

struct BadNumberCase {
    std::string name;
    std::string third;
    std::string cause;
};

void PrintTo(const BadNumberCase& c, std::ostream* out) { *out << c.name; }

class InitBadNumber : public Init, public ::testing::WithParamInterface<BadNumberCase> {};

TEST_P(InitBadNumber, FailsWithOneLineNamingCauseAndText)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    log.clear();
    const BadNumberCase& c = GetParam();
    EXPECT_FALSE(host.configure("camera3P,a," + c.third + "," + rec.root()));
    const std::vector<std::string> lines = errors();
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind("[ERROR] ", 0), 0u) << lines[0];
    EXPECT_NE(lines[0].find(c.cause), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("\"" + c.third + "\""), std::string::npos) << lines[0];
    EXPECT_EQ(host.grab(), std::vector<int>{1});
}

INSTANTIATE_TEST_SUITE_P(ThirdField, InitBadNumber, ::testing::Values(
    BadNumberCase{"Letters", "x1", "invalid stoi argument"},
    BadNumberCase{"Empty", "", "invalid stoi argument"},
    BadNumberCase{"SignOnly", " -", "invalid stoi argument"},
    BadNumberCase{"AboveIntMax", "2147483648", "stoi argument out of range"},
    BadNumberCase{"FarBelowIntMin", "-99999999999999999999", "stoi argument out of range"}),
    [](const auto& info) { return info.param.name; });

struct BadRootCase {
    std::string name;
    std::string rootSuffix;   // appended to the recording's root; none: empty root
    std::string namedSuffix;  // the part of it the error line shows
};

void PrintTo(const BadRootCase& c, std::ostream* out) { *out << c.name; }

// A root that cannot be walked: false, one line naming the path, and the
// previous list keeps replaying.
class InitBadRoot : public Init, public ::testing::WithParamInterface<BadRootCase> {};

TEST_P(InitBadRoot, FailsNamingThePathAndKeepsThePreviousList)
{
    rec.bytes("file.bmp", "not a folder");
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grab(), std::vector<int>{1});
    log.clear();
    const BadRootCase& c = GetParam();
    const std::string root = c.rootSuffix.empty() ? "" : rec.root() + c.rootSuffix;
    EXPECT_FALSE(host.configure("camera3P,a,1," + root));
    const std::vector<std::string> lines = errors();
    ASSERT_EQ(lines.size(), 1u);
    if (!root.empty())
        EXPECT_NE(lines[0].find(rec.root() + c.namedSuffix), std::string::npos) << lines[0];
    EXPECT_EQ(host.grabs(2), (Frames{{2}, {1}}));
}

INSTANTIATE_TEST_SUITE_P(Roots, InitBadRoot, ::testing::Values(
    BadRootCase{"Empty", "", ""},
    BadRootCase{"Missing", "/missing", "/missing"},
    BadRootCase{"AFile", "/file.bmp", "/file.bmp"},
    // Cut at the NUL the path would be f1, an existing folder.
    BadRootCase{"HoldsNul", std::string("/f1\0/x", 6), "/f1"}),
    [](const auto& info) { return info.param.name; });

struct ControlCase {
    std::string name;
    std::string inRoot;  // appended to a missing root
    std::string shown;   // how the line shows it
};

void PrintTo(const ControlCase& c, std::ostream* out) { *out << c.name; }

class InitControlCharacter : public Init, public ::testing::WithParamInterface<ControlCase> {};

// A root taken from a CRLF file ends in a carriage return: the line says so,
// and stays one whole line (a NUL cut it short before).
TEST_P(InitControlCharacter, IsShownAsAnEscapeInAWholeLine)
{
    const ControlCase& c = GetParam();
    EXPECT_FALSE(host.configure("camera3P,a,1," + rec.root() + "/missing" + c.inRoot));
    const std::vector<std::string> lines = errors();
    ASSERT_EQ(lines.size(), 1u);
    const std::string expectedEnd = "(root folder \"" + rec.root() + "/missing" + c.shown + "\")";
    ASSERT_GE(lines[0].size(), expectedEnd.size());
    EXPECT_EQ(lines[0].substr(lines[0].size() - expectedEnd.size()), expectedEnd) << lines[0];
    for (const char ch : lines[0])
        EXPECT_GE(static_cast<unsigned char>(ch), 0x20) << "raw control character in: " << lines[0];
}

INSTANTIATE_TEST_SUITE_P(Characters, InitControlCharacter, ::testing::Values(
    ControlCase{"CarriageReturn", "\r", "\\r"},
    ControlCase{"LineFeed", "\nx", "\\nx"},
    ControlCase{"Tab", "\t", "\\t"},
    ControlCase{"Nul", std::string("\0x", 2), "\\0x"},
    ControlCase{"Escape", "\x1b[0m", "\\x1B[0m"},
    ControlCase{"Delete", "\x7f", "\\x7F"}),
    [](const auto& info) { return info.param.name; });

TEST_F(Init, ReplacesTheFolderListInsteadOfAppending)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    rec.gray8Bmp("f3/camera3P_a.bmp", 3);
    ASSERT_TRUE(host.camera->init(nullptr));
    // Appending would replay f1, f2, f1, f2, f3.
    EXPECT_EQ(host.grabs(4), (Frames{{1}, {2}, {3}, {1}}));
}

// Another recording plays from its first capture folder, also one with as
// many folders; images buffered before stay, in front.
TEST_F(Init, AnotherRecordingStartsAtItsFirstFolderAndBufferedImagesStay)
{
    for (int n = 1; n <= 3; ++n) {
        rec.gray8Bmp("one/g" + std::to_string(n) + "/camera3P_a.bmp", 10 + n);
        rec.gray8Bmp("two/h" + std::to_string(n) + "/camera3P_a.bmp", 20 + n);
    }
    ASSERT_TRUE(host.configure(rec.param("camera3P", "one")));
    EXPECT_EQ(host.grab(), std::vector<int>{11});
    ASSERT_TRUE(host.camera->run());  // g2, left uncollected
    ASSERT_TRUE(host.configure(rec.param("camera3P", "two")));
    ASSERT_TRUE(host.camera->run());
    EXPECT_EQ(identitiesOf(host.collect()), (std::vector<int>{12, 21}));
    EXPECT_EQ(host.grabs(3), (Frames{{22}, {23}, {21}}));
}

// The same recording initialised again (another camera name, say) goes on
// where it was.
TEST_F(Init, SameRecordingAgainKeepsTheCursor)
{
    rec.gray8Bmp("f3/camera3P_a.bmp", 3);
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grabs(2), (Frames{{1}, {2}}));
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grabs(2), (Frames{{3}, {1}}));
}

TEST_F(Init, NewObjectAfterDestoryContinuesTheCycle)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    EXPECT_EQ(host.grab(), std::vector<int>{1});
    ASSERT_TRUE(host.renew());
    EXPECT_EQ(host.grab(), std::vector<int>{2});
}

}  // namespace
