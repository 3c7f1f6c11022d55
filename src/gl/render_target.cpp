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
    glGenRenderbuffersEXT(1, &target->depthRenderbuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, target->depthRenderbuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_DEPTH_COMPONENT, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    glGenRenderbuffersEXT(1, &target->colorRenderbuffer);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, target->colorRenderbuffer);
    glRenderbufferStorageEXT(GL_RENDERBUFFER_EXT, GL_RGBA, width, height);
    glBindRenderbufferEXT(GL_RENDERBUFFER_EXT, 0);
    glGenFramebuffersEXT(1, &target->framebuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target->framebuffer);
    glFramebufferRenderbufferEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_RENDERBUFFER_EXT,
                                 target->depthRenderbuffer);
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
    return target;
}

void releaseRenderTarget(std::unique_ptr<RenderTarget>& target) {
    if (!target) return;
    if (target->depthRenderbuffer) glDeleteRenderbuffersEXT(1, &target->depthRenderbuffer);
    if (target->colorRenderbuffer) glDeleteRenderbuffersEXT(1, &target->colorRenderbuffer);
    if (target->framebuffer) glDeleteFramebuffersEXT(1, &target->framebuffer);
    target.reset();
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
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.framebuffer);
    return checkBound(what);
}

bool attachRenderTextures(const RenderTarget& target, unsigned colour, unsigned depth, const char* what) {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target.framebuffer);
    glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, colour, 0);
    if (depth) glFramebufferTexture2DEXT(GL_FRAMEBUFFER_EXT, GL_DEPTH_ATTACHMENT_EXT, GL_TEXTURE_2D, depth, 0);
    return checkBound(what);
}

unsigned createColorTexture(int width, int height, int filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    setTextureSampling(GL_TEXTURE_2D, filter, filter, GL_CLAMP_TO_EDGE);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    return name;
}

unsigned createDepthTexture(int width, int height) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT32, width, height, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindTexture(GL_TEXTURE_2D, name);
    setTextureSampling(GL_TEXTURE_2D, GL_NEAREST, GL_NEAREST, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    return name;
}
