#include "assets/animation.h"

#include <gtest/gtest.h>

#include <cmath>

#include "base/binary.h"
#include "anim/cameras.h"
#include "formats/writers.h"
#include "assets/model.h"
#include "support/temp_dir.h"

namespace {

const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

std::unique_ptr<Animation> load(const std::vector<unsigned char>& bytes) {
    TempDir dir;
    const std::string path = dir.write("animations/test.ani", bytes);
    AnimationLoader loader;
    return std::unique_ptr<Animation>(static_cast<Animation*>(loader.load(path.c_str(), nullptr)));
}

void expectPoint(const float* m, sm::Vec3 in, sm::Vec3 want, float tolerance = 1e-5f) {
    const sm::Vec3 got = sm::transformPoint(m, in);
    EXPECT_NEAR(got.x, want.x, tolerance);
    EXPECT_NEAR(got.y, want.y, tolerance);
    EXPECT_NEAR(got.z, want.z, tolerance);
}

// One node by hand: id, identity matrix, constant position and scale, the given rotation track.
std::vector<unsigned char> nodeWithRotation(int32_t id, const std::vector<std::array<float, 5>>& keys,
                                            std::array<float, 4> constant = {0, 1, 0, 0}) {
    ByteWriter w;
    w.int32(1);
    w.int32(id);
    for (float m : kIdentity) w.float32(m);
    w.int32(0), w.float32(0), w.float32(0), w.float32(0);
    w.int32(static_cast<int32_t>(keys.size()));
    if (keys.empty())
        for (float f : constant) w.float32(f);
    for (const auto& key : keys)
        for (float f : key) w.float32(f);
    w.int32(0), w.float32(1), w.float32(1), w.float32(1);
    w.int32(0);
    return w.bytes();
}

// gluLookAt's matrix.
void lookAt(float* m, sm::Vec3 eye, sm::Vec3 target, sm::Vec3 up) {
    const sm::Vec3 f = sm::normalized(target - eye);
    const sm::Vec3 s = sm::normalized(sm::cross(f, up));
    const sm::Vec3 u = sm::cross(s, f);
    const float r[16] = {s.x, u.x, -f.x, 0, s.y, u.y, -f.y, 0, s.z, u.z, -f.z, 0,
                         -sm::dot(s, eye), -sm::dot(u, eye), sm::dot(f, eye), 1};
    std::copy(r, r + 16, m);
}

}  // namespace

TEST(Animation, WrittenTreeMovesTheBoundMeshes) {
    AnimationNode arm;
    arm.nodeId = 1;
    arm.position.keys = {{0.0f, sm::Vec3(0, 0, 0)}, {2.0f, sm::Vec3(4, 0, 0)}};
    arm.rotation.keys = {{0.0f, 0.0f, sm::Vec3(0, 1, 0)}, {2.0f, 1.5707964f, sm::Vec3(0, 1, 0)}};
    AnimationNode hand;
    hand.nodeId = 2;
    hand.position.constant = sm::Vec3(0, 0, -1);
    hand.scale.constant = sm::Vec3(2, 2, 2);
    hand.matrix[13] = 5.0f;  // applied before the node's motion
    arm.children.push_back(hand);
    auto tree = load(encodeAnimation({arm}));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->children.size(), 1u);

    Mesh first, second, other;
    first.id = second.id = 2;
    other.id = 1;
    tree->bindMeshes({&first, &second, &other});
    EXPECT_EQ(tree->findNode(2)->target, &first);

    tree->evaluate(2.0f, kIdentity, 0.02f);
    // Arm: a quarter turn about y, at (4, 0, 0).
    expectPoint(other.matrix, sm::Vec3(1, 0, 0), sm::Vec3(4, 0, -1));
    // Hand: lifted by its fixed matrix, scaled, placed at -z of the turned arm.
    expectPoint(first.matrix, sm::Vec3(0, 0, 0), sm::Vec3(4 - 1, 10, 0));
    EXPECT_EQ(second.matrix[12], 0.0f);

    EXPECT_EQ(tree->trackEnd(1), 2.0f);
    EXPECT_EQ(tree->trackEnd(2), 0.0f);   // constant tracks
    EXPECT_EQ(tree->trackEnd(77), 0.0f);  // no such node
}

TEST(Animation, KeyAxesAreStoredZUpButConstantsAreNot) {
    auto keyed = load(nodeWithRotation(1, {{{0.0f, -1.5707964f, 0, 0, 1}}}));
    ASSERT_NE(keyed, nullptr);
    Mesh mesh;
    mesh.id = 1;
    keyed->bindMeshes({&mesh});
    keyed->evaluate(0.0f, kIdentity, 0.0f);
    // Stored (0, 0, 1) is the y axis; the stored angle is negated.
    EXPECT_NEAR(keyed->findNode(1)->axis.y, 1.0f, 1e-6);
    expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(0, 0, -1));

    auto constant = load(nodeWithRotation(1, {}, {-1.5707964f, 0, 0, 1}));
    constant->bindMeshes({&mesh});
    constant->evaluate(0.0f, kIdentity, 0.0f);
    expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(0, 1, 0));
}

TEST(Animation, SpinningNodeWaitsThenTurns) {
    auto tree = load(nodeWithRotation(1, {{{0.0f, 0.0f, 1, 0, 0}}, {{1.0f, 8.0f, 0, 0, 1}}}));
    ASSERT_NE(tree, nullptr);
    Animation* node = tree->findNode(1);
    EXPECT_TRUE(node->spinning);
    EXPECT_EQ(node->spinSpeed, 8.0f / 25.132f);
    Mesh mesh;
    mesh.id = 1;
    tree->bindMeshes({&mesh});

    tree->evaluate(82.5f, kIdentity, 0.02f);
    expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(1, 0, 0), 0.0f);
    EXPECT_EQ(node->spinAngle, 0.0f);

    tree->evaluate(83.0f, kIdentity, 0.02f);
    expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(1, 0, 0), 1e-6f);  // the spin starts from 0
    EXPECT_FLOAT_EQ(node->spinAngle, 8.0f / 25.132f * 0.16f);
    tree->evaluate(83.02f, kIdentity, 0.02f);
    // The stored axis (0, 0, 1) is +y and the turn is by -8 rad, i.e. +8 - 2 pi about +y once
    // normalised: the spin goes about +y, by 8 / 25.132 x 0.02 x 8 in the frame before.
    const float a = 8.0f / 25.132f * 0.16f;
    expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(std::cos(a), 0, -std::sin(a)));

    // A spin whose keyed rotation is the identity keeps turning about (1, 0, 0).
    auto still = load(nodeWithRotation(3, {{{0.0f, 4.0f * 3.14159265f, 0, 0, 1}}}));
    EXPECT_TRUE(still->findNode(3)->spinning);
    Mesh m3;
    m3.id = 3;
    still->bindMeshes({&m3});
    still->evaluate(83.0f, kIdentity, 0.1f);
    still->evaluate(83.1f, kIdentity, 0.1f);
    EXPECT_FALSE(std::isnan(m3.matrix[5]));
    EXPECT_EQ(m3.matrix[0], 1.0f);  // about x: x stays
}

TEST(Animation, WriterRotationsComeBackAbsolute) {
    AnimationNode node;
    node.nodeId = 1;
    const std::vector<RotationKey> keys = {{0.0f, 0.3f, sm::Vec3(0, 1, 0)},
                                           {1.0f, 2.5f, sm::normalized(sm::Vec3(1, 1, 0))},
                                           {2.0f, 5.0f, sm::normalized(sm::Vec3(0, -1, 2))},
                                           {3.0f, 1.0f, sm::Vec3(0, 0, 1)}};
    node.rotation.keys = keys;
    node.rotation.spinTurns = 1;
    AnimationNode child;  // follows the keyed rotation, while the spinning node's own mesh waits
    child.nodeId = 2;
    child.scale.constant = sm::Vec3(1, 1, 1);
    node.children.push_back(child);
    auto tree = load(encodeAnimation({node}));
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(tree->findNode(1)->spinning);
    Mesh mesh, below;
    mesh.id = 1;
    below.id = 2;
    tree->bindMeshes({&mesh, &below});
    for (const RotationKey& key : keys) {
        tree->evaluate(key.time, kIdentity, 0.0f);
        float want[16];
        sm::rotation(want, key.angle, key.axis.x, key.axis.y, key.axis.z);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(below.matrix[i], want[i], 1e-5) << "t=" << key.time << " i=" << i;
        expectPoint(mesh.matrix, sm::Vec3(1, 0, 0), sm::Vec3(1, 0, 0));  // before 82.5 s
    }
}

TEST(Animation, CameraNodeGivesTheAskedView) {
    const std::vector<CameraShotKey> shots = {
        {0.0f, sm::Vec3(0, 2, 10), sm::Vec3(0, 0, 0), sm::Vec3(0, 1, 0)},
        {4.0f, sm::Vec3(-6, 3, 1), sm::Vec3(1, 1, -2), sm::Vec3(0, 1, 0)},
        {9.0f, sm::Vec3(3, -1, -4), sm::Vec3(3, -1, 4), sm::normalized(sm::Vec3(0.3f, 1, 0))},
        {12.0f, sm::Vec3(0, 8, 0.5f), sm::Vec3(0, 0, 0), sm::Vec3(0, 1, 0)}};
    AnimationNode child;  // must not be evaluated below a camera
    child.nodeId = 8;
    AnimationNode cam = cameraNode(7, shots);
    cam.children.push_back(child);
    auto tree = load(encodeAnimation({cam}));
    ASSERT_NE(tree, nullptr);
    AnimCamera camera(7);
    tree->bindCamera(&camera);
    Mesh below;
    below.id = 8;
    tree->bindMeshes({&below});
    EXPECT_EQ(tree->trackEnd(7), 12.0f);
    for (const CameraShotKey& shot : shots) {
        tree->evaluate(shot.time, kIdentity, 0.0f);
        float want[16], got[16];
        lookAt(want, shot.eye, shot.target, shot.up);
        camera.getViewMatrix(got);
        for (int i = 0; i < 16; ++i) EXPECT_NEAR(got[i], want[i], 1e-5) << "t=" << shot.time << " i=" << i;
    }
    EXPECT_EQ(below.matrix[12], 0.0f);
}

TEST(Animation, ShortOrAbsurdFilesFailTheLoad) {
    auto empty = load(encodeAnimation({}));
    ASSERT_NE(empty, nullptr);
    EXPECT_TRUE(empty->children.empty());
    empty->evaluate(1.0f, kIdentity, 0.0f);

    auto bytes = nodeWithRotation(1, {{{0, 1, 0, 0, 1}}});
    EXPECT_EQ(load(std::vector<unsigned char>(bytes.begin(), bytes.end() - 1)), nullptr);
    bytes[0] = 0xfe;  // rootChildCount -2
    EXPECT_EQ(load(bytes), nullptr);
    bytes[0] = 1, bytes[3] = 0x7f;  // two billion nodes
    EXPECT_EQ(load(bytes), nullptr);
    AnimationLoader loader;
    EXPECT_EQ(loader.load("/nonexistent/a.ani", nullptr), nullptr);
}
