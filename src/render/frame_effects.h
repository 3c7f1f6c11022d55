// The frame's special objects behind one seam: the glow and electro pass with its blur, the
// depth-of-field blur and the post-processing, the believe screen and the credits monitors.
// Without the "blur" effect there is no glow and no depth of field; without "post_process"
// the scene is copied to the window darkened by the fade.
#pragma once

#include <memory>
#include <string>

#include "anim/keyframes.h"
#include "anim/math.h"
#include "render/believe_screen.h"
#include "render/blur.h"
#include "render/credits.h"
#include "render/electro.h"
#include "render/frame.h"
#include "render/frame_scene.h"

class StdLighting;
struct RenderTarget;

// The frame's own off-screen objects that the special passes draw into or read; not owned.
struct FrameTargets {
    int width = 0, height = 0;  // the window
    RenderTarget* glowTarget = nullptr;
    unsigned glowTexture = 0;
    unsigned sceneDepthTexture = 0;
    unsigned noiseTexture = 0;
};

class FrameEffects {
public:
    // Builds the two electro tracks.
    FrameEffects();

    // The credits content, during the content load.
    void load(const std::string& dataDirectory);
    // The blurs and the believe screen, once the part lists exist; a second call replaces them.
    // The scene and the lighting are the frame's and must outlive this.
    void prepare(const FrameScene& scene, const FrameTargets& targets, StdLighting* lighting);

    // Eye glow and electro range of the code-built tracks at t (milliseconds).
    void trackValues(float t, float& eyeGlow, float& electroRange);
    void updateCredits(float t, float dt);
    // What the credits and the believe screen carry from frame to frame, back to its start.
    void rewind();

    // Into the glow texture; ends with the default frame buffer bound and the window viewport.
    void renderGlow(const sm::Vec3& eye, const float* view, const float* projection, float electroRange);
    // The frame's carry step: the eyes' mask for this frame's eye glow (the glow pass shows the
    // one it replaces).
    void carryGlow(float eyeGlow);
    // The blurred glow, added onto the scene.
    unsigned glowResult() const;
    // Depth of field and post-processing from the scene colour texture into the window.
    void finish(unsigned sceneColor, float fade, float noiseStrength, bool steadyNoise);

    void drawBelievePicture(float t, float dt);
    void drawBelieveModel(const float* view, const float* projection);
    // Sets "colorMask" = 1 on the screens effect and draws the monitors.
    void drawScreens(const float* view, const sm::Vec3& eye, const float* projection);

    Blur* glowBlur() const { return glowBlur_.get(); }
    Blur* dofBlur() const { return dofBlur_.get(); }
    BelieveScreen& believeScreen() { return believe_; }
    Credits& credits() { return credits_; }

private:
    GlowPass glowPass() const;

    const FrameScene* scene_ = nullptr;
    FrameTargets targets_;
    StdLighting* lighting_ = nullptr;
    float glowEyeMask_[4] = {};  // the mask the glow pass draws the eyes with
    TCBInterpolator<float> eyeGlowTrack_, electroRangeTrack_;  // seconds
    std::unique_ptr<Blur> glowBlur_;  // an eighth of the window
    std::unique_ptr<Blur> dofBlur_;   // a quarter of the window
    BelieveScreen believe_;
    Credits credits_;
    GlTexture blackTexture_;  // the glow without the blur effect
};
