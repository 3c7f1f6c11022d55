// Every reader of the timeline's files fed every truncation and random byte flips of a valid
// file: each returns (null, empty or partial) and whatever it returns can be used.
#include <gtest/gtest.h>

#include <random>

#include "anim/cameras.h"
#include "anim/properties.h"
#include "formats/writers.h"
#include "base/log.h"
#include "assets/animation.h"
#include "assets/model.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes validAnimation() {
    AnimationNode gear;
    gear.nodeId = 4;
    gear.rotation.keys = {{0.0f, 0.0f, sm::Vec3(0, 1, 0)}, {2.0f, 3.0f, sm::Vec3(0, 1, 0)}};
    gear.rotation.spinTurns = 1;
    AnimationNode arm;
    arm.nodeId = 5;
    arm.position.keys = {{0.0f, sm::Vec3(1, 2, 3)}, {1.0f, sm::Vec3(2, 2, 3)}, {3.0f, sm::Vec3(0, 0, 0)}};
    arm.scale.keys = {{0.0f, sm::Vec3(1, 1, 1)}, {4.0f, sm::Vec3(2, 2, 2)}};
    arm.rotation.angle = 0.5f;
    gear.children.push_back(arm);
    std::vector<AnimationNode> roots{gear, cameraNode(9, {{0.0f, sm::Vec3(0, 1, 5), sm::Vec3(0, 0, 0), sm::Vec3(0, 1, 0)},
                                                          {5.0f, sm::Vec3(3, 1, 5), sm::Vec3(0, 0, 0), sm::Vec3(0, 1, 0)}})};
    return encodeAnimation(roots);
}

Bytes validCameras() {
    CameraRecord a;
    a.nodeId = 9;
    a.fovKeyed = true;
    a.fovKeys = {{0.0f, 0.5f}, {100.0f, 0.9f}};
    CameraRecord b;
    b.nodeId = 4;
    b.extraKeyed = true;
    b.extraKeys = {{0.0f, 1.0f}};
    return encodeCameras({a, b});
}

Bytes validScript() {
    ScriptWriter w;
    w.value(1, "n", 3);
    w.value(2, "f", 0.5f);
    w.value(3, "v", sm::Vec3(1, 2, 3));
    w.track(4, "shake", std::vector<ScriptKey<float>>{{0.0f, 0.0f}, {1000.0f, 1.0f, true}, {2000.0f, 0.5f}});
    w.track(5, "camera_changer", std::vector<ScriptKey<int>>{{0.0f, 1}, {500.0f, 2}});
    w.track(6, "path", std::vector<ScriptKey<sm::Vec3>>{{0.0f, sm::Vec3(1, 2, 3)}, {9.0f, sm::Vec3(0, 0, 0)}});
    w.camera(7, "cam", 6, 3, 2, 4);
    const std::string t = w.text();
    return Bytes(t.begin(), t.end());
}

// Uses what a reader returned the way the program does.
void exercise(const Bytes& bytes) {
    std::unique_ptr<Animation> tree = parseAnimation(bytes.data(), bytes.size());
    if (!tree) return;
    Mesh mesh;
    mesh.id = 5;
    tree->bindMeshes({&mesh});
    AnimCamera camera(9);
    tree->bindCamera(&camera);
    float identity[16];
    sm::identity(identity);
    for (float t : {0.0f, 1.5f, 83.0f}) tree->evaluate(t, identity, 0.02f);
    tree->trackEnd(9);
}

void exerciseCameras(const Bytes& bytes, Animation* tree) {
    CameraChanger changer;
    changer.setCameras(parseCameras(bytes.data(), bytes.size(), tree, "cameras.cam"));
    for (float t : {0.0f, 3.0f, 50.0f})
        if (AnimCamera* c = changer.select(t)) c->fieldOfView(t * 1000.0f);
}

void exerciseScript(const Bytes& bytes) {
    PropertyRegistry r;
    r.parse(std::string(bytes.begin(), bytes.end()), "props.scr");
    for (const auto& entry : r.properties())
        if (auto* a = dynamic_cast<AnimProperty*>(entry.second.get())) {
            if (a->provider<int>()) a->provider<int>()->valueAt(700.0f);
            if (a->provider<float>()) a->provider<float>()->valueAt(700.0f);
            if (a->provider<sm::Vec3>()) a->provider<sm::Vec3>()->valueAt(700.0f);
        }
    float view[16];
    for (const auto& cam : r.cameras()) cam->getViewMatrix(view, 100.0f), cam->scalarA(0.0f), cam->direction(1.0f);
}

// Each truncation, then `flips` copies with one to four random bytes changed.
template <class Use>
void torture(const Bytes& valid, Use use, int flips) {
    for (size_t n = 0; n < valid.size(); ++n) use(Bytes(valid.begin(), valid.begin() + n));
    std::mt19937 rng(99);
    for (int i = 0; i < flips; ++i) {
        Bytes b = valid;
        for (unsigned k = 0, count = 1 + rng() % 4; k < count; ++k) b[rng() % b.size()] = static_cast<unsigned char>(rng());
        use(b);
    }
}

class Robustness : public ::testing::Test {
protected:
    // The readers log each broken file; keep those lines out of the test output.
    void SetUp() override { controllerLog(); }
    void TearDown() override { releaseLogger("DemoController"); }
};

}  // namespace

TEST_F(Robustness, AnimationReader) {
    const Bytes valid = validAnimation();
    for (size_t n = 0; n < valid.size(); ++n) EXPECT_EQ(parseAnimation(valid.data(), n), nullptr) << n;
    ASSERT_NE(parseAnimation(valid.data(), valid.size()), nullptr);
    torture(valid, exercise, 3000);
}

TEST_F(Robustness, CameraReader) {
    const Bytes anim = validAnimation();
    auto tree = parseAnimation(anim.data(), anim.size());
    const Bytes valid = validCameras();
    for (size_t n = 0; n < valid.size(); ++n) EXPECT_TRUE(parseCameras(valid.data(), n, tree.get(), "c").empty());
    EXPECT_EQ(parseCameras(valid.data(), valid.size(), tree.get(), "c").size(), 2u);
    torture(valid, [&](const Bytes& b) { exerciseCameras(b, tree.get()); }, 3000);
}

TEST_F(Robustness, PropertyScriptReader) { torture(validScript(), exerciseScript, 3000); }

TEST_F(Robustness, DeepNestingIsRefused) {
    // Each node has one child: far deeper than any content, and bounded by the file size.
    AnimationNode leaf;
    Bytes b;
    const Bytes one = encodeAnimation({leaf});
    const Bytes node(one.begin() + 4, one.end() - 4);  // a node record without its child count
    auto put = [&b](int32_t v) { b.insert(b.end(), reinterpret_cast<unsigned char*>(&v), reinterpret_cast<unsigned char*>(&v) + 4); };
    put(1);
    for (int i = 0; i < 5000; ++i) b.insert(b.end(), node.begin(), node.end()), put(i + 1 < 5000 ? 1 : 0);
    EXPECT_EQ(parseAnimation(b.data(), b.size()), nullptr);
}
