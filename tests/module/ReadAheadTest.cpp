// Reading the next frame ahead must be invisible: every scenario is played
// twice, by a host with read-ahead off (QZ_READFILE_READ_AHEAD=0) and by one
// with it on, each on its own fresh module and recording, and both must see
// the same images (identity, depth, channels), the same run results and the
// same log lines in the same order. Between runs the test gives the worker
// time to read ahead, then changes what a grab would read.

#include "AsNobody.h"
#include "ModuleHost.h"
#include "ReadOrder.h"
#include "SpecialFiles.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

namespace fs = std::filesystem;

namespace {

const char kSwitch[] = "QZ_READFILE_READ_AHEAD";

void readAheadOn(bool on)
{
    if (on)
        qunsetenv(kSwitch);
    else
        qputenv(kSwitch, "0");
}

// Long enough for the worker to read a small frame ahead.
void letTheWorkerReadAhead()
{
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

// What a host saw: per run its result and its images; every log line, with
// the recording's root written as "<root>".
struct Seen {
    std::vector<std::string> runs;
    std::vector<std::string> lines;
};

struct Player {
    RecordingFixture& rec;
    ModuleHost& host;
    Seen& seen;

    void grab()
    {
        const bool ok = host.camera->run();
        std::string frame = ok ? "true:" : "false:";
        for (const cv::Mat& image : host.collect())
            frame += " " + std::to_string(identityOf(image)) + "/" + std::to_string(image.type());
        seen.runs.push_back(frame);
    }
    void grabAndWait()
    {
        grab();
        letTheWorkerReadAhead();
    }
};

struct Scenario {
    std::string name;
    std::string camera;
    std::function<void(const RecordingFixture&)> record;
    std::function<void(Player&)> play;  // after setParam + init
    bool needsLinks = false;
    bool permissions = false;  // root reads every file: played as "nobody" then
};

void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }

// cap1..cap3, camera3P images 10n+1 (8-bit) and 10n+2 (24-bit); other/g1, g2
// hold 41, 42.
void threeFolders(const RecordingFixture& rec)
{
    for (int n = 1; n <= 3; ++n) {
        rec.gray8Bmp("cap" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
        rec.color24Bmp("cap" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
    }
    rec.gray8Bmp("other/g1/camera3P_a.bmp", 41);
    rec.gray8Bmp("other/g2/camera3P_a.bmp", 42);
}

// Two capture folders of the six camera1 kinds plus a 16-bit TIFF that
// camera1 does not read.
void sixKinds(const RecordingFixture& rec)
{
    for (int n = 1; n <= 2; ++n) {
        for (int k = 0; k < 6; ++k)
            rec.gray8Bmp("cap" + std::to_string(n) + "/camera1_" + kCamera1Kinds[k] + ".bmp", 10 * n + k);
        rec.gray16Tiff("cap" + std::to_string(n) + "/camera1_x.tiff", 99);
    }
}

Seen play(const Scenario& s, bool readingAhead)
{
    readAheadOn(readingAhead);
    RecordingFixture rec;
    s.record(rec);
    Seen seen;
    {
        LogCapture log;
        ModuleHost host;
        EXPECT_NE(host.camera, nullptr) << host.module.error();
        if (!host.camera)
            return seen;
        EXPECT_TRUE(host.configure(rec.param(s.camera)));
        Player player{rec, host, seen};
        s.play(player);
        for (std::string text : log.texts())
            seen.lines.push_back(replacedInLog(text, rec.root(), "<root>"));
    }
    readAheadOn(true);
    return seen;
}

class ReadAheadInvisible : public ::testing::TestWithParam<Scenario> {};

TEST_P(ReadAheadInvisible, SameRunsImagesAndLinesAsWithout)
{
    std::string why;
    TempFolder probe;
    if (GetParam().needsLinks && !makeSymlink("x", probe.at("link"), why))
        GTEST_SKIP() << why;
    if (GetParam().permissions && (!setNoPermissions(probe.path(), false, why) || ranAgainAsNobody()))
        return;  // skipped where there are no mode bits; as root, played again as "nobody"
    const Seen without = play(GetParam(), false);
    const Seen with = play(GetParam(), true);
    EXPECT_EQ(with.runs, without.runs);
    EXPECT_EQ(with.lines, without.lines);
    EXPECT_FALSE(without.runs.empty());
}

INSTANTIATE_TEST_SUITE_P(Scenarios, ReadAheadInvisible, ::testing::Values(
    Scenario{"FileRewrittenSameSizeNewPixels", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 p.rec.gray8Bmp("cap2/camera3P_a.bmp", 77);
                 p.grab();
                 p.grab();
             }},
    // As cp -p, rsync -t or touch -r leave it: only the change time tells.
    Scenario{"FileRewrittenModificationTimeSetBack", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 const auto file = p.rec.path("cap2/camera3P_a.bmp");
                 const auto modified = fs::last_write_time(file);
                 p.rec.gray8Bmp("cap2/camera3P_a.bmp", 77);
                 fs::last_write_time(file, modified);
                 p.grab();
                 p.grab();
             }},
    Scenario{"FileRemoved", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 fs::remove(p.rec.path("cap2/camera3P_b.bmp"));
                 p.grab();
             }},
    Scenario{"FileAdded", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 p.rec.gray8Bmp("cap2/camera3P_c.bmp", 50);
                 p.grab();
             }},
    Scenario{"FileReplacedByAnother", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 p.rec.gray8Bmp("cap2/new.bmp", 60);
                 fs::rename(p.rec.path("cap2/new.bmp"), p.rec.path("cap2/camera3P_a.bmp"));
                 p.grab();
             }},
    Scenario{"CaptureFolderRemoved", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 fs::remove_all(p.rec.path("cap2"));
                 p.grab();
                 p.grab();
             }},
    Scenario{"SetParamAlone", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 p.host.camera->setParam(nullptr, QByteArray::fromStdString(p.rec.param("camera3N")));
                 p.grab();
                 p.grab();
             }},
    Scenario{"InitToAnotherRoot", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 EXPECT_TRUE(p.host.configure(p.rec.param("camera3P", "other")));
                 p.grab();
                 p.grab();
                 p.grab();
             }},
    Scenario{"RunRightAfterInit", "camera3P", threeFolders,
             [](Player& p) {
                 p.grab();
                 EXPECT_TRUE(p.host.camera->init(nullptr));
                 p.grab();
                 EXPECT_TRUE(p.host.configure(p.rec.param("camera3P", "other")));
                 p.grab();
                 p.grab();
             }},
    Scenario{"SwitchedOffAndOnBetweenRuns", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 const bool wasOn = std::getenv(kSwitch) == nullptr;
                 readAheadOn(false);
                 p.rec.gray8Bmp("cap2/camera3P_a.bmp", 78);
                 p.grabAndWait();
                 readAheadOn(wasOn);
                 p.grabAndWait();
                 p.grab();
             }},
    // Planning the next frame logs a warning (a broken link among its
    // files): handed over, the frame brings that line along.
    Scenario{"BrokenLinkInTheNextFolder", "camera3P",
             [](const RecordingFixture& rec) {
                 threeFolders(rec);
                 std::string why;
                 makeSymlink("nowhere", rec.path("cap2/camera3P_c.bmp"), why);
             },
             [](Player& p) {
                 for (int i = 0; i < 4; ++i)
                     p.grabAndWait();
             },
             true},
    // A file made unreadable after it was read ahead, and one made readable.
    Scenario{"FileMadeUnreadable", "camera3P", threeFolders,
             [](Player& p) {
                 p.grabAndWait();
                 std::string why;
                 setNoPermissions(p.rec.path("cap2/camera3P_a.bmp"), true, why);
                 p.grabAndWait();
                 p.grab();
             },
             false, true},
    Scenario{"FileMadeReadable", "camera3P",
             [](const RecordingFixture& rec) {
                 threeFolders(rec);
                 std::string why;
                 setNoPermissions(rec.path("cap2/camera3P_a.bmp"), true, why);
             },
             [](Player& p) {
                 p.grabAndWait();
                 std::string why;
                 setNoPermissions(p.rec.path("cap2/camera3P_a.bmp"), false, why);
                 p.grabAndWait();
                 p.grab();
             },
             false, true},
    Scenario{"UndecodableFileReadAhead", "camera3P",
             [](const RecordingFixture& rec) {
                 threeFolders(rec);
                 rec.bytes("cap2/camera3P_b.bmp", "no image here");
                 rec.bmpHeaderOnly("cap3/camera3P_b.bmp", 40000, 40000);  // the decoder throws
             },
             [](Player& p) {
                 for (int i = 0; i < 4; ++i)
                     p.grabAndWait();
             }},
    Scenario{"WholeCycleUntouched", "camera3P", threeFolders,
             [](Player& p) {
                 for (int i = 0; i < 5; ++i)
                     p.grabAndWait();
             }},
    Scenario{"SixKindsOneRewritten", "camera1", sixKinds,
             [](Player& p) {
                 p.grabAndWait();
                 p.rec.gray8Bmp(std::string("cap2/camera1_") + kCamera1Kinds[3] + ".bmp", 88);
                 p.grabAndWait();
                 p.grab();
             }}),
    [](const auto& info) { return info.param.name; });

// The switch is read at every run: unset (or anything else) means on, "0"
// and "off" mean off. On, the next capture folder's files are read while the
// host works, and not again by the run that hands them over; off, nothing is
// opened between runs.
TEST(ReadAheadSwitch, FilesAreReadBetweenRunsOnlyWhenOnAtThatRun)
{
    struct Run {
        const char* value;  // of the switch; null: unset
        bool on;
    };
    const Run runs[] = {{nullptr, true}, {"0", false}, {"1", true}, {"off", false}, {nullptr, true}};
    RecordingFixture rec;
    for (int n = 1; n <= 6; ++n) {
        rec.gray8Bmp("c" + std::to_string(n) + "/camera3P_a.bmp", 10 * n + 1);
        rec.gray8Bmp("c" + std::to_string(n) + "/camera3P_b.bmp", 10 * n + 2);
    }
    ModuleHost host;
    ASSERT_NE(host.camera, nullptr) << host.module.error();
    ASSERT_TRUE(host.configure(rec.param("camera3P")));
    bool previousOn = false;
    for (int i = 0; i < 5; ++i) {
        const Run& run = runs[i];
        run.value ? qputenv(kSwitch, run.value) : qunsetenv(kSwitch);
        FileOpenWatch watch(rec.path("c" + std::to_string(i + 2)));
        if (!watch.ok())
            GTEST_SKIP() << watch.why();
        EXPECT_EQ(host.grab(), (std::vector<int>{10 * (i + 1) + 1, 10 * (i + 1) + 2}));
        const std::size_t between =
            (run.on ? watch.openedWithin(2, std::chrono::seconds(5)) : watch.openedWithin(1, std::chrono::milliseconds(200)))
                .size();
        EXPECT_EQ(between, run.on ? 2u : 0u) << "run " << i + 1 << ", switch " << (run.value ? run.value : "unset");
        previousOn = run.on;
    }
    // The last frame read ahead is handed over without being read again.
    FileOpenWatch watch(rec.path("c6"));
    EXPECT_EQ(host.grab(), (std::vector<int>{61, 62}));
    EXPECT_EQ(watch.opened().size(), previousOn ? 0u : 2u);
    readAheadOn(true);
}

// Two objects of one loaded module share its cursor: driven in turn, each
// file is read once, by the run that grabs it, and nothing between runs;
// alone again, the object reads ahead again.
TEST(ReadAheadObjects, NoneWhileTwoObjectsLive)
{
    readAheadOn(true);
    RecordingFixture rec;
    for (int n = 1; n <= 4; ++n)
        rec.gray8Bmp("c" + std::to_string(n) + "/camera3P_a.bmp", n);
    ModuleHost first;
    ASSERT_NE(first.camera, nullptr) << first.module.error();
    ASSERT_TRUE(first.configure(rec.param("camera3P")));
    Base* second = first.module.create();
    for (int n = 1; n <= 2; ++n) {
        FileOpenWatch watch(rec.path("c" + std::to_string(n + 1)));
        if (!watch.ok())
            GTEST_SKIP() << watch.why();
        Base* camera = n == 1 ? first.camera : second;
        ASSERT_TRUE(camera->run());
        std::vector<cv::Mat> images;
        camera->getImages(images, nullptr);
        EXPECT_EQ(identitiesOf(images), std::vector<int>{n});
        EXPECT_TRUE(watch.openedWithin(1, std::chrono::milliseconds(200)).empty()) << "read ahead after run " << n;
    }
    first.module.destory(second);
    FileOpenWatch watch(rec.path("c4"));
    EXPECT_EQ(first.grab(), std::vector<int>{3});
    EXPECT_EQ(watch.openedWithin(1, std::chrono::seconds(5)).size(), 1u) << "alone, the object reads ahead";
}

// destory while the worker reads ahead a frame: the read-ahead stops
// between files and the worker ends; nothing breaks, and a new object goes
// on with the folder after the last grab's.
TEST(ReadAheadDestory, WaitsForTheFrameBeingReadAhead)
{
    RecordingFixture rec;
    sixKinds(rec);
    CameraModule module;
    ASSERT_TRUE(module.load(builtModulePath(), CameraModule::Load::PrivateCopy)) << module.error();
    for (int round = 0; round < 10; ++round) {
        Base* camera = module.create();
        camera->setParam(nullptr, QByteArray::fromStdString(rec.param("camera1")));
        ASSERT_TRUE(camera->init(nullptr));
        ASSERT_TRUE(camera->run());  // the worker now reads the next frame ahead
        module.destory(camera);
    }
    Base* camera = module.create();
    ASSERT_TRUE(camera->run());
    std::vector<cv::Mat> images;
    ASSERT_TRUE(camera->getImages(images, nullptr));
    // Ten grabs were made (init on the same recording keeps the place).
    EXPECT_EQ(identitiesOf(images), (std::vector<int>{10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                                                       10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                                                       10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                                                       10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                                                       10, 11, 12, 13, 14, 15, 20, 21, 22, 23, 24, 25,
                                                       10, 11, 12, 13, 14, 15}));
    module.destory(camera);
}

}  // namespace
