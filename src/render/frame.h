// The small pieces of one frame that hold no GL state: part lists and their flags, frustum
// culling, the camera-cut fade, the light view, the camera shake and the believe window.
#pragma once

#include <functional>

#include "anim/math.h"
#include "render/std_lighting.h"

class Model;
class Random;
struct Box;

// The scene's part lists, built once after loading and never changed afterwards.
struct PartLists {
    PartList scene;        // every part of "factory", "wheels", "winda", in that order
    PartList glow;         // scene parts whose material name starts with "glow"
    PartList nonGlow;      // all other scene parts, those without a material included
    PartList opaque;       // no material, or opacity 1 or more: main pass and shadow casters
    PartList transparent;  // opacity below 1
};

// Builds the lists over the three scene models (any may be null) and sets `noCull` on every
// part of "winda" and of every mesh whose name starts with "credits".
PartLists buildPartLists(Model* factory, Model* wheels, Model* winda);

// Runs `draw` with every part's material at `opacity`, then gives each its own value back.
void withOpacity(const PartList& parts, float opacity, const std::function<void()>& draw);

// The eight-corner test of an axis-aligned box, its corners placed by `world` (a mesh's
// column-major matrix; null: taken as they are): culled when one plane has all eight corners
// on its outer side.
bool boxVisible(const sm::Frustum& frustum, const Box& box, const float* world = nullptr);
// Whether a pass looking through `frustum` may see the part: true for a part with `noCull`,
// else its box where its mesh puts it (a moving crate is seen where it is, not where it was
// modelled).
bool partInView(const MeshPart* part, const sm::Frustum& frustum);
// visible = partInView for every part without `noCull`; the others keep their flag.
void cullParts(const PartList& parts, const sm::Frustum& frustum);

// The fade over camera cuts: 0 to 1 over 6 s at the start, to black in the last 0.3 s of a
// shot, back in over 1.5 s after the cut.
struct CameraCutFade {
    float value = 0.0f;
    float rate = 0.05f;
    // The fade of this frame. Without a scripted camera it is 1 and nothing is stored.
    // `shotEnd` is the end of the current shot in seconds; t and dt are milliseconds.
    float step(bool scriptedCamera, float shotEnd, float t, float dt);
};

// Position and axes of the camera of a view matrix (the inverse's columns).
struct CameraFrame {
    sm::Vec3 eye, right, up, back;
};
CameraFrame cameraFrame(const float* view);

// The shadow camera: the viewer's orientation, 2 units to its left, 2 higher and 1 ahead.
void lightViewOf(float* out, const float* view);

// The view with the shake: shake 0 gives the camera view exactly; otherwise a rotation by up
// to 0.1 x shake radians about a random axis, drawn from `random` (four draws).
void shakeView(float* out, const float* cameraView, float shake, Random& random);

// The believe screen's picture is redrawn only strictly inside this window (milliseconds).
inline bool inBelieveWindow(float t) { return t > 200000.0f && t < 213719.0f; }
