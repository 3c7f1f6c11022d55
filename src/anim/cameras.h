// Cameras: the interface the frame update draws through, the animated cameras of the
// "cameras" animation with their file "cameras.cam", the camera changer, and the camera built
// from a CameraProperty of the property script.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "anim/keyframes.h"
#include "anim/math.h"
#include "anim/transformable.h"

class CameraProperty;
class EditableProperty;
class PropertyRegistry;

class ICamera {
public:
    virtual ~ICamera() = default;
    // Writes the 16-float column-major view matrix into `out` and returns it.
    virtual float* getViewMatrix(float* out) = 0;
    // Vertical field of view in radians; `time` is demo time in milliseconds.
    virtual float fieldOfView(float time) = 0;
};

// A camera whose view is written every frame by its node of the "cameras" animation.
class AnimCamera : public ITransformable, public ICamera {
public:
    explicit AnimCamera(int32_t id);

    bool isCamera() const override { return true; }
    int32_t nodeId() const override { return id; }
    float* transform() override { return view; }

    float* getViewMatrix(float* out) override;
    // The track's value when it has keys, else the constant.
    float fieldOfView(float time) override;

    int32_t id;
    float view[16];
    float fov = 60.0f;    // radians; the file replaces it
    float extra = 10.0f;  // a second scalar, loaded and kept
    std::unique_ptr<TCBInterpolator<float>> fovTrack;
    std::unique_ptr<TCBInterpolator<float>> extraTrack;
    float endTime = 0.0f;  // seconds: where this camera's path ends
};

// Reads "cameras.cam": one AnimCamera per record, with its end time taken from `tree` (the
// "cameras" animation, may be null) and bound to it; sorted by end time. An unreadable or
// broken file gives an empty list and one error line naming the file.
std::vector<std::unique_ptr<AnimCamera>> loadCameras(const std::string& path, ITransformTree* tree);
// The same from bytes already in memory; `source` names them in the log line.
std::vector<std::unique_ptr<AnimCamera>> parseCameras(const unsigned char* data, size_t size, ITransformTree* tree,
                                                       const std::string& source);

// Hands out the camera whose shot is running: each camera until its path ends, then the next.
// Time is assumed to move forward only.
class CameraChanger {
public:
    // Takes a list sorted by end time (as loadCameras returns it).
    void setCameras(std::vector<std::unique_ptr<AnimCamera>> list) {
        cameras = std::move(list);
        current = 0;
    }
    // Null when there are no cameras; callers draw no camera view then.
    AnimCamera* select(float seconds);
    // The search only moves forward; a jump back in time starts it again.
    void rewind() { current = 0; }

    std::vector<std::unique_ptr<AnimCamera>> cameras;
    size_t current = 0;
};

// A view built from a position and a rotation property (radians: x about the vertical axis,
// y about the horizontal axis, z about the viewing axis) and two scalar properties.
class EditableCamera {
public:
    EditableCamera(const CameraProperty& property, const PropertyRegistry& registry);
    virtual ~EditableCamera() = default;

    virtual float* getViewMatrix(float* out, float time);
    virtual sm::Vec3 position(float time);
    // The view matrix applied to the point (0, 0, -1).
    virtual sm::Vec3 direction(float time);
    virtual float scalarA(float time);
    virtual float scalarB(float time);

    bool isStatic = false;
    std::string name;
    int id;
    // Null where the id names no property.
    EditableProperty* positionProperty;
    EditableProperty* rotationProperty;
    EditableProperty* scalarAProperty;
    EditableProperty* scalarBProperty;
};
