#include "anim/cameras.h"

#include <gtest/gtest.h>

#include "base/binary.h"
#include "formats/writers.h"
#include "base/log.h"
#include "assets/animation.h"
#include "support/temp_dir.h"

namespace {

// A "cameras" tree whose node i has a path ending at ends[i].
std::unique_ptr<Animation> pathsEndingAt(const std::vector<std::pair<int, float>>& ends) {
    std::vector<AnimationNode> nodes;
    for (auto [id, end] : ends) {
        AnimationNode node;
        node.nodeId = id;
        node.position.keys = {{0.0f, sm::Vec3(0, 0, 0)}, {end, sm::Vec3(1, 0, 0)}};
        nodes.push_back(node);
    }
    const auto bytes = encodeAnimation(nodes);
    return parseAnimation(bytes.data(), bytes.size());
}

CameraRecord record(int id) {
    CameraRecord r;
    r.nodeId = id;
    return r;
}

}  // namespace

TEST(Cameras, SelectionFollowsTheSortedEndTimes) {
    auto tree = pathsEndingAt({{3, 30.0f}, {1, 10.0f}, {2, 20.0f}});
    const auto bytes = encodeCameras({record(3), record(1), record(2)});
    CameraChanger changer;
    changer.setCameras(parseCameras(bytes.data(), bytes.size(), tree.get(), "cameras.cam"));
    ASSERT_EQ(changer.cameras.size(), 3u);
    EXPECT_EQ(changer.cameras[0]->endTime, 10.0f);
    EXPECT_EQ(changer.select(10.0f)->id, 1);
    EXPECT_EQ(changer.select(10.001f)->id, 2);
    EXPECT_EQ(changer.select(5.0f)->id, 2);  // time going back brings no earlier camera
    EXPECT_EQ(changer.select(35.0f)->id, 3);
    EXPECT_EQ(changer.select(99.0f)->id, 3);
    // Bound: the tree writes the camera's view. Node 1 stands at (0.5, 0, 0) at 5 s, unturned;
    // the view undoes that and turns a quarter about x, so y becomes z.
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    tree->evaluate(5.0f, identity, 0.0f);
    float view[16];
    changer.cameras[0]->getViewMatrix(view);
    for (auto [from, to] : {std::pair{sm::Vec3(0.5f, 0, 0), sm::Vec3(0, 0, 0)}, {sm::Vec3(0.5f, 1, 0), sm::Vec3(0, 0, 1)}}) {
        const sm::Vec3 got = sm::transformPoint(view, from);
        EXPECT_NEAR(got.x, to.x, 1e-5f);
        EXPECT_NEAR(got.y, to.y, 1e-5f);
        EXPECT_NEAR(got.z, to.z, 1e-5f);
    }

    CameraChanger none;
    EXPECT_EQ(none.select(1.0f), nullptr);
}

TEST(Cameras, ConstantAndKeyedFieldOfView) {
    CameraRecord constant = record(1);
    constant.fov = 0.7854f;
    CameraRecord keyed = record(2);
    keyed.fovKeyed = true;
    keyed.fovKeys = {{0.0f, 0.5f}, {1000.0f, 1.0f}};
    CameraRecord empty = record(3);
    empty.fov = 0.25f;  // the file writes no constant, so the default stays
    empty.fovKeyed = true;
    const auto bytes = encodeCameras({constant, keyed, empty});
    auto cams = parseCameras(bytes.data(), bytes.size(), nullptr, "c");
    ASSERT_EQ(cams.size(), 3u);
    for (float t : {0.0f, 500.0f, 1e6f}) EXPECT_EQ(cams[0]->fieldOfView(t), 0.7854f);
    EXPECT_FLOAT_EQ(cams[1]->fieldOfView(500.0f), 0.75f);
    EXPECT_EQ(cams[1]->fieldOfView(2000.0f), 1.0f);
    EXPECT_EQ(cams[2]->fieldOfView(10.0f), 60.0f);
    EXPECT_EQ(cams[0]->endTime, 0.0f);  // no tree: no path
}

TEST(Cameras, RecordLayoutIsFlagAndCountPacked) {
    CameraRecord r = record(0x01020304);
    r.fov = 2.0f;
    r.extraKeyed = true;
    r.extraKeys = {{1, 2}, {3, 4}, {5, 6}};
    const auto bytes = encodeCameras({r});
    // count, id, flag 0 + float, flag 1 + count + 3 keys of 8 bytes.
    ASSERT_EQ(bytes.size(), 4u + 4 + 1 + 4 + 1 + 4 + 24);
    EXPECT_EQ(bytes[4], 0x04);
    EXPECT_EQ(bytes[8], 0);
    EXPECT_EQ(bytes[13], 1);
    EXPECT_EQ(bytes[14], 3);
    auto cams = parseCameras(bytes.data(), bytes.size(), nullptr, "c");
    ASSERT_EQ(cams.size(), 1u);
    EXPECT_EQ(cams[0]->extraTrack->count(), 3);
    EXPECT_EQ(cams[0]->fov, 2.0f);
}

TEST(Cameras, BrokenFilesGiveNoCameras) {
    auto bytes = encodeCameras({record(1), record(2)});
    EXPECT_TRUE(parseCameras(bytes.data(), bytes.size() - 1, nullptr, "c").empty());
    bytes[0] = 0xff;  // negative count
    EXPECT_TRUE(parseCameras(bytes.data(), bytes.size(), nullptr, "c").empty());
    EXPECT_TRUE(loadCameras("/nonexistent/cameras.cam", nullptr).empty());
}
