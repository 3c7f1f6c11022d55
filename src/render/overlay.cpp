#include "render/overlay.h"

#include <cstdio>

#include "gl/gl.h"
#include "gl/window.h"

void FrameRate::tick(float dt) {
    // A frame that shows no time passing (a paused player) is not counted: the rate stays the
    // one the film played at instead of leaping when it goes on.
    if (!(dt > 0.0f)) return;
    elapsed_ += dt;
    ++frames_;
    if (elapsed_ >= 500.0f) {
        rate_ = static_cast<float>(frames_) * 1000.0f / elapsed_;
        elapsed_ = 0.0f;
        frames_ = 0;
    }
}

std::string overlayText(float t, float framesPerSecond, const sm::Vec3& camera) {
    char line[160];
    std::snprintf(line, sizeof line, "t %.3f s  %.1f fps  camera (%.2f, %.2f, %.2f)", t / 1000.0f, framesPerSecond,
                  camera.x, camera.y, camera.z);
    return line;
}

void drawOverlay(const std::string& text, int width, int height) {
    glPushAttrib(GL_ENABLE_BIT | GL_CURRENT_BIT | GL_LIST_BIT | GL_DEPTH_BUFFER_BIT);
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    glOrtho(0.0, width, 0.0, height, -1.0, 1.0);
    glMatrixMode(GL_MODELVIEW);
    glPushMatrix();
    glLoadIdentity();
    glDisable(GL_TEXTURE_2D);
    glDisable(GL_LIGHTING);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_BLEND);
    glColor3f(1.0f, 1.0f, 0.4f);
    glListBase(kFontListBase);
    size_t begin = 0;
    for (int line = 0; begin <= text.size(); ++line) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        glRasterPos2i(8, height - 20 - 16 * line);
        glCallLists(static_cast<GLsizei>(end - begin), GL_UNSIGNED_BYTE, text.data() + begin);
        begin = end + 1;
    }
    glPopMatrix();
    glMatrixMode(GL_PROJECTION);
    glPopMatrix();
    glMatrixMode(GL_MODELVIEW);
    glPopAttrib();
}
