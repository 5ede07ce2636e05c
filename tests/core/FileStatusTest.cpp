// FileStatus: what read-ahead compares to tell whether a file changed.

#include "FileStatus.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

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

}  // namespace
