// An off-screen framebuffer with a depth and a colour renderbuffer.
#pragma once

#include <memory>
#include <string>

#include "gl/gl_name.h"

// Its GL objects go with the record (see gl/gl_name.h).
struct RenderTarget {
    GlFramebuffer framebuffer;
    GlRenderbuffer depthRenderbuffer;
    GlRenderbuffer colorRenderbuffer;
    int width = 0;
    int height = 0;
    int bits = 32;
};

// Allocates both renderbuffers and attaches the depth one; the colour renderbuffer is left
// unattached (the passes attach textures instead). Leaves framebuffer 0 bound.
std::unique_ptr<RenderTarget> createRenderTarget(int width, int height);

// Binds the target's framebuffer and checks it. An incomplete framebuffer draws nothing; it is
// logged once per `what` and status, naming both ("the glow target: framebuffer incomplete,
// GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT"). Leaves the framebuffer bound. False when incomplete.
bool bindRenderTarget(const RenderTarget& target, const char* what);
// The same after attaching `colour` as the colour texture and, when nonzero, `depth` as the
// depth texture (both 2-D, level 0).
bool attachRenderTextures(const RenderTarget& target, unsigned colour, unsigned depth, const char* what);
// GL's name of a framebuffer status ("GL_FRAMEBUFFER_COMPLETE_EXT", ...), or its number in hex.
std::string framebufferStatusName(unsigned status);

// A window-sized RGBA colour texture (no data) with the given filter and edge clamping.
GlTexture createColorTexture(int width, int height, int filter);
// A GL_DEPTH_COMPONENT32 texture (no data), nearest filtering, compared as intensity.
GlTexture createDepthTexture(int width, int height);
