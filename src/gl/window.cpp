#include "gl/window.h"

#include <string>

#include "gl/gl.h"
#include "base/log.h"
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
        controllerLog()->log("window system: " + platform::lastError());
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

