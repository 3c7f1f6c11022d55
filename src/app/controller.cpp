#include "app/controller.h"

#include "anim/mancam.h"
#include "anim/random.h"
#include "app/gl.h"
#include "app/log.h"
#include "app/render_target.h"
#include "app/window.h"
#include "fx/runtime.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/loading_screen.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "render/shadow_map.h"
#include "render/std_lighting.h"

DemoController::DemoController() {
    sm::identity(viewMatrix_);
    sm::identity(projectionMatrix_);
    logger_ = getLogger("DemoController");
    logOutput_ = new ConsoleOutput;
    logger_->addOutput(logOutput_);
}

DemoController::~DemoController() { shutdown(); }

void DemoController::logError(const std::string& message) {
    if (logger_) logger_->log(message);
}

bool DemoController::init(RunMode mode, int width, int height, int bitsPerPixel, int frequency, bool fullScreen) {
    runMode_ = mode;
    width_ = width;
    height_ = height;
    window_ = new OpenGLWindow;
    window_->hidden = headless_;
    if (!window_->create(width, height, bitsPerPixel, frequency, fullScreen)) {
        logError("couldn't initialize opengl window");
        shutdown();
        return false;
    }
    if (!loadGLExtensions()) {
        logError("couldn't initialize opengl extensions");
        shutdown();
        return false;
    }
    cgContext_ = fx::createContext();  // null when the driver can't compile GLSL 1.20
    if (!cgContext_) {
        logError("couldn't initialize cg");
        shutdown();
        return false;
    }
    initGLState(width, height, fieldOfView_, projectionMatrix_);
    if (mode == RunMode::Free) {
        freeCamera_ = new ManCam;
        camera_ = freeCamera_;
    }

    loadingScreen_ = new LoadingScreen(window_);
    sceneTarget_ = createRenderTarget(width, height);
    sceneColorTexture_ = new Texture(createColorTexture(width, height, GL_NEAREST), width, height, 32);
    const int glowWidth = width / 4, glowHeight = height / 4;
    glowTexture_ = new Texture(createColorTexture(glowWidth, glowHeight, GL_LINEAR), glowWidth, glowHeight, 32);
    glowTarget_ = createRenderTarget(glowWidth, glowHeight);
    sceneDepthTexture_ = createDepthTexture(width, height);
    glBindTexture(GL_TEXTURE_2D, 0);
    return true;
}

template <typename T>
bool DemoController::require(const char* kind, const std::string& name, T*& out) {
    out = DemoContent::instance()->find<T>(name);
    if (out) return true;
    logError(std::string("error: ") + kind + " '" + name + "' wasn't found");
    return false;
}

bool DemoController::loadContent(const std::string& dataDirectory) {
    const std::string& d = dataDirectory;
    const std::string sep = platform::pathSeparator();
    if (!loadingScreen_) loadingScreen_ = new LoadingScreen(window_);
    loadingScreen_->init(d);

    CgContextService cgService(cgContext_);
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
    if (!headless_) music_.open(d + "music" + sep + "demotune.mp3");

    // Animations and the electro effect are optional: without them the scene stands still, no
    // scripted camera exists and the head is not drawn.
    DemoContent* registry = DemoContent::instance();
    animations_.factory = registry->find<Animation>("factory");
    animations_.winda = registry->find<Animation>("winda");
    animations_.wheels = registry->find<Animation>("wheels");
    animations_.cameras = registry->find<Animation>("cameras");
    electro_ = registry->find<Effect>("electro");
    bool found = true;
    found = require("model", "factory", models_.factory) && found;
    found = require("model", "credits", models_.credits) && found;
    found = require("model", "wheels", models_.wheels) && found;
    found = require("model", "winda", models_.winda) && found;
    if (found) {
        if (animations_.factory) {
            animations_.factory->bindMeshes(models_.factory->meshes);
            animations_.factory->bindMeshes(models_.credits->meshes);
        }
        if (animations_.wheels) animations_.wheels->bindMeshes(models_.wheels->meshes);
        if (animations_.winda) animations_.winda->bindMeshes(models_.winda->meshes);
        if (animations_.cameras)
            cameraChanger_.setCameras(loadCameras(d + "cameras" + sep + "cameras.cam", animations_.cameras));
    }
    found = require("texture", width_ > 1024 ? "mask_big" : "mask", mask_) && found;
    found = require("model", "head_body", models_.headBody) && found;
    found = require("model", "head_eyes", models_.headEyes) && found;
    if (!found) return false;

    glBindTexture(GL_TEXTURE_2D, mask_->glName);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glBindTexture(GL_TEXTURE_2D, 0);

    headBodyMeshes_ = models_.headBody->meshes;
    headEyesMeshes_ = models_.headEyes->meshes;
    creditsMeshes_ = models_.credits->meshes;

    effects_.load(d);
    shakeProperty_ = properties_.find("shake");
    electroNoiseProperty_ = properties_.find("electro_noise");
    createNoiseTexture();
    return true;
}

void DemoController::createNoiseTexture() {
    // The same seed on every run and platform, so every showing of the film looks the same.
    Random random;
    const int count = height_ / 4;
    std::vector<float> texels(static_cast<size_t>(count > 0 ? count : 0));
    for (float& texel : texels) texel = static_cast<float>(random.next() % 200 - 100) / 100.0f;
    if (noiseTexture_) glDeleteTextures(1, &noiseTexture_);
    glGenTextures(1, &noiseTexture_);
    glBindTexture(GL_TEXTURE_1D, noiseTexture_);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_1D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexImage1D(GL_TEXTURE_1D, 0, 1, count, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_1D, 0);
}

void DemoController::redrawLoadingScreen() {
    if (!loadingScreen_) return;
    static const float kClearColour[4] = {0.0f, 0.0f, 0.0f, 1.0f};
    loadingScreen_->update(0.0f, 0.0f);
    loadingScreen_->render(0.0f, 0.0f, viewMatrix_, projectionMatrix_, kClearColour);
}

void DemoController::onLoadError(const std::string& message) { logError("error: " + message); }

void DemoController::onLoadBegin(int total) {
    if (!loadingScreen_) return;
    loadingScreen_->total = total;
    loadingScreen_->done = 0;
    redrawLoadingScreen();
}

void DemoController::onLoadStep() {
    if (!loadingScreen_) return;
    loadingScreen_->done += 1;
    redrawLoadingScreen();
}

void DemoController::onLoadEnd() {}

void DemoController::shutdown() {
    music_.close();
    if (DemoContent::exists()) {
        DemoContent::instance()->release();
        DemoContent::destroyInstance();
    }
    // The content (and with it every effect) is released before this point.
    if (cgContext_) {
        fx::destroyContext(cgContext_);
        cgContext_ = nullptr;
    }
    models_ = SceneModels();
    animations_ = SceneAnimations();
    electro_ = nullptr;
    endTexture_ = nullptr;
    shakeProperty_ = electroNoiseProperty_ = endProperty_ = nullptr;
    lists_ = PartLists();
    headParts_.clear();
    eyeParts_.clear();
    creditsParts_.clear();
    cameraChanger_.setCameras({});
    camera_ = nullptr;
    delete freeCamera_;
    freeCamera_ = nullptr;
    delete lighting_;
    lighting_ = nullptr;
    headBodyMeshes_.clear();
    headEyesMeshes_.clear();
    creditsMeshes_.clear();
    mask_ = nullptr;
    // Every GL object goes while the context still exists.
    const bool context = window_ && window_->handle();
    if (context) {
        if (shadowMap_) shadowMap_->release();
        effects_.release();
        releaseRenderTarget(sceneTarget_);
        if (loadingScreen_) loadingScreen_->release();
        if (sceneDepthTexture_) glDeleteTextures(1, &sceneDepthTexture_);
        if (noiseTexture_) glDeleteTextures(1, &noiseTexture_);
        delete glowTexture_;
        glowTexture_ = nullptr;
        delete sceneColorTexture_;
        sceneColorTexture_ = nullptr;
        releaseRenderTarget(glowTarget_);
    }
    if (window_) {
        window_->destroy();
        delete window_;
        window_ = nullptr;
    }
    // Without a context the GL objects went with it; only the records remain.
    if (shadowMap_) shadowMap_->forget();
    effects_.forget();
    delete shadowMap_;
    shadowMap_ = nullptr;
    auto forget = [](Texture*& texture) {
        if (texture) texture->glName = 0;
        delete texture;
        texture = nullptr;
    };
    forget(glowTexture_);
    forget(sceneColorTexture_);
    if (loadingScreen_) forget(loadingScreen_->picture);
    delete loadingScreen_;
    loadingScreen_ = nullptr;
    delete sceneTarget_;
    sceneTarget_ = nullptr;
    delete glowTarget_;
    glowTarget_ = nullptr;
    sceneDepthTexture_ = 0;
    noiseTexture_ = 0;
    if (logger_) {
        releaseLogger("DemoController");
        logger_ = nullptr;
        delete logOutput_;
        logOutput_ = nullptr;
    }
}
