#include "support/gl_target.h"

#include "gl/gl.h"
#include "support/gl_test.h"

GlTarget::GlTarget(int width, int height, bool depthTexture) : target_(createRenderTarget(width, height)) {
    colour_ = createColorTexture(width, height, GL_NEAREST);
    if (depthTexture) depth_ = createDepthTexture(width, height);
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_TRUE(attachRenderTextures(*target_, colour_.get(), depth_.get(), "the test target"));
    clear(0, 0, 0, 0);
}

GlTarget::~GlTarget() { unbind(); }

void GlTarget::bind() const {
    glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, target_->framebuffer.get());
    glViewport(0, 0, width(), height());
}

void GlTarget::unbind() { glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0); }

void GlTarget::clear(float r, float g, float b, float a) const {
    bind();
    glClearColor(r, g, b, a);
    glClearDepth(1.0);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

std::vector<unsigned char> GlTarget::pixels() const {
    bind();
    return GLTest::readPixels(0, 0, width(), height());
}

std::vector<int> GlTarget::pixel(int x, int y) const {
    bind();
    const std::vector<unsigned char> p = GLTest::readPixels(x, y, 1, 1);
    return {p[0], p[1], p[2], p[3]};
}
