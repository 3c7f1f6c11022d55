// The frame: the rendering set-up after loading and, every frame, the update of what is drawn
// (shake, projection, culling, the code-built tracks, the credits) and the fixed sequence of
// passes from the glow pass to the mask and the overlay. The controller picks the camera and
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
#include "render/overlay.h"

class Effect;
class ICamera;
class Mesh;
class Model;
class ShadowMap;
class StdLighting;
class Texture;

struct FrameDesc {
    int width = 0;
    int height = 0;
    bool freeMode = false;   // the F1 overlay can be shown
    bool headless = false;   // no keyboard: the overlay stays hidden
};

// What the frame draws, found in the content by the controller; nothing here is owned.
struct FrameScene {
    Model* factory = nullptr;
    Model* wheels = nullptr;
    Model* winda = nullptr;
    Model* headBody = nullptr;
    std::vector<Mesh*> headBodyMeshes;
    std::vector<Mesh*> headEyesMeshes;
    std::vector<Mesh*> creditsMeshes;
    Effect* electro = nullptr;  // may be null: the head is not drawn
    Texture* mask = nullptr;    // may be null: no mask
    PropertyRegistry* properties = nullptr;
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
    // After loading: part lists, lighting, shadow map, blurs, believe screen, the end image.
    // False with an error line when an effect the frame cannot do without is missing.
    bool prepare(const FrameScene& scene);
    // The frame's values at t (milliseconds) and the view through `camera` (null: nothing to
    // look through, the frame draws no scene) with the shake, projection and culling.
    void update(float t, float dt, ICamera* camera);
    // Draws the frame into the window's back buffer, the overlay included.
    void render(float t, float dt);
    // A frame that is not shown (a seek): everything render would carry to the next frame moves
    // the same way, and nothing else is drawn. The next rendered frame is then byte for byte the
    // one that drawing every frame would give.
    void advance(float t, float dt);
    // Everything a frame carries to the next one, back to what it was before the first frame:
    // a jump replays the film from its start through advance. The overlay stays as it was.
    void rewind();

    int width() const { return width_; }
    int height() const { return height_; }
    float fieldOfView() const { return fieldOfView_; }
    float* projectionMatrix() { return projectionMatrix_; }
    const float* viewMatrix() const { return viewMatrix_; }
    const PartLists& partLists() const { return lists_; }
    const sm::Frustum& frustum() const { return frustum_; }
    float lastFade() const { return lastFade_; }
    const CameraCutFade& fadeState() const { return fade_; }
    ShadowMap* shadowMap() const { return shadowMap_.get(); }
    StdLighting* lighting() const { return lighting_.get(); }
    FrameEffects& effects() { return effects_; }
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
    void drawEndAndMask(float t);
    void drawOverlay();

    int width_ = 0;
    int height_ = 0;
    bool freeMode_ = false;
    bool headless_ = false;

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
    PartLists lists_;
    PartList headParts_, eyeParts_, creditsParts_;
    PropertyValue shakeProperty_, electroNoiseProperty_, endProperty_;
    Texture* endTexture_ = nullptr;  // not owned

    // Carried from frame to frame.
    ICamera* camera_ = nullptr;  // borrowed, set by update
    float viewMatrix_[16];
    float projectionMatrix_[16];
    float fieldOfView_ = 60.0f;
    float shake_ = 0.0f;
    float noiseStrength_ = 0.0f;
    bool steadyNoise_ = false;
    float eyeGlow_ = 0.0f;
    float electroRange_ = 0.0f;
    CameraCutFade fade_;
    float lastFade_ = 0.0f;
    sm::Frustum frustum_;
    Random shakeRandom_;
    bool overlayShown_ = false;
    std::string overlayNotes_;
    FrameRate frameRate_;
    float lastTime_ = 0.0f;

    bool glErrorChecks_ = false;
    std::string firstGlError_;
    std::function<void(const char*)> passObserver_;
};
