#include "gl/render_target.h"

#include <cstdio>
#include <set>
#include <utility>

#include "base/log.h"
#include "gl/draw.h"
#include "gl/gl.h"

std::unique_ptr<RenderTarget> createRenderTarget(int width, int height) {
    auto target = std::make_unique<RenderTarget>();
    target->width = width;
    target->height = height;
    target->depthRenderbuffer = makeGlName<GlKind::Renderbuffer>();
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, target->depthRenderbuffer.get());
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    target->colorRenderbuffer = makeGlName<GlKind::Renderbuffer>();
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, target->colorRenderbuffer.get());
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    target->framebuffer = makeGlName<GlKind::Framebuffer>();
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->framebuffer.get());
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 target->depthRenderbuffer.get());
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    return target;
}

std::string framebufferStatusName(unsigned status) {
    switch (status) {
        case GL_FRAMEBUFFER_COMPLETE_EXT: return "GL_FRAMEBUFFER_COMPLETE_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_ATTACHMENT_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_MISSING_ATTACHMENT_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_DIMENSIONS_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_FORMATS_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_DRAW_BUFFER_EXT";
        case GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT: return "GL_FRAMEBUFFER_INCOMPLETE_READ_BUFFER_EXT";
        case GL_FRAMEBUFFER_UNSUPPORTED_EXT: return "GL_FRAMEBUFFER_UNSUPPORTED_EXT";
        default: break;
    }
    char text[32];
    std::snprintf(text, sizeof text, "0x%04x", status);
    return text;
}

namespace {

bool checkBound(const char* what) {
    const GLenum status = glCheckFramebufferStatusEXT(GL_FRAMEBUFFER_EXT);
    if (status == GL_FRAMEBUFFER_COMPLETE_EXT) return true;
    // Once per target and status: a broken target would otherwise fill the log every frame.
    static std::set<std::pair<std::string, unsigned>> reported;
    if (reported.insert({what, status}).second)
        logError(std::string(what) + ": framebuffer incomplete, " + framebufferStatusName(status) +
                 "; the pass draws nothing (check the driver's framebuffer-object support and the target's size)");
    return false;
}

}  // namespace

bool bindRenderTarget(const RenderTarget& target, const char* what) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.framebuffer.get());
    return checkBound(what);
}

bool attachRenderTextures(const RenderTarget& target, unsigned colour, unsigned depth, const char* what) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.framebuffer.get());
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    if (depth) glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depth, 0);
    return checkBound(what);
}

GlTexture createColorTexture(int width, int height, int filter) {
    GlTexture texture = makeGlTexture();
    glBindTexture(GL_TEXTURE_2D, texture.get());
    setTextureSampling(GL_TEXTURE_2D, filter, filter, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return texture;
}

GlTexture createDepthTexture(int width, int height) {
    GlTexture texture = makeGlTexture();
    const GLuint name = texture.get();
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_2D, name);
    setTextureSampling(GL_TEXTURE_2D, GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    return texture;
}
