// The shadow map: the depths of the opaque parts seen from the light camera, at the window's
// resolution, sampled by the glow-shadow lighting with depth comparison.
#pragma once

#include <memory>

#include "anim/math.h"
#include "gl/render_target.h"
#include "render/std_lighting.h"

class Effect;

class ShadowMap {
public:
    ShadowMap() = default;
    ShadowMap(const ShadowMap&) = delete;
    ShadowMap& operator=(const ShadowMap&) = delete;

    // The depth texture, the colour texture that completes the frame buffer, and the target
    // with both attached (a second call replaces them). `effect` ("shadow_mapping") is not
    // owned; null draws no casters.
    void create(int width, int height, const PartList& casters, Effect* effect);
    // One frame's depth pass from the light camera (projection P, view L) with the casters
    // that camera may see (`lightFrustum`, whether or not the viewer sees them: a caster just
    // out of the picture still throws its shadow into it). The viewport and the bound frame
    // buffer are restored to what they were: (0, 0, window) and the default.
    void render(const float* projection, const float* lightView, const sm::Frustum& lightFrustum);
    unsigned depthTexture() const { return depthTexture_.get(); }
    const PartList& casters() const { return casters_; }

private:
    PartList casters_;
    Effect* effect_ = nullptr;
    GlTexture depthTexture_;
    GlTexture colorTexture_;
    std::unique_ptr<RenderTarget> target_;
    int width_ = 0;
    int height_ = 0;
};
