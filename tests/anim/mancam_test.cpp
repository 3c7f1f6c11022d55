#include "anim/mancam.h"

#include <gtest/gtest.h>

#include <set>

namespace {

struct FakeInput : IInputSource {
    std::set<platform::Key> held;
    int x = 0, y = 0;
    bool keyDown(platform::Key key) override { return held.count(key) != 0; }
    void cursorPosition(int& cx, int& cy) override { cx = x, cy = y; }
    void screenSize(int& w, int& h) override { w = 1920, h = 1080; }
};

void frames(ManCam& cam, int count) {
    for (int i = 0; i < count; ++i) cam.update(1000.0f / 60.0f);
}

}  // namespace

TEST(ManCam, FliesFiveOrFiftyUnitsPerSecond) {
    FakeInput input;
    ManCam cam(&input);
    EXPECT_EQ(cam.screenCenterX, 960);
    frames(cam, 10);
    EXPECT_EQ(cam.position.z, 0.0f);  // nothing held: no motion

    input.held = {platform::Key::W};
    frames(cam, 60);
    EXPECT_NEAR(cam.position.z, -5.0f, 1e-4);
    input.held = {platform::Key::W, platform::Key::LeftControl};
    frames(cam, 60);
    EXPECT_NEAR(cam.position.z, -55.0f, 1e-3);

    input.held = {platform::Key::D};
    frames(cam, 60);
    EXPECT_NEAR(cam.position.x, 5.0f, 1e-4);
    input.held = {platform::Key::Q};
    frames(cam, 60);
    EXPECT_NEAR(cam.position.y, 5.0f, 1e-4);

    const sm::Vec3 before = cam.position;
    input.held = {platform::Key::W, platform::Key::S, platform::Key::A, platform::Key::D, platform::Key::Q,
                  platform::Key::E};
    frames(cam, 30);
    EXPECT_NEAR(cam.position.x, before.x, 1e-5);
    EXPECT_NEAR(cam.position.y, before.y, 1e-5);
    EXPECT_NEAR(cam.position.z, before.z, 1e-5);
    EXPECT_EQ(cam.fieldOfView(123.0f), 1.0471976f);
}

TEST(ManCam, DraggingTurnsHalfADegreePerPixel) {
    FakeInput input;
    input.x = 100, input.y = 100;
    ManCam cam(&input);
    input.x = 400;  // moved without the button: no turn, and no jump later
    cam.update(16.0f);
    EXPECT_EQ(cam.yaw, 0.0f);

    input.held = {platform::Key::MouseLeft};
    input.x = 500, input.y = 120;
    cam.update(16.0f);
    EXPECT_EQ(cam.yaw, 50.0f);
    EXPECT_EQ(cam.pitch, 10.0f);
    EXPECT_EQ(cam.cursorCopy.x, 500);

    input.x = 960, input.y = 540;  // on the centre column and row: no turn this frame
    cam.update(16.0f);
    EXPECT_EQ(cam.yaw, 50.0f);
    EXPECT_EQ(cam.pitch, 10.0f);

    // Turned 90 degrees right, "W" moves along +x.
    ManCam right(&input);
    input.held = {platform::Key::W};
    right.yaw = 90.0f;
    right.update(200.0f);
    EXPECT_NEAR(right.position.x, 1.0f, 1e-6);
    EXPECT_NEAR(right.position.z, 0.0f, 1e-6);
}

TEST(ManCam, ViewMatchesTheFixedFunctionOrder) {
    FakeInput input;
    ManCam cam(&input);
    cam.position = sm::Vec3(1, 2, 3);
    float view[16];
    cam.getViewMatrix(view);
    const sm::Vec3 eye = sm::transformPoint(view, sm::Vec3(1, 2, 3));
    EXPECT_NEAR(eye.x, 0.0f, 1e-6);
    EXPECT_NEAR(eye.z, 0.0f, 1e-6);
    cam.yaw = 90.0f;  // a point to the right of the camera ends up ahead of it
    cam.getViewMatrix(view);
    const sm::Vec3 p = sm::transformPoint(view, sm::Vec3(2, 2, 3));
    EXPECT_NEAR(p.z, -1.0f, 1e-6);
}

TEST(ManCam, LookFromTakesOverAView) {
    FakeInput input;
    ManCam source(&input);
    source.position = sm::Vec3(2.5f, 11.0f, -210.0f);
    float view[16];
    for (const auto& [yaw, pitch] : {std::pair{0.0f, 0.0f}, {135.0f, 20.0f}, {-60.0f, -35.0f}, {179.0f, 80.0f}}) {
        source.yaw = yaw;
        source.pitch = pitch;
        source.getViewMatrix(view);
        ManCam cam(&input);
        cam.roll = 15.0f;
        cam.lookFrom(view);
        float again[16];
        cam.getViewMatrix(again);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(again[i], view[i], 1e-3f) << "yaw " << yaw << " pitch " << pitch << " element " << i;
        EXPECT_EQ(cam.roll, 0.0f);
    }
}
