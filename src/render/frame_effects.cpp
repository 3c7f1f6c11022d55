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

void FrameEffects::prepare(const FrameInputs& inputs) {
    in_ = inputs;
    // A second prepare replaces the blurs: their GL objects go first.
    glowBlur_.reset();
    dofBlur_.reset();
    if (Effect* blur = DemoContent::instance()->find<Effect>("blur")) {
        glowBlur_ = std::make_unique<Blur>(blur, in_.width / 8, in_.height / 8);
        dofBlur_ = std::make_unique<Blur>(blur, in_.width / 4, in_.height / 4);
    }
    if (in_.properties) believe_.create(*DemoContent::instance(), *in_.properties);
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

GlowScene FrameEffects::glowScene() const {
    GlowScene scene;
    scene.width = in_.width;
    scene.height = in_.height;
    scene.target = in_.glowTarget;
    scene.texture = in_.glowTexture;
    scene.lighting = in_.lighting;
    if (in_.lists) {
        scene.glow = &in_.lists->glow;
        scene.nonGlow = &in_.lists->nonGlow;
    }
    scene.credits = in_.creditsParts;
    scene.eyes = in_.eyeParts;
    scene.head = in_.headParts;
    scene.headBody = in_.headBody;
    scene.electro = in_.electro;
    scene.blur = glowBlur_.get();
    return scene;
}

void FrameEffects::renderGlow(float, const sm::Vec3& eye, const float* view, const float* projection, float eyeGlow,
                              float electroRange) {
    ::renderGlow(glowScene(), eye, view, projection, eyeGlow, electroRange);
}

void FrameEffects::carryGlow(float eyeGlow) { ::carryGlow(glowScene(), eyeGlow); }

unsigned FrameEffects::glowResult() const { return glowBlur_ ? glowBlur_->result() : blackTexture_.get(); }

void FrameEffects::finish(unsigned sceneColor, float fade, float noiseStrength, bool steadyNoise) {
    unsigned blurred = sceneColor;
    if (dofBlur_) {
        dofBlur_->run(sceneColor, false);
        blurred = dofBlur_->result();
    }
    PostProcessInputs inputs;
    inputs.width = in_.width;
    inputs.height = in_.height;
    inputs.depthTexture = in_.sceneDepthTexture;
    inputs.noiseTexture = in_.noiseTexture;
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
