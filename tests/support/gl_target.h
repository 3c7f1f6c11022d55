// An off-screen colour and depth target of a given size for GL tests, made through the
// program's render targets, with read-back of what was drawn. Bound while it lives unless
// unbound; needs the GL window of GLTest.
#pragma once

#include <memory>
#include <vector>

#include "gl/render_target.h"

class GlTarget {
public:
    // A colour texture and the target's depth renderbuffer, or a depth texture (for a shadow
    // map) when asked. Binds the target and clears it to transparent black and far depth.
    GlTarget(int width, int height, bool depthTexture = false);
    ~GlTarget();
    GlTarget(const GlTarget&) = delete;
    GlTarget& operator=(const GlTarget&) = delete;

    // Binds the framebuffer and sets the viewport to the target's size.
    void bind() const;
    // Binds the window's framebuffer again (the viewport stays).
    static void unbind();
    // Binds, then clears colour and depth.
    void clear(float r, float g, float b, float a = 1.0f) const;
    // Binds, then reads back the RGBA pixels, bottom row first.
    std::vector<unsigned char> pixels() const;
    // RGBA of one pixel, from the bottom left.
    std::vector<int> pixel(int x, int y) const;
    std::vector<int> centre() const { return pixel(width() / 2, height() / 2); }

    int width() const { return target_->width; }
    int height() const { return target_->height; }
    unsigned colourTexture() const { return colour_.get(); }
    unsigned depthTexture() const { return depth_.get(); }

private:
    std::unique_ptr<RenderTarget> target_;
    GlTexture colour_;
    GlTexture depth_;
};
