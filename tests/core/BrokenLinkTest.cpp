// Links that cannot be followed are neither folders nor files: the walk and
// the file search pass each over with one line naming it and what is wrong,
// and go on with the rest.

#include "AsNobody.h"
#include "CaptureFolders.h"
#include "FileSearch.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

namespace {

using Paths = std::vector<std::string>;

struct LinkCase {
    std::string label;
    Paths links;         // the links that cannot be followed, relative to the root
    std::string reason;  // what each warning says is wrong
    bool deniesPermission;  // root passes the check: run as another user then
    // Makes the links; false when this cannot be done here.
    bool (*make)(TempFolder& tmp);
};

// Names the case in CTest's list too.
void PrintTo(const LinkCase& c, std::ostream* out)
{
    *out << c.label;
}

bool selfLoop(TempFolder& tmp)
{
    return tmp.link("rec/camera3P_self.bmp", "rec/camera3P_self.bmp");
}

bool twoLinkLoop(TempFolder& tmp)
{
    return tmp.link("rec/ping.bmp", "rec/pong.bmp") && tmp.link("rec/pong.bmp", "rec/ping.bmp");
}

// Linux follows at most 40 links while resolving one path.
bool tooManyLevels(TempFolder& tmp)
{
    const int chain = 45;
    tmp.make({"target/", "chain/"});
    bool made = tmp.link("rec/deep.bmp", "chain/0");
    for (int i = 0; i < chain && made; ++i)
        made = tmp.link("chain/" + std::to_string(i), i + 1 < chain ? "chain/" + std::to_string(i + 1) : "target");
    return made;
}

bool dangling(TempFolder& tmp)
{
    return tmp.link("rec/gone.bmp", "gone");
}

bool permissionDenied(TempFolder& tmp)
{
    tmp.make({"closed/inner/"});
    return tmp.link("rec/closed.bmp", "closed/inner") && tmp.denyReading("closed");
}

class UnfollowableLinkTest : public ::testing::TestWithParam<LinkCase> {
protected:
    void SetUp() override
    {
        if (GetParam().deniesPermission && ranAgainAsNobody()) {
            answeredAsNobody = true;
            return;
        }
        tmp.make({"rec/capture/", "rec/a.bmp"});
        if (!GetParam().make(tmp))
            GTEST_SKIP() << "these links cannot be made or denied here";
    }

    // Each warning names one of the case's links and what is wrong with it.
    void expectOneWarningPerLink(const Paths& logged) const
    {
        const LinkCase& c = GetParam();
        ASSERT_EQ(logged.size(), c.links.size()) << ::testing::PrintToString(logged);
        for (std::size_t i = 0; i < logged.size(); ++i) {
            EXPECT_NE(logged[i].find(tmp.at(c.links[i])), std::string::npos) << logged[i];
            EXPECT_NE(logged[i].find(c.reason), std::string::npos) << logged[i];
        }
    }

    TempFolder tmp;
    bool answeredAsNobody = false;  // the test ran again in a child process
};

INSTANTIATE_TEST_SUITE_P(
    Links, UnfollowableLinkTest,
    ::testing::Values(LinkCase{"SelfLoop", {"rec/camera3P_self.bmp"}, "a loop", false, selfLoop},
                      LinkCase{"TwoLinkLoop", {"rec/ping.bmp", "rec/pong.bmp"}, "a loop", false, twoLinkLoop},
                      LinkCase{"TooManyLevels", {"rec/deep.bmp"}, "too many levels", false, tooManyLevels},
                      LinkCase{"Dangling", {"rec/gone.bmp"}, "dangling", false, dangling},
                      LinkCase{"PermissionDenied", {"rec/closed.bmp"}, "permission denied", true, permissionDenied}),
    [](const ::testing::TestParamInfo<LinkCase>& info) { return info.param.label; });

TEST_P(UnfollowableLinkTest, WalkPassesItOverAndGoesOn)
{
    if (answeredAsNobody)
        return;
    Paths folders;
    Paths logged;
    std::string error;
    ASSERT_TRUE(collectFolders(tmp.at("rec"), folders, error, [&](const std::string& text) { logged.push_back(text); }))
        << error;
    EXPECT_EQ(folders, pathsUnder(tmp, {"rec/capture"}));
    expectOneWarningPerLink(logged);
}

TEST_P(UnfollowableLinkTest, SearchPassesItOverAndGoesOn)
{
    if (answeredAsNobody)
        return;
    Paths files;
    Paths logged;
    searchFiles(tmp.at("rec"), files, "bmp", [&](const std::string& text) { logged.push_back(text); });
    EXPECT_EQ(files, pathsUnder(tmp, {"rec/a.bmp"}));
    expectOneWarningPerLink(logged);
}

}  // namespace
