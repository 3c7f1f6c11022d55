// The "free" run mode: the flight starts where the film's first shot stands, and the F1 overlay
// names the time, the frame rate and the camera.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "anim/cameras.h"
#include "render/overlay.h"
#include "scene_fixture.h"

namespace {

using FreeMode = SceneFixture;

TEST_F(FreeMode, FlightStartsAtTheFirstShot) {
    const TestSceneOptions options;  // the first shot stands at (0, 9, 11) and looks at the origin
    DemoController* c = start(options, RunMode::Free);
    c->update(50.0f, 50.0f);
    ICamera* camera = c->currentCamera();
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(dynamic_cast<AnimCamera*>(camera), nullptr) << "the free camera flies, not a scripted one";
    float view[16];
    camera->getViewMatrix(view);
    // In the view the eye is the origin and the target lies straight ahead, on -z.
    const sm::Vec3 eye = sm::transformPoint(view, options.eye), target = sm::transformPoint(view, options.target);
    const float distance = sm::length(options.target - options.eye);
    EXPECT_NEAR(eye.x, 0.0f, 1e-3f);
    EXPECT_NEAR(eye.y, 0.0f, 1e-3f);
    EXPECT_NEAR(eye.z, 0.0f, 1e-3f);
    EXPECT_NEAR(target.x, 0.0f, 1e-3f);
    EXPECT_NEAR(target.y, 0.0f, 1e-3f);
    EXPECT_NEAR(target.z, -distance, 1e-3f);
    // Later frames keep the flight where it is, whatever the script's cameras do.
    c->update(5000.0f, 50.0f);
    EXPECT_EQ(c->currentCamera(), camera);
}

TEST_F(FreeMode, OverlayNamesTimeRateAndCameraInTheTopLine) {
    EXPECT_EQ(overlayText(12345.0f, 59.94f, sm::Vec3(1.0f, -2.5f, 30.126f)), "t 12.345 s  59.9 fps  camera (1.00, -2.50, 30.13)");
    FrameRate rate;
    for (int k = 0; k < 25; ++k) rate.tick(20.0f);  // 500 ms of 20 ms frames
    EXPECT_FLOAT_EQ(rate.perSecond(), 50.0f);

    start({}, RunMode::Free);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    drawOverlay(overlayText(12345.0f, 50.0f, sm::Vec3(1, 2, 3)), kW, kH);
    std::vector<unsigned char> pixels(static_cast<size_t>(kW * kH * 4));
    glReadPixels(0, 0, kW, kH, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    int top = 0, rest = 0;
    for (int y = 0; y < kH; ++y)
        for (int x = 0; x < kW; ++x) (y >= kH - 24 ? top : rest) += pixels[static_cast<size_t>((y * kW + x) * 4)] > 100;
    EXPECT_GT(top, 100) << "no text in the top line";
    EXPECT_EQ(rest, 0);
    EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
}

}  // namespace
