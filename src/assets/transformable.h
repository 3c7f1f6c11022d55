// What an animation node drives: a mesh or the animated camera.
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
