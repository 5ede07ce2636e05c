// The Qt-major check reads the module file that will be loaded: --module's,
// or the default module when none is given.

#include "ModuleQtMajor.h"
#include "ToolRun.h"

#include <gtest/gtest.h>

TEST(ModuleQtMajor, TheFileToBeLoadedIsCheckedGivenOrDefault)
{
    TempFolder folder;
    writeBytes(folder.path(), "plain.so", "names no Qt");
    const std::string plain = folder.at("plain.so");
    const std::string& other = otherQtModule();
    struct Case {
        std::string given;
        std::string defaultPath;
        std::string loaded;
        bool accepted;
    };
    for (const Case& c : {Case{"", other, other, false}, Case{other, plain, other, false},
                          Case{"", plain, plain, true}, Case{plain, other, plain, true}}) {
        std::string path;
        std::string error;
        EXPECT_EQ(pickModule(c.given, c.defaultPath, path, error), c.accepted)
            << "--module \"" << c.given << "\", default " << c.defaultPath << ": " << error;
        EXPECT_EQ(path, c.loaded);
    }
}
