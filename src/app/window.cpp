#include "app/window.h"

#include <string>

#include "anim/math.h"
#include "app/gl.h"
#include "app/log.h"
#include "platform/platform.h"

const char* const kWindowTitle = "Voltaresca :: by Quorvex";

OpenGLWindow::~OpenGLWindow() { destroy(); }

bool OpenGLWindow::create(int width, int height, int bitsPerPixel, int frequency, bool fullScreen) {
    width_ = width;
    height_ = height;
    fullScreen_ = fullScreen;
    platform::WindowDesc desc;
    desc.title = kWindowTitle;
    desc.width = width;
    desc.height = height;
    desc.fullScreen = fullScreen;
    desc.mode = {width, height, bitsPerPixel, frequency};
    desc.hidden = hidden;
    window_ = platform::createWindow(desc);
    if (!window_) {
        getLogger("DemoController")->log("window system: " + platform::lastError());
        destroy();
        return false;
    }
    return true;
}

void OpenGLWindow::destroy() {
    if (window_) {
        platform::destroyWindow(window_);
        window_ = nullptr;
    }
}

void OpenGLWindow::swap() { platform::swapWindow(window_); }

void initGLState(int width, int height, float fieldOfView, float* projection) {
    buildBitmapFont(kFontListBase);
    glListBase(kFontListBase);
    glViewport(0, 0, width, height);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    sm::perspective(projection, fieldOfView, static_cast<float>(width) / static_cast<float>(height), 1.0f, 200.0f);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glEnable(GL_NORMALIZE);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    glHint(GL_POLYGON_SMOOTH_HINT, GL_NICEST);
}
