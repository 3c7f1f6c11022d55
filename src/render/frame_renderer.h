// The frame: the rendering set-up after loading and, every frame, the update of what is drawn
// (shake, projection, culling, the code-built tracks), what the frame carries to the next one,
// and the fixed sequence of passes from the glow pass to the mask and the overlay. The controller picks the camera and
// animates the scene; this draws it. Presenting the frame is left to the caller.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "anim/math.h"
#include "anim/properties.h"
#include "base/random.h"
#include "gl/render_target.h"
#include "render/frame.h"
#include "render/frame_effects.h"
#include "render/frame_scene.h"
#include "render/overlay.h"

class ICamera;
class ShadowMap;
class StdLighting;
class Texture;

struct FrameDesc {
    int width = 0;
    int height = 0;
};

class FrameRenderer {
public:
    // The off-screen targets of a frame of that size: the scene's colour and depth textures,
    // the glow texture and their framebuffers. Needs a current context with the entry points.
    static std::unique_ptr<FrameRenderer> create(const FrameDesc& desc);
    // Deletes the GL objects while the context lives; after its end only the records go.
    ~FrameRenderer();
    FrameRenderer(const FrameRenderer&) = delete;
    FrameRenderer& operator=(const FrameRenderer&) = delete;

    // During the content load: the credits content and the noise texture.
    void load(const std::string& dataDirectory);
    // After loading, and again after a reload: the rest of the scene found in the content once
    // (findFrameAssets), part lists, lighting, shadow map, blurs, believe screen, the end image.
    // False with an error line when an effect the frame cannot do without is missing.
    bool prepare(const FrameScene& scene);
    // The frame's values at t (milliseconds) and the view through `camera` (null: nothing to
    // look through, the frame draws no scene) with the shake, projection and culling.
    void update(float t, float dt, ICamera* camera);
    // A frame after update is two steps: carry moves everything a frame carries to the next one
    // (the time, the frame rate, the fade, the eyes' glow mask, the believe picture and its
    // cursor, the credits' phase; the shake generator moved in update), draw draws. render is
    // both; advance, for a frame that is not shown (a seek), is carry alone, so that the next
    // rendered frame is byte for byte the one that drawing every frame would give; rewind puts
    // back what carry and update move. Anything new that outlives a frame belongs in carry
    // (and in Carried, which rewind resets), never in draw.
    void render(float t, float dt);
    void advance(float t, float dt);
    void rewind();
    // The F1 overlay on or off (the player's key); the film never shows it by itself.
    void toggleOverlay() { overlayShown_ = !overlayShown_; }

    int width() const { return width_; }
    int height() const { return height_; }
    float fieldOfView() const { return fieldOfView_; }
    float* projectionMatrix() { return projectionMatrix_; }
    const float* viewMatrix() const { return viewMatrix_; }
    const PartLists& partLists() const { return scene_.lists; }
    const sm::Frustum& frustum() const { return frustum_; }
    float lastFade() const { return carried_.lastFade; }
    const CameraCutFade& fadeState() const { return carried_.fade; }
    ShadowMap* shadowMap() const { return shadowMap_.get(); }
    StdLighting* lighting() const { return lighting_.get(); }
    FrameEffects& effects() { return effects_; }
    const FrameScene& scene() const { return scene_; }
    bool overlayShown() const { return overlayShown_; }
    // Lines shown under the overlay's first one (the player's keys and state).
    void setOverlayNotes(std::string notes) { overlayNotes_ = std::move(notes); }
    RenderTarget* sceneTarget() const { return sceneTarget_.get(); }
    RenderTarget* glowTarget() const { return glowTarget_.get(); }
    Texture* sceneColorTexture() const { return sceneColorTexture_.get(); }
    Texture* glowTexture() const { return glowTexture_.get(); }
    unsigned sceneDepthTexture() const { return sceneDepthTexture_.get(); }
    unsigned noiseTexture() const { return noiseTexture_.get(); }

    // Test builds: look for a GL error after every pass; the first one is kept with its pass.
    void setGlErrorChecks(bool on) { glErrorChecks_ = on; }
    // Leaves the fine film grain out and holds the noise pattern still, so that two renderings
    // of the same moment can be compared pixel by pixel (the grain follows the picture).
    void setSteadyNoise(bool on) { steadyNoise_ = on; }
    const std::string& firstGlError() const { return firstGlError_; }
    // Called after each pass of render() with the pass's name (benchmarks time the passes).
    void setPassObserver(std::function<void(const char* pass)> observer) { passObserver_ = std::move(observer); }

private:
    FrameRenderer() = default;
    void createNoiseTexture();
    void checkGl(const char* pass);
    // The first step of a frame (see render).
    void carry(float t, float dt);
    void draw(float t);
    void drawEndAndMask(float t);
    void drawOverlay();

    int width_ = 0;
    int height_ = 0;

    // Off-screen resources (owned).
    std::unique_ptr<RenderTarget> sceneTarget_;
    std::unique_ptr<RenderTarget> glowTarget_;
    std::unique_ptr<Texture> sceneColorTexture_;
    std::unique_ptr<Texture> glowTexture_;
    GlTexture sceneDepthTexture_;
    GlTexture noiseTexture_;

    // Set-up (prepare).
    FrameScene scene_;
    std::unique_ptr<StdLighting> lighting_;
    std::unique_ptr<ShadowMap> shadowMap_;
    FrameEffects effects_;
    PropertyValue shakeProperty_, electroNoiseProperty_, endProperty_;

    // The frame's values at its time, set by update from the tracks and the camera.
    ICamera* camera_ = nullptr;  // borrowed
    float viewMatrix_[16];
    float projectionMatrix_[16];
    float fieldOfView_ = 60.0f;
    float shake_ = 0.0f;
    float noiseStrength_ = 0.0f;
    float eyeGlow_ = 0.0f;
    float electroRange_ = 0.0f;
    sm::Frustum frustum_;

    // What a frame carries to the next one (the special passes keep their own: the believe
    // cursor, the credits' phase, the eyes' glow mask on the eye mesh and the copy the glow pass
    // draws with, which carry sets before any frame reads it); rewind starts it afresh.
    struct Carried {
        float lastTime = 0.0f;
        FrameRate frameRate;
        CameraCutFade fade;
        float lastFade = 0.0f;
        Random shakeRandom;
    } carried_;

    bool steadyNoise_ = false;
    bool overlayShown_ = false;
    std::string overlayNotes_;

    bool glErrorChecks_ = false;
    std::string firstGlError_;
    std::function<void(const char*)> passObserver_;
};
