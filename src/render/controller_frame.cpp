// The controller's frame: the rendering set-up after loading, the per-frame update and the
// fixed sequence of passes of every frame.
#include <cstdio>

#include "anim/mancam.h"
#include "app/controller.h"
#include "app/gl.h"
#include "app/log.h"
#include "app/render_target.h"
#include "app/window.h"
#include "assets/animation.h"
#include "assets/effect.h"
#include "assets/loading_screen.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "platform/platform.h"
#include "render/shadow_map.h"
#include "render/std_lighting.h"

namespace {

constexpr float kNear = 1.0f;
constexpr float kFar = 200.0f;
const float kIdentity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};

void attachSceneTextures(const RenderTarget* target, unsigned colour, unsigned depth) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depth, 0);
    glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);  // an incomplete target just draws nothing
}

}  // namespace

float DemoController::propertyValue(EditableProperty* property, float t) const {
    if (auto* track = dynamic_cast<AnimProperty*>(property)) {
        if (track->floatProvider) return track->floatProvider->valueAt(t);
        if (track->intProvider) return static_cast<float>(track->intProvider->valueAt(t));
        return 0.0f;
    }
    if (auto* value = dynamic_cast<ValueProperty*>(property)) {
        if (const float* f = std::get_if<float>(&value->value)) return *f;
        if (const int* i = std::get_if<int>(&value->value)) return static_cast<float>(*i);
    }
    return 0.0f;
}

void DemoController::checkGl(const char* pass) {
    if (passObserver_) passObserver_(pass);
    if (!glErrorChecks_) return;
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR && firstGlError_.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "GL error 0x%04x after %s", error, pass);
        firstGlError_ = text;
    }
}

bool DemoController::prepare() {
    DemoContent* content = DemoContent::instance();
    Effect* lighting = content->find<Effect>("std_lighting");
    if (!lighting) {
        logError("error: effect 'std_lighting' wasn't found");
        return false;
    }
    Effect* glowShadow = content->find<Effect>("std_lighting_glow_shadow");
    Effect* shadowMapping = content->find<Effect>("shadow_mapping");
    if (!glowShadow) logError("error: effect 'std_lighting_glow_shadow' wasn't found");
    if (!shadowMapping) logError("error: effect 'shadow_mapping' wasn't found");
    if (!glowShadow || !shadowMapping) return false;
    // Not drawn with by any pass; kept with the pair when the content has it.
    Effect* earlyZ = content->find<Effect>("early_z_effect");
    delete lighting_;
    lighting_ = new StdLighting(lighting, glowShadow, earlyZ);

    lists_ = buildPartLists(models_.factory, models_.wheels, models_.winda);
    headParts_.clear();
    eyeParts_.clear();
    creditsParts_.clear();
    collectParts(headParts_, headBodyMeshes_);
    collectParts(eyeParts_, headEyesMeshes_);
    collectParts(creditsParts_, creditsMeshes_);

    if (shadowMap_) shadowMap_->release();
    delete shadowMap_;
    shadowMap_ = new ShadowMap;
    shadowMap_->create(width_, height_, lists_.opaque, shadowMapping);

    FrameInputs inputs;
    inputs.width = width_;
    inputs.height = height_;
    inputs.glowTarget = glowTarget_;
    inputs.glowTexture = glowTexture_ ? glowTexture_->glName : 0;
    inputs.sceneDepthTexture = sceneDepthTexture_;
    inputs.noiseTexture = noiseTexture_;
    inputs.lists = &lists_;
    inputs.eyeParts = &eyeParts_;
    inputs.headParts = &headParts_;
    inputs.creditsParts = &creditsParts_;
    inputs.headBody = models_.headBody;
    inputs.electro = electro_;
    inputs.lighting = lighting_;
    inputs.properties = &properties_;
    effects_.prepare(inputs);

    // Without them the end image is never laid over the frame.
    endTexture_ = content->find<Texture>("end");
    endProperty_ = properties_.findTrack("images.end");
    if (!endTexture_) logError("error: texture 'end' wasn't found; the end image is left out");
    if (!endProperty_) logError("error: property 'images.end' wasn't found; the end image is left out");
    return true;
}

bool DemoController::update(float t, float dt) {
    shake_ = propertyValue(shakeProperty_, t);
    noiseStrength_ = propertyValue(electroNoiseProperty_, t);
    effects_.trackValues(t, eyeGlow_, electroRange_);
    effects_.updateCredits(t, dt);

    const float seconds = t / 1000.0f, step = dt / 1000.0f;
    for (Animation* animation : {animations_.factory, animations_.cameras, animations_.winda, animations_.wheels,
                                 animations_.cameras})
        if (animation) animation->evaluate(seconds, kIdentity, step);

    if (runMode_ != RunMode::Free) {
        camera_ = cameraChanger_.select(seconds);
    } else if (!freeCameraPlaced_ && freeCamera_) {
        // The free flight starts from the film's own first shot, not from the origin, which
        // may lie outside the scene and beyond the far plane.
        if (AnimCamera* scripted = cameraChanger_.select(seconds)) {
            float scriptedView[16];
            freeCamera_->lookFrom(scripted->getViewMatrix(scriptedView));
        }
        freeCameraPlaced_ = true;
    }
    if (!camera_) return true;  // nothing to look through: render draws no scene

    float cameraView[16];
    camera_->getViewMatrix(cameraView);
    shakeView(viewMatrix_, cameraView, shake_, shakeRandom_);

    const float fov = sm::toDegrees(camera_->fieldOfView(t));
    const float aspect = static_cast<float>(width_) / static_cast<float>(height_);
    if (fov != fieldOfView_) {
        fieldOfView_ = fov;
        sm::perspective(projectionMatrix_, fieldOfView_, aspect, kNear, kFar);
    }
    if (camera_ == freeCamera_ && !headless_) freeCamera_->update(dt);

    sm::frustumFromView(viewMatrix_, frustum_, kNear, kFar, fieldOfView_, aspect);
    cullParts(lists_.scene, frustum_);
    return true;
}

void DemoController::drawEndAndMask(float t) {
    const float v = propertyValue(endProperty_, t);
    if (v > 0.0f && endTexture_) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(v, v, v, v);  // stays current: the mask below is modulated by it too
        drawFullscreenTexture(endTexture_->glName, width_, height_);
    }
    checkGl("the end image");
    if (mask_) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawFullscreenTexture(mask_->glName, width_, height_);
        glDisable(GL_BLEND);
    }
    checkGl("the mask");
}

void DemoController::present() {
    if (runMode_ == RunMode::Free && !headless_ && platform::keyPressed(platform::Key::F1))
        overlayShown_ = !overlayShown_;
    if (overlayShown_) {
        const sm::Vec3 eye = cameraFrame(viewMatrix_).eye;
        drawOverlay(overlayText(lastTime_, frameRate_.perSecond(), eye), width_, height_);
        checkGl("the overlay");
    }
    if (beforeSwap_) beforeSwap_();
    if (window_) window_->swap();
}

bool DemoController::render(float t, float dt) {
    lastTime_ = t;
    frameRate_.tick(dt);
    if (!musicStarted_) {
        music_.play();
        musicStarted_ = true;
    }
    if (!camera_ || !lighting_ || !sceneTarget_) {
        // No shot to show: an empty frame with the end image and the mask.
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawEndAndMask(t);
        present();
        return true;
    }

    if (inBelieveWindow(t)) effects_.drawBelievePicture(t, dt);
    checkGl("the believe picture");

    auto* shot = dynamic_cast<AnimCamera*>(camera_);
    lastFade_ = fade_.step(shot != nullptr, shot ? shot->endTime : 0.0f, t, dt);

    const sm::Vec3 eye = cameraFrame(viewMatrix_).eye;  // the light sits at the eye
    effects_.renderGlow(dt, eye, viewMatrix_, projectionMatrix_, eyeGlow_, electroRange_);
    checkGl("the glow pass");

    float lightView[16];
    lightViewOf(lightView, viewMatrix_);
    shadowMap_->render(projectionMatrix_, lightView);
    checkGl("the shadow pass");

    attachSceneTextures(sceneTarget_, sceneColorTexture_->glName, sceneDepthTexture_);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const unsigned shadow = shadowMap_->depthTexture();
    lighting_->drawLitGlowShadow(lists_.opaque, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                 projectionMatrix_, shadow);
    checkGl("the opaque parts");
    withOpacity(creditsParts_, 1.0f, [&] {
        lighting_->drawLitGlowShadow(creditsParts_, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                     projectionMatrix_, shadow);
    });
    checkGl("the credits parts");
    if (electro_) {
        electro_->setFloat4("minIntensity", 0.1f, 0.1f, 0.1f, 1.0f);
        StdLighting::drawModelSimple(electro_, models_.headBody, projectionMatrix_, viewMatrix_, eye, eye);
        electro_->setFloat4("minIntensity", 0.0f, 0.0f, 0.0f, 0.0f);
    }
    checkGl("the head");
    lighting_->drawLitGlowShadow(lists_.transparent, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                 projectionMatrix_, shadow);
    checkGl("the transparent parts");
    lighting_->drawLit(eyeParts_, projectionMatrix_, viewMatrix_, eye, eye);
    checkGl("the eyes");
    effects_.drawScreens(viewMatrix_, eye, projectionMatrix_);
    checkGl("the screens");
    effects_.drawBelieveModel(viewMatrix_, projectionMatrix_);
    checkGl("the believe screen");

    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);  // the blurred glow adds onto the scene
    drawFullscreenTexture(effects_.glowResult(), width_, height_);
    glDisable(GL_BLEND);
    checkGl("the glow");

    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    effects_.finish(sceneColorTexture_->glName, lastFade_, noiseStrength_);
    checkGl("the post-processing");

    drawEndAndMask(t);
    present();
    return true;
}
