// The object that holds the running demo together: window, effect context, off-screen
// targets, music, loading screen, property registry and the handles of the scene's assets.
#pragma once

#include <string>
#include <vector>

#include "anim/math.h"
#include "app/music.h"
#include "app/singleton.h"
#include "assets/content.h"

class Logger;
class ConsoleOutput;
class OpenGLWindow;
class LoadingScreen;
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
    bool prepare();
    bool update(float t, float dt);
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
};
