#include <gtest/gtest.h>

#include <cmath>

#include "anim/math.h"

namespace {

void expectMatrixNear(const float* a, const float* b, float eps = 1e-5f) {
    for (int i = 0; i < 16; ++i) EXPECT_NEAR(a[i], b[i], eps) << "element " << i;
}

TEST(Vectors, ZeroLengthIsLeftAlone) {
    const sm::Vec3 n = sm::normalized(sm::Vec3(0, 0, 0));
    EXPECT_EQ(n.x, 0.0f);
    EXPECT_EQ(n.y, 0.0f);
    EXPECT_EQ(n.z, 0.0f);
    EXPECT_EQ(n.w, 1.0f);
    sm::Vec3 v(0, 0, 0);
    v.w = 7.0f;
    sm::normalize(v);
    EXPECT_EQ(v.x, 0.0f);
    EXPECT_EQ(v.w, 7.0f);  // normalize never touches w
    sm::Vec3 u(3, 0, 4);
    sm::normalize(u);
    EXPECT_FLOAT_EQ(u.x, 0.6f);
    EXPECT_FLOAT_EQ(u.z, 0.8f);
}

TEST(Quaternions, AxisAngleRoundTrip) {
    const sm::Quat q = sm::fromAxisAngle(sm::kPi / 2, 1, 0, 0);
    EXPECT_NEAR(q.w, std::cos(sm::kPi / 4), 1e-6f);
    EXPECT_NEAR(q.v.x, std::sin(sm::kPi / 4), 1e-6f);
    EXPECT_EQ(q.v.y, 0.0f);
    EXPECT_EQ(q.v.w, 1.0f);

    sm::Vec3 axis(9, 9, 9);
    float angle = -1.0f;
    sm::toAxisAngle(sm::Quat(), axis, angle);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.x, 9.0f);  // untouched for the identity

    sm::toAxisAngle(sm::fromAxisAngle(1.25f, 0, 0, 1), axis, angle);
    EXPECT_NEAR(angle, 1.25f, 1e-5f);
    EXPECT_NEAR(axis.z, 1.0f, 1e-5f);
}

// Rounding can leave w a hair above 1; the angle must be 0 (and the axis kept), not NaN.
TEST(Quaternions, AxisAngleOfANearlyIdentityQuaternion) {
    sm::Quat q;
    q.w = std::nextafter(1.0f, 2.0f);
    sm::Vec3 axis(0.0f, 0.0f, 1.0f);
    float angle = -1.0f;
    sm::toAxisAngle(q, axis, angle);
    EXPECT_EQ(angle, 0.0f);
    EXPECT_EQ(axis.z, 1.0f);
}

TEST(Quaternions, MultiplyIsTheReversedHamiltonProduct) {
    const sm::Quat a = sm::fromAxisAngle(0.7f, 1, 0, 0);
    const sm::Quat b = sm::fromAxisAngle(1.1f, 0, 1, 0);
    // Textbook Hamilton product b * a.
    const float w = b.w * a.w - (b.v.x * a.v.x + b.v.y * a.v.y + b.v.z * a.v.z);
    const float x = b.w * a.v.x + a.w * b.v.x + (b.v.y * a.v.z - b.v.z * a.v.y);
    const float y = b.w * a.v.y + a.w * b.v.y + (b.v.z * a.v.x - b.v.x * a.v.z);
    const float z = b.w * a.v.z + a.w * b.v.z + (b.v.x * a.v.y - b.v.y * a.v.x);
    const sm::Quat ab = sm::multiply(a, b);
    EXPECT_NEAR(ab.w, w, 1e-6f);
    EXPECT_NEAR(ab.v.x, x, 1e-6f);
    EXPECT_NEAR(ab.v.y, y, 1e-6f);
    EXPECT_NEAR(ab.v.z, z, 1e-6f);
    const sm::Quat ba = sm::multiply(b, a);
    EXPECT_GT(std::fabs(ab.v.z - ba.v.z), 1e-3f);
}

TEST(Matrices, MultiplyAppliesTheFirstArgumentFirst) {
    float move[16], turn[16], both[16];
    sm::translation(move, 1, 0, 0);
    sm::rotation(turn, sm::kPi / 2, 0, 0, 1);
    sm::multiply(both, move, turn);
    const sm::Vec3 p = sm::transformPoint(both, sm::Vec3(0, 0, 0));
    // Moved to (1, 0, 0) first, then turned a quarter about z: (0, 1, 0).
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.y, 1.0f, 1e-6f);
}

TEST(Matrices, InverseUndoesARigidTransform) {
    float turn[16], move[16], m[16], inv[16], product[16], id[16];
    sm::rotation(turn, 0.8f, 0.267261f, 0.534522f, 0.801784f);
    sm::translation(move, 3, -2, 5);
    sm::multiply(m, turn, move);
    sm::inverse(inv, m);
    sm::multiply(product, m, inv);
    sm::identity(id);
    expectMatrixNear(product, id);
}

TEST(Matrices, RotationMatchesTheFixedFunctionMatrix) {
    float m[16];
    sm::rotation(m, sm::kPi / 2, 0, 1, 0);
    // A quarter turn about y takes +x to -z.
    const sm::Vec3 p = sm::transformPoint(m, sm::Vec3(1, 0, 0));
    EXPECT_NEAR(p.x, 0.0f, 1e-6f);
    EXPECT_NEAR(p.z, -1.0f, 1e-6f);
}

TEST(Matrices, Perspective) {
    float m[16];
    sm::perspective(m, 60.0f, 4.0f / 3.0f, 1.0f, 200.0f);
    EXPECT_NEAR(m[5], 1.7320508f, 1e-6f);
    EXPECT_EQ(m[11], -1.0f);
    EXPECT_EQ(m[15], 0.0f);

    // The window's projection for 1280 x 720.
    sm::perspective(m, 60.0f, 1280.0f / 720.0f, 1.0f, 200.0f);
    EXPECT_NEAR(m[0], 0.9742786f, 1e-6f);
    EXPECT_NEAR(m[5], 1.7320509f, 1e-6f);
    EXPECT_NEAR(m[10], -1.0100503f, 1e-6f);
    EXPECT_NEAR(m[14], -2.0100503f, 1e-6f);
    for (int i : {1, 2, 3, 4, 6, 7, 8, 9, 12, 13, 15}) EXPECT_EQ(m[i], 0.0f) << i;
}

TEST(Frustum, FromTheIdentityView) {
    float view[16];
    sm::identity(view);
    sm::Frustum f;
    sm::frustumFromView(view, f, 1.0f, 200.0f, 60.0f, 1.5f);
    EXPECT_EQ(f.position.x, 0.0f);
    EXPECT_EQ(f.forward.z, -1.0f);
    EXPECT_EQ(f.right.x, 1.0f);
    EXPECT_EQ(f.up.y, 1.0f);
    EXPECT_NEAR(f.fovY, sm::kPi / 3, 1e-6f);
    EXPECT_NEAR(f.tanHalfFov, std::tan(sm::kPi / 6), 1e-6f);
}

TEST(Frustum, FollowsAMovedCamera) {
    // A camera at (0, 0, 10) looking down -z has the view matrix translate(0, 0, -10).
    float view[16];
    sm::translation(view, 0, 0, -10);
    sm::Frustum f;
    sm::frustumFromView(view, f, 1.0f, 200.0f, 60.0f, 1.0f);
    EXPECT_NEAR(f.position.z, 10.0f, 1e-5f);
}

}  // namespace
