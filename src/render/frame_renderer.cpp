#include "render/frame_renderer.h"

#include <cstdio>

#include "anim/cameras.h"
#include "assets/content.h"
#include "assets/effect.h"
#include "assets/material.h"
#include "assets/model.h"
#include "assets/texture.h"
#include "base/log.h"
#include "gl/draw.h"
#include "gl/gl.h"
#include "render/shadow_map.h"
#include "render/std_lighting.h"

namespace {

constexpr float kNear = 1.0f;
constexpr float kFar = 200.0f;

}  // namespace

std::unique_ptr<FrameRenderer> FrameRenderer::create(const FrameDesc& desc) {
    std::unique_ptr<FrameRenderer> frame(new FrameRenderer);
    frame->width_ = desc.width;
    frame->height_ = desc.height;
    sm::identity(frame->viewMatrix_);
    sm::perspective(frame->projectionMatrix_, frame->fieldOfView_,
                    static_cast<float>(desc.width) / static_cast<float>(desc.height), kNear, kFar);

    const int width = desc.width, height = desc.height;
    frame->sceneTarget_ = createRenderTarget(width, height);
    frame->sceneColorTexture_ =
        std::make_unique<Texture>(createColorTexture(width, height, GL_NEAREST), width, height, 32);
    const int glowWidth = width / 4, glowHeight = height / 4;
    frame->glowTexture_ =
        std::make_unique<Texture>(createColorTexture(glowWidth, glowHeight, GL_LINEAR), glowWidth, glowHeight, 32);
    frame->glowTarget_ = createRenderTarget(glowWidth, glowHeight);
    frame->sceneDepthTexture_ = createDepthTexture(width, height);
    glBindTexture(GL_TEXTURE_2D, 0);
    return frame;
}

FrameRenderer::~FrameRenderer() = default;

void FrameRenderer::load(const std::string& dataDirectory) {
    effects_.load(dataDirectory);
    createNoiseTexture();
}

void FrameRenderer::createNoiseTexture() {
    // The same seed on every run and platform, so every showing of the film looks the same.
    Random random;
    const int count = height_ / 4;
    std::vector<float> texels(static_cast<size_t>(count > 0 ? count : 0));
    for (float& texel : texels) texel = static_cast<float>(random.next() % 200 - 100) / 100.0f;
    noiseTexture_ = makeGlTexture();
    glBindTexture(GL_TEXTURE_1D, noiseTexture_.get());
    setTextureSampling(GL_TEXTURE_1D, GL_LINEAR, GL_LINEAR, GL_CLAMP_TO_EDGE);
    glTexImage1D(GL_TEXTURE_1D, 0, 1, count, 0, GL_LUMINANCE, GL_FLOAT, texels.data());
    glBindTexture(GL_TEXTURE_1D, 0);
}

void FrameRenderer::checkGl(const char* pass) {
    if (passObserver_) passObserver_(pass);
    if (!glErrorChecks_) return;
    const GLenum error = glGetError();
    if (error != GL_NO_ERROR && firstGlError_.empty()) {
        char text[96];
        std::snprintf(text, sizeof text, "GL error 0x%04x after %s", error, pass);
        firstGlError_ = text;
    }
}

bool FrameRenderer::prepare(const FrameScene& scene) {
    scene_ = scene;
    if (!findFrameAssets(*DemoContent::instance(), scene_)) return false;
    lighting_ = std::make_unique<StdLighting>(scene_.lighting, scene_.glowShadow, scene_.earlyZ);
    buildPartLists(scene_);

    if (!shadowMap_) shadowMap_ = std::make_unique<ShadowMap>();  // create replaces its objects
    shadowMap_->create(width_, height_, scene_.lists.opaque, scene_.shadowMapping);

    FrameTargets targets;
    targets.width = width_;
    targets.height = height_;
    targets.glowTarget = glowTarget_.get();
    targets.glowTexture = glowTexture_ ? glowTexture_->glName() : 0;
    targets.sceneDepthTexture = sceneDepthTexture_.get();
    targets.noiseTexture = noiseTexture_.get();
    effects_.prepare(scene_, targets, lighting_.get());

    PropertyRegistry* properties = scene_.properties;
    shakeProperty_ = PropertyValue(properties ? properties->find("shake") : nullptr);
    electroNoiseProperty_ = PropertyValue(properties ? properties->find("electro_noise") : nullptr);
    // Without them the end image is never laid over the frame.
    AnimProperty* end = properties ? properties->findTrack("images.end") : nullptr;
    endProperty_ = PropertyValue(end);
    if (!end) logError("property 'images.end' wasn't found; the end image is left out");
    return true;
}

void FrameRenderer::update(float t, float dt, ICamera* camera) {
    shake_ = shakeProperty_.at(t);
    noiseStrength_ = electroNoiseProperty_.at(t);
    effects_.trackValues(t, eyeGlow_, electroRange_);

    camera_ = camera;
    if (!camera_) return;  // nothing to look through: render draws no scene

    float cameraView[16];
    camera_->getViewMatrix(cameraView);
    shakeView(viewMatrix_, cameraView, shake_, carried_.shakeRandom);

    const float fov = sm::toDegrees(camera_->fieldOfView(t));
    const float aspect = static_cast<float>(width_) / static_cast<float>(height_);
    if (fov != fieldOfView_) {
        fieldOfView_ = fov;
        sm::perspective(projectionMatrix_, fieldOfView_, aspect, kNear, kFar);
    }
    sm::frustumFromView(viewMatrix_, frustum_, kNear, kFar, fieldOfView_, aspect);
    cullParts(scene_.lists.scene, frustum_);
}

void FrameRenderer::drawEndAndMask(float t) {
    const float v = endProperty_.at(t);
    if (v > 0.0f && scene_.end) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_COLOR, GL_ONE_MINUS_SRC_ALPHA);
        glColor4f(v, v, v, v);  // stays current: the mask below is modulated by it too
        drawFullscreenTexture(scene_.end->glName(), width_, height_);
    }
    checkGl("the end image");
    if (scene_.mask) {
        glEnable(GL_BLEND);
        glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
        drawFullscreenTexture(scene_.mask->glName(), width_, height_);
        glDisable(GL_BLEND);
    }
    checkGl("the mask");
}

void FrameRenderer::drawOverlay() {
    if (!overlayShown_) return;
    const sm::Vec3 eye = cameraFrame(viewMatrix_).eye;
    std::string text = overlayText(carried_.lastTime, carried_.frameRate.perSecond(), eye);
    if (!overlayNotes_.empty()) text += "\n" + overlayNotes_;
    ::drawOverlay(text, width_, height_);
    checkGl("the overlay");
}

void FrameRenderer::render(float t, float dt) {
    carry(t, dt);
    draw(t);
}

void FrameRenderer::advance(float t, float dt) { carry(t, dt); }

void FrameRenderer::carry(float t, float dt) {
    carried_.lastTime = t;
    carried_.frameRate.tick(dt);
    effects_.updateCredits(t, dt);
    if (!camera_ || !lighting_ || !sceneTarget_) return;
    // The believe monitor shows the last picture drawn into its texture, so the picture is drawn
    // on every frame inside its window, shown or not (one small quad pass); so does the cursor's
    // blink move.
    if (inBelieveWindow(t)) effects_.drawBelievePicture(t, dt);
    checkGl("the believe picture");
    auto* shot = dynamic_cast<AnimCamera*>(camera_);
    carried_.lastFade = carried_.fade.step(shot != nullptr, shot ? shot->endTime : 0.0f, t, dt);
    effects_.carryGlow(eyeGlow_);
}

void FrameRenderer::draw(float t) {
    if (!camera_ || !lighting_ || !sceneTarget_) {
        // No shot to show: an empty frame with the end image and the mask.
        glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawEndAndMask(t);
        drawOverlay();
        return;
    }

    const sm::Vec3 eye = cameraFrame(viewMatrix_).eye;  // the light sits at the eye
    effects_.renderGlow(eye, viewMatrix_, projectionMatrix_, electroRange_);
    checkGl("the glow pass");

    float lightView[16];
    lightViewOf(lightView, viewMatrix_);
    sm::Frustum lightFrustum;
    sm::frustumFromView(lightView, lightFrustum, kNear, kFar, fieldOfView_,
                        static_cast<float>(width_) / static_cast<float>(height_));
    shadowMap_->render(projectionMatrix_, lightView, lightFrustum);
    checkGl("the shadow pass");

    const PartLists& lists = scene_.lists;
    attachRenderTextures(*sceneTarget_, sceneColorTexture_->glName(), sceneDepthTexture_.get(), "the scene target");
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    const unsigned shadow = shadowMap_->depthTexture();
    lighting_->drawLitGlowShadow(lists.opaque, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                 projectionMatrix_, shadow);
    checkGl("the opaque parts");
    withOpacity(scene_.creditsParts, 1.0f, [&] {
        lighting_->drawLitGlowShadow(scene_.creditsParts, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                     projectionMatrix_, shadow);
    });
    checkGl("the credits parts");
    if (Effect* electro = scene_.electro) {
        electro->setFloat4("minIntensity", 0.1f, 0.1f, 0.1f, 1.0f);
        StdLighting::drawModelSimple(electro, scene_.headBody, projectionMatrix_, viewMatrix_, eye, eye);
        electro->setFloat4("minIntensity", 0.0f, 0.0f, 0.0f, 0.0f);
    }
    checkGl("the head");
    lighting_->drawLitGlowShadow(lists.transparent, projectionMatrix_, viewMatrix_, eye, eye, lightView,
                                 projectionMatrix_, shadow);
    checkGl("the transparent parts");
    lighting_->drawLit(scene_.eyeParts, projectionMatrix_, viewMatrix_, eye, eye);
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
    effects_.finish(sceneColorTexture_->glName(), carried_.lastFade, noiseStrength_, steadyNoise_);
    checkGl("the post-processing");

    drawEndAndMask(t);
    drawOverlay();
}

void FrameRenderer::rewind() {
    shake_ = 0.0f;
    noiseStrength_ = 0.0f;
    eyeGlow_ = 0.0f;
    electroRange_ = 0.0f;
    camera_ = nullptr;
    carried_ = Carried();
    effects_.rewind();
}
