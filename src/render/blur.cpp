#include "render/blur.h"

#include <algorithm>

#include "gl/gl.h"
#include "gl/render_target.h"
#include "assets/effect.h"
#include "fx/runtime.h"

void pixelOrtho(float* out, int w, int h) {
    for (int i = 0; i < 16; ++i) out[i] = (i % 5 == 0) ? 1.0f : 0.0f;
    out[0] = 2.0f / static_cast<float>(w);
    out[5] = 2.0f / static_cast<float>(h);
    out[10] = -1.0f;
    out[12] = -1.0f;
    out[13] = -1.0f;
}

Blur::Blur(Effect* effect, int width, int height)
    : effect_(effect), width_(std::max(width, 1)), height_(std::max(height, 1)) {
    target_ = createRenderTarget(width_, height_);
    scratch_ = createColorTexture(width_, height_, GL_LINEAR);
    for (GlTexture& result : results_) result = createColorTexture(width_, height_, GL_LINEAR);
}

void Blur::run(unsigned source, bool glow) {
    glDepthMask(GL_FALSE);
    glPushAttrib(GL_ENABLE_BIT | GL_VIEWPORT_BIT | GL_CURRENT_BIT);
    glDisable(GL_DEPTH_TEST);
    glDisable(GL_LIGHTING);
    glEnable(GL_TEXTURE_2D);
    glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
    glViewport(0, 0, width_, height_);
    if (effect_) {
        float mvp[16];
        pixelOrtho(mvp, width_, height_);
        effect_->setMatrix("mvp", mvp);
    }
    for (const GlTexture& result : results_) {
        if (effect_) effect_->setFloat2("scanStep", 1.0f / static_cast<float>(width_), 0.0f);
        pass(scratch_.get(), source, glow);
        if (effect_) effect_->setFloat2("scanStep", 0.0f, 1.0f / static_cast<float>(height_));
        pass(result.get(), scratch_.get(), glow);
        source = result.get();
    }
    glPopAttrib();
    glDepthMask(GL_TRUE);
}

void Blur::pass(unsigned target, unsigned source, bool glow) {
    if (!target_) return;
    attachRenderTextures(*target_, target, 0, "the blur's target");
    glBindTexture(GL_TEXTURE_2D, 0);
    fx::Pass* first = nullptr;
    if (effect_) {
        effect_->setTexture("texToBlur", source);
        effect_->selectTechnique(glow ? "BlurGlowTech" : "BlurDofTech");
        first = effect_->firstPass();
    }
    if (first && fx::setPassState(first)) {
        // Each pass mirrors the picture vertically; the two passes of an iteration cancel out.
        const float w = static_cast<float>(width_), h = static_cast<float>(height_);
        glBegin(GL_QUADS);
        glTexCoord2i(0, 1), glVertex2f(0.0f, 0.0f);
        glTexCoord2i(1, 1), glVertex2f(w, 0.0f);
        glTexCoord2i(1, 0), glVertex2f(w, h);
        glTexCoord2i(0, 0), glVertex2f(0.0f, h);
        glEnd();
        fx::resetPassState(first);
    }
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
}
