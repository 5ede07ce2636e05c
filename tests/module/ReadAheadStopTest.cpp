// setParam, init and destory right after a run stop the read-ahead of the
// next frame between files (BetweenFiles holds it there until the stop is
// asked for). The module's code is linked in directly.

#include "BetweenFiles.h"
#include "Qz_VirtualCamera_ReadFile.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QtGlobal>

#include <functional>

namespace {

TEST(ReadAheadStop, EntriesStopItBetweenFiles)
{
    const std::vector<std::pair<const char*, std::function<void(Qz_VirtualCamera_ReadFile*)>>> entries{
        {"setParam", [](Qz_VirtualCamera_ReadFile* camera) { camera->setParam(nullptr, QByteArray("camera3P,a,1,/nowhere")); }},
        {"init", [](Qz_VirtualCamera_ReadFile* camera) { camera->init(nullptr); }},
        {"destory", nullptr}};
    qunsetenv("QZ_READFILE_READ_AHEAD");
    RecordingFixture rec;
    for (const char* folder : {"cap1", "cap2"})
        for (int i = 1; i <= 6; ++i)
            rec.gray8Bmp(std::string(folder) + "/camera3P_" + std::to_string(i) + ".bmp", i);
    for (const auto& [name, entry] : entries) {
        BetweenFiles between(true);
        Qz_VirtualCamera_ReadFile* camera = create();
        camera->setParam(nullptr, QByteArray::fromStdString(rec.param("camera3P")));
        ASSERT_TRUE(camera->init(nullptr));
        ASSERT_TRUE(camera->run());  // the worker now reads the next frame ahead
        ASSERT_TRUE(between.waitFor([&] { return between.inside > 0; })) << name << ": no read-ahead began";
        if (entry)
            entry(camera);
        else
            destory(camera);
        EXPECT_TRUE(between.waitFor([&] { return between.inside == 0; })) << name;
        EXPECT_TRUE(between.sawStop) << name << " did not stop the read-ahead";
        if (entry)
            destory(camera);
    }
}

}  // namespace
