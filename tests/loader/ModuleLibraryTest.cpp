// The loader on every platform: the same cases run here and, in the Windows
// build, under Wine against the same two stub libraries.

#include "CameraModule.h"
#include "ExecutablePath.h"
#include "Files.h"
#include "ModuleLibrary.h"
#include "ModuleObject.h"
#include "TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

namespace fs = std::filesystem;

namespace {

using CountFn = int (*)();

int objectsAliveIn(ModuleLibrary& library)
{
    const auto count = reinterpret_cast<CountFn>(library.symbol("objectsAlive"));
    return count ? count() : -1;
}

bool startsWith(const std::string& text, const std::string& start)
{
    return text.compare(0, start.size(), start) == 0;
}

TEST(ModuleLibrary, MissingFileOrFolderIsNoSuchFile)
{
    TempFolder folder;
    folder.make({"sub/"});
    for (const std::string& path : {folder.at("missing.dll"), folder.at("sub")}) {
        ModuleLibrary library;
        EXPECT_FALSE(library.open(path));
        EXPECT_EQ(library.error(), "no such file: " + path);
        EXPECT_FALSE(library.openPrivateCopy(path));
        EXPECT_EQ(library.error(), "no such file: " + path);
        EXPECT_FALSE(library.loaded());
    }
}

std::size_t timesIn(const std::string& text, const std::string& part)
{
    std::size_t times = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size()))
        ++times;
    return times;
}

// The system's reason may name the file itself (dlerror starts with it, a
// Windows text may hold it for "%1"): the file is named once all the same.
TEST(ModuleLibrary, FileThatIsNoLibraryIsNamedOnceWithTheSystemsReason)
{
    TempFolder folder;
    writeBytes(folder.path(), "text.dll", "this is text, not a library\n");
    const std::string path = folder.at("text.dll");
    for (const bool privateCopy : {false, true}) {
        ModuleLibrary library;
        EXPECT_FALSE(privateCopy ? library.openPrivateCopy(path) : library.open(path));
        EXPECT_TRUE(startsWith(library.error(), path + ": ")) << library.error();
        EXPECT_EQ(timesIn(library.error(), path), 1u) << library.error();
        EXPECT_EQ(timesIn(library.error(), "text.dll"), 1u) << library.error();
        EXPECT_GT(library.error().size(), path.size() + 2) << "no reason given";
        EXPECT_FALSE(library.loaded());
    }
}

TEST(ModuleLibrary, SymbolsAreFoundByNameAndAMissingOneIsNamed)
{
    ModuleLibrary library;
    EXPECT_EQ(library.symbol("create"), nullptr);
    EXPECT_EQ(library.error(), "no module loaded");

    // A private copy is named by the module file it copies, not by the copy.
    for (const bool privateCopy : {false, true}) {
        ASSERT_TRUE(privateCopy ? library.openPrivateCopy(STUB_CAMERA_MODULE) : library.open(STUB_CAMERA_MODULE))
            << library.error();
        EXPECT_NE(library.symbol("create"), nullptr);
        EXPECT_EQ(library.symbol("notThere"), nullptr);
        EXPECT_EQ(library.error(), std::string(STUB_CAMERA_MODULE) + " exports no function \"notThere\"");
        library.close();
        EXPECT_EQ(library.symbol("create"), nullptr);
        EXPECT_EQ(library.error(), "no module loaded");
    }
}

// The same file loaded twice is one image with one state; private copies
// each have their own, and each copy is gone once unloaded.
TEST(ModuleLibrary, PrivateCopiesHaveStateOfTheirOwn)
{
    CameraModule first;
    CameraModule second;
    ASSERT_TRUE(first.load(STUB_CAMERA_MODULE)) << first.error();
    ASSERT_TRUE(second.load(STUB_CAMERA_MODULE)) << second.error();
    Base* object = first.create();
    ModuleLibrary plain;
    ASSERT_TRUE(plain.open(STUB_CAMERA_MODULE));
    EXPECT_EQ(objectsAliveIn(plain), 1) << "a second load of the same file saw other state";

    TempFolder copies;
    ModuleLibrary copy;
    ASSERT_TRUE(copy.openPrivateCopy(STUB_CAMERA_MODULE, copies.path())) << copy.error();
    EXPECT_EQ(copy.path(), STUB_CAMERA_MODULE);
    EXPECT_NE(copy.loadedPath(), copy.path());
    EXPECT_TRUE(fs::exists(copy.loadedPath()));
    EXPECT_EQ(objectsAliveIn(copy), 0) << "the private copy shares the file's state";
    const std::string copyPath = copy.loadedPath();
    copy.close();
    EXPECT_FALSE(fs::exists(copyPath)) << "the private copy stays behind";
    second.destory(object);
    EXPECT_EQ(objectsAliveIn(plain), 0);
}

// The held object comes from the module's create and goes to its destory,
// renewed, loaded again or at the end of the holder's scope.
TEST(ModuleObject, HandsItsObjectToDestoryBeforeUnloading)
{
    ModuleLibrary plain;
    ASSERT_TRUE(plain.open(STUB_CAMERA_MODULE)) << plain.error();
    {
        ModuleObject held;
        ASSERT_TRUE(held.load(STUB_CAMERA_MODULE)) << held.error();
        EXPECT_TRUE(held.module().loaded());
        EXPECT_NE(held.get(), nullptr);
        EXPECT_EQ(objectsAliveIn(plain), 1);
        ASSERT_TRUE(held.renew()) << held.error();
        EXPECT_EQ(objectsAliveIn(plain), 1);
        ASSERT_TRUE(held.load(STUB_CAMERA_MODULE)) << held.error();
        EXPECT_EQ(objectsAliveIn(plain), 1) << "loading again hands the old object to destory first";
    }
    EXPECT_EQ(objectsAliveIn(plain), 0);
}

struct Refusal {
    const char* name;
    std::string path;
    std::string error;
};

void PrintTo(const Refusal& r, std::ostream* out) { *out << r.name; }

class CameraModuleRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(CameraModuleRefuses, WithOneClearMessage)
{
    const Refusal& r = GetParam();
    for (const CameraModule::Load how : {CameraModule::Load::TheFile, CameraModule::Load::PrivateCopy}) {
        CameraModule module;
        EXPECT_FALSE(module.load(r.path, how));
        EXPECT_FALSE(module.loaded());
        EXPECT_EQ(module.error(), r.error);
        ModuleObject held;
        EXPECT_FALSE(held.load(r.path, how));
        EXPECT_EQ(held.get(), nullptr);
        EXPECT_EQ(held.error(), r.error);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, CameraModuleRefuses, ::testing::Values(
    Refusal{"Missing", "no-such-module.dll", "cannot load the camera module: no such file: no-such-module.dll"},
    Refusal{"WithoutCreate", NOT_A_CAMERA_MODULE,
            std::string(NOT_A_CAMERA_MODULE) + " is not a camera module: it exports no function \"create\""},
    Refusal{"WithoutDestory", HALF_CAMERA_MODULE,
            std::string(HALF_CAMERA_MODULE) + " is not a camera module: it exports no function \"destory\""}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ExecutablePath, NamesThisTestProgram)
{
    const fs::path program = executablePath();
    EXPECT_EQ(program.stem().string(), "loader_tests");
    EXPECT_TRUE(fs::is_regular_file(program)) << program.string();
}

}  // namespace
