// An off-screen framebuffer with a depth and a colour renderbuffer.
#pragma once

struct RenderTarget {
    unsigned framebuffer = 0;
    unsigned depthRenderbuffer = 0;
    unsigned colorRenderbuffer = 0;
    int width = 0;
    int height = 0;
    int bits = 32;
};

// Allocates both renderbuffers and attaches the depth one; the colour renderbuffer is left
// unattached (the passes attach textures instead). Leaves framebuffer 0 bound.
RenderTarget* createRenderTarget(int width, int height);
// Deletes the GL objects that exist and the record, and clears the pointer; null is fine.
void releaseRenderTarget(RenderTarget*& target);

// A window-sized RGBA colour texture (no data) with the given filter and edge clamping.
unsigned createColorTexture(int width, int height, int filter);
// A GL_DEPTH_COMPONENT32 texture (no data), nearest filtering, compared as intensity.
unsigned createDepthTexture(int width, int height);
