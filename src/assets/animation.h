// Node animations (".ani"): a tree of nodes, each with a fixed matrix and position, rotation
// and scale tracks (times in seconds), writing world matrices into bound meshes and cameras.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "anim/keyframes.h"
#include "anim/math.h"
#include "assets/asset.h"
#include "anim/transformable.h"

class Mesh;

// Nodes whose mesh is held still until this demo time (seconds) and spins afterwards.
constexpr float kSpinStart = 82.5f;

class Animation : public IDisposable, public ITransformTree {
public:
    Animation();
    ~Animation() override;
    Animation(const Animation&) = delete;
    Animation& operator=(const Animation&) = delete;

    // Children first, then this node takes the first mesh with its (nonzero) id, if any.
    void bindMeshes(const std::vector<Mesh*>& meshes);
    // Every node with the camera's (nonzero) id drives it.
    void bindCamera(ITransformable* camera) override;
    // Depth first, this node before its children; null when absent.
    Animation* findNode(int32_t id);
    // The latest last-key time of the node's three tracks; 0 when the node is absent or has
    // no keyed track.
    float trackEnd(int32_t id) override;
    // Writes the matrices of this node's target and of the tree below it at `t` seconds, with
    // `parent` the 16-float matrix of the parent and `dt` the frame step in seconds.
    void evaluate(float t, const float* parent, float dt);
    // Back to the state before the first evaluate: the spin angle and the remembered axis of
    // every node (a jump back in time replays the film from its start).
    void rewind();

    int32_t nodeId = 0;
    float matrix[16];
    sm::Vec3 position{0.0f, 0.0f, 0.0f};
    sm::Quat rotation;
    sm::Vec3 scale{1.0f, 1.0f, 1.0f};
    std::unique_ptr<TCBInterpolator<sm::Vec3>> positionTrack;
    std::unique_ptr<TCBInterpolator<sm::Quat>> rotationTrack;
    std::unique_ptr<TCBInterpolator<sm::Vec3>> scaleTrack;
    std::vector<std::unique_ptr<Animation>> children;
    ITransformable* target = nullptr;
    bool spinning = false;
    float spinAngle = 0.0f;
    float spinSpeed = 0.0f;
    // The axis of the last rotation that was not the identity: a spinning node keeps turning
    // about it while its keyed rotation passes through the identity.
    sm::Vec3 axis{1.0f, 0.0f, 0.0f};
};

class AnimationLoader : public IAssetLoader {
public:
    // The root of the tree, or null when the file cannot be read or does not fit its counts;
    // the content registry reports the file then.
    IDisposable* load(const char* path, sm::IServiceProvider* services) override;
};

// The tree in `data`, or null when the bytes do not hold a whole file.
std::unique_ptr<Animation> parseAnimation(const unsigned char* data, size_t size);
