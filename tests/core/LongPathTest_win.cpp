// Capture folders and image files whose paths pass MAX_PATH (260 characters):
// the run-time library's folder listing gives up there, Windows' own calls on
// the `\\?\` form do not.

#include "CaptureFolders.h"
#include "ExtendedPath.h"
#include "FileRead.h"
#include "FileStatus.h"
#include "PlatformPaths.h"
#include "TempFolder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <string>
#include <vector>

namespace {

std::wstring wide(const std::string& utf8)
{
    std::wstring out(utf8.size(), L'\0');
    out.resize(static_cast<size_t>(
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &out[0], static_cast<int>(out.size()))));
    return out;
}

// Nested folders under `base` until the path holds at least `length`
// characters, made and removed through their `\\?\` form (TempFolder's own
// clean-up goes through the run-time library and would stop at MAX_PATH).
class DeepFolder {
public:
    DeepFolder(const std::string& base, std::size_t length)
    {
        std::string path = base;
        while (path.size() < length) {
            path += "\\" + std::string(40, static_cast<char>('a' + folders.size() % 26));
            folders.push_back(path);
            CreateDirectoryW(wide(fileCallPath(path)).c_str(), nullptr);
        }
    }
    ~DeepFolder()
    {
        for (const std::string& file : files)
            DeleteFileW(wide(fileCallPath(file)).c_str());
        for (auto it = folders.rbegin(); it != folders.rend(); ++it)
            RemoveDirectoryW(wide(fileCallPath(*it)).c_str());
    }
    const std::string& deepest() const { return folders.back(); }
    std::string writeFile(const std::string& name, const std::string& bytes)
    {
        const std::string path = deepest() + "\\" + name;
        files.push_back(path);
        HANDLE file = CreateFileW(wide(fileCallPath(path)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
        CloseHandle(file);
        return path;
    }

private:
    std::vector<std::string> folders;
    std::vector<std::string> files;
};

TEST(LongPath, CaptureFolderAndImagePastMaxPathAreListedAndRead)
{
    for (const std::size_t length : {260u, 300u, 1000u}) {
        SCOPED_TRACE(length);
        TempFolder tmp;
        DeepFolder deep(tmp.path(), length);
        ASSERT_GE(deep.deepest().size(), length);
        const std::string image = deep.writeFile("img.bmp", "BM-bytes");

        std::vector<std::string> folders;
        std::string error;
        ASSERT_TRUE(collectFolders(tmp.path(), folders, error)) << error;
        EXPECT_NE(std::find(folders.begin(), folders.end(), deep.deepest()), folders.end());

        std::vector<FindData> entries;
        ASSERT_TRUE(listFolder(deep.deepest(), ".bmp", entries, error)) << error;
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, "img.bmp");
        EXPECT_EQ(entryStatusOf(image).kind, EntryKind::File);
        FolderId id;
        EXPECT_TRUE(folderIdOf(deep.deepest(), id));

        const FileStatus status = fileStatusOf(image, error);
        EXPECT_EQ(status.kind, FileKind::Regular) << error;
        EXPECT_EQ(status.size, 8u);
        ReadableFile* file = openForReading(image, error);
        ASSERT_NE(file, nullptr) << error;
        std::string bytes(16, '\0');
        std::size_t got = 0;
        EXPECT_TRUE(readBytes(file, reinterpret_cast<unsigned char*>(&bytes[0]), bytes.size(), got, error));
        closeFile(file);
        EXPECT_EQ(bytes.substr(0, got), "BM-bytes");
    }
}

// Wine sets no MAX_PATH limit, so the test above passes there with ordinary
// paths too. What shows there that each call is given the `\\?\` form: a
// name ending in a dot is taken as spelled, where an ordinary path loses the
// dot and names another entry.
TEST(LongPath, EachCallTakesTheNameAsSpelled)
{
    TempFolder tmp;
    DeepFolder deep(tmp.path(), tmp.path().size() + 1);  // one folder
    const std::string folder = deep.deepest();
    const std::string dotted = deep.writeFile("img.bmp.", "BM");
    std::string error;
    EXPECT_EQ(entryStatusOf(dotted).kind, EntryKind::File);
    const FileStatus status = fileStatusOf(dotted, error);
    EXPECT_EQ(status.kind, FileKind::Regular) << error;
    ReadableFile* file = openForReading(dotted, error);
    EXPECT_NE(file, nullptr) << error;
    closeFile(file);
    std::vector<FindData> entries;
    ASSERT_TRUE(listFolder(folder, ".bmp.", entries, error)) << error;
    EXPECT_EQ(entries.size(), 1u);
}

}  // namespace
