// A failing allocation while a folder is listed leaves no folder open: the
// search is run with its k-th allocation failing, for every k it reaches,
// and the process's open descriptors are counted before and after.
//
// Own program: it replaces the global operator new (AllocationFailure.h).
// POSIX only (it counts the entries of /proc/self/fd).

#include "AllocationFailure.h"
#include "FileSearch.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {

long openDescriptors()
{
    const std::filesystem::directory_iterator fds("/proc/self/fd");
    return static_cast<long>(std::distance(begin(fds), end(fds)));
}

TEST(ListingAllocationFailure, NoFolderStaysOpen)
{
    TempFolder tmp;
    tmp.make({"a.bmp", "b.bmp", "c.tiff", "sub_bmp/d.bmp", "sub_bmp/e.bmp"});
    const long before = openDescriptors();
    bool completed = false;
    long failAt = 0;
    for (; !completed && failAt < 100000; ++failAt) {
        std::vector<std::string> files;
        armAllocationFailure({failAt});
        try {
            searchFiles(tmp.path(), files, "bmp");
            completed = true;
        } catch (const std::bad_alloc&) {
        }
        disarmAllocationFailure();
        ASSERT_EQ(openDescriptors(), before) << "a folder stayed open when allocation " << failAt << " failed";
    }
    EXPECT_TRUE(completed) << "the search never got through without a failing allocation";
    EXPECT_GT(failAt, 1) << "no allocation of the search was made to fail";
}

}  // namespace
