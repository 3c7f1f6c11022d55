// The frame's pieces without GL: culling, the camera-cut fade, the light view, the shake and
// the capture schedule.
#include <gtest/gtest.h>

#include <cmath>

#include "base/random.h"
#include "assets/model.h"
#include "render/frame.h"

namespace {

// A camera at the origin looking down -z, 60 degrees, square.
sm::Frustum lookingDownZ() {
    float view[16];
    sm::identity(view);
    sm::Frustum f;
    sm::frustumFromView(view, f, 1.0f, 200.0f, 60.0f, 1.0f);
    return f;
}

Box makeBox(float x0, float x1, float y0, float y1, float z0, float z1) {
    Box b;
    b.minX = x0, b.maxX = x1, b.minY = y0, b.maxY = y1, b.minZ = z0, b.maxZ = z1;
    return b;
}

TEST(Culling, EightCornerTest) {
    const sm::Frustum f = lookingDownZ();
    EXPECT_TRUE(boxVisible(f, makeBox(-1, 1, -1, 1, -11, -9)));
    EXPECT_FALSE(boxVisible(f, makeBox(-1, 1, -1, 1, 5, 8))) << "behind the camera";
    EXPECT_FALSE(boxVisible(f, makeBox(-1, 1, -1, 1, -0.9f, -0.1f))) << "before the near plane";
    EXPECT_FALSE(boxVisible(f, makeBox(-1, 1, -1, 1, -260, -210))) << "beyond the far plane";
    // At distance 10 the side planes are at x = +-tan(30 deg) x 10 = +-5.77.
    EXPECT_FALSE(boxVisible(f, makeBox(7, 9, -1, 1, -10.5f, -9.5f))) << "right of the frustum";
    EXPECT_TRUE(boxVisible(f, makeBox(5, 8, -1, 1, -10.5f, -9.5f))) << "straddles the right plane";
    EXPECT_TRUE(boxVisible(f, makeBox(-1, 1, 5, 8, -10.5f, -9.5f))) << "straddles the top plane";
    EXPECT_TRUE(boxVisible(f, makeBox(-500, 500, -500, 500, -500, 500))) << "larger than the frustum";
    // The corners where a mesh's matrix puts them: modelled behind the camera and moved 15
    // ahead, or modelled in view and moved 20 to the right.
    float ahead[16], aside[16];
    sm::translation(ahead, 0, 0, -15);
    sm::translation(aside, 20, 0, 0);
    EXPECT_TRUE(boxVisible(f, makeBox(-1, 1, -1, 1, 5, 8), ahead));
    EXPECT_FALSE(boxVisible(f, makeBox(-1, 1, -1, 1, -11, -9), aside));
}

TEST(Culling, NoCullPartsKeepTheirFlag) {
    const sm::Frustum f = lookingDownZ();
    Mesh mesh;
    MeshPart behind, kept, inside, moved;
    behind.box = kept.box = moved.box = makeBox(-1, 1, -1, 1, 5, 8);
    inside.box = makeBox(-1, 1, -1, 1, -11, -9);
    kept.noCull = true;
    inside.visible = moved.visible = false;
    sm::translation(mesh.matrix, 0, 0, -15);
    moved.mesh = &mesh;
    cullParts({&behind, &kept, &inside, &moved}, f);
    EXPECT_FALSE(behind.visible);
    EXPECT_TRUE(kept.visible);
    EXPECT_TRUE(inside.visible);
    EXPECT_TRUE(moved.visible) << "seen where its mesh is";
    kept.visible = false;
    EXPECT_TRUE(partInView(&kept, f)) << "a part that is never culled is in every view";
}

TEST(CameraCutFade, RisesFallsAtTheCutAndRisesAgain) {
    CameraCutFade fade;
    // A 50 ms frame adds 50/300 x 0.05 at the start; a shot ending at 10 s is fully in by 6 s.
    EXPECT_FLOAT_EQ(fade.step(true, 10.0f, 50.0f, 50.0f), 50.0f / 300.0f * 0.05f);
    float t = 50.0f, value = 0.0f;
    while (t < 3000.0f) value = fade.step(true, 10.0f, t += 50.0f, 50.0f);
    EXPECT_NEAR(value, 0.5f, 1e-4f);
    while (t < 9700.0f) value = fade.step(true, 10.0f, t += 50.0f, 50.0f);
    EXPECT_EQ(value, 1.0f);
    // Past end - 0.3 s the picture goes to black in 300 ms: six frames of 50 ms.
    float previous = value;
    for (int k = 0; k < 6; ++k) {
        value = fade.step(true, 10.0f, t += 50.0f, 50.0f);
        EXPECT_LT(value, previous);
        previous = value;
    }
    EXPECT_EQ(value, 0.0f);
    EXPECT_FLOAT_EQ(fade.rate, 0.2f);
    // Black holds until the cut...
    EXPECT_EQ(fade.step(true, 10.0f, t += 50.0f, 50.0f), 0.0f);
    // ...then the next shot (ending at 30 s) fades in over 1.5 s and holds 1.
    value = fade.step(true, 30.0f, t += 50.0f, 50.0f);
    EXPECT_NEAR(value, 50.0f / 300.0f * 0.2f, 1e-6f);
    for (int k = 0; k < 40; ++k) value = fade.step(true, 30.0f, t += 50.0f, 50.0f);
    EXPECT_EQ(value, 1.0f);
}

TEST(CameraCutFade, FreeCameraIsAlwaysFullyFadedInAndStoresNothing) {
    CameraCutFade fade;
    for (int k = 0; k < 10; ++k) EXPECT_EQ(fade.step(false, 0.0f, 50.0f * k, 50.0f), 1.0f);
    EXPECT_EQ(fade.value, 0.0f);
    EXPECT_FLOAT_EQ(fade.rate, 0.05f);
}

TEST(LightView, StandsLeftAboveAndAheadOfTheViewer) {
    // A viewer at (1, 2, 3) looking down -z: the light stands at (-1, 4, 2).
    float view[16], light[16];
    sm::translation(view, -1.0f, -2.0f, -3.0f);
    lightViewOf(light, view);
    const CameraFrame f = cameraFrame(light);
    EXPECT_NEAR(f.eye.x, -1.0f, 1e-5f);
    EXPECT_NEAR(f.eye.y, 4.0f, 1e-5f);
    EXPECT_NEAR(f.eye.z, 2.0f, 1e-5f);
    EXPECT_NEAR(f.back.z, 1.0f, 1e-6f) << "the viewer's orientation";
}

TEST(Shake, ZeroIsTheCameraViewAndOtherValuesTurnItSlightly) {
    float view[16], shaken[16];
    sm::translation(view, 1.0f, 2.0f, 3.0f);
    Random random;
    shakeView(shaken, view, 0.0f, random);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(shaken[i], view[i]);
    EXPECT_EQ(random.next(), Random().next()) << "no draws for shake 0";

    float previous[16] = {};
    for (int frame = 0; frame < 5; ++frame) {
        shakeView(shaken, view, 2.0f, random);
        // A rotation: the upper 3x3 stays orthonormal; the angle is at most 0.1 x 2 radians.
        const float trace = shaken[0] + shaken[5] + shaken[10];
        EXPECT_GE(trace, 1.0f + 2.0f * std::cos(0.2f) - 1e-4f);
        EXPECT_NEAR(shaken[0] * shaken[0] + shaken[1] * shaken[1] + shaken[2] * shaken[2], 1.0f, 1e-5f);
        EXPECT_NE(shaken[0], previous[0]) << "a new shake every frame";
        std::copy(shaken, shaken + 16, previous);
    }
}

}  // namespace
