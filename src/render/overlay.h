// The small text overlay of the "free" run mode (F1): demo time, frames per second and the
// camera position, drawn with the bitmap-font display lists.
#pragma once

#include <string>

#include "anim/math.h"

// Frames per second over the last half second of demo time; frames with no step are not counted.
class FrameRate {
public:
    void tick(float dt);
    float perSecond() const { return rate_; }

private:
    float elapsed_ = 0.0f;
    int frames_ = 0;
    float rate_ = 0.0f;
};

// "t 12.345 s  60.0 fps  camera (1.00, 2.00, 3.00)"
std::string overlayText(float t, float framesPerSecond, const sm::Vec3& camera);

// Draws text at the top left, a line for each '\n', of a width x height viewport, leaving the matrices,
// enables and colour as they were.
void drawOverlay(const std::string& text, int width, int height);
