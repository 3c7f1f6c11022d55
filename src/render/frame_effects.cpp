#include "render/frame_effects.h"

#include "base/random.h"
#include "gl/gl.h"
#include "gl/render_target.h"
#include "assets/content.h"
#include "assets/effect.h"
#include "render/electro.h"
#include "render/post_process.h"

FrameEffects::FrameEffects() {
    // A fixed seed: the eye's flicker is the same in every showing.
    Random random;
    buildEyeGlowTrack(eyeGlowTrack_, random);
    buildElectroRangeTrack(electroRangeTrack_);
}

void FrameEffects::load(const std::string& dataDirectory) {
    credits_.create(dataDirectory, *DemoContent::instance());
}

void FrameEffects::prepare(const FrameScene& scene, const FrameTargets& targets, StdLighting* lighting) {
    scene_ = &scene;
    targets_ = targets;
    lighting_ = lighting;
    // A second prepare replaces the blurs: their GL objects go first.
    glowBlur_.reset();
    dofBlur_.reset();
    if (Effect* blur = scene.blur) {
        glowBlur_ = std::make_unique<Blur>(blur, targets.width / 8, targets.height / 8);
        dofBlur_ = std::make_unique<Blur>(blur, targets.width / 4, targets.height / 4);
    }
    if (scene.properties) believe_.create(*DemoContent::instance(), *scene.properties);
    if (!blackTexture_) {
        blackTexture_ = makeGlTexture();
        glBindTexture(GL_TEXTURE_2D, blackTexture_.get());
        const unsigned char black[4] = {0, 0, 0, 255};
        glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, black);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
        glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
        glBindTexture(GL_TEXTURE_2D, 0);
    }
}

void FrameEffects::trackValues(float t, float& eyeGlow, float& electroRange) {
    const float seconds = t / 1000.0f;
    eyeGlow = electroRange = 0.0f;
    eyeGlowTrack_.valueAt(seconds, &eyeGlow);
    electroRangeTrack_.valueAt(seconds, &electroRange);
}

void FrameEffects::updateCredits(float t, float dt) { credits_.updateCredits(t, dt); }

GlowPass FrameEffects::glowPass() const {
    GlowPass pass;
    pass.width = targets_.width;
    pass.height = targets_.height;
    pass.target = targets_.glowTarget;
    pass.texture = targets_.glowTexture;
    pass.lighting = lighting_;
    pass.blur = glowBlur_.get();
    return pass;
}

void FrameEffects::renderGlow(const sm::Vec3& eye, const float* view, const float* projection, float electroRange) {
    if (!scene_) return;
    ::renderGlow(glowPass(), *scene_, glowEyeMask_, eye, view, projection, electroRange);
}

void FrameEffects::carryGlow(float eyeGlow) {
    if (!scene_ || !targets_.glowTarget || !lighting_) return;
    setEyeMask(*scene_, eyeGlow, glowEyeMask_);
}

unsigned FrameEffects::glowResult() const { return glowBlur_ ? glowBlur_->result() : blackTexture_.get(); }

void FrameEffects::finish(unsigned sceneColor, float fade, float noiseStrength, bool steadyNoise) {
    unsigned blurred = sceneColor;
    if (dofBlur_) {
        dofBlur_->run(sceneColor, false);
        blurred = dofBlur_->result();
    }
    PostProcessInputs inputs;
    inputs.effect = scene_ ? scene_->postProcess : nullptr;
    inputs.width = targets_.width;
    inputs.height = targets_.height;
    inputs.depthTexture = targets_.sceneDepthTexture;
    inputs.noiseTexture = targets_.noiseTexture;
    inputs.noiseStrength = noiseStrength;
    inputs.steadyNoise = steadyNoise;
    postProcess(sceneColor, blurred, fade, inputs);
}

void FrameEffects::rewind() {
    credits_.rewind();
    believe_.rewind();
}

void FrameEffects::drawBelievePicture(float t, float dt) { believe_.drawScreenPicture(t, dt); }

void FrameEffects::drawBelieveModel(const float* view, const float* projection) {
    believe_.drawScreenModel(view, projection);
}

void FrameEffects::drawScreens(const float* view, const sm::Vec3& eye, const float* projection) {
    if (Effect* effect = credits_.effect()) effect->setFloat("colorMask", 1.0f);
    credits_.drawScreens(view, eye, projection);
}
