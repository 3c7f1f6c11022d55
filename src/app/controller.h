// The object that holds the running demo together: window, effect context, off-screen
// targets, music, loading screen, property registry and the handles of the scene's assets.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "anim/cameras.h"
#include "anim/math.h"
#include "anim/properties.h"
#include "anim/random.h"
#include "app/music.h"
#include "app/singleton.h"
#include "assets/content.h"
#include "render/frame.h"
#include "render/frame_effects.h"
#include "render/overlay.h"

class Logger;
class ConsoleOutput;
class OpenGLWindow;
namespace fx {
struct Context;
}
class Animation;
class Effect;
class LoadingScreen;
class ManCam;
class ShadowMap;
class StdLighting;
class Mesh;
class Model;
class Texture;
struct RenderTarget;

enum class RunMode { Demo = 0, Free = 2, None = 3 };

class DemoController : public IContentObserver, public GenericSingleton<DemoController> {
public:
    DemoController();
    ~DemoController() override;

    bool init(RunMode mode, int width, int height, int bitsPerPixel, int frequency, bool fullScreen);
    // Loads everything below dataDirectory (ending in a separator) behind the loading screen,
    // resolves the links, opens the music and looks up the scene's assets.
    bool loadContent(const std::string& dataDirectory);
    // The rendering set-up after loading: part lists, lighting, shadow map, special objects.
    bool prepare();
    // Everything that depends on the demo time: properties, tracks, animations, the camera
    // with its shake and projection, and the culling of the scene parts.
    bool update(float t, float dt);
    // Draws and presents one frame.
    bool render(float t, float dt);
    // Releases everything; safe to call any number of times.
    void shutdown();

    // Redraw the loading screen: the total and every step move the bar at once.
    void onLoadError(const std::string& message) override;
    void onLoadBegin(int total) override;
    void onLoadStep() override;
    void onLoadEnd() override;

    RunMode runMode() const { return runMode_; }
    int width() const { return width_; }
    int height() const { return height_; }
    float fieldOfView() const { return fieldOfView_; }
    const float* projectionMatrix() const { return projectionMatrix_; }
    const float* viewMatrix() const { return viewMatrix_; }
    OpenGLWindow* window() const { return window_; }
    Logger* logger() const { return logger_; }

    // Before init: a hidden window and no sound (frame capture).
    void setHeadless(bool headless) { headless_ = headless; }
    // Called after a frame is complete, right before the buffers are swapped.
    void setBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }
    // Test builds: look for a GL error after every pass; the first one is kept with its pass.
    void setGlErrorChecks(bool on) { glErrorChecks_ = on; }
    // Called after each pass of render() with the pass's name (benchmarks time the passes).
    void setPassObserver(std::function<void(const char* pass)> observer) { passObserver_ = std::move(observer); }
    const std::string& firstGlError() const { return firstGlError_; }

    PropertyRegistry& properties() { return properties_; }
    CameraChanger& cameraChanger() { return cameraChanger_; }
    ICamera* currentCamera() const { return camera_; }
    void setCamera(ICamera* camera) { camera_ = camera; }
    const PartLists& partLists() const { return lists_; }
    const sm::Frustum& frustum() const { return frustum_; }
    float lastFade() const { return lastFade_; }
    const CameraCutFade& fadeState() const { return fade_; }
    ShadowMap* shadowMap() const { return shadowMap_; }
    StdLighting* lighting() const { return lighting_; }
    FrameEffects& effects() { return effects_; }
    bool overlayShown() const { return overlayShown_; }
    fx::Context* cgContext() const { return cgContext_; }
    LoadingScreen* loadingScreen() const { return loadingScreen_; }
    Music& music() { return music_; }

    // Scene assets found by loadContent (not owned).
    struct SceneModels {
        Model* winda = nullptr;
        Model* factory = nullptr;
        Model* wheels = nullptr;
        Model* headBody = nullptr;
        Model* headEyes = nullptr;
        Model* credits = nullptr;
    };
    const SceneModels& models() const { return models_; }
    const std::vector<Mesh*>& headBodyMeshes() const { return headBodyMeshes_; }
    const std::vector<Mesh*>& creditsMeshes() const { return creditsMeshes_; }
    const std::vector<Mesh*>& headEyesMeshes() const { return headEyesMeshes_; }
    Texture* maskTexture() const { return mask_; }
    unsigned noiseTexture() const { return noiseTexture_; }

    // Off-screen resources made by init (owned).
    RenderTarget* sceneTarget() const { return sceneTarget_; }
    RenderTarget* glowTarget() const { return glowTarget_; }
    Texture* sceneColorTexture() const { return sceneColorTexture_; }
    Texture* glowTexture() const { return glowTexture_; }
    unsigned sceneDepthTexture() const { return sceneDepthTexture_; }

private:
    void logError(const std::string& message);
    void redrawLoadingScreen();
    // Looks a named asset up; a missing one is logged and makes the result false.
    template <typename T>
    bool require(const char* kind, const std::string& name, T*& out);
    void createNoiseTexture();
    float propertyValue(EditableProperty* property, float t) const;
    void checkGl(const char* pass);
    void drawEndAndMask(float t);
    void present();

    SceneModels models_;
    std::vector<Mesh*> headBodyMeshes_;
    std::vector<Mesh*> creditsMeshes_;
    std::vector<Mesh*> headEyesMeshes_;
    unsigned noiseTexture_ = 0;
    Logger* logger_ = nullptr;
    ConsoleOutput* logOutput_ = nullptr;  // owned
    Texture* mask_ = nullptr;
    RunMode runMode_ = RunMode::Demo;
    OpenGLWindow* window_ = nullptr;  // owned
    fx::Context* cgContext_ = nullptr;  // owned; outlives every effect
    float viewMatrix_[16];
    float projectionMatrix_[16];
    Music music_;
    RenderTarget* sceneTarget_ = nullptr;  // owned
    RenderTarget* glowTarget_ = nullptr;   // owned
    Texture* sceneColorTexture_ = nullptr;  // owned
    Texture* glowTexture_ = nullptr;        // owned
    unsigned sceneDepthTexture_ = 0;        // owned
    LoadingScreen* loadingScreen_ = nullptr;  // owned
    float fieldOfView_ = 60.0f;
    int width_ = 0;
    int height_ = 0;

    // Timeline.
    PropertyRegistry properties_;
    struct SceneAnimations {
        Animation* factory = nullptr;
        Animation* winda = nullptr;
        Animation* wheels = nullptr;
        Animation* cameras = nullptr;
    } animations_;
    CameraChanger cameraChanger_;
    ICamera* camera_ = nullptr;
    ManCam* freeCamera_ = nullptr;  // owned, Free mode only
    EditableProperty* shakeProperty_ = nullptr;
    EditableProperty* electroNoiseProperty_ = nullptr;
    EditableProperty* endProperty_ = nullptr;  // "images.end"
    Effect* electro_ = nullptr;
    Texture* endTexture_ = nullptr;

    // Rendering set-up (prepare).
    StdLighting* lighting_ = nullptr;  // owned
    ShadowMap* shadowMap_ = nullptr;   // owned
    FrameEffects effects_;
    PartLists lists_;
    PartList headParts_, eyeParts_, creditsParts_;

    // Per frame.
    float shake_ = 0.0f;
    float noiseStrength_ = 0.0f;
    float eyeGlow_ = 0.0f;
    float electroRange_ = 0.0f;
    CameraCutFade fade_;
    float lastFade_ = 0.0f;
    sm::Frustum frustum_;
    Random shakeRandom_;
    bool musicStarted_ = false;
    bool overlayShown_ = false;
    FrameRate frameRate_;
    float lastTime_ = 0.0f;

    bool headless_ = false;
    bool glErrorChecks_ = false;
    std::string firstGlError_;
    std::function<void()> beforeSwap_;
    std::function<void(const char*)> passObserver_;
    bool freeCameraPlaced_ = false;
};
