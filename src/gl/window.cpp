#include "gl/window.h"

#include <string>

#include "gl/gl.h"
#include "gl/gl_name.h"
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
    desc.borderless = !titled;
    desc.centred = titled;
    desc.swapInterval = swapInterval;
    window_ = platform::createWindow(desc);
    if (!window_) {
        controllerLog()->log("window system: " + platform::lastError());
        destroy();
        return false;
    }
    if (swapInterval != 0 && platform::swapInterval(window_) != swapInterval)
        controllerLog()->log("vertical sync: the driver refused swap interval " + std::to_string(swapInterval) +
                             " (" + platform::lastError() + "); frames are paced by the clock instead");
    return true;
}

void OpenGLWindow::destroy() {
    if (window_) {
        glContextEnds();  // its GL names go with it; their owners must not delete them later
        platform::destroyWindow(window_);
        window_ = nullptr;
    }
}

void OpenGLWindow::swap() { platform::swapWindow(window_); }

