#include "app/controller.h"

#include "app/archive.h"
#include "app/gl_setup.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "base/log.h"
#include "fx/runtime.h"
#include "gl/draw.h"
#include "gl/gl.h"
#include "platform/platform.h"
#include "anim/frame_schedule.h"
#ifdef __EMSCRIPTEN__
#include "platform/web.h"
#endif

namespace {
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}  // namespace

void DemoController::ContextDeleter::operator()(fx::Context* context) const { fx::destroyContext(context); }

DemoController::DemoController() {
    logger_ = controllerLog();
    logOutput_ = std::make_unique<ConsoleOutput>();
    logger_->addOutput(logOutput_.get());
}

DemoController::~DemoController() { shutdown(); }

void DemoController::logVerbatim(const std::string& message) {
    if (logger_) logger_->log(message);
}

bool DemoController::init(RunMode mode, int width, int height, int bitsPerPixel, int frequency, bool fullScreen) {
    runMode_ = mode;
    width_ = width;
    height_ = height;
    frequency_ = frequency;
    window_ = std::make_unique<OpenGLWindow>();
    window_->hidden = headless_;
    window_->titled = titled_;
    window_->swapInterval = verticalSync_ && !headless_ ? 1 : 0;
    if (!window_->create(width, height, bitsPerPixel, frequency, fullScreen)) {
        logVerbatim("couldn't initialize opengl window");
        shutdown();
        return false;
    }
    std::string missing;
    if (!loadGLExtensions(&missing)) {
        logVerbatim("couldn't initialize opengl extensions: " + missing);
        shutdown();
        return false;
    }
    cgContext_.reset(fx::createContext());  // null when the driver can't compile GLSL 1.20
    if (!cgContext_) {
        logVerbatim("couldn't initialize cg");
        shutdown();
        return false;
    }
    FrameDesc desc;
    desc.width = width;
    desc.height = height;
    frame_ = FrameRenderer::create(desc);
    initGLState(width, height, frame_->fieldOfView(), frame_->projectionMatrix());
    if (mode == RunMode::Free) {
        freeCamera_ = std::make_unique<ManCam>();
        camera_ = freeCamera_.get();
    }
    loadingScreen_ = std::make_unique<LoadingScreen>(window_.get());
    return true;
}

const std::vector<Mesh*>& DemoController::meshesOf(const Model* model) {
    static const std::vector<Mesh*> none;
    return model ? model->meshes : none;
}

template <typename T>
bool DemoController::require(const char* kind, const std::string& name, T*& out) {
    out = DemoContent::instance()->find<T>(name);
    if (out) return true;
    ::logError(std::string(kind) + " '" + name + "' wasn't found");
    return false;
}

bool DemoController::loadContent(const std::string& dataDirectory) {
    const std::string& d = dataDirectory;
    const std::string sep = platform::pathSeparator();
    if (!loadingScreen_) loadingScreen_ = std::make_unique<LoadingScreen>(window_.get());
    loadingScreen_->init(d);

    CgContextService cgService(cgContext_.get());
    ServiceProvider services;
    services.add(cgContextServiceKey(), static_cast<ICgContextService*>(&cgService));
    DemoContent* content = DemoContent::instance();
    content->addObserver(this);
    const bool loaded = content->load(d, &services);
    if (!loaded) return false;

    const bool texturesLinked = resolveMaterialTextures();
    const bool materialsLinked = resolveMeshMaterials();
    if (!texturesLinked || !materialsLinked) return false;

    // A script that cannot be read leaves its properties out; their values are then 0.
    properties_.load(d + "properties" + sep + "props.scr");

    // A track that cannot be opened leaves the demo silent; it is no failure.
    if (!headless_) music_.open(musicFileOf(d));

    // Animations are optional: without them the scene stands still and no scripted camera exists.
    scene_ = FrameScene();
    scene_.properties = &properties_;
    bool found = true;
    found = require("model", "factory", scene_.factory) && found;
    found = require("model", "credits", scene_.credits) && found;
    found = require("model", "wheels", scene_.wheels) && found;
    found = require("model", "winda", scene_.winda) && found;
    if (found) {
        bindAnimations();
        if (animations_.cameras)
            cameraChanger_.setCameras(loadCameras(d + "cameras" + sep + "cameras.cam", animations_.cameras));
    }
    found = require("texture", width_ > 1024 ? "mask_big" : "mask", scene_.mask) && found;
    found = require("model", "head_body", scene_.headBody) && found;
    found = require("model", "head_eyes", scene_.headEyes) && found;
    if (!found) return false;

    glBindTexture(GL_TEXTURE_2D, scene_.mask->glName());
    setTextureSampling(GL_TEXTURE_2D, GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);

    frame_->load(d);
    return true;
}

void DemoController::bindAnimations() {
    DemoContent* registry = DemoContent::instance();
    animations_.factory = registry->find<Animation>("factory");
    animations_.winda = registry->find<Animation>("winda");
    animations_.wheels = registry->find<Animation>("wheels");
    animations_.cameras = registry->find<Animation>("cameras");
    if (animations_.factory) {
        animations_.factory->bindMeshes(scene_.factory->meshes);
        animations_.factory->bindMeshes(scene_.credits->meshes);
    }
    if (animations_.wheels) animations_.wheels->bindMeshes(scene_.wheels->meshes);
    if (animations_.winda) animations_.winda->bindMeshes(scene_.winda->meshes);
}

void DemoController::redrawLoadingScreen() {
    if (!loadingScreen_) return;
    static const float kClearColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    loadingScreen_->update(0.0f, 0.0f);
    loadingScreen_->render(0.0f, 0.0f, frame_ ? frame_->viewMatrix() : kIdentity,
                           frame_ ? frame_->projectionMatrix() : kIdentity, kClearColour);
#ifdef __EMSCRIPTEN__
    platform::tellPage("loading", std::to_string(loadingScreen_->done) + "/" + std::to_string(loadingScreen_->total));
#endif
}

void DemoController::onLoadError(const std::string& message) { ::logError(message); }

void DemoController::onLoadBegin(int total) {
    if (!loadingScreen_) return;
    loadingScreen_->total = total;
    loadingScreen_->done = 0;
    // The interval the context really has: a driver may refuse to wait even when asked to.
    loadingSwapWaits_ = window_ && window_->handle() && platform::swapInterval(window_->handle()) != 0;
    lastLoadingDraw_ = platform::counter();
    redrawLoadingScreen();
}

void DemoController::onLoadStep() {
    if (!loadingScreen_) return;
    loadingScreen_->done += 1;
    // Every step redraws, except where each present waits for the display: there at most one
    // redraw a display frame (and always the last step), or hundreds of steps would hold the
    // load up for seconds.
    if (loadingSwapWaits_) {
        const int64_t now = platform::counter();
        const int64_t frame = platform::counterFrequency() / (frequency_ > 0 ? frequency_ : 60);
        if (loadingScreen_->done < loadingScreen_->total && now - lastLoadingDraw_ < frame) return;
        lastLoadingDraw_ = now;
    }
    redrawLoadingScreen();
}

void DemoController::onLoadEnd() {}

bool DemoController::prepare() {
    if (!frame_) return false;
    return frame_->prepare(scene_);
}

bool DemoController::update(float t, float dt) {
    const float seconds = t / 1000.0f, step = dt / 1000.0f;
    // The camera animation runs twice a frame, as it always has: the second pass leaves the
    // cameras at the same matrices, and content made against it expects that order.
    for (Animation* animation : {animations_.factory, animations_.cameras, animations_.winda, animations_.wheels,
                                 animations_.cameras})
        if (animation) animation->evaluate(seconds, kIdentity, step);

    if (runMode_ != RunMode::Free || filmCameras_) {
        camera_ = cameraChanger_.select(seconds);
    } else if (!freeCameraPlaced_ && freeCamera_) {
        // The free flight starts from the film's own first shot, not from the origin, which
        // may lie outside the scene and beyond the far plane.
        if (AnimCamera* scripted = cameraChanger_.select(seconds)) {
            float scriptedView[16];
            freeCamera_->lookFrom(scripted->getViewMatrix(scriptedView));
        }
        freeCameraPlaced_ = true;
    }
    if (frame_) frame_->update(t, dt, camera_);
    // After the frame took this frame's view: the flight moves the next one.
    if (camera_ && camera_ == freeCamera_.get() && !headless_ && !replaying_)
        freeCamera_->update(flightStep_ >= 0.0f ? flightStep_ : dt);
    return true;
}

bool DemoController::render(float t, float dt) {
    if (!musicStarted_) {
        music_.play();
        musicStarted_ = true;
    }
    if (frame_) frame_->render(t, dt);
    if (beforeSwap_) beforeSwap_();
    if (window_) window_->swap();
    return true;
}

void DemoController::advance(float t, float dt) {
    if (frame_) frame_->advance(t, dt);
}

void DemoController::rewind() {
    for (Animation* animation : {animations_.factory, animations_.cameras, animations_.winda, animations_.wheels})
        if (animation) animation->rewind();
    cameraChanger_.rewind();
    if (frame_) frame_->rewind();
}

float DemoController::seek(float t) {
    rewind();
    ScheduleDesc grid;
    grid.at = {t < 0.0f ? 0.0f : t};
    const std::vector<CaptureFrame> frames = captureSchedule(grid);
    replaying_ = true;
    for (size_t k = 0; k + 1 < frames.size(); ++k) {
        update(frames[k].t, frames[k].dt);
        advance(frames[k].t, frames[k].dt);
    }
    replaying_ = false;
    return frames.empty() ? 0.0f : frames.back().dt;
}

void DemoController::useFilmCameras(bool on) {
    if (runMode_ != RunMode::Free || !freeCamera_ || on == filmCameras_) return;
    filmCameras_ = on;
    if (on) return;  // the next update picks the shot
    if (camera_) {
        float view[16];
        freeCamera_->lookFrom(camera_->getViewMatrix(view));
    }
    camera_ = freeCamera_.get();
}

float DemoController::filmLength() const {
    const double music = music_.duration();
    if (music > 0.0) return static_cast<float>(music * 1000.0);
    return cameraChanger_.cameras.empty() ? 0.0f : cameraChanger_.cameras.back()->endTime * 1000.0f;
}

void DemoController::shutdown() {
    music_.close();
    // Every GL object goes while the context still exists (an owner of a GL name deletes it
    // with itself); whatever is left when the window goes, goes with the context.
    if (DemoContent::exists()) DemoContent::destroyInstance();
    // The content (and with it every effect) is released before this point.
    cgContext_.reset();
    scene_ = FrameScene();
    animations_ = SceneAnimations();
    cameraChanger_.setCameras({});
    camera_ = nullptr;
    freeCamera_.reset();
    frame_.reset();
    loadingScreen_.reset();
    if (window_) {
        window_->destroy();
        window_.reset();
    }
    if (logger_) {
        releaseLogger(logger_->name());
        logger_ = nullptr;
        logOutput_.reset();
    }
}
