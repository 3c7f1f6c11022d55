#include "assets/loading_screen.h"

#include "gl/draw.h"
#include "gl/gl.h"
#include "gl/window.h"
#include "assets/texture.h"

LoadingScreen::LoadingScreen(OpenGLWindow* window) : window_(window) {}

LoadingScreen::~LoadingScreen() = default;

void LoadingScreen::init(const std::string& dataDirectory) {
    picture.reset();
    TextureLoader loader;
    picture.reset(static_cast<Texture*>(loader.load((dataDirectory + "loader.jpg").c_str(), nullptr)));
    currentSize(width, height);
}

void LoadingScreen::currentSize(int& w, int& h) const {
    if (window_) {
        w = window_->width();
        h = window_->height();
        return;
    }
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    w = viewport[2];
    h = viewport[3];
}

bool progressBar(int screenWidth, int screenHeight, int done, int total, BarRect& out) {
    if (total <= 0) return false;
    const float w = static_cast<float>(screenWidth);
    const float h = static_cast<float>(screenHeight);
    const float fraction = static_cast<float>(static_cast<double>(done) / static_cast<double>(total) * 0.4f);
    out.x0 = static_cast<int>(w * 0.03f);
    out.y0 = static_cast<int>(h * 0.025f);
    out.y1 = static_cast<int>(h * 0.037f);
    out.x1 = out.x0 + static_cast<int>(w * fraction);
    return true;
}

void LoadingScreen::render(float, float, const float*, const float*, const float*) {
    int w = 0, h = 0;
    currentSize(w, h);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    if (picture) drawFullscreenTexture(picture->glName(), width, height);

    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    setOrthoToViewport();
    BarRect bar;
    if (progressBar(w, h, done, total, bar)) {
        glDisable(GL_LIGHTING);
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE);
        glColor4f(1.0f, 1.0f, 1.0f, 0.5f);
        glBegin(GL_QUADS);
        glVertex2i(bar.x0, bar.y0);
        glVertex2i(bar.x0, bar.y1);
        glVertex2i(bar.x1, bar.y1);
        glVertex2i(bar.x1, bar.y0);
        glEnd();
        glDisable(GL_BLEND);
    }
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopMatrix();
    if (window_) window_->swap();
    ++drawn;
}
