#include "render/frame_effects.h"

#include "app/gl.h"
#include "app/render_target.h"
#include "assets/loading_screen.h"

void FrameEffects::load(const std::string&) {}

void FrameEffects::prepare(const FrameInputs& inputs) {
    in_ = inputs;
    if (!blackTexture_) {
        glGenTextures(1, &blackTexture_);
        glBindTexture(GL_TEXTURE_2D, blackTexture_);
        const unsigned char black[4] = {0, 0, 0, 255};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void FrameEffects::release() {
    if (blackTexture_) glDeleteTextures(1, &blackTexture_);
    blackTexture_ = 0;
}

void FrameEffects::trackValues(float, float& eyeGlow, float& electroRange) {
    eyeGlow = 0.0f;
    electroRange = 0.0f;
}

void FrameEffects::updateCredits(float, float) {}

void FrameEffects::renderGlow(float, const sm::Vec3&, const float*, const float*, float, float) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glViewport(0, 0, in_.width, in_.height);
}

unsigned FrameEffects::glowResult() const { return blackTexture_; }

void FrameEffects::finish(unsigned sceneColor, float fade, float) {
    glColor4f(fade, fade, fade, 1.0f);
    drawFullscreenTexture(sceneColor, in_.width, in_.height);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void FrameEffects::drawBelievePicture(float, float) {}
void FrameEffects::drawBelieveModel(const float*, const float*) {}
void FrameEffects::drawScreens(const float*, const sm::Vec3&, const float*) {}
