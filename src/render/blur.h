// The separable blur: three iterations of a horizontal and a vertical pass with the "blur"
// effect, at the object's own size (the first pass also scales the source down to it).
#pragma once

#include <memory>

class Effect;
#include "gl/render_target.h"

// Maps x in [0, w] and y in [0, h] to [-1, 1] (column-major).
void pixelOrtho(float* out, int w, int h);

class Blur {
public:
    static constexpr int kIterations = 3;

    // Sizes below 1 are raised to 1 so that a tiny window still has a texel to step over.
    // `effect` is not owned; null draws nothing.
    Blur(Effect* effect, int width, int height);
    Blur(const Blur&) = delete;
    Blur& operator=(const Blur&) = delete;

    // Blurs `source` into the last result texture: "BlurGlowTech" with `glow`, else
    // "BlurDofTech". Viewport, enables, current colour and depth writes are as before.
    void run(unsigned source, bool glow);
    // The GL name of the finished blur (always the third result texture).
    unsigned result() const { return results_[kIterations - 1].get(); }
    unsigned resultTexture(int i) const { return results_[i].get(); }
    int width() const { return width_; }
    int height() const { return height_; }

private:
    void pass(unsigned target, unsigned source, bool glow);

    Effect* effect_;
    int width_, height_;
    std::unique_ptr<RenderTarget> target_;
    GlTexture scratch_;
    GlTexture results_[kIterations];
};
