// The object that holds the running demo together: window, effect context, music, loading
// screen, property registry, the scene's assets and the animated cameras. It owns the frame
// renderer, which draws each frame.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "anim/cameras.h"
#include "anim/mancam.h"
#include "anim/properties.h"
#include "assets/content.h"
#include "assets/loading_screen.h"
#include "base/log.h"
#include "base/singleton.h"
#include "gl/window.h"
#include "platform/music.h"
#include "render/frame_renderer.h"

namespace fx {
struct Context;
}
class Animation;
class Effect;
class Mesh;
class Model;
class Texture;

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
    // In place of render for a frame that is not shown (seeking): the frame's state moves as
    // render would move it; nothing is drawn or presented and the music is left alone.
    void advance(float t, float dt);
    // A jump: the film's state goes back to its start and replays to `t` without drawing, on the
    // capture's grid of 30 frames a second, so that the frame at `t` is the one a capture of that
    // moment shows. Returns the step to update and render the frame at `t` with.
    float seek(float t);
    // Everything the timeline carries from frame to frame, back to its start.
    void rewind();
    // "free" mode: the film's own cameras (true) or the free camera (false, the start). The free
    // camera takes over from the view the film shows at that moment.
    void useFilmCameras(bool on);
    bool filmCameras() const { return filmCameras_; }
    // Whether each frame should wait for the display (asked for before init).
    bool verticalSync() const { return verticalSync_ && !headless_; }
    // The display frequency asked for at init (0 when the display did not say).
    int frequency() const { return frequency_; }
    // The free camera's step for the next update (ms of real time; it flies during a pause too).
    // Negative: the frame's own step.
    void setFlightStep(float ms) { flightStep_ = ms; }
    // The film's length in milliseconds: the music's, else the end of the last shot; 0 unknown.
    float filmLength() const;
    // Live reload: the effects, materials, node animations, cameras and property script of a
    // fresh unpacking in `dataDirectory`, compared file by file with `previous` (the unpacking
    // they were loaded from). A changed file that loads takes its asset's place; one that fails
    // keeps the previous version. Then the frame is prepared again; the caller replays the film
    // to its moment (seek). One line per file that changed, failed or went missing.
    std::vector<std::string> reloadContent(const std::string& dataDirectory, const std::string& previous);
    // Releases everything; safe to call any number of times.
    void shutdown();

    // Redraw the loading screen: the total and every step move the bar at once (where each
    // present waits for the display, at most once a display frame, and always the last step).
    void onLoadError(const std::string& message) override;
    void onLoadBegin(int total) override;
    void onLoadStep() override;
    void onLoadEnd() override;

    RunMode runMode() const { return runMode_; }
    int width() const { return width_; }
    int height() const { return height_; }
    OpenGLWindow* window() const { return window_.get(); }
    Logger* logger() const { return logger_; }

    // Before init: a hidden window and no sound (frame capture).
    void setHeadless(bool headless) { headless_ = headless; }
    // Before init: a window with a title bar (centred) instead of a borderless one, and whether
    // each frame waits for the display's vertical blank.
    void setWindowStyle(bool titled, bool verticalSync) {
        titled_ = titled;
        verticalSync_ = verticalSync;
    }
    // Called after a frame is complete, right before the buffers are swapped.
    void setBeforeSwap(std::function<void()> hook) { beforeSwap_ = std::move(hook); }

    PropertyRegistry& properties() { return properties_; }
    CameraChanger& cameraChanger() { return cameraChanger_; }
    ICamera* currentCamera() const { return camera_; }
    void setCamera(ICamera* camera) { camera_ = camera; }
    fx::Context* cgContext() const { return cgContext_.get(); }
    LoadingScreen* loadingScreen() const { return loadingScreen_.get(); }
    platform::Music& music() { return music_; }
    // The frame renderer made by init; null before init and after shutdown.
    FrameRenderer* frame() const { return frame_.get(); }

    // The scene's models and mask found by loadContent (not owned); the frame finds the rest
    // of what it draws with when it is prepared.
    const FrameScene& models() const { return scene_; }
    const std::vector<Mesh*>& headBodyMeshes() const { return meshesOf(scene_.headBody); }
    const std::vector<Mesh*>& creditsMeshes() const { return meshesOf(scene_.credits); }
    const std::vector<Mesh*>& headEyesMeshes() const { return meshesOf(scene_.headEyes); }
    Texture* maskTexture() const { return scene_.mask; }

private:
    struct ContextDeleter {
        void operator()(fx::Context* context) const;
    };

    // Logs `message` as it is through the controller's log (nothing put in front of it).
    void logVerbatim(const std::string& message);
    void redrawLoadingScreen();
    // Finds the node animations and binds them to the scene's meshes.
    void bindAnimations();
    // The steps of reloadContent (reload.cpp); each adds its lines to the pass's report and
    // says whether it changed what the frame is prepared from.
    struct ReloadPass;
    bool reloadAssets(ReloadPass& pass);  // effects, materials, node animations
    void swapIn(ReloadPass& pass, AssetKind kind, const std::string& name, IDisposable* existing,
                std::unique_ptr<IDisposable> fresh);
    bool reloadCameras(ReloadPass& pass);
    bool reloadPropertyScript(ReloadPass& pass);
    void reportReadAtStart(ReloadPass& pass);
    // Looks a named asset up; a missing one is logged and makes the result false.
    template <typename T>
    bool require(const char* kind, const std::string& name, T*& out);

    static const std::vector<Mesh*>& meshesOf(const Model* model);

    FrameScene scene_;
    Logger* logger_ = nullptr;
    std::unique_ptr<ConsoleOutput> logOutput_;
    RunMode runMode_ = RunMode::Demo;
    std::unique_ptr<OpenGLWindow> window_;
    std::unique_ptr<fx::Context, ContextDeleter> cgContext_;  // outlives every effect
    platform::Music music_;
    std::unique_ptr<LoadingScreen> loadingScreen_;
    bool loadingSwapWaits_ = false;  // the loading screen's presents wait for the display
    int64_t lastLoadingDraw_ = 0;    // counter value of the loading screen's last redraw
    std::unique_ptr<FrameRenderer> frame_;
    int width_ = 0;
    int height_ = 0;
    int frequency_ = 0;

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
    std::unique_ptr<ManCam> freeCamera_;  // Free mode only
    bool freeCameraPlaced_ = false;
    bool filmCameras_ = false;
    bool replaying_ = false;  // seek: the free camera holds still
    float flightStep_ = -1.0f;
    bool musicStarted_ = false;

    bool headless_ = false;
    bool titled_ = false;
    bool verticalSync_ = false;
    std::function<void()> beforeSwap_;
};
