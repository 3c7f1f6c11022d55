// A fixture that plays the test scene through the real controller on a hidden window, with a
// GL error check after every pass; shared by the render tests.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/controller.h"
#include "gl/gl.h"
#include "platform/platform.h"
#include "support/temp_dir.h"
#include "support/test_scene.h"

class SceneFixture : public ::testing::Test {
protected:
    static constexpr int kW = 320;
    static constexpr int kH = 180;

    static void SetUpTestSuite() { ASSERT_TRUE(platform::init()) << platform::lastError(); }
    static void TearDownTestSuite() { platform::quit(); }
    void TearDown() override {
        if (DemoController::exists()) {
            DemoController::instance()->shutdown();
            DemoController::destroyInstance();
        }
    }

    // Writes the scene, then initialises, loads and prepares the controller at kW x kH.
    DemoController* start(const TestSceneOptions& options = {}, RunMode mode = RunMode::Demo) {
        const std::string data = dir_.path() + "voltaresca_data/";
        EXPECT_TRUE(writeTestScene(data, options));
        DemoController* c = DemoController::instance();
        c->setHeadless(true);
        EXPECT_TRUE(c->init(mode, kW, kH, 32, 60, false));
        if (c->frame()) c->frame()->setGlErrorChecks(true);
        EXPECT_TRUE(c->loadContent(data));
        EXPECT_TRUE(c->prepare());
        return c;
    }

    // Level 0 of a 2-D texture as RGBA, bottom row first.
    static std::vector<unsigned char> texels(unsigned texture, int w, int h) {
        std::vector<unsigned char> pixels(static_cast<size_t>(w * h * 4));
        glBindTexture(GL_TEXTURE_2D, texture);
        glGetTexImage(GL_TEXTURE_2D, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
        glBindTexture(GL_TEXTURE_2D, 0);
        return pixels;
    }

    TempDir dir_;
};
