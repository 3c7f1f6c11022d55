// What an animation node drives: a mesh or the animated camera; and the node tree that drives
// the scripted cameras, as the cameras see it.
#pragma once

#include <cstdint>

class ITransformable {
public:
    virtual ~ITransformable() = default;
    virtual bool isCamera() const = 0;
    virtual int32_t nodeId() const = 0;
    // The object's 4x4 column-major matrix, writable.
    virtual float* transform() = 0;
};

// The node tree of the "cameras" animation, implemented by the node animations of the asset
// room; the cameras read their shot ends from it and are bound to it.
class ITransformTree {
public:
    virtual ~ITransformTree() = default;
    // Every node with the object's (nonzero) id drives it.
    virtual void bindCamera(ITransformable* camera) = 0;
    // The latest last-key time of the node's tracks in seconds; 0 when absent or unkeyed.
    virtual float trackEnd(int32_t id) = 0;
};
