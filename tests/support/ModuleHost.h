#pragma once
// A test host: one module object (ModuleObject) from a private copy of the
// built module (fresh module state), driven through the Base interface only.

#include "Base.h"
#include "BuiltModule.h"
#include "LogCapture.h"
#include "ModuleObject.h"
#include "RecordingFixture.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <opencv2/core/mat.hpp>

#include <string>
#include <vector>

class ModuleHost {
public:
    ModuleHost() : module(held.module()), camera(nullptr)
    {
        held.load(builtModulePath(), CameraModule::Load::PrivateCopy);
        camera = held.get();
    }

    // The object handed to destory and a new one made by the same module.
    bool renew()
    {
        const bool renewed = held.renew();
        camera = held.get();
        return renewed;
    }

    bool configure(const std::string& param)
    {
        camera->setParam(nullptr, QByteArray::fromStdString(param));
        return camera->init(nullptr);
    }

    // Every image the module holds, handed over; empty when it has none.
    std::vector<cv::Mat> collect()
    {
        std::vector<cv::Mat> images;
        camera->getImages(images, nullptr);
        return images;
    }

    // One grab and its images' identities.
    std::vector<int> grab()
    {
        EXPECT_TRUE(camera->run());
        return identitiesOf(collect());
    }

    std::vector<std::vector<int>> grabs(int count)
    {
        std::vector<std::vector<int>> frames;
        for (int i = 0; i < count; ++i)
            frames.push_back(grab());
        return frames;
    }

    ModuleObject held;
    const CameraModule& module;  // for more objects of the same loaded module
    Base* camera;                // held's object
};

using Frames = std::vector<std::vector<int>>;

// A recording, a host with a fresh module, and the log of the test.
class ModuleTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_NE(host.camera, nullptr) << host.held.error(); }

    RecordingFixture rec;
    LogCapture log;  // before the host, so its create and destory lines are caught
    ModuleHost host;
};
