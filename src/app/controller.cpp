#include "app/controller.h"

#include "app/gl.h"
#include "app/log.h"
#include "app/window.h"
#include "fx/runtime.h"

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
    return true;
}

// The content load, the scene set-up and the passes arrive with the asset and rendering code;
// until then an empty demo loads, prepares and draws black frames.
bool DemoController::loadContent(const std::string& dataDirectory) { return true; }

bool DemoController::prepare() { return true; }

bool DemoController::update(float t, float dt) { return true; }

bool DemoController::render(float t, float dt) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    if (window_) window_->swap();
    return true;
}

void DemoController::onLoadError(const std::string& message) { logError("error: " + message); }
void DemoController::onLoadBegin(int total) {}
void DemoController::onLoadStep() {}
void DemoController::onLoadEnd() {}

void DemoController::shutdown() {
    // The content (and with it every effect) is released before this point.
    if (cgContext_) {
        fx::destroyContext(cgContext_);
        cgContext_ = nullptr;
    }
    if (window_) {
        window_->destroy();
        delete window_;
        window_ = nullptr;
    }
    if (logger_) {
        releaseLogger("DemoController");
        logger_ = nullptr;
        delete logOutput_;
        logOutput_ = nullptr;
    }
}
