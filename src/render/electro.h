// The glow and electro pass: at a quarter of the window size it draws only what glows (the
// "glow" parts, a faint copy of the credits, the eyes, the discharge around the head) with
// everything else in flat black in front of it, then blurs the result. Two keyframe tracks
// built here drive the eye glow and the discharge's range over time.
#pragma once

#include "anim/keyframes.h"
#include "anim/math.h"
#include "render/frame_scene.h"
#include "render/std_lighting.h"

class Blur;
class Random;
struct RenderTarget;

// The moments of the eye-glow pulses and discharges, in seconds.
extern const double kPulseTimes[12];

// The eye glow: random flicker from 8.909 s to 10.909 s (one draw per key from `random`),
// then a pulse up to 1 at every pulse time.
void buildEyeGlowTrack(TCBInterpolator<float>& track, Random& random);
// The discharge's range: a sawtooth from 0 up to 6 between pulses, back to 0 at each pulse.
void buildElectroRangeTrack(TCBInterpolator<float>& track);

// The glow pass's own objects; nothing is owned.
struct GlowPass {
    int width = 0, height = 0;  // the window; the pass runs at a quarter of it
    RenderTarget* target = nullptr;
    unsigned texture = 0;
    StdLighting* lighting = nullptr;
    Blur* blur = nullptr;  // may be null: the glow is not blurred
};

// The eyes' colour mask (it rides on the first eye mesh), set to this frame's eye glow by the
// frame's carry step; `previous` gets the mask it replaces.
void setEyeMask(const FrameScene& scene, float eyeGlow, float previous[4]);

// The glow pass of one frame into the glow texture, ending with the glow blur, the default
// frame buffer bound and the window viewport. The eyes glow with `eyeMask`, the mask the
// previous frame left: the glow reaches them a frame late.
void renderGlow(const GlowPass& pass, const FrameScene& scene, const float eyeMask[4], const sm::Vec3& eye,
                const float* view, const float* projection, float electroRange);

// Draws the visible parts in flat black with depth, without any effect, so that they hide
// the glowing things behind them. Matrices and state are as before afterwards.
void drawBlack(const PartList& parts, const float* projection, const float* view);
