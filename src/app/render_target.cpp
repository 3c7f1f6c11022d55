#include "app/render_target.h"

#include "app/gl.h"

RenderTarget* createRenderTarget(int width, int height) {
    auto* target = new RenderTarget;
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

void releaseRenderTarget(RenderTarget*& target) {
    if (!target) return;
    if (target->depthRenderbuffer) glDeleteRenderbuffersEXT(1, &target->depthRenderbuffer);
    if (target->colorRenderbuffer) glDeleteRenderbuffersEXT(1, &target->colorRenderbuffer);
    if (target->framebuffer) glDeleteFramebuffersEXT(1, &target->framebuffer);
    delete target;
    target = nullptr;
}

unsigned createColorTexture(int width, int height, int filter) {
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
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
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
    glTexParameteri(GL_TEXTURE_2D, GL_DEPTH_TEXTURE_MODE, GL_INTENSITY);
    return name;
}
