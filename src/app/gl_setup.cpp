#include "app/gl_setup.h"

#include "anim/math.h"
#include "gl/gl.h"
#include "gl/window.h"

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
