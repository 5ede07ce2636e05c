// A failing allocation while a folder is listed leaves no folder open: the
// search is run with its k-th allocation failing, for every k it reaches,
// and the process's open descriptors are counted before and after.
//
// Own program: it replaces the global operator new. POSIX only (it counts
// the entries of /proc/self/fd).

#include "FileSearch.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace {

bool armed = false;
long allocations = 0;
long failAt = -1;

}  // namespace

void* operator new(std::size_t size)
{
    if (armed && allocations++ == failAt)
        throw std::bad_alloc();
    if (void* memory = std::malloc(size ? size : 1))
        return memory;
    throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

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
    for (failAt = 0; !completed && failAt < 100000; ++failAt) {
        std::vector<std::string> files;
        allocations = 0;
        armed = true;
        try {
            searchFiles(tmp.path(), files, "bmp");
            completed = true;
        } catch (const std::bad_alloc&) {
        }
        armed = false;
        ASSERT_EQ(openDescriptors(), before) << "a folder stayed open when allocation " << failAt << " failed";
    }
    EXPECT_TRUE(completed) << "the search never got through without a failing allocation";
    EXPECT_GT(failAt, 1) << "no allocation of the search was made to fail";
}

}  // namespace
