#include "render/shadow_map.h"

#include "gl/gl.h"
#include "gl/render_target.h"
#include "assets/effect.h"
#include "assets/model.h"
#include "render/frame.h"

void ShadowMap::create(int width, int height, const PartList& casters, Effect* effect) {
    // The old objects go before the new ones are made.
    target_.reset();
    colorTexture_.reset();
    depthTexture_.reset();
    width_ = width;
    height_ = height;
    casters_ = casters;

    depthTexture_ = makeGlTexture();
    glBindTexture(GL_TEXTURE_2D, depthTexture_.get());
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_MODE, GL_COMPARE_R_TO_TEXTURE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_COMPARE_FUNC, GL_LEQUAL);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    glBindTexture(GL_TEXTURE_2D, 0);

    colorTexture_ = createColorTexture(width, height, GL_NEAREST);
    glBindTexture(GL_TEXTURE_2D, 0);

    target_ = createRenderTarget(width, height);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target_->framebuffer.get());
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depthTexture_.get(), 0);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colorTexture_.get(), 0);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    effect_ = effect;
}

void ShadowMap::render(const float* projection, const float* lightView, const sm::Frustum& lightFrustum) {
    if (!target_) return;
    glPushAttrib(GL_VIEWPORT_BIT);
    glViewport(0, 0, width_, height_);
    bindRenderTarget(*target_, "the shadow map's target");
    glClear(GL_DEPTH_BUFFER_BIT);
    glPolygonOffset(2.0f, -2.0f);
    glEnable(GL_POLYGON_OFFSET_FILL);
    if (effect_) {
        effect_->selectTechnique("ShadowMapping");
        float lightViewProjection[16], mvp[16];
        sm::multiply(lightViewProjection, lightView, projection);
        for (MeshPart* part : casters_) {
            if (!partInView(part, lightFrustum)) continue;
            sm::multiply(mvp, part->mesh->matrix, lightViewProjection);
            effect_->setMatrix("mvp", mvp);
            drawWithFirstPass(effect_, part);
        }
    }
    glDisable(GL_POLYGON_OFFSET_FILL);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    glPopAttrib();
}
