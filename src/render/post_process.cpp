#include "render/post_process.h"

#include "gl/draw.h"
#include "gl/gl.h"
#include "assets/effect.h"
#include "fx/runtime.h"
#include "render/blur.h"

namespace {

constexpr float kFocal = 10.0f;
constexpr float kFocalFalloff = 0.00007f;

}  // namespace

void postProcess(unsigned sharp, unsigned blurred, float fade, const PostProcessInputs& in) {
    Effect* effect = in.effect;
    float mvp[16];
    pixelOrtho(mvp, in.width, in.height);
    glBindTexture(GL_TEXTURE_2D, 0);
    fx::Pass* pass = nullptr;
    if (effect) {
        effect->selectTechnique("DofGlowTech");
        effect->setFloat("focal", kFocal);
        effect->setFloat("fade", fade);
        effect->setFloat("focalFalloff", kFocalFalloff);
        effect->setFloat("noiseStrength", in.noiseStrength);
        effect->setFloat("steadyNoise", in.steadyNoise ? 1.0f : 0.0f);
        effect->setTexture("depthTex", in.depthTexture);
        effect->setTexture("sharpTex", sharp);
        effect->setTexture("blurTex", blurred);
        effect->setTexture("noiseTex", in.noiseTexture);
        effect->setMatrix("mvp", mvp);
        pass = effect->firstPass();
    }
    if (!pass || !fx::setPassState(pass)) {
        glColor4f(fade, fade, fade, 1.0f);
        drawFullscreenTexture(sharp, in.width, in.height);
        glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
        return;
    }
    const float w = static_cast<float>(in.width), h = static_cast<float>(in.height);
    glBegin(GL_QUADS);
    glTexCoord2i(0, 0), glVertex2f(0.0f, 0.0f);
    glTexCoord2i(0, 1), glVertex2f(0.0f, h);
    glTexCoord2i(1, 1), glVertex2f(w, h);
    glTexCoord2i(1, 0), glVertex2f(w, 0.0f);
    glEnd();
    fx::resetPassState(pass);
}
