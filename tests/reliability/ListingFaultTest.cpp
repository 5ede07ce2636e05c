// A file system that fails or interrupts a folder's listing. This program
// defines opendir and readdir itself and exports them, so the loaded module
// calls these, which hand over to the C library's unless a fault is armed
// for one folder: an interrupted call (EINTR) is made again and changes
// nothing; any other error gives one line naming the folder and the system's
// message, and the frame holds what was listed. POSIX only.

#include "ModuleHost.h"

#include <dirent.h>
#include <dlfcn.h>

#include <algorithm>
#include <cerrno>
#include <mutex>
#include <set>

namespace {

// What the next calls for `folder` answer: `openFailures` opendir calls fail
// with `openErrno`; after `readsBefore` entries, `readFailures` readdir calls
// (-1: all) fail with `readErrno`.
struct ListingFault {
    std::string folder;
    int openFailures = 0;
    int openErrno = 0;
    int readsBefore = 0;
    int readFailures = 0;
    int readErrno = 0;
};

std::mutex faultLock;
ListingFault fault;
std::set<DIR*> faultyFolders;
int readsSoFar = 0;

template <typename Function>
Function next(const char* name)
{
    return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

void arm(const ListingFault& armed)
{
    const std::lock_guard<std::mutex> hold(faultLock);
    fault = armed;
    faultyFolders.clear();
    readsSoFar = 0;
}

}  // namespace

extern "C" DIR* opendir(const char* name)
{
    static const auto real = next<DIR* (*)(const char*)>("opendir");
    const std::lock_guard<std::mutex> hold(faultLock);
    const bool faulty = !fault.folder.empty() && fault.folder == name;
    if (faulty && fault.openFailures > 0) {
        --fault.openFailures;
        errno = fault.openErrno;
        return nullptr;
    }
    DIR* dir = real(name);
    if (dir && faulty)
        faultyFolders.insert(dir);
    else if (dir)
        faultyFolders.erase(dir);  // a closed folder's address, given again
    return dir;
}

extern "C" dirent* readdir(DIR* dir)
{
    static const auto real = next<dirent* (*)(DIR*)>("readdir");
    {
        const std::lock_guard<std::mutex> hold(faultLock);
        if (faultyFolders.count(dir) != 0 && readsSoFar++ >= fault.readsBefore && fault.readFailures != 0) {
            --readsSoFar;
            if (fault.readFailures > 0)
                --fault.readFailures;
            errno = fault.readErrno;
            return nullptr;
        }
    }
    return real(dir);
}

namespace {

// Six camera3P images 1..6 in "cap", and a matching sub-folder holding 7.
class ListingFaultTest : public ModuleTest {
protected:
    void SetUp() override
    {
        ModuleTest::SetUp();
        for (int i = 1; i <= 6; ++i)
            rec.gray8Bmp("cap/camera3P_" + std::to_string(i) + ".bmp", i);
        rec.gray8Bmp("cap/camera3P_sub_bmp/camera3P_7.bmp", 7);
    }
    void TearDown() override { arm({}); }

    std::vector<std::string> listingWarnings() const { return log.containing("[WARN]  cannot list folder "); }
};

// In the walk at init and in the grab's search.
TEST_F(ListingFaultTest, InterruptedCallsAreMadeAgain)
{
    arm({rec.root(), 2, EINTR, 1, 2, EINTR});
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    arm({rec.path("cap"), 2, EINTR, 3, 2, EINTR});
    EXPECT_EQ(host.grab(), (std::vector<int>{1, 2, 3, 4, 5, 6, -1, 7}));
    EXPECT_EQ(host.grab(), std::vector<int>{7});  // the sub-folder was walked
    EXPECT_TRUE(listingWarnings().empty()) << ::testing::PrintToString(log.texts());
}

// The capture folder's listing fails part-way: the frame holds the images
// listed before (in NTFS order), and one line says what happened.
TEST_F(ListingFaultTest, FailingCaptureFolderGivesWhatWasListedAndOneWarning)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    // The names readdir gives first, before the failure.
    std::vector<int> listed;
    DIR* dir = ::opendir(rec.path("cap").c_str());
    ASSERT_NE(dir, nullptr);
    for (int i = 0; i < 5; ++i) {
        const std::string name = ::readdir(dir)->d_name;
        if (name.size() == 14 && name.compare(0, 9, "camera3P_") == 0)
            listed.push_back(name[9] - '0');
        else if (name == "camera3P_sub_bmp")
            listed.insert(listed.end(), {-1, 7});
    }
    ::closedir(dir);
    // NTFS order: camera3P_1.bmp ... camera3P_6.bmp, camera3P_sub_bmp (-1), its 7.
    const auto place = [](int identity) { return identity < 0 ? 6.5 : identity; };
    std::sort(listed.begin(), listed.end(), [&](int a, int b) { return place(a) < place(b); });

    arm({rec.path("cap"), 0, 0, 5, -1, EIO});
    EXPECT_EQ(host.grab(), listed);
    const std::vector<std::string> warnings = listingWarnings();
    ASSERT_EQ(warnings.size(), 1u) << ::testing::PrintToString(log.texts());
    EXPECT_NE(warnings[0].find(rec.path("cap") + ": Input/output error"), std::string::npos) << warnings[0];
}

TEST_F(ListingFaultTest, UnlistableMatchingSubFolderIsReportedAndTheRestRead)
{
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    arm({rec.path("cap/camera3P_sub_bmp"), 1000, EIO});
    EXPECT_EQ(host.grab(), (std::vector<int>{1, 2, 3, 4, 5, 6, -1}));
    const std::vector<std::string> warnings = listingWarnings();
    ASSERT_EQ(warnings.size(), 1u) << ::testing::PrintToString(log.texts());
    EXPECT_NE(warnings[0].find(rec.path("cap/camera3P_sub_bmp") + ": Input/output error"), std::string::npos)
        << warnings[0];
}

// The walk at init cannot know which capture folders it missed: init
// refuses, naming the folder and the system's message.
TEST_F(ListingFaultTest, FailingWalkFailsInitNamingTheFolder)
{
    arm({rec.root(), 0, 0, 1, -1, EIO});
    EXPECT_FALSE(host.configure(rec.param("camera3P")));
    const std::vector<std::string> errors = log.containing("[ERROR]  init failed: ");
    ASSERT_EQ(errors.size(), 1u) << ::testing::PrintToString(log.texts());
    EXPECT_NE(errors[0].find(rec.root() + ": Input/output error"), std::string::npos) << errors[0];
}

}  // namespace
